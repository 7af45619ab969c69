# Plugged in while the panel runs, for the first time (no stored settings): it attaches, the
# device receives the register-26 command, and the factory defaults reach the device.
ensure_unplugged
ensure_panel
[ -f "$PREFS" ] && { log "stored settings from an earlier run; removed"; rm -f "$PREFS"; }
before=$(hid_commands)
# When udev hands the sound card and the hidraw node to programs, after its rules: the earliest
# the panel can know of them.
in_host_exec /run/zs/udevadm monitor --udev --subsystem-match=sound --subsystem-match=hidraw > /out/plug-events.txt 2>&1 &
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
# plug is the kernel's enumeration of the device (its log). The panel's own share starts when
# udev has announced both the hidraw node and the card's control node, so it leaves out what the
# kernel and udev take.
attached_at=$(hid_command_time $first)
usb_at=$(kernel_usb_new_at)
hidraw_at=$(kernel_hidraw_at)
udev_at() { sed -n "s/^UDEV *\\[\\([0-9.]*\\)\\] add .*\\/$1 (.*)\$/\\1/p" /out/plug-events.txt | tail -1; }
hidraw_ready=$(udev_at 'hidraw[0-9]*')
card_ready=$(udev_at 'controlC[0-9]*')
if [ -n "$attached_at" ] && [ -n "$usb_at" ] && [ -n "$hidraw_ready" ] && [ -n "$card_ready" ]; then
    ready_at=$(awk -v a="$hidraw_ready" -v b="$card_ready" 'BEGIN { print (a > b ? a : b) }')
    share=$(elapsed "$ready_at" "$attached_at")
    figure "plug to attached, from the kernel's USB enumeration to the first command: $(elapsed "$usb_at" "$attached_at") s"
    figure "on the way: the kernel's hidraw node at $(elapsed "$usb_at" "$hidraw_at") s, udev's announcements of the hidraw node at $(elapsed "$usb_at" "$hidraw_ready") s and of the card at $(elapsed "$usb_at" "$card_ready") s"
    # A figure, not a check: under qemu's emulation on a busy host it swings by a second.
    figure "the panel's own share, from the later announcement to the first command: $share s (aim: under 0.5 s)"
else
    log "FAIL: no kernel, udev or device times (usb '$usb_at', hidraw '$hidraw_ready', card '$card_ready', command '$attached_at')"
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
wakeups 10
figure "wake-ups of the attached panel, idle, no stream: $WAKEUPS per second over 10 s ($WAKEUPS_OTHERS besides the window's thread)"
check "awk -v r=$WAKEUPS 'BEGIN { exit !(r <= 1) }'" "attached and idle, the panel wakes at most once a second ($WAKEUPS/s)"
# Heard and kept: a fader speaks its level in dB on focus and on a key, the status line is a
# status bar, and Keep on Top toggled by key leaves the window active with its focus.
panel_stop
session_start
panel_start
check_within 120 attached "attached again, with the accessibility bridge on"
# No window manager runs to hand the window the keyboard: it takes it as after a click.
in_host xdotool windowfocus "$PANEL_WINDOW"
wait_for 10 '[ "$(in_host xdotool getwindowfocus)" = "$PANEL_WINDOW" ]' || log "the window did not take the keyboard"
check 'a11y grab "Input 1 level"' "the input 1 fader takes the focus"
check_within 30 'a11y focus | grep -q "^active|Input 1 level|-[0-9.]* dB$"' "focused, it says its dB: $(a11y focus)"
spoken=$(a11y focus)
in_host xdotool key Page_Down
check_within 30 '[ "$(a11y focus)" != "$spoken" ] && a11y focus | grep -q " dB$"' "a key step says the new dB: $(a11y focus)"
check 'a11y statusbar > /dev/null' "the status line is a status bar"
check 'a11y grab "Keep on Top"' "Keep on Top takes the focus"
for round in 1 2; do
    in_host xdotool key Return
    check_within 30 'a11y focus | grep -q "^active|Keep on Top|"' "round $round: still active and focused after Keep on Top: $(a11y focus)"
done
