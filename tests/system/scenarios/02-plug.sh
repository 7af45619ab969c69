# Plugged in while the panel runs, for the first time (no stored settings): it attaches, the
# device receives the register-26 command, and the factory defaults reach the device.
ensure_unplugged
ensure_panel
[ -f "$PREFS" ] && { log "stored settings from an earlier run; removed"; rm -f "$PREFS"; }
before=$(hid_commands)
plug
check_within 120 attached "attached after the plug"
figure "plug to attached: $(elapsed "$PLUGGED_AT") s"
check_within 30 '[ "$(hid_commands)" -gt "$before" ]' "the device received a command"
first=$((before + 1))
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
# Heard and kept: a fader speaks its level in dB on focus and on a key, the status line is a
# status bar, and Keep on Top toggled by key leaves the window active with its focus.
panel_stop
session_start
panel_start
check_within 120 attached "attached again, with the accessibility bridge on"
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
