#!/bin/sh
# Builds the guest's initramfs into the cache folder (argument 1): static busybox, the guest's
# init, the static device-side helpers and the modules the guest loads with everything they
# depend on, resolved against the unpacked kernel. Also builds ctladd, which runs in the guest's
# chroot of this machine and so links against its alsa-lib.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
cache=$1
kver=$2
kroot=$cache/kroot
stage=$cache/initramfs
modules="virtio_pci 9pnet_virtio 9p configfs libcomposite usb_f_uac1 usb_f_hid usbip-vudc vhci-hcd
 snd-usb-audio usbhid hid-generic usbmon"
cflags="-O2 -Wall -Wextra -Werror"
rm -rf "$stage"
mkdir -p "$stage/bin" "$stage/dev" "$stage/proc" "$stage/sys" "$stage/host" "$stage/out" "$stage/tmp" \
    "$stage/lib/modules/$kver" "$cache/bin"
cp /bin/busybox "$stage/bin/busybox"
for tool in usbip_plug hidg_responder; do
    gcc $cflags -static -o "$stage/bin/$tool" "$here/src/$tool.c"
done
gcc $cflags -o "$cache/bin/ctladd" "$here/src/ctladd.c" $(pkg-config --cflags --libs alsa)
cp "$here/guest/init" "$stage/init"
chmod 755 "$stage/init"
for m in $modules; do
    modprobe -d "$kroot" -S "$kver" --show-depends "$m"
done | awk '$1 == "insmod" { print $2 }' | sort -u | while read -r ko; do
    relative=${ko#"$kroot"/}
    mkdir -p "$stage/$(dirname "$relative")"
    cp "$ko" "$stage/$relative"
done
for f in modules.order modules.builtin modules.builtin.modinfo; do
    cp "$kroot/lib/modules/$kver/$f" "$stage/lib/modules/$kver/"
done
depmod -b "$stage" "$kver"
(cd "$stage" && find . | cpio -o -H newc --quiet | gzip -1) > "$cache/initramfs.cpio.gz"
