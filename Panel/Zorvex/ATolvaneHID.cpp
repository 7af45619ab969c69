#include "ATolvane.h"

#include "Clock.h"
#include "PanelGlobals.h"

#include <array>

IOHIDDeviceRef gHIDInterface = nullptr;
std::mutex gHIDReportLock;

namespace {
constexpr std::uint32_t kCommandPauseMicroseconds = 5000;
} // namespace

IOHIDDeviceRef ATolvane::HIDInterface() const
{
    std::lock_guard lock(gHIDReportLock);
    return gHIDInterface;
}

void ATolvane::setHIDInterface(IOHIDDeviceRef device)
{
    // Taken so that the handle never changes under an exchange in progress.
    std::lock_guard lock(gHIDReportLock);
    gHIDInterface = device;
}

UInt32 ATolvane::setI2c(std::uint8_t reg, std::uint8_t data)
{
    const VendorCommand command = zorvex::makeVendorCommand(reg, data);
    // The interface needs a quiet moment before each command, device or not.
    platform::usleep(kCommandPauseMicroseconds);
    return hidReport(command) != 0 ? 1 : 0;
}

UInt32 ATolvane::hidReport(const VendorCommand &report)
{
    std::lock_guard lock(gHIDReportLock);
    if (!gHIDInterface)
        return 0;
    std::array<std::uint8_t, zorvex::kReplyLength> reply{};
    CFIndex length = static_cast<CFIndex>(reply.size());
    IOReturn status = IOHIDDeviceSetReport(gHIDInterface, kIOHIDReportTypeOutput, 0, report);
    // The reply's content and length are not examined: both calls succeeding is delivery.
    if (status == kIOReturnSuccess)
        status = IOHIDDeviceGetReport(gHIDInterface, kIOHIDReportTypeInput, 0, reply, &length);
    return status == kIOReturnSuccess ? 1 : 0;
}

void ATolvane::setPreference()
{
    (void)setI2c(26, 0);
}
