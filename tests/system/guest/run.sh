# The guest's runner: brings up what every scenario shares (modules, the chroot, udevd, the system
# bus with logind's stand-in, X, the gadget), then sources each scenario in turn in this one shell,
# so that the panel and the device carry their state from one to the next, and prints one verdict
# line per scenario: "PASS name" or "FAIL name".
. "$(dirname "$0")/lib.sh"
log "guest: start"
load_modules
chroot_setup
udevd_start
bus_start
x_start
gadget_create
for scenario in $(zs_value scenarios | tr , ' '); do
    SCENARIO=$scenario
    CHECKS_FAILED=0
    log "---- $scenario"
    . "/host$SYSTEM_DIR/scenarios/$scenario.sh"
    if [ "$CHECKS_FAILED" = 0 ]; then echo "PASS $scenario"; else echo "FAIL $scenario"; fi
done
panel_stop
dmesg > /out/dmesg.txt
log "guest: end"
