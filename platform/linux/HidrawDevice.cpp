#include "HidrawDevice.h"

#include "LinuxStatus.h"

#include <algorithm>
#include <cctype>
#include <fcntl.h>
#include <limits>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace linuxbackends {

namespace {

// Input reports that arrived unasked (before this exchange) are dropped before a command, so
// that the read-back belongs to the command; the kernel queues at most this many.
constexpr int kStaleReportLimit = 64;
// Large enough for any report a full-speed device sends.
constexpr std::size_t kDrainBufferBytes = 1024;

QString fromUtf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

std::optional<std::int32_t> parseUsbId(const std::optional<std::string> &text)
{
    if (!text)
        return std::nullopt;
    const std::string &s = *text;
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(s[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(s[end - 1])))
        --end;
    if (end == begin || end - begin > 4)
        return std::nullopt;
    std::int32_t value = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (!std::isxdigit(c))
            return std::nullopt;
        const int digit = std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10;
        value = value * 16 + digit;
    }
    return value;
}

QVariantMap hidPropertiesFrom(const UsbAttributes &attributes)
{
    QVariantMap properties;
    if (const auto vendor = parseUsbId(attributes.idVendor))
        properties.insert(QStringLiteral("VendorID"), QVariant::fromValue<qint32>(*vendor));
    if (const auto product = parseUsbId(attributes.idProduct))
        properties.insert(QStringLiteral("ProductID"), QVariant::fromValue<qint32>(*product));
    if (attributes.manufacturer)
        properties.insert(QStringLiteral("Manufacturer"), fromUtf8(*attributes.manufacturer));
    if (attributes.product)
        properties.insert(QStringLiteral("Product"), fromUtf8(*attributes.product));
    return properties;
}

std::optional<std::vector<std::uint8_t>> frameOutputReport(CFIndex reportID, std::span<const std::uint8_t> report)
{
    if (reportID < 0 || reportID > std::numeric_limits<std::uint8_t>::max())
        return std::nullopt;
    std::vector<std::uint8_t> framed;
    framed.reserve(report.size() + 1);
    framed.push_back(static_cast<std::uint8_t>(reportID));
    framed.insert(framed.end(), report.begin(), report.end());
    return framed;
}

bool isHidrawNode(const std::string &devnode)
{
    const int fd = ::open(devnode.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    int descriptorSize = 0;
    const bool hidraw = ::ioctl(fd, HIDIOCGRDESCSIZE, &descriptorSize) >= 0;
    ::close(fd);
    return hidraw;
}

HidrawDevice::HidrawDevice(std::string devnode, QVariantMap properties)
    : m_devnode(std::move(devnode))
    , m_properties(std::move(properties))
{
}

hid_device *HidrawDevice::handle()
{
    // hidapi 0.13 frees a half-built handle twice when the path is not a hidraw node, so it is
    // only handed nodes that have answered as one.
    if (!m_handle && isHidrawNode(m_devnode))
        m_handle.reset(hid_open_path(m_devnode.c_str()));
    return m_handle.get();
}

IOReturn HidrawDevice::setReport(IOHIDReportType type, CFIndex reportID, std::span<const std::uint8_t> report)
{
    if (type != kIOHIDReportTypeOutput)
        return kIOReturnBadArgument;
    const std::optional<std::vector<std::uint8_t>> framed = frameOutputReport(reportID, report);
    if (!framed)
        return kIOReturnBadArgument;
    std::lock_guard lock(m_mutex);
    hid_device *device = handle();
    if (!device)
        return kIOReturnNoDevice;
    std::vector<std::uint8_t> stale(kDrainBufferBytes);
    for (int i = 0; i < kStaleReportLimit && hid_read_timeout(device, stale.data(), stale.size(), 0) > 0; ++i) {}
    const IOReturn status = ioReturnFromHidWrite(hid_write(device, framed->data(), framed->size()), framed->size());
    if (status != kIOReturnSuccess)
        m_handle.reset();
    return status;
}

IOReturn HidrawDevice::getReport(IOHIDReportType type, CFIndex reportID, std::span<std::uint8_t> report,
                                 CFIndex &length)
{
    length = 0;
    // Input reports come as the device sends them; numbered ones begin with their id, as
    // hidapi delivers them.
    if (type != kIOHIDReportTypeInput || reportID < 0 || reportID > std::numeric_limits<std::uint8_t>::max()
        || report.empty())
        return kIOReturnBadArgument;
    std::lock_guard lock(m_mutex);
    hid_device *device = handle();
    if (!device)
        return kIOReturnNoDevice;
    const int result = hid_read_timeout(device, report.data(), report.size(), kReadTimeoutMs);
    const IOReturn status = ioReturnFromHidRead(result);
    if (status == kIOReturnSuccess)
        length = std::min<CFIndex>(result, static_cast<CFIndex>(report.size()));
    else if (status == kIOReturnError)
        m_handle.reset();
    return status;
}

std::optional<QVariant> HidrawDevice::property(const QString &key) const
{
    const auto it = m_properties.find(key);
    if (it == m_properties.end())
        return std::nullopt;
    return it.value();
}

} // namespace linuxbackends
