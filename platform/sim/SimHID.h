#pragma once

// The simulated interface's HID side: answers each output report with an input report,
// journals the reports and the register writes they carry, and can refuse either report or
// answer slowly.

#include "IOKitHID.h"
#include "ZorvexDevice.h"

#include <chrono>
#include <map>
#include <mutex>
#include <vector>

namespace sim {

struct HIDIdentity {
    std::optional<std::uint32_t> vendorID = zorvex::kVendorID;
    std::optional<std::uint32_t> productID = zorvex::kProductID;
    std::optional<QString> manufacturer = QString::fromLatin1(zorvex::kManufacturer);
    std::optional<QString> product = QString::fromLatin1(zorvex::kProductName);

    static HIDIdentity zorvex() { return {}; }
};

struct HIDReport {
    IOHIDReportType type{};
    CFIndex reportID = 0;
    std::vector<std::uint8_t> bytes; // sent (output) or offered size (input, zero bytes)
    IOReturn status = kIOReturnSuccess;
};

using zorvex::RegisterWrite;

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

private:
    // Waits the device's latency, then holds its lock for the answer.
    std::unique_lock<std::mutex> answerAfterLatency() const;
    IOReturn answerStatus(bool refused) const;

    HIDIdentity m_identity;
    mutable std::mutex m_mutex;
    std::vector<std::uint8_t> m_reply = std::vector<std::uint8_t>(zorvex::kReplyLength, 0);
    bool m_refuseOutput = false;
    bool m_refuseInput = false;
    bool m_connected = true;
    std::chrono::microseconds m_latency{0};
    std::vector<HIDReport> m_reports;
    std::vector<RegisterWrite> m_writes;
};

} // namespace sim
