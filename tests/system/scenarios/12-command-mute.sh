# A keyboard shortcut's command: --mute input=toggle from another process reaches the device
# (its own mixer and the computer's amixer), and the running panel's window follows.
ensure_attached
park_pointer
check '[ "$(mixer_value gadget_mixer "PCM Playback Switch")" = on ]' "the input is on before the command"
settle_picture /tmp/before.xwd
sent_at=$(t)
reply=$(in_host "$PANEL_BIN" --mute input=toggle --get --json 2>&1); status=$?
log "the command printed: $reply (exit status $status)"
figure "command to the running panel and back: $(elapsed "$sent_at") s"
check '[ "$status" = 0 ]' "the command exits with status 0"
check 'echo "$reply" | grep -q "\"window\":true"' "the running panel carried it out"
check_within 30 '[ "$(mixer_value gadget_mixer "PCM Playback Switch")" = off ]' "the device's input is muted"
check 'mixer sget "Capture Volume" | grep -q "\[off\]"' "amixer shows the input muted"
check_within 30 'picture /tmp/now.xwd && ! cmp -s /tmp/before.xwd /tmp/now.xwd' "the window shows the input mute"
in_host "$PANEL_BIN" --mute input=toggle > /dev/null 2>&1
check_within 30 '[ "$(mixer_value gadget_mixer "PCM Playback Switch")" = on ]' "a second toggle unmutes the device's input"
check_within 30 'picture /tmp/now.xwd && cmp -s /tmp/before.xwd /tmp/now.xwd' "and the window is back as it was"
cmp -s /tmp/before.xwd /tmp/now.xwd || { cp /tmp/before.xwd /out/12-before.xwd; cp /tmp/now.xwd /out/12-after.xwd; log "the two pictures are in the results folder"; }
