# Plugged in while the panel runs, for the first time (no stored settings): it attaches, the
# device receives the register-26 command, and the factory defaults reach the device.
ensure_unplugged
ensure_panel
[ -f "$PREFS" ] && { log "stored settings from an earlier run; removed"; rm -f "$PREFS"; }
before=$(hid_commands)
# The sound card's arrival as the kernel announces it, timed by udev's monitor.
in_host_exec /run/zs/udevadm monitor --kernel --subsystem-match=sound > /out/sound-events.txt 2>&1 &
monitor=$!
usleep 300000
plug
check_within 120 attached "attached after the plug"
figure "plug to attached, as the test polls the window: $(elapsed "$PLUGGED_AT") s"
check_within 30 '[ "$(hid_commands)" -gt "$before" ]' "the device received a command"
kill "$monitor" 2>/dev/null
wait "$monitor" 2>/dev/null
first=$((before + 1))
# Attached means the first command reached the device (its log, on this guest's clock); the
# plug is the kernel's enumeration of the device, the readiness the later of the hidraw node and
# the sound card. So the panel's own share leaves out what the kernel and udev take.
attached_at=$(hid_command_time $first)
usb_at=$(kernel_usb_new_at)
hidraw_at=$(kernel_hidraw_at)
card_at=$(sed -n 's/^KERNEL\[\([0-9.]*\)\] add .*\/sound\/card[0-9]* (sound)$/\1/p' /out/sound-events.txt | tail -1)
if [ -n "$attached_at" ] && [ -n "$usb_at" ] && [ -n "$hidraw_at" ] && [ -n "$card_at" ]; then
    ready_at=$(awk -v a="$hidraw_at" -v b="$card_at" 'BEGIN { print (a > b ? a : b) }')
    figure "plug to attached, from the kernel's USB enumeration to the first command: $(elapsed "$usb_at" "$attached_at") s"
    figure "the panel's own share, from the later of hidraw node ($(elapsed "$usb_at" "$hidraw_at") s) and sound card ($(elapsed "$usb_at" "$card_at") s) to the first command: $(elapsed "$ready_at" "$attached_at") s"
    share=$(elapsed "$ready_at" "$attached_at")
    check "awk -v s=$share 'BEGIN { exit !(s < 0.5) }'" "the panel's own share of the plug is under 0.5 s ($share s)"
else
    log "FAIL: no kernel or device times (usb '$usb_at', hidraw '$hidraw_at', card '$card_at', command '$attached_at')"
    CHECKS_FAILED=$((CHECKS_FAILED + 1))
fi
check '[ "$(hid_command_bytes $first)" = "$REGISTER_26" ]' \
    "it is the 27-byte register-26 command (got: $(hid_command_bytes $first))"
[ -n "$(hid_command_time $first)" ] && figure "plug to the first command: $(elapsed "$PLUGGED_AT" "$(hid_command_time $first)") s"
# The device's side: its capture controls follow the computer's playback, and the other way.
check_within 30 '[ "$(mixer_value gadget_mixer "PCM Capture Switch")" = on ]' "output unmuted on the device"
check '[ "$(mixer_value gadget_mixer "PCM Playback Switch")" = on ]' "input unmuted on the device"
check '[ "$(mixer_value mixer "Playback Volume Playback Volume")" = "$(mixer_max "Playback Volume Playback Volume")" ]' \
    "output level at full (0 dB): $(mixer_value mixer 'Playback Volume Playback Volume')"
check '[ "$(mixer_value gadget_mixer "PCM Capture Volume")" = "$(mixer_max "PCM Capture Volume" gadget_mixer)" ]' \
    "the device's output level at full: $(mixer_value gadget_mixer 'PCM Capture Volume')"
check '[ "$(mixer_db "Capture Volume")" = "$FACTORY_INPUT_DB" ]' \
    "input level at the factory $FACTORY_INPUT_DB dB: $(mixer_db 'Capture Volume') dB"
check '[ "$(mixer_value gadget_mixer "PCM Playback Volume")" = "$FACTORY_INPUT_STEP" ]' \
    "the device's input level at step $FACTORY_INPUT_STEP: $(mixer_value gadget_mixer 'PCM Playback Volume')"
log "the device's mixer: $(gadget_mixer contents | tr -s ' \n' ' ')"
# Attached and left alone, no stream: the panel sleeps until something happens.
wait_for 3 false
rate=$(wakeups "$PANEL_PID" 10)
figure "wake-ups of the attached panel, idle, no stream: $rate per second (over 10 s)"
check "awk -v r=$rate 'BEGIN { exit !(r <= 1) }'" "attached and idle, the panel wakes at most once a second ($rate/s)"
