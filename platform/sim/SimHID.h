#pragma once

// The simulated interface's HID side: answers each output report with an input report,
// journals the reports and the register writes they carry, and can refuse either report or
// answer slowly.

#include "IOKitHID.h"

#include <chrono>
#include <map>
#include <mutex>
#include <vector>

namespace sim {

struct HIDIdentity {
    std::optional<std::uint32_t> vendorID = 24090;
    std::optional<std::uint32_t> productID = 15364;
    std::optional<QString> manufacturer = QStringLiteral("Orvanelle");
    std::optional<QString> product = QStringLiteral("Zorvex");

    static HIDIdentity zorvex() { return {}; }
};

struct HIDReport {
    IOHIDReportType type{};
    CFIndex reportID = 0;
    std::vector<std::uint8_t> bytes; // sent (output) or offered size (input, zero bytes)
    IOReturn status = kIOReturnSuccess;
};

struct RegisterWrite {
    std::uint8_t reg = 0;
    std::uint8_t data = 0;
};

class SimHIDDevice final : public IOHIDDevice {
public:
    explicit SimHIDDevice(HIDIdentity identity = HIDIdentity::zorvex());

    IOReturn setReport(IOHIDReportType type, CFIndex reportID, std::span<const std::uint8_t> report) override;
    IOReturn getReport(IOHIDReportType type, CFIndex reportID, std::span<std::uint8_t> report,
                       CFIndex &length) override;
    std::optional<QVariant> property(const QString &key) const override;

    // The input report's bytes; its length is the vector's size (18 unless set otherwise).
    void setReply(std::vector<std::uint8_t> reply);
    void setRefuseOutput(bool refuse);
    void setRefuseInput(bool refuse);
    void setLatency(std::chrono::microseconds latency);
    // A device that has left the bus answers every report with an error.
    void setConnected(bool connected);

    std::vector<HIDReport> reports() const;
    std::vector<RegisterWrite> registerWrites() const;
    void clear();
    const HIDIdentity &identity() const { return m_identity; }

private:
    HIDIdentity m_identity;
    mutable std::mutex m_mutex;
    std::vector<std::uint8_t> m_reply = std::vector<std::uint8_t>(18, 0);
    bool m_refuseOutput = false;
    bool m_refuseInput = false;
    bool m_connected = true;
    std::chrono::microseconds m_latency{0};
    std::vector<HIDReport> m_reports;
    std::vector<RegisterWrite> m_writes;
};

} // namespace sim
