#include "SimHID.h"

#include <algorithm>
#include <thread>

namespace sim {

SimHIDDevice::SimHIDDevice(HIDIdentity identity)
    : m_identity(std::move(identity))
{
}

std::unique_lock<std::mutex> SimHIDDevice::answerAfterLatency() const
{
    std::chrono::microseconds latency;
    {
        std::lock_guard lock(m_mutex);
        latency = m_latency;
    }
    // Outside the lock, so that a slow answer does not hold up the test's own queries.
    if (latency.count() > 0)
        std::this_thread::sleep_for(latency);
    return std::unique_lock(m_mutex);
}

IOReturn SimHIDDevice::answerStatus(bool refused) const
{
    if (!m_connected)
        return kIOReturnNoDevice;
    return refused ? kIOReturnNotResponding : kIOReturnSuccess;
}

IOReturn SimHIDDevice::setReport(IOHIDReportType type, CFIndex reportID, std::span<const std::uint8_t> report)
{
    const auto lock = answerAfterLatency();
    const IOReturn status = answerStatus(m_refuseOutput);
    m_reports.push_back({type, reportID, {report.begin(), report.end()}, status});
    if (status == kIOReturnSuccess && type == kIOHIDReportTypeOutput) {
        if (const auto write = zorvex::parseVendorCommand(report))
            m_writes.push_back(*write);
    }
    return status;
}

IOReturn SimHIDDevice::getReport(IOHIDReportType type, CFIndex reportID, std::span<std::uint8_t> report,
                                 CFIndex &length)
{
    const auto lock = answerAfterLatency();
    const IOReturn status = answerStatus(m_refuseInput);
    m_reports.push_back({type, reportID, std::vector<std::uint8_t>(report.size(), 0), status});
    length = 0;
    if (status != kIOReturnSuccess)
        return status;
    const std::size_t n = std::min(report.size(), m_reply.size());
    // As over hidraw: a read that brings no byte is no answer.
    if (n == 0)
        return kIOReturnNotResponding;
    std::copy_n(m_reply.begin(), n, report.begin());
    length = static_cast<CFIndex>(n);
    return status;
}

std::optional<QVariant> SimHIDDevice::property(const QString &key) const
{
    if (key == QLatin1String("VendorID") && m_identity.vendorID)
        return QVariant::fromValue(*m_identity.vendorID);
    if (key == QLatin1String("ProductID") && m_identity.productID)
        return QVariant::fromValue(*m_identity.productID);
    if (key == QLatin1String("Manufacturer") && m_identity.manufacturer)
        return *m_identity.manufacturer;
    if (key == QLatin1String("Product") && m_identity.product)
        return *m_identity.product;
    return std::nullopt;
}

void SimHIDDevice::setReply(std::vector<std::uint8_t> reply)
{
    std::lock_guard lock(m_mutex);
    m_reply = std::move(reply);
}

void SimHIDDevice::setRefuseOutput(bool refuse)
{
    std::lock_guard lock(m_mutex);
    m_refuseOutput = refuse;
}

void SimHIDDevice::setRefuseInput(bool refuse)
{
    std::lock_guard lock(m_mutex);
    m_refuseInput = refuse;
}

void SimHIDDevice::setConnected(bool connected)
{
    std::lock_guard lock(m_mutex);
    m_connected = connected;
}

void SimHIDDevice::setLatency(std::chrono::microseconds latency)
{
    std::lock_guard lock(m_mutex);
    m_latency = latency;
}

std::vector<HIDReport> SimHIDDevice::reports() const
{
    std::lock_guard lock(m_mutex);
    return m_reports;
}

std::vector<RegisterWrite> SimHIDDevice::registerWrites() const
{
    std::lock_guard lock(m_mutex);
    return m_writes;
}

void SimHIDDevice::clear()
{
    std::lock_guard lock(m_mutex);
    m_reports.clear();
    m_writes.clear();
}

} // namespace sim
