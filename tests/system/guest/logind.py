#!/usr/bin/python3
"""Stands in for systemd-logind on the guest's system bus.

Owns org.freedesktop.login1; emits Manager.PrepareForSleep(b) for each "sleep" or "wake" line
written to the FIFO argv[1]; answers Manager.Inhibit(what, who, why, mode) with the write end
of a fresh pipe and logs when its holder closes it, as logind does to let a suspend go ahead.
Writes "ready" to argv[2] once it owns the name. Log lines carry the guest's uptime in seconds.
"""
import os
import sys
import time

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

MANAGER = "org.freedesktop.login1.Manager"


def uptime():
    # The clock the device side stamps its reports with, to the millisecond.
    return f"{time.clock_gettime(time.CLOCK_BOOTTIME):.3f}"


def log(text):
    print(f"[{uptime()}] logind: {text}", flush=True)


class Manager(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, "/org/freedesktop/login1")
        self.inhibitors = 0

    @dbus.service.method(MANAGER, in_signature="ssss", out_signature="h")
    def Inhibit(self, what, who, why, mode):
        self.inhibitors += 1
        number = self.inhibitors
        read_end, write_end = os.pipe()
        log(f"inhibitor #{number} taken: what={what} who={who} mode={mode} why={why}")

        def closed(fd, _condition):
            log(f"inhibitor #{number} released")
            os.close(fd)
            return False

        GLib.io_add_watch(read_end, GLib.IO_HUP | GLib.IO_ERR, closed)
        handed = dbus.types.UnixFd(write_end)  # a duplicate travels; ours closes at once
        os.close(write_end)
        return handed

    @dbus.service.signal(MANAGER, signature="b")
    def PrepareForSleep(self, start):
        log(f"PrepareForSleep({'true' if start else 'false'})")


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SystemBus()
    name = dbus.service.BusName("org.freedesktop.login1", bus, do_not_queue=True)
    manager = Manager(bus)
    # Read-write, so that the FIFO never reads as closed between writers.
    fifo = os.open(sys.argv[1], os.O_RDWR | os.O_NONBLOCK)
    pending = b""

    def command(fd, _condition):
        nonlocal pending
        pending += os.read(fd, 4096)
        *lines, pending = pending.split(b"\n")
        for line in lines:
            word = line.decode().strip()
            if word in ("sleep", "wake"):
                manager.PrepareForSleep(word == "sleep")
        return True

    GLib.io_add_watch(fifo, GLib.IO_IN, command)
    with open(sys.argv[2], "w") as ready:
        ready.write("ready\n")
    log(f"owns {name.get_name()}")
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
