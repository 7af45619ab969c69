#include "RateWatch.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <system_error>
#include <unistd.h>

namespace linuxbackends {

namespace {

constexpr auto kFirstRetry = std::chrono::seconds(1);
constexpr auto kLastRetry = std::chrono::seconds(64);
constexpr const char *kRecordName = "zorvex-panel-forced-rate";

void drain(int fd)
{
    char buffer[4096];
    while (::read(fd, buffer, sizeof buffer) > 0) {}
}

// "subdevices_avail: 0" of a PCM's info: how many substreams nobody has open.
std::optional<long> infoNumber(const std::string &text, std::string_view key)
{
    const auto at = text.find(key);
    if (at == std::string::npos)
        return std::nullopt;
    const char *first = text.data() + at + key.size();
    while (*first == ' ')
        ++first;
    long value = 0;
    const auto [end, ec] = std::from_chars(first, text.data() + text.size(), value);
    return ec == std::errc() && end != first ? std::optional<long>(value) : std::nullopt;
}

} // namespace

RateWatch::RateWatch(RateSources sources, std::function<void()> wake)
    : m_sources(std::move(sources))
    , m_wake(std::move(wake))
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    const bool haveRuntime = runtime && *runtime;
    if (m_sources.pulseSocket.empty() && haveRuntime)
        m_sources.pulseSocket = std::filesystem::path(runtime) / "pulse" / "native";
    if (m_sources.forcedRateRecord.empty() && m_sources.soundServer.empty() && haveRuntime)
        m_sources.forcedRateRecord = std::filesystem::path(runtime) / kRecordName;
    m_nodes = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    m_poke = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_poke >= 0)
        m_server = std::thread([this] { serve(); });
}

RateWatch::~RateWatch()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    poke();
    // The thread puts the server's forced rate back as it ends.
    if (m_server.joinable())
        m_server.join();
    if (m_poke >= 0)
        ::close(m_poke);
    if (m_nodes >= 0)
        ::close(m_nodes);
}

void RateWatch::poke() const
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_poke, &one, sizeof one);
}

void RateWatch::serve()
{
    const std::optional<std::filesystem::path> socket = PipeWireClock::socketFor(m_sources.soundServer);
    // The socket's folder is watched so that a server that starts is seen at once.
    const int folder = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (folder >= 0 && socket)
        ::inotify_add_watch(folder, socket->parent_path().c_str(), IN_CREATE | IN_MOVED_TO);

    std::unique_ptr<PipeWireClock> clock;
    bool startChecked = false;
    auto retry = std::chrono::steady_clock::duration(kFirstRetry);
    auto nextTry = std::chrono::steady_clock::now();
    for (;;) {
        bool wanted = false;
        std::optional<UInt32> request;
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping)
                break;
            // Once at start, to put back a record left behind; then while someone listens.
            wanted = m_wanted || !startChecked;
            request = std::exchange(m_request, std::nullopt);
        }
        if (clock && (!wanted || !clock->connected()))
            clock.reset(); // puts the forced rate back, or leaves the record when it cannot
        const auto now = std::chrono::steady_clock::now();
        if (!clock && wanted && now >= nextTry) {
            clock = PipeWireClock::connect(
                m_sources.soundServer, [this] { poke(); }, std::chrono::seconds(1), m_sources.forcedRateRecord);
            startChecked = true;
            if (clock) {
                retry = kFirstRetry;
            } else {
                nextTry = now + retry;
                retry = std::min<std::chrono::steady_clock::duration>(retry * 2, kLastRetry);
            }
        }
        bool refused = false;
        if (request)
            refused = !clock || clock->forceRate(*request) != noErr;
        const bool up = clock && clock->connected();
        const std::optional<UInt32> serverRate = up ? clock->rate() : std::nullopt;
        {
            std::lock_guard lock(m_mutex);
            m_serverUp = up;
            m_serverRate = serverRate;
            m_refused = m_refused || refused;
        }
        // Whatever woke this thread may have moved a rate: the owner reads them again.
        if (m_wake)
            m_wake();

        int timeout = -1;
        if (!clock && wanted) {
            const auto left
                = std::chrono::duration_cast<std::chrono::milliseconds>(nextTry - std::chrono::steady_clock::now());
            timeout = static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0) + 1);
        }
        pollfd fds[2] = {{m_poke, POLLIN, 0}, {folder, POLLIN, 0}};
        ::poll(fds, folder >= 0 ? 2 : 1, timeout);
        if (fds[0].revents & POLLIN)
            drain(m_poke);
        if (folder >= 0 && (fds[1].revents & POLLIN)) {
            drain(folder);
            std::error_code ec;
            if (!clock && socket && std::filesystem::exists(*socket, ec)) {
                nextTry = std::chrono::steady_clock::now();
                retry = kFirstRetry;
            }
        }
    }
    clock.reset();
    if (folder >= 0)
        ::close(folder);
}

bool RateWatch::holdsServer() const
{
    std::lock_guard lock(m_mutex);
    return m_serverUp;
}

std::optional<UInt32> RateWatch::rate(const PcmSide &side)
{
    if (const std::optional<UInt32> running
        = kernelRunningRate(m_sources.procRoot, side.card, side.pcmDevice, side.isInput))
        return running;
    std::lock_guard lock(m_mutex);
    return m_serverRate;
}

OSStatus RateWatch::choose(UInt32 rate)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_serverUp && m_serverRate) {
            m_request = rate;
        } else if (m_serverUp) {
            return kAudioHardwareIllegalOperationError; // a server without settings to force with
        }
    }
    if (holdsServer()) {
        poke();
        return noErr;
    }
    std::error_code ec;
    if (!m_sources.pulseSocket.empty() && std::filesystem::exists(m_sources.pulseSocket, ec))
        return kAudioHardwareIllegalOperationError;
    return kAudioHardwareNotRunningError;
}

void RateWatch::listen(const PcmSide &side)
{
    Listened &entry = m_sides[{side.device, side.isInput}];
    if (entry.listeners++ == 0) {
        entry.side = side;
        if (m_nodes >= 0) {
            const std::string node = "pcmC" + std::to_string(side.card) + "D" + std::to_string(side.pcmDevice)
                + (side.isInput ? "c" : "p");
            entry.node = ::inotify_add_watch(m_nodes, (m_sources.devRoot / node).c_str(), IN_OPEN | IN_CLOSE);
        }
        entry.seen = rate(side);
        m_nextRead = kRateFirstRead;
    }
    bool changed = false;
    {
        std::lock_guard lock(m_mutex);
        changed = !m_wanted;
        m_wanted = true;
    }
    if (changed)
        poke();
}

void RateWatch::unlisten(AudioDeviceID device, Boolean isInput)
{
    const auto it = m_sides.find({device, isInput});
    if (it != m_sides.end() && --it->second.listeners <= 0) {
        if (it->second.node >= 0 && std::none_of(m_sides.begin(), m_sides.end(), [&](const auto &other) {
                return &other.second != &it->second && other.second.node == it->second.node;
            }))
            ::inotify_rm_watch(m_nodes, it->second.node);
        m_sides.erase(it);
    }
    // Nobody listens any more (the panel detached): the forced rate is put back, and nothing
    // is watched until someone listens again.
    if (m_sides.empty()) {
        {
            std::lock_guard lock(m_mutex);
            m_wanted = false;
        }
        poke();
    }
}

bool RateWatch::anySubstreamOpen() const
{
    for (const auto &[key, entry] : m_sides) {
        const PcmSide &side = entry.side;
        // Read without streams: libstdc++ throws from a read error (EIO from a card that has just
        // gone) whatever the stream's exception mask says.
        const std::string text
            = readSmallFile(m_sources.procRoot / ("card" + std::to_string(side.card))
                            / ("pcm" + std::to_string(side.pcmDevice) + (side.isInput ? "c" : "p")) / "info")
                  .value_or(std::string());
        const std::optional<long> count = infoNumber(text, "subdevices_count:");
        const std::optional<long> available = infoNumber(text, "subdevices_avail:");
        // Without the kernel's word, the side is read as open: polled rather than missed.
        if (!count || !available || *available < *count)
            return true;
    }
    return false;
}

std::optional<std::chrono::milliseconds> RateWatch::readAgainIn() const
{
    if (m_sides.empty() || !anySubstreamOpen())
        return std::nullopt;
    return m_nextRead;
}

std::vector<platform::PropertyChange> RateWatch::changes()
{
    if (m_nodes >= 0) {
        char buffer[4096];
        bool opened = false;
        while (::read(m_nodes, buffer, sizeof buffer) > 0)
            opened = true;
        m_nextRead = opened ? kRateFirstRead : std::min(m_nextRead * 2, kRatePollPeriod);
    }
    bool refused = false;
    {
        std::lock_guard lock(m_mutex);
        refused = std::exchange(m_refused, false);
    }
    std::vector<platform::PropertyChange> owed;
    for (auto &[key, entry] : m_sides) {
        const std::optional<UInt32> now = rate(entry.side);
        // A refused choice is owed too: the side shows the choice until told otherwise.
        if (now != entry.seen || refused) {
            entry.seen = now;
            owed.push_back({key.first, 0, key.second, kAudioDevicePropertyStreamFormat});
        }
    }
    return owed;
}

} // namespace linuxbackends
