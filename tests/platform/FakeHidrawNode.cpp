#include "FakeHidrawNode.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <linux/ioctl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The one node in use; open() and ioctl() of the whole test program pass through here.
std::atomic<FakeHidrawNode *> gNode{nullptr};
std::mutex gNodeMutex;
std::string gPath;
int gHostEnd = -1;

using OpenFn = int (*)(const char *, int, ...);
using IoctlFn = int (*)(int, unsigned long, ...);

OpenFn realOpen()
{
    static const auto fn = reinterpret_cast<OpenFn>(dlsym(RTLD_NEXT, "open"));
    return fn;
}

IoctlFn realIoctl()
{
    static const auto fn = reinterpret_cast<IoctlFn>(dlsym(RTLD_NEXT, "ioctl"));
    return fn;
}

bool sameFile(int a, int b)
{
    struct stat sa {};
    struct stat sb {};
    return ::fstat(a, &sa) == 0 && ::fstat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// The descriptor of a vendor device with 64-byte reports; its content plays no part here.
constexpr std::uint8_t kDescriptor[]
    = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
       0x95, 0x40, 0x09, 0x01, 0x81, 0x02, 0x95, 0x40, 0x09, 0x01, 0x91, 0x02, 0xC0};

} // namespace

extern "C" int open(const char *path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, int));
        va_end(args);
    }
    if (gNode.load()) {
        std::lock_guard lock(gNodeMutex);
        if (gHostEnd >= 0 && gPath == path) {
            // Flags that a socket cannot take (O_NONBLOCK stays as hidapi asks) are dropped.
            const int fd = ::fcntl(gHostEnd, (flags & O_CLOEXEC) ? F_DUPFD_CLOEXEC : F_DUPFD, 0);
            if (fd >= 0 && (flags & O_NONBLOCK))
                ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
            return fd;
        }
    }
    return realOpen()(path, flags, mode);
}

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list args;
    va_start(args, request);
    void *argument = va_arg(args, void *);
    va_end(args);
    if (gNode.load()) {
        std::lock_guard lock(gNodeMutex);
        if (gHostEnd >= 0 && sameFile(fd, gHostEnd)) {
            if (request == HIDIOCGRDESCSIZE) {
                *static_cast<int *>(argument) = static_cast<int>(sizeof kDescriptor);
                return 0;
            }
            if (request == HIDIOCGRDESC) {
                auto *descriptor = static_cast<hidraw_report_descriptor *>(argument);
                descriptor->size = sizeof kDescriptor;
                std::copy(std::begin(kDescriptor), std::end(kDescriptor), descriptor->value);
                return 0;
            }
            errno = ENOTTY;
            return -1;
        }
    }
    return realIoctl()(fd, request, argument);
}

FakeHidrawNode::FakeHidrawNode()
{
    int ends[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0 || ::pipe2(m_stop, O_CLOEXEC) != 0)
        return;
    m_host = ends[0];
    m_device = ends[1];
    m_path = "/dev/fake-hidraw-" + std::to_string(::getpid());
    {
        std::lock_guard lock(gNodeMutex);
        gPath = m_path;
        gHostEnd = m_host;
    }
    gNode.store(this);
    m_thread = std::thread([this] { serve(); });
}

FakeHidrawNode::~FakeHidrawNode()
{
    if (m_thread.joinable()) {
        const char stop = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_stop[1], &stop, 1);
        m_thread.join();
    }
    gNode.store(nullptr);
    {
        std::lock_guard lock(gNodeMutex);
        gPath.clear();
        gHostEnd = -1;
    }
    for (const int fd : {m_host, m_device, m_stop[0], m_stop[1]})
        if (fd >= 0)
            ::close(fd);
}

void FakeHidrawNode::setResponder(Responder responder)
{
    std::lock_guard lock(m_mutex);
    m_responder = std::move(responder);
}

void FakeHidrawNode::sendUnasked(const Report &report)
{
    [[maybe_unused]] const ssize_t sent = ::send(m_device, report.data(), report.size(), 0);
}

std::vector<FakeHidrawNode::Report> FakeHidrawNode::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

void FakeHidrawNode::serve()
{
    std::vector<std::uint8_t> buffer(4096);
    for (;;) {
        pollfd fds[2] = {{m_device, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        const ssize_t n = ::recv(m_device, buffer.data(), buffer.size(), 0);
        if (n < 0)
            continue;
        Report report(buffer.begin(), buffer.begin() + n);
        std::vector<Report> replies;
        {
            std::lock_guard lock(m_mutex);
            m_received.push_back(report);
            if (m_responder)
                replies = m_responder(report);
        }
        for (const Report &reply : replies)
            [[maybe_unused]] const ssize_t sent = ::send(m_device, reply.data(), reply.size(), 0);
    }
}
