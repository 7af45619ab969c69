#include "KernelStreamRate.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace linuxbackends {

namespace {

// A kernel file is a few hundred bytes; anything past this is not one of them.
constexpr std::size_t kMaxFileBytes = 64 * 1024;

std::string_view trimmed(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

// No sound card runs outside these rates; a number beyond them is a misread, not a rate.
constexpr std::uint64_t kLowestRate = 8000;
constexpr std::uint64_t kHighestRate = 768000;

// A whole number at the start of `s`, ended by a blank or the line's end, within the rates a
// card can run at.
std::optional<UInt32> leadingRate(std::string_view s)
{
    s = trimmed(s);
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end == s.data() || (end != s.data() + s.size() && *end != ' ') || value < kLowestRate
        || value > kHighestRate)
        return std::nullopt;
    return static_cast<UInt32>(value);
}

// Complete lines only: a last line without its newline was cut short (a file read while the
// kernel rewrote it, or cut at its end), and its number may be the first digits of another.
template <class F>
void forEachLine(std::string_view text, F &&f)
{
    for (auto end = text.find('\n'); end != std::string_view::npos; end = text.find('\n')) {
        if (!f(text.substr(0, end)))
            return;
        text.remove_prefix(end + 1);
    }
}

// The number of a substream's folder ("sub10": 10); nothing for any other name.
std::optional<unsigned> substreamNumber(const std::string &name)
{
    constexpr std::string_view prefix = "sub";
    if (!name.starts_with(prefix) || name.size() == prefix.size())
        return std::nullopt;
    unsigned number = 0;
    const char *last = name.data() + name.size();
    const auto [end, ec] = std::from_chars(name.data() + prefix.size(), last, number);
    if (ec != std::errc() || end != last)
        return std::nullopt;
    return number;
}

} // namespace

// Only a regular file is read: a FIFO or a device in a kernel file's place would block or
// never end. A file longer than any kernel file is no answer at all, not its first part.
std::optional<std::string> readSmallFile(const std::filesystem::path &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    std::optional<std::string> result;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        std::string text(kMaxFileBytes + 1, '\0');
        std::size_t filled = 0;
        bool failed = false;
        while (filled < text.size()) {
            const ssize_t got = ::read(fd, text.data() + filled, text.size() - filled);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                failed = true;
            if (got <= 0)
                break;
            filled += static_cast<std::size_t>(got);
        }
        if (!failed && filled <= kMaxFileBytes) {
            text.resize(filled);
            result = std::move(text);
        }
    }
    ::close(fd);
    return result;
}

std::optional<UInt32> rateFromHwParams(std::string_view text)
{
    std::optional<UInt32> rate;
    forEachLine(text, [&](std::string_view line) {
        line = trimmed(line);
        if (line == "closed")
            return false;
        constexpr std::string_view key = "rate:";
        if (line.starts_with(key)) {
            rate = leadingRate(line.substr(key.size()));
            return false;
        }
        return true;
    });
    return rate;
}

std::optional<UInt32> rateFromStreamFile(std::string_view text, UInt32 direction)
{
    // Each direction is a section headed "Playback:" or "Capture:" at the line's start; its
    // status and frequency lines are indented below it.
    const std::string_view heading = direction ? "Capture:" : "Playback:";
    bool inSection = false;
    bool running = false;
    std::optional<UInt32> rate;
    forEachLine(text, [&](std::string_view line) {
        if (!line.empty() && line.front() != ' ' && line.front() != '\t') {
            if (inSection)
                return false; // the next section begins
            inSection = trimmed(line) == heading;
            return true;
        }
        if (!inSection)
            return true;
        const std::string_view body = trimmed(line);
        if (body.starts_with("Status:"))
            running = trimmed(body.substr(7)) == "Running";
        constexpr std::string_view key = "Momentary freq =";
        if (body.starts_with(key))
            rate = leadingRate(body.substr(key.size()));
        return true;
    });
    return running ? rate : std::nullopt;
}

std::optional<UInt32> kernelRunningRate(const std::filesystem::path &procRoot, int card, int pcmDevice,
                                        UInt32 direction)
{
    const std::filesystem::path cardDir = procRoot / ("card" + std::to_string(card));
    const std::filesystem::path pcmDir = cardDir / ("pcm" + std::to_string(pcmDevice) + (direction ? "c" : "p"));
    std::error_code ec;
    std::vector<std::pair<unsigned, std::filesystem::path>> substreams;
    for (std::filesystem::directory_iterator it(pcmDir, ec), end; !ec && it != end; it.increment(ec)) {
        if (const std::optional<unsigned> number = substreamNumber(it->path().filename().string()))
            substreams.emplace_back(*number, it->path() / "hw_params");
    }
    if (!substreams.empty()) {
        // The lowest-numbered open substream speaks for the PCM; a USB PCM has one.
        std::sort(substreams.begin(), substreams.end());
        for (const auto &[number, file] : substreams)
            if (const std::optional<std::string> text = readSmallFile(file))
                if (const std::optional<UInt32> rate = rateFromHwParams(*text))
                    return rate;
        return std::nullopt;
    }
    if (const std::optional<std::string> text = readSmallFile(cardDir / ("stream" + std::to_string(pcmDevice))))
        return rateFromStreamFile(*text, direction);
    return std::nullopt;
}

} // namespace linuxbackends
