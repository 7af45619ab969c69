# Three unplug/replug rounds while amixer writes to the card from another process: the panel
# lives through them, attaches again each time and sends one command per attach.
ensure_attached
(
    while :; do
        mixer set 'Playback Volume' 30% > /dev/null 2>&1
        mixer set 'Playback Volume' 90% > /dev/null 2>&1
        mixer set 'Capture Volume' toggle > /dev/null 2>&1
    done
) &
writer=$!
for round in 1 2 3; do
    unplug
    check_within 60 disabled "round $round: disabled after the unplug"
    check alive "round $round: the panel lives after the unplug"
    before=$(hid_commands)
    plug
    check_within 120 attached "round $round: attached again"
    check_within 30 '[ "$(hid_commands)" -gt "$before" ]' "round $round: a command after the replug"
    # A second command would follow the first within moments.
    wait_for 2 false
    check '[ "$(hid_commands)" = $((before + 1)) ]' "round $round: exactly one command ($(( $(hid_commands) - before )))"
    check alive "round $round: the panel lives"
done
kill $writer; wait $writer 2>/dev/null
mixer set 'Capture Volume' cap > /dev/null
