# Started with no interface: the window comes up disabled and stays so.
# The interface was used elsewhere first: quiet levels and muted both ways, so that factory
# defaults on the first attach (02) show on the device.
ensure_plugged
mixer set 'Playback Volume' -40dB mute > /dev/null
mixer set 'Capture Volume' -40dB nocap > /dev/null
unplug
rm -f "$PREFS"
panel_stop
started=$(t)
panel_start
figure "panel start to window, no interface: $(elapsed "$started") s"
check_within 60 disabled "with no interface the window says \"Zorvex Disabled\" (title '$(window_title)')"
check alive "the panel runs"
check '[ "$(hid_commands)" = 0 ]' "no command went out"
