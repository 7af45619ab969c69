/* Plugs the gadget on the USB/IP virtual device controller (usbip-vudc) into vhci-hcd of the same
 * kernel, with no network in between: one end of a socket pair goes to the device side, the other
 * to the host side, and the kernel keeps its own references to both. "unplug" detaches the port,
 * as pulling the cable would. Static, so that it runs straight from the guest's initramfs.
 * Usage: usbip_plug plug|unplug [vhci-port] */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>

static const char *const kVudcSocket = "/sys/devices/platform/usbip-vudc.0/usbip_sockfd";
static const char *const kVhciAttach = "/sys/devices/platform/vhci_hcd.0/attach";
static const char *const kVhciDetach = "/sys/devices/platform/vhci_hcd.0/detach";
enum { kSpeedHigh = 3 };

static int put(const char *path, const char *text)
{
    FILE *f = fopen(path, "w");
    if (!f) {
        perror(path);
        return -1;
    }
    const int written = fputs(text, f);
    if (fclose(f) != 0 || written < 0) {
        perror(path);
        return -1;
    }
    return 0;
}

int main(int argc, char **argv)
{
    const char *action = argc > 1 ? argv[1] : "plug";
    const int port = argc > 2 ? atoi(argv[2]) : 0;
    char text[64];
    if (strcmp(action, "unplug") == 0) {
        snprintf(text, sizeof text, "%d\n", port);
        return put(kVhciDetach, text) == 0 ? 0 : 1;
    }
    if (strcmp(action, "plug") != 0) {
        fprintf(stderr, "usage: usbip_plug plug|unplug [vhci-port]\n");
        return 2;
    }
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) {
        perror("socketpair");
        return 1;
    }
    snprintf(text, sizeof text, "%d\n", pair[0]);
    if (put(kVudcSocket, text) != 0)
        return 1;
    /* Bus 1, device 2: vudc only echoes it back. */
    const unsigned devid = (1u << 16) | 2u;
    snprintf(text, sizeof text, "%d %d %u %d\n", port, pair[1], devid, kSpeedHigh);
    return put(kVhciAttach, text) == 0 ? 0 : 1;
}
