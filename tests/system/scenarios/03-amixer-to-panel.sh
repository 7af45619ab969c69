# amixer in another process changes the card's levels and mutes: the window follows. What the
# panel shows is read from its picture: it changes with the device's value and comes back
# identical when the value does.
ensure_attached
park_pointer
for change in "Playback Volume|-30dB|0dB|output level" "Capture Volume|-10dB|$FACTORY_INPUT_DB""dB|input level" \
    "Playback Volume|mute|unmute|output mute" "Capture Volume|nocap|cap|input mute"; do
    control=${change%%|*}; rest=${change#*|}
    changed=${rest%%|*}; rest=${rest#*|}
    restored=${rest%%|*}; what=${rest#*|}
    mixer set "$control" "$restored" > /dev/null
    settle_picture /tmp/before.xwd
    changed_at=$(t)
    mixer set "$control" "$changed" > /dev/null
    check_within 30 'picture /tmp/now.xwd && ! cmp -s /tmp/before.xwd /tmp/now.xwd' "the window shows the $what change ($changed)"
    figure "amixer $what to the window: $(elapsed "$changed_at") s"
    mixer set "$control" "$restored" > /dev/null
    check_within 30 'picture /tmp/now.xwd && cmp -s /tmp/before.xwd /tmp/now.xwd' "the window is back as it was after $restored"
done
