# Shell functions of the system-test guest (busybox sh, as root). The host's root is read-only at
# /host; host programs run in a chroot of it (in_host) with tmpfs over /run, /tmp and
# /var/lib/xkb. /out is the host's results folder. Times are the guest's uptime, in seconds.

zs_value() { sed -n "s/.*zs\.$1=\([^ ]*\).*/\1/p" /proc/cmdline; }
SYSTEM_DIR=$(zs_value dir)        # tests/system of the sources
BUILD_DIR=$(zs_value build)       # the build folder, with Panel/zorvex-panel and packaging/70-zorvex.rules
CACHE_DIR=$(zs_value cache)       # kernel, udev, ctladd
PROJECT_DIR=$(zs_value project)   # the sources
# A copy that every user can run, wherever the build lies (a clone in a 0700 home, too).
PANEL_BIN=/tmp/zs-panel/zorvex-panel
G=/sys/kernel/config/usb_gadget/zorvex
RUN=/host/run/zs                  # the tests' own corner of the chroot's /run
PREFS=/host/tmp/home/.config/Orvanelle/zorvex-panel.json
# The unprivileged user of the permission case.
USER_UID=1000

t() { cut -d' ' -f1 /proc/uptime; }
log() { echo "[$(t)] $*"; }
# elapsed FROM [TO]: seconds between two uptimes, to the millisecond.
elapsed() { awk -v a="$1" -v b="${2:-$(t)}" 'BEGIN { printf "%.3f", b - a }'; }

# wait_for SECONDS 'condition' - polls every 0.1 s; 1 when the condition never held.
wait_for() {
    _until=$(( $(cut -d. -f1 /proc/uptime) + $1 ))
    while ! eval "$2"; do
        [ "$(cut -d. -f1 /proc/uptime)" -ge "$_until" ] && return 1
        usleep 100000
    done
    return 0
}

# Checks and the scenario's verdict: check 'condition' 'what it means'. A scenario ends with
# verdict, which exits 1 after any failed check; the runner turns that into PASS or FAIL.
CHECKS_FAILED=0
check() {
    if eval "$1"; then
        log "ok: $2"
    else
        log "FAIL: $2"
        CHECKS_FAILED=$((CHECKS_FAILED + 1))
    fi
}
# check_within SECONDS 'condition' 'what' - the same, polled.
check_within() { check "wait_for $1 '$(echo "$2" | sed "s/'/'\\\\''/g")'" "$3"; }
figure() { log "figure: $*"; }
# wakeups SECONDS - the panel's wake-ups per second over SECONDS (context switches of its
# threads, counted for the threads there at both ends and in full for those born between);
# sets WAKEUPS (all threads) and WAKEUPS_OTHERS (all but the window's thread).
wakeups() {
    _switches() {
        for _s in /proc/$PANEL_PID/task/*/status; do
            awk -v t="${_s%/status}" '/ctxt_switches/ { s += $2 } END { sub(".*/", "", t); print t, s + 0 }' "$_s" 2>/dev/null
        done
    }
    _switches > /tmp/wakeups.0
    sleep "$1"
    _switches > /tmp/wakeups.1
    set -- "$1" $(awk -v main="$PANEL_PID" 'NR == FNR { at[$1] = $2; next }
        $2 > 0 { d = $2 - ($1 in at ? at[$1] : 0); all += d; if ($1 != main) others += d }
        END { print all + 0, others + 0 }' /tmp/wakeups.0 /tmp/wakeups.1)
    WAKEUPS=$(awk -v n="$2" -v s="$1" 'BEGIN { printf "%.1f", n / s }')
    WAKEUPS_OTHERS=$(awk -v n="$3" -v s="$1" 'BEGIN { printf "%.1f", n / s }')
}
verdict() { exit $((CHECKS_FAILED > 0)); }

# --- the chroot ---------------------------------------------------------------------------------

in_host_env() {
    echo PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/tmp/home \
        XDG_RUNTIME_DIR=/run/user/0 LANG=C.UTF-8 SYSTEMD_IGNORE_CHROOT=1 ${DISPLAY:+DISPLAY=$DISPLAY} \
        ${DBUS_SESSION_BUS_ADDRESS:+DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS} \
        ${QT_LINUX_ACCESSIBILITY_ALWAYS_ON:+QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1}
}
# in_host CMD... - a host program in the chroot, with a clean environment (add variables with
# in_host env NAME=VALUE CMD...).
in_host() { chroot /host /usr/bin/env -i $(in_host_env) "$@"; }
# "in_host_exec CMD... &" makes $! the program's own pid (a backgrounded in_host is a subshell).
in_host_exec() { exec chroot /host /usr/bin/env -i $(in_host_env) "$@"; }

chroot_setup() {
    mount -t proc proc /host/proc
    mount -o rbind /sys /host/sys
    mount -o rbind /dev /host/dev
    for d in /run /tmp /var/lib/xkb; do mount -t tmpfs tmpfs "/host$d"; done
    mkdir -p /host/tmp/out /host/tmp/home /host/run/user/0 /host/run/udev/rules.d "$RUN"
    chmod 700 /host/run/user/0
    chmod 1777 /host/tmp
    mount --bind /out /host/tmp/out
    mkdir -p "/host${PANEL_BIN%/*}"
    cp "/hostraw$BUILD_DIR/Panel/zorvex-panel" "/host$PANEL_BIN"
    chmod 755 "/host${PANEL_BIN%/*}" "/host$PANEL_BIN"
    # Folders of ours that a tmpfs hid are bound back in from the untouched tree.
    for d in "$SYSTEM_DIR" "$BUILD_DIR" "$PROJECT_DIR" "$CACHE_DIR"; do
        case "$d" in
            /tmp/*|/run/*|/var/lib/xkb/*) mkdir -p "/host$d" && mount --bind "/hostraw$d" "/host$d" ;;
        esac
    done
}

load_modules() {
    for m in configfs libcomposite usb_f_uac1 usb_f_hid usbip-vudc vhci-hcd snd-usb-audio usbhid hid-generic usbmon; do
        modprobe "$m" || log "modprobe $m failed"
    done
    grep -q ' /sys/kernel/config ' /proc/mounts || mount -t configfs none /sys/kernel/config
    grep -q ' /sys/kernel/debug ' /proc/mounts || mount -t debugfs none /sys/kernel/debug
}

# --- services: udevd, the system bus with logind's stand-in, an X server ------------------------

# udevd from the udev package in the cache, with its rules and the project's own rule.
udevd_start() {
    cp "/hostraw$CACHE_DIR"/udevroot/lib/udev/rules.d/*.rules /host/run/udev/rules.d/
    cp "/hostraw$BUILD_DIR/packaging/70-zorvex.rules" /host/run/udev/rules.d/
    ln -s "$CACHE_DIR/udevroot/bin/udevadm" "$RUN/systemd-udevd"
    ln -s "$CACHE_DIR/udevroot/bin/udevadm" "$RUN/udevadm"
    in_host /run/zs/systemd-udevd --daemon --resolve-names=never > /out/udevd.log 2>&1
    wait_for 60 'udevadm control --ping > /dev/null 2>&1' || log "udevd does not answer"
}
udevadm() { in_host /run/zs/udevadm "$@"; }

bus_start() {
    mkdir -p /host/run/dbus
    in_host dbus-daemon --config-file="$SYSTEM_DIR/guest/system-bus.conf" --fork > /out/dbus.log 2>&1 \
        || log "dbus-daemon: $(cat /out/dbus.log)"
    mkfifo "$RUN/logind.fifo"
    in_host /usr/bin/python3 "$SYSTEM_DIR/guest/logind.py" /run/zs/logind.fifo /run/zs/logind.ready \
        > /out/logind.log 2>&1 &
    wait_for 120 "[ -f $RUN/logind.ready ]" || log "logind's stand-in is not ready: $(cat /out/logind.log)"
}
logind_say() { echo "$1" > "$RUN/logind.fifo"; }
logind_lines() { grep -c "$1" /out/logind.log; }

# Xvfb on :99, no window manager: the panel's window sits at 0,0 of the screen.
x_start() {
    in_host Xvfb :99 -screen 0 640x400x24 -nolisten tcp -noreset > /out/xvfb.log 2>&1 &
    wait_for 120 '[ -S /host/tmp/.X11-unix/X99 ]' || log "Xvfb did not start"
    export DISPLAY=:99
}

# --- the device ---------------------------------------------------------------------------------

# The Zorvex as a configfs gadget (5e1a:3c04 "Orvanelle" "Zorvex"): a UAC1 function, 2 channels
# each way at 44.1/48/96 kHz with volume and mute both ways, and the vendor HID function (18-byte
# input, 27-byte output reports, no report ids), on the USB/IP virtual device controller.
gadget_create() {
    mkdir -p $G
    echo 0x5e1a > $G/idVendor
    echo 0x3c04 > $G/idProduct
    echo 0x0100 > $G/bcdDevice
    echo 0x0200 > $G/bcdUSB
    mkdir -p $G/strings/0x409
    echo Orvanelle > $G/strings/0x409/manufacturer
    echo Zorvex > $G/strings/0x409/product
    echo ZX0001 > $G/strings/0x409/serialnumber
    mkdir -p $G/configs/c.1/strings/0x409
    echo Zorvex > $G/configs/c.1/strings/0x409/configuration
    echo 100 > $G/configs/c.1/MaxPower
    _f=$G/functions/uac1.usb0
    mkdir -p $_f
    echo 3 > $_f/c_chmask; echo 3 > $_f/p_chmask
    echo 3 > $_f/c_ssize; echo 3 > $_f/p_ssize
    echo 44100,48000,96000 > $_f/c_srate
    echo 44100,48000,96000 > $_f/p_srate
    for a in c_volume_present c_mute_present p_volume_present p_mute_present; do echo 1 > $_f/$a; done
    _h=$G/functions/hid.usb0
    mkdir -p $_h
    echo 0 > $_h/protocol; echo 0 > $_h/subclass; echo 27 > $_h/report_length
    # Usage Page 0xFF00, Usage 1, Collection (Application): Usage 2, 0..255, 8 bits x 18, Input;
    # Usage 3, 8 bits x 27, Output; End Collection
    printf '\x06\x00\xff\x09\x01\xa1\x01\x09\x02\x15\x00\x26\xff\x00\x75\x08\x95\x12\x81\x02\x09\x03\x95\x1b\x91\x02\xc0' \
        > $_h/report_desc
    ln -s $_f $G/configs/c.1/
    ln -s $_h $G/configs/c.1/
    echo usbip-vudc.0 > $G/UDC
    hidg_responder /dev/hidg0 /out/hidg.log &
}

# The kernel's own times (its log's clock, the same uptime as t() on this guest): the last USB
# enumeration of a new device, and the last hidraw node of the Zorvex bound.
kernel_usb_new_at() { dmesg | sed -n 's/^\[ *\([0-9.]*\)\].*new .*USB device number.*/\1/p' | tail -1; }
kernel_hidraw_at() { dmesg | sed -n 's/^\[ *\([0-9.]*\)\].*hidraw[0-9]*: USB HID.*Zorvex.*/\1/p' | tail -1; }
card_present() { grep -q '\[Zorvex' /proc/asound/cards; }
zorvex_card() { readlink /proc/asound/Zorvex | sed "s/^card//"; }
# plug / unplug: the cable, then the card and the hidraw node coming and going.
DEVICE_PLUGGED=0
plug() {
    usbip_plug plug 0 || log "plug failed"
    DEVICE_PLUGGED=1
    PLUGGED_AT=$(t)
    wait_for 120 'card_present && [ -e /dev/hidraw0 ]' || log "no card and hidraw node after the plug"
    udevadm settle --timeout=60
}
unplug() {
    usbip_plug unplug 0 || log "unplug failed"
    DEVICE_PLUGGED=0
    wait_for 120 '! card_present && [ ! -e /dev/hidraw0 ]' || log "card or hidraw node left after the unplug"
    udevadm settle --timeout=60
}

# The commands the device got: count, and the last one's bytes.
hid_commands() { grep -c ' OUT #' /out/hidg.log 2>/dev/null || true; }
hid_command_bytes() { grep ' OUT #' /out/hidg.log | sed -n "${1}p" | cut -d: -f2 | sed 's/^ //'; }
hid_command_time() { grep ' OUT #' /out/hidg.log | sed -n "${1}p" | sed 's/^\[\([0-9.]*\)\].*/\1/'; }
# Register 26, data 0: 12 34 1a 00 01 00, 0x80 at byte 21, 27 bytes in all.
REGISTER_26="12 34 1a 00 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 80 00 00 00 00 00"

# "--": a level such as -40dB is not an option.
mixer() { in_host amixer -c Zorvex -- "$@"; }              # the computer's view (snd-usb-audio)
gadget_mixer() { in_host amixer -c UAC1Gadget -- "$@"; }   # the device's own (f_uac1's card)
# mixer_value [mixer|gadget_mixer] 'CONTROL NAME': its values as amixer cget gives them (0,1 ...)
mixer_value() { "$1" cget "name=$2" 2>/dev/null | sed -n 's/^  : values=//p'; }

# usbmon text of bus 1 (vhci-hcd's high-speed root hub) into /out/usbmon-NAME.txt.
usbmon_start() { cat /sys/kernel/debug/usb/usbmon/1u > "/out/usbmon-$1.txt" & USBMON_PID=$!; }
usbmon_stop() { kill "$USBMON_PID"; wait "$USBMON_PID" 2>/dev/null; }

# --- the panel ----------------------------------------------------------------------------------

# By its exact titles: xdotool matches names without regard to case, and Qt's own hidden window
# is named after the program ("zorvex-panel").
window_id() { in_host xdotool search --name '^Zorvex( Disabled)?$' 2>/dev/null | head -1; }
# The panel's window, found once per start (PANEL_WINDOW): every chroot call costs under TCG.
window_title() { [ -n "$PANEL_WINDOW" ] && in_host xdotool getwindowname "$PANEL_WINDOW" 2>/dev/null; }
attached() { case "$(window_title)" in Zorvex*Disabled*|'') return 1 ;; Zorvex*) return 0 ;; esac; return 1; }
disabled() { case "$(window_title)" in "Zorvex Disabled"*) return 0 ;; esac; return 1; }

# panel_start [ARGS...] - the panel (real backends) with stdout and stderr in
# /out/panel-$SCENARIO.log; PANEL_PID is its pid. Returns once its window is mapped.
panel_start() {
    PANEL_LOG=/out/panel-$SCENARIO.log
    in_host_exec "$PANEL_BIN" "$@" >> "$PANEL_LOG" 2>&1 &
    PANEL_PID=$!
    wait_for 180 'PANEL_WINDOW=$(window_id); [ -n "$PANEL_WINDOW" ]' || log "no panel window within 180 s"
}
# seat_acl SUBSYSTEM...|none: from the next plug on, nodes of these subsystems that are tagged
# for uaccess get the unprivileged user's ACL, as logind's seat would give it (run from udev,
# before the event goes out to listeners).
seat_acl() {
    rm -f /host/run/udev/rules.d/73-zs-seat-*.rules
    for _s in "$@"; do
        [ "$_s" = none ] && continue
        echo "SUBSYSTEM==\"$_s\", TAG==\"uaccess\", RUN+=\"/usr/bin/setfacl -m u:$USER_UID:rw \$devnode\"" \
            > "/host/run/udev/rules.d/73-zs-seat-$_s.rules"
    done
    udevadm control --reload
}
seat_acl_on() { for _n in "$@"; do in_host getfacl -n -p "$_n" 2>/dev/null | grep -q "^user:$USER_UID:rw" || return 1; done; }
# panel_start_as UID:GID - the same, as an unprivileged user.
panel_start_as() {
    PANEL_LOG=/out/panel-$SCENARIO.log
    mkdir -p /host/tmp/home-user && chown "$1" /host/tmp/home-user
    exec_as() {
        exec chroot /host /usr/bin/setpriv --reuid="${1%:*}" --regid="${1#*:}" --clear-groups \
            /usr/bin/env -i PATH=/usr/bin:/bin HOME=/tmp/home-user LANG=C.UTF-8 DISPLAY="$DISPLAY" "$PANEL_BIN"
    }
    exec_as "$1" >> "$PANEL_LOG" 2>&1 &
    PANEL_PID=$!
    wait_for 180 'PANEL_WINDOW=$(window_id); [ -n "$PANEL_WINDOW" ]' || log "no panel window within 180 s"
}
alive() { kill -0 "$PANEL_PID" 2>/dev/null; }
panel_stop() {
    [ -n "$PANEL_PID" ] || return 0
    kill "$PANEL_PID" 2>/dev/null
    wait "$PANEL_PID" 2>/dev/null
    PANEL_PID=
    PANEL_WINDOW=
    wait_for 60 '[ -z "$(window_id)" ]'
}

# Window coordinates (no window manager: the window sits at 0,0).
OUTPUT_FADER_1_X=172
FADER_TOP_Y=40
OUTPUT_MUTE_X=205
INPUT_MUTE_X=73
MUTE_Y=255
click() { in_host xdotool mousemove "$1" "$2" click 1; }
drag() {
    in_host xdotool mousemove "$1" "$2" mousedown 1 sleep 0.2 mousemove "$1" $(( ($2 + $3) / 2 )) \
        sleep 0.2 mousemove "$1" "$3" sleep 0.2 mouseup 1
}
# The window's picture, as X has it (XWD): what a person sees, to compare one moment with another.
picture() { in_host xwd -silent -display "$DISPLAY" -id "$PANEL_WINDOW" > "$1" 2> /dev/null; }

# A scenario names the state it starts from; in the usual order it is already there.
ensure_plugged() { [ "$DEVICE_PLUGGED" = 1 ] || plug; }
ensure_unplugged() { [ "$DEVICE_PLUGGED" = 0 ] || unplug; }
ensure_panel() { [ -n "$PANEL_PID" ] && alive || panel_start; }
ensure_attached() {
    ensure_plugged
    ensure_panel
    wait_for 120 attached || log "not attached"
}

# --- reading the state ----------------------------------------------------------------------------

# The factory input level (0.59 of the range) on this card's -100..0 dB range, as amixer shows
# it, and as the device's own 0..100 control holds it.
FACTORY_INPUT_DB=-41.00
FACTORY_INPUT_STEP=59
# mixer_max 'CONTROL NAME' [mixer|gadget_mixer]: the control's top raw value.
mixer_max() { "${2:-mixer}" cget "name=$1" 2>/dev/null | sed -n '/type=INTEGER/s/.*,max=\([-0-9]*\),.*/\1/p'; }
# mixer_db SIMPLE-CONTROL: the first channel's level in dB, as amixer prints it (-41.00).
mixer_db() { mixer sget "$1" | sed -n 's/.*\[\(-*[0-9.]*\)dB\].*/\1/p' | head -1; }

park_pointer() { in_host xdotool mousemove 630 390; }
# settle_picture FILE: the window's picture once two in a row agree (a change may be under way).
settle_picture() {
    picture "$1"
    wait_for 20 'picture /tmp/settle.xwd && cmp -s "$1" /tmp/settle.xwd || { cp /tmp/settle.xwd "$1"; false; }'
}

# first_request_after UPTIME 'SETUP BYTES': seconds from TIME to the first submitted control
# request with those setup bytes in this scenario's usbmon capture; nothing when there is none.
# usbmon stamps in microseconds of the monotonic clock (modulo 4096 s), which the uptime follows
# in a guest that never suspends.
first_request_after() {
    awk -v since="$1" -v setup="$2" '
        $3 == "S" && index($0, " s " setup " ") { at = $2 / 1000000; if (at >= since) { printf "%.3f", at - since; exit } }
    ' "/out/usbmon-$SCENARIO.txt"
}

# --- the user's session: its bus, accessibility, the sound server -------------------------------

# The session bus and the accessibility bus at-spi's tools read the panel through; programs
# started after this (the panel included) join them, and Qt exposes its widgets on them.
session_start() {
    [ -n "$DBUS_SESSION_BUS_ADDRESS" ] && return 0
    in_host dbus-daemon --session --fork --address=unix:path=/run/user/0/bus > /out/session-bus.log 2>&1 \
        || log "session bus: $(cat /out/session-bus.log)"
    export DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/0/bus QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
    in_host /usr/libexec/at-spi-bus-launcher --launch-immediately > /out/at-spi.log 2>&1 &
}
# a11y.py's commands (rate, cell, follow) against the running panel.
a11y() { in_host /usr/bin/python3 "$SYSTEM_DIR/guest/a11y.py" "$@" 2>> /out/a11y-$SCENARIO.log; }
# The rate selector as the window shows it: "44.1 kHz|44100 Hz", "none|No rate".
panel_rate() { a11y rate; }
# window_rate_is 'CELL|TEXT': whether the window shows that; RATE_SEEN is what it showed.
window_rate_is() { RATE_SEEN=$(panel_rate); [ "$RATE_SEEN" = "$1" ]; }
# click_rate 'CELL': a click on the rate cell, where at-spi says it is; CLICKED_AT is the
# uptime just before the click (finding the cell takes seconds under emulation).
click_rate() { _at=$(a11y cell "$1") && CLICKED_AT=$(t) && click $_at; }

# The rate the device runs its output side at, as it received it (0 while not streaming).
gadget_rate() { gadget_mixer cget "iface=PCM,name=Capture Rate" 2>/dev/null | sed -n 's/^  : values=//p'; }
# The rate the kernel runs the card's playback side at ("closed": none).
hw_params() { cat /proc/asound/Zorvex/pcm0p/sub0/hw_params 2>/dev/null; }
hw_rate() { hw_params | sed -n 's/^rate: \([0-9]*\) .*/\1/p'; }
HW_PARAMS_FILE=/proc/asound/Zorvex/pcm0p/sub0/hw_params

# PipeWire and WirePlumber as the user's sound server (in the session); WirePlumber's logind
# plugin needs logind's folders. Returns once the Zorvex's sink is in the graph.
PIPEWIRE_PIDS=
pipewire_start() {
    session_start
    mkdir -p /host/run/systemd/seats /host/run/systemd/sessions /host/run/systemd/users /host/run/systemd/machines
    in_host_exec pipewire > /out/pipewire.log 2>&1 &
    PIPEWIRE_PIDS=$!
    wait_for 60 '[ -S /host/run/user/0/pipewire-0 ]' || log "no PipeWire socket"
    in_host_exec wireplumber > /out/wireplumber.log 2>&1 &
    PIPEWIRE_PIDS="$PIPEWIRE_PIDS $!"
    wait_for 120 'in_host wpctl status 2>/dev/null | grep -q "Zorvex Analog Stereo"' \
        || log "the Zorvex is not in the sound server's graph: $(in_host wpctl status 2>&1 | tr -s ' \n' ' ')"
}
pipewire_stop() {
    for _p in $PIPEWIRE_PIDS; do kill "$_p" 2>/dev/null; wait "$_p" 2>/dev/null; done
    PIPEWIRE_PIDS=
}
# The server's node that plays to the Zorvex.
zorvex_sink() { in_host pw-cli ls Node 2>/dev/null | sed -n 's/.*node.name = "\(alsa_output\.usb-Orvanelle_Zorvex[^"]*\)".*/\1/p' | head -1; }
# The forced rate in the server's settings ("" when none is forced).
forced_rate() { in_host pw-metadata -n settings 0 clock.force-rate 2>/dev/null | sed -n "s/.*key:'clock.force-rate' value:'\([^']*\)'.*/\1/p"; }

# rate_request_after UPTIME RATE: seconds from UPTIME to the first sampling-frequency request
# (SET_CUR to an endpoint, 3 bytes little-endian) for RATE Hz in this scenario's usbmon capture.
rate_request_after() {
    _le=$(printf '%02x%02x%02x' $(($2 & 255)) $((($2 >> 8) & 255)) $((($2 >> 16) & 255)))
    awk -v since="$1" -v data="$_le" '
        $3 == "S" && index($0, " s 22 01 0100 ") && $NF == data { at = $2 / 1000000; if (at >= since) { printf "%.3f", at - since; exit } }
    ' "/out/usbmon-$SCENARIO.txt"
}
