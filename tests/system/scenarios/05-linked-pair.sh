# A linked pair on a two-channel element moves both channels: the output pair on the card's
# two-channel "Master" (ctladd, added before the panel opened the card, in 08).
if ! mixer sget Master > /dev/null 2>&1; then
    log "no Master pair: starting over as 08 does"
    panel_stop
    in_host "$CACHE_DIR/bin/ctladd" hw:Zorvex || log "ctladd failed"
    panel_start
fi
ensure_attached
park_pointer
check '[ "$(mixer_value mixer "Master Playback Volume")" = "100,100" ]' \
    "both Master channels at full before ($(mixer_value mixer 'Master Playback Volume'))"
drag $OUTPUT_FADER_1_X $FADER_TOP_Y 110
park_pointer
check_within 30 '[ "$(mixer_value mixer "Master Playback Volume")" != "100,100" ]' "the fader moved the element"
values=$(mixer_value mixer "Master Playback Volume")
check '[ "${values%,*}" = "${values#*,}" ]' "both channels moved together: $values"
