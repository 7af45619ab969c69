# Started with the interface present: attached at start-up, one command. The card gets a
# two-channel "Master" pair first (ctladd), which the linked-pair case (05) uses.
panel_stop
ensure_plugged
in_host "$CACHE_DIR/bin/ctladd" hw:Zorvex || log "ctladd failed"
before=$(hid_commands)
started=$(t)
panel_start
check_within 120 attached "attached at start-up"
figure "panel start to attached, interface present: $(elapsed "$started") s"
check_within 30 '[ "$(hid_commands)" -gt "$before" ]' "a command at start-up"
wait_for 2 false
check '[ "$(hid_commands)" = $((before + 1)) ]' "exactly one"
check '[ "$(hid_command_bytes $((before + 1)))" = "$REGISTER_26" ]' "the register-26 command"
