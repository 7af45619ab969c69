#!/bin/sh
# Fills the system tests' cache folder (argument 1) once: the Debian 6.1 kernel and its modules,
# and udev's programs and rules, each fetched with apt-get download and unpacked there. Neither is
# installed on this machine: the guest boots the one and runs the other. As root, without
# apt's sandbox user, who cannot write to the cache.
set -eu
cache=$1
kver=$2
mkdir -p "$cache"
cd "$cache"
if [ ! -f "kroot/boot/vmlinuz-$kver" ]; then
    ls linux-image-"$kver"_*.deb > /dev/null 2>&1 || apt-get download -o APT::Sandbox::User=root "linux-image-$kver"
    rm -rf kroot
    dpkg-deb -x linux-image-"$kver"_*.deb kroot
    depmod -b kroot "$kver"
fi
if [ ! -x udevroot/bin/udevadm ]; then
    ls udev_*.deb > /dev/null 2>&1 || apt-get download -o APT::Sandbox::User=root udev
    rm -rf udevroot
    dpkg-deb -x udev_*.deb udevroot
fi
