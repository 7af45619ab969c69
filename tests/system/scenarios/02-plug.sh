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
