# The rate with PipeWire as the sound server: the window's choice makes the server run the
# interface at that rate, for a stream started after it and for one running while it changes;
# the device receives the sampling-frequency request. The server sets the sink's volume on its
# own, so this runs after the level scenarios.
session_start
ensure_plugged
ensure_panel
check_within 120 attached "attached"
pipewire_start
sink=$(zorvex_sink)
check '[ -n "$sink" ]' "the sound server has the Zorvex's sink: $sink"
check_within 20 'window_rate_is "48 kHz|48000 Hz"' \
    "nothing streams: the window shows the server's own rate, 48 kHz"
log "the window shows: $RATE_SEEN"
wakeups 10
figure "panel wake-ups attached and idle, PipeWire, no stream: $WAKEUPS/s ($WAKEUPS_OTHERS/s besides the window's thread)"
check 'awk -v w="$WAKEUPS_OTHERS" "BEGIN { exit !(w <= 1.0) }"' "the rate watch wakes at most once a second with no stream"
# Three minutes of silence at 48 kHz: a rate of neither choice, so that the card's rate can
# only come from the choice.
in_host /usr/bin/python3 -c 'import wave,sys; w=wave.open(sys.argv[1],"wb"); w.setnchannels(2); w.setsampwidth(2); w.setframerate(48000); w.writeframes(bytes(4*48000*180)); w.close()' /tmp/silence.wav
play() { in_host_exec pw-play --target "$sink" /tmp/silence.wav > "/out/pw-play-$SCENARIO.log" 2>&1 & PLAYER=$!; }
usbmon_start $SCENARIO

forced_before=$(forced_rate)
click_rate "96 kHz"
chosen_at=$CLICKED_AT
check_within 10 '[ "$(forced_rate)" = 96000 ]' "the choice reached the server (clock.force-rate 96000)"
check_within 20 'window_rate_is "96 kHz|96000 Hz"' "the window shows 96 kHz"
log "the window shows: $RATE_SEEN"
play
check_within 30 '[ "$(hw_rate)" = 96000 ]' "a stream through the server: the card runs at 96000 Hz"
check_within 10 '[ "$(gadget_rate)" = 96000 ]' "the device runs at 96000 Hz"
check '[ -n "$(rate_request_after "$chosen_at" 96000)" ]' "the device received the 96000 Hz request"
wakeups 10
figure "panel wake-ups attached, one stream through PipeWire: $WAKEUPS/s ($WAKEUPS_OTHERS/s besides the window's thread)"

# A change while the stream runs: the time from the click to the request on the wire.
click_rate "44.1 kHz"
chosen_at=$CLICKED_AT
check_within 30 '[ "$(hw_rate)" = 44100 ]' "the running stream moved: the card runs at 44100 Hz"
check_within 10 '[ "$(gadget_rate)" = 44100 ]' "the device runs at 44100 Hz"
request=$(rate_request_after "$chosen_at" 44100)
check '[ -n "$request" ]' "the device received the 44100 Hz request"
[ -n "$request" ] && figure "rate choice to the device's sampling-frequency request, stream running: $request s"
check_within 20 'window_rate_is "44.1 kHz|44100 Hz"' "the window shows 44.1 kHz"
log "the window shows: $RATE_SEEN"
kill "$PLAYER"; wait "$PLAYER" 2>/dev/null

# A later stream opens the card at the chosen rate.
check_within 30 '[ "$(hw_rate)" = "" ]' "the stream stopped: the card is closed"
started_at=$(t)
play
check_within 30 '[ "$(hw_rate)" = 44100 ]' "a later stream: the card runs at 44100 Hz"
request=$(rate_request_after "$started_at" 44100)
check '[ -n "$request" ]' "the device received the 44100 Hz request again"
kill "$PLAYER"; wait "$PLAYER" 2>/dev/null
usbmon_stop

# The panel's quitting puts back the server's forced rate as it found it.
panel_stop
check_within 10 '[ "$(forced_rate)" = "$forced_before" ]' "the panel quit: clock.force-rate is back to '$forced_before'"
pipewire_stop
