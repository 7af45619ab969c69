# A slow sound driver: the HID node comes, the card only seconds later (the driver loaded late).
# The panel gives up waiting after a second and says what is missing, then attaches by itself
# when the card comes, with one command, and no replug.
ensure_attached
unplug
# The driver stays in use until the last program lets go of the card that left.
wait_for 20 'modprobe -r snd-usb-audio 2> /dev/null' || log "snd-usb-audio stays loaded"
# The test alone loads the driver: where the guest kernel's modules are on the host, udevd would.
drivers_rules=/host/run/udev/rules.d/80-drivers.rules
mv "$drivers_rules" /tmp/80-drivers.rules && : > "$drivers_rules"
udevadm control --reload
before=$(hid_commands)
said_before=$(grep -c "HID device is here, but not its sound card" "$PANEL_LOG")
usbip_plug plug 0 || log "plug failed"
DEVICE_PLUGGED=1
check_within 120 '[ -e /dev/hidraw0 ]' "the HID node came"
wait_for 3 false
check '! card_present' "no sound card without its driver"
check disabled "the panel is disabled without the card"
check '[ "$(grep -c "HID device is here, but not its sound card" "$PANEL_LOG")" -gt "$said_before" ]' "and says why"
loaded_at=$(t)
modprobe snd-usb-audio || log "modprobe snd-usb-audio failed"
check_within 60 card_present "the card came once its driver loaded"
check_within 60 attached "the panel attached by itself"
figure "driver loaded to attached: $(elapsed "$loaded_at") s"
check_within 30 '[ "$(hid_commands)" -gt "$before" ]' "a command went out"
wait_for 2 false
check '[ "$(hid_commands)" = $((before + 1)) ]' "exactly one command ($(( $(hid_commands) - before )))"
mv /tmp/80-drivers.rules "$drivers_rules"
udevadm control --reload
