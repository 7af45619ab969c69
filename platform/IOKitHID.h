#pragma once

// HID devices and their reports, in the shape of the system's HID interface. A device
// reference is owned by whoever found it (the HID manager or the simulated bus); callers
// borrow it.

#include <QString>
#include <QVariant>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

using IOReturn = std::int32_t;
using CFIndex = std::intptr_t;

inline constexpr IOReturn kIOReturnSuccess = 0;
inline constexpr IOReturn kIOReturnError = static_cast<IOReturn>(0xE00002BCu);
inline constexpr IOReturn kIOReturnNotResponding = static_cast<IOReturn>(0xE00002EDu);
inline constexpr IOReturn kIOReturnNoDevice = static_cast<IOReturn>(0xE00002C0u);
inline constexpr IOReturn kIOReturnBadArgument = static_cast<IOReturn>(0xE00002C2u);

enum IOHIDReportType : std::int32_t {
    kIOHIDReportTypeInput = 0,
    kIOHIDReportTypeOutput = 1,
    kIOHIDReportTypeFeature = 2,
};

class IOHIDDevice {
public:
    virtual ~IOHIDDevice() = default;
    // Both block until the device has answered.
    virtual IOReturn setReport(IOHIDReportType type, CFIndex reportID, std::span<const std::uint8_t> report) = 0;
    // `length`: the bytes the device filled, at most report.size().
    virtual IOReturn getReport(IOHIDReportType type, CFIndex reportID, std::span<std::uint8_t> report, CFIndex &length)
        = 0;
    // A device property ("VendorID", "ProductID", "Manufacturer", "Product"), if the device has it.
    virtual std::optional<QVariant> property(const QString &key) const = 0;
};

using IOHIDDeviceRef = IOHIDDevice *;

// Posted on the default notification centre, on the sending thread, once an output report has
// reached a device: what waits for the interface to have been told something listens for it.
inline const QString IOHIDDeviceDidSetOutputReportNotification
    = QStringLiteral("IOHIDDeviceDidSetOutputReportNotification");

IOReturn IOHIDDeviceSetReport(IOHIDDeviceRef device, IOHIDReportType type, CFIndex reportID,
                              std::span<const std::uint8_t> report);
// `pReportLength`: on entry the bytes offered (at most report.size()), on return the bytes read.
IOReturn IOHIDDeviceGetReport(IOHIDDeviceRef device, IOHIDReportType type, CFIndex reportID,
                              std::span<std::uint8_t> report, CFIndex *pReportLength);
std::optional<QVariant> IOHIDDeviceGetProperty(IOHIDDeviceRef device, const QString &key);
