#include "KernelStreamRate.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace linuxbackends {

namespace {

// A kernel file is a few hundred bytes; anything past this is not one of them.
constexpr std::size_t kMaxFileBytes = 64 * 1024;

std::optional<std::string> readSmallFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text(kMaxFileBytes, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad())
        return std::nullopt;
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

std::string_view trimmed(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

// A whole number at the start of `s`; a rate of 0 or one past 32 bits is no rate.
std::optional<UInt32> leadingRate(std::string_view s)
{
    s = trimmed(s);
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end == s.data() || value == 0 || value > std::numeric_limits<UInt32>::max())
        return std::nullopt;
    return static_cast<UInt32>(value);
}

template <class F>
void forEachLine(std::string_view text, F &&f)
{
    while (!text.empty()) {
        const auto end = text.find('\n');
        if (!f(text.substr(0, end)) || end == std::string_view::npos)
            return;
        text.remove_prefix(end + 1);
    }
}

} // namespace

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
    std::vector<std::filesystem::path> substreams;
    for (std::filesystem::directory_iterator it(pcmDir, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().filename().string().starts_with("sub"))
            substreams.push_back(it->path() / "hw_params");
    }
    if (!substreams.empty()) {
        // The lowest-numbered open substream speaks for the PCM; a USB PCM has one.
        std::sort(substreams.begin(), substreams.end());
        for (const std::filesystem::path &file : substreams)
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
