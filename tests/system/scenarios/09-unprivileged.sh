# The panel as an unprivileged user. Access comes as a seat's uaccess gives it: an ACL for the
# user, set from a udev rule before the event reaches the panel. With the card's nodes but not
# the hidraw node, the panel lives, stays disabled and says why on stderr; once the hidraw node
# gets its ACL too (the project's rule tags it for uaccess), it attaches.
panel_stop
seat_acl sound
ensure_unplugged
plug
check '[ "$(stat -c %a /dev/hidraw0)" = 600 ] && ! seat_acl_on /dev/hidraw0' "the hidraw node is root's alone"
check 'seat_acl_on /dev/snd/controlC$(zorvex_card)' "the card's nodes have the user's ACL"
panel_start_as $USER_UID:$USER_UID
check_within 60 'grep -q "hidraw0" "$PANEL_LOG"' "stderr names the node it cannot open"
log "stderr: $(grep hidraw "$PANEL_LOG" | head -1)"
check 'grep -q "permission denied on /dev/hidraw0: is the udev rule" "$PANEL_LOG"' "and why, in the panel's words"
check alive "the panel lives"
check disabled "the window stays disabled"
seat_acl sound hidraw
unplug
plug
check 'seat_acl_on /dev/hidraw0' "the hidraw node has the user's ACL"
check_within 120 attached "with the ACL the panel attaches"
panel_stop
seat_acl none
