# The rate with no sound server: nothing keeps one, so while nothing streams the window shows no
# rate and says so; while another program streams on the interface itself, the window shows
# that stream's rate within a second of the kernel running it, read through at-spi. Before the
# sound server's case (11), which starts the server.
panel_stop
session_start
ensure_plugged
panel_start
check_within 120 attached "attached, with the accessibility bridge on"
check_within 30 '[ "$(hw_rate)" = "" ] && window_rate_is "none|No rate"' \
    "no stream and no server: no rate cell and \"No rate\""
log "the window shows: $RATE_SEEN"
# Idle and attached, nothing streams: the rate watch sleeps until a device node is opened.
wakeups 10
figure "panel wake-ups attached and idle, no server, no stream: $WAKEUPS/s ($WAKEUPS_OTHERS/s besides the window's thread)"
check 'awk -v w="$WAKEUPS_OTHERS" "BEGIN { exit !(w <= 1.0) }"' "the rate watch wakes at most once a second with no stream"
for rate in 44100:"44.1 kHz" 96000:"96 kHz"; do
    hz=${rate%%:*}
    want="${rate#*:}|$hz Hz"
    # The panel is watched before the stream starts, so that the delay counts from the moment
    # the kernel runs it.
    rm -f /host/tmp/a11y.ready
    a11y follow /tmp/a11y.ready $HW_PARAMS_FILE "$hz" "$want" 10 > /tmp/follow.out &
    follower=$!
    wait_for 60 '[ -f /host/tmp/a11y.ready ]' || log "at-spi's follower is not ready"
    in_host_exec aplay -q -D hw:Zorvex -r "$hz" -c 2 -f S24_3LE -t raw -d 30 /dev/zero &
    player=$!
    wait "$follower"
    delay=$(cat /tmp/follow.out)
    check '[ -n "$delay" ] && awk -v d="$delay" "BEGIN { exit !(d <= 1.0) }"' \
        "aplay at $hz Hz on hw:Zorvex: the window shows $want within a second (after ${delay:-never} s)"
    [ -n "$delay" ] && figure "a direct stream at $hz Hz to the window's rate: $delay s"
    check '[ "$(gadget_rate)" = "$hz" ]' "the device runs at $hz Hz"
    log "the device's rate: $(gadget_rate)"
    if [ "$hz" = 44100 ]; then
        wakeups 10
        figure "panel wake-ups attached, one stream running, no server: $WAKEUPS/s ($WAKEUPS_OTHERS/s besides the window's thread)"
        check 'awk -v w="$WAKEUPS" "BEGIN { exit !(w <= 1.0) }"' "with a stream running the panel wakes at most once a second"
    fi
    kill "$player"
    wait "$player"
    check_within 20 'window_rate_is "none|No rate"' "the stream ended: no rate again"
    log "the window shows: $RATE_SEEN"
done
