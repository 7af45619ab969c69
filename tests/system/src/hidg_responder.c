/* The device's end of the vendor HID interface: logs each output report the host sends to the
 * gadget's /dev/hidgN, in hex with the guest's uptime (s), and answers it with one 18-byte input
 * report (0x5a, the command's register byte, a running count, zeros), as the interface does.
 * Usage: hidg_responder DEVICE LOG */
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

enum { kInputReportLength = 18, kReplyWaitMilliseconds = 2000 };

static double uptime(void)
{
    struct timespec now;
    clock_gettime(CLOCK_BOOTTIME, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: hidg_responder DEVICE LOG\n");
        return 2;
    }
    FILE *log = fopen(argv[2], "a");
    if (!log) {
        perror(argv[2]);
        return 1;
    }
    setvbuf(log, NULL, _IOLBF, 0);
    const int fd = open(argv[1], O_RDWR);
    if (fd < 0) {
        fprintf(log, "open %s: %s\n", argv[1], strerror(errno));
        return 1;
    }
    unsigned count = 0;
    for (;;) {
        unsigned char report[256];
        const ssize_t n = read(fd, report, sizeof report);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fprintf(log, "[%.3f] read: %s\n", uptime(), strerror(errno));
            return 1;
        }
        fprintf(log, "[%.3f] OUT #%u n=%zd:", uptime(), ++count, n);
        for (ssize_t i = 0; i < n; ++i)
            fprintf(log, " %02x", report[i]);
        fputc('\n', log);
        const unsigned char reply[kInputReportLength] = {0x5a, n > 2 ? report[2] : 0, (unsigned char)count};
        struct pollfd writable = {fd, POLLOUT, 0};
        /* A host that stopped reading (unplugged) must not stall the next command's log. */
        if (poll(&writable, 1, kReplyWaitMilliseconds) <= 0) {
            fprintf(log, "[%.3f] IN #%u not taken\n", uptime(), count);
            continue;
        }
        if (write(fd, reply, sizeof reply) < 0)
            fprintf(log, "[%.3f] IN #%u: %s\n", uptime(), count, strerror(errno));
    }
}
