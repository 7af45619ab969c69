# The panel as an unprivileged user (in the audio group, as a seat's user is for the card):
# without access to the hidraw node it lives, stays disabled and says why on stderr; with an
# ACL granted as uaccess grants it (setfacl from a udev rule, before the event reaches the
# panel) it attaches.
panel_stop
ensure_plugged
check '[ "$(stat -c %a /dev/hidraw0)" = 600 ]' "the hidraw node is root's alone ($(stat -c '%a %U' /dev/hidraw0))"
panel_start_as $USER_UID:$AUDIO_GID
check_within 60 'grep -q "hidraw0" "$PANEL_LOG"' "stderr names the node it cannot open"
log "stderr: $(grep hidraw "$PANEL_LOG" | head -1)"
check 'grep -qi "permission denied" "$PANEL_LOG"' "and why"
check alive "the panel lives"
check disabled "the window stays disabled ('$(window_title)')"
echo 'SUBSYSTEM=="hidraw", TAG=="uaccess", RUN+="/usr/bin/setfacl -m u:'$USER_UID':rw $devnode"' \
    > /host/run/udev/rules.d/73-zs-seat-acl.rules
udevadm control --reload
unplug
plug
check 'in_host getfacl -n -p /dev/hidraw0 2>/dev/null | grep -q "^user:$USER_UID:rw"' "the node has the user's ACL"
check_within 120 attached "with the ACL the panel attaches"
rm -f /host/run/udev/rules.d/73-zs-seat-acl.rules
udevadm control --reload
panel_stop
