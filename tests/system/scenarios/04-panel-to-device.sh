# Panel to device: a fader move and a mute click reach the device (its own mixer, and the
# requests on the wire).
ensure_attached
usbmon_start $SCENARIO
level_before=$(mixer_value gadget_mixer "PCM Capture Volume")
in_host xdotool mousemove $OUTPUT_FADER_1_X $FADER_TOP_Y mousedown 1
moved_at=$(t)
in_host xdotool mousemove $OUTPUT_FADER_1_X 120 mouseup 1
check_within 30 '[ "$(mixer_value gadget_mixer "PCM Capture Volume")" != "$level_before" ]' \
    "the output fader's move reached the device"
log "the device's output level: $level_before -> $(mixer_value gadget_mixer 'PCM Capture Volume')"
request=$(first_request_after "$moved_at" '21 01 0200 0500')
check '[ -n "$request" ]' "a SET_CUR volume request to the playback feature unit is on the wire"
[ -n "$request" ] && figure "fader move to the device's volume request: $request s"
park_pointer
check '[ "$(mixer_value gadget_mixer "PCM Capture Switch")" = on ]' "the output is on before the click"
click $OUTPUT_MUTE_X $MUTE_Y
check_within 30 '[ "$(mixer_value gadget_mixer "PCM Capture Switch")" = off ]' "the output mute click muted the device's output"
check '[ "$(mixer_value gadget_mixer "PCM Playback Switch")" = on ]' "and left its input on"
click $OUTPUT_MUTE_X $MUTE_Y
check_within 30 '[ "$(mixer_value gadget_mixer "PCM Capture Switch")" = on ]' "a second click unmuted it"
park_pointer
usbmon_stop
check 'grep -q "Co:.* s 21 01 0100 0500" /out/usbmon-$SCENARIO.txt' "SET_CUR mute requests to the playback feature unit are on the wire"
