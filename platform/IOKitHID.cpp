#include "IOKitHID.h"

#include "NotificationCenter.h"

#include <algorithm>

IOReturn IOHIDDeviceSetReport(IOHIDDeviceRef device, IOHIDReportType type, CFIndex reportID,
                              std::span<const std::uint8_t> report)
{
    if (!device)
        return kIOReturnBadArgument;
    const IOReturn status = device->setReport(type, reportID, report);
    if (status == kIOReturnSuccess && type == kIOHIDReportTypeOutput)
        platform::NotificationCenter::defaultCenter().postNotification(IOHIDDeviceDidSetOutputReportNotification,
                                                                       device);
    return status;
}

IOReturn IOHIDDeviceGetReport(IOHIDDeviceRef device, IOHIDReportType type, CFIndex reportID,
                              std::span<std::uint8_t> report, CFIndex *pReportLength)
{
    if (!device || !pReportLength || *pReportLength < 0 || static_cast<std::size_t>(*pReportLength) > report.size())
        return kIOReturnBadArgument;
    CFIndex length = 0;
    const IOReturn status
        = device->getReport(type, reportID, report.first(static_cast<std::size_t>(*pReportLength)), length);
    *pReportLength = std::clamp<CFIndex>(length, 0, *pReportLength);
    return status;
}

std::optional<QVariant> IOHIDDeviceGetProperty(IOHIDDeviceRef device, const QString &key)
{
    if (!device)
        return std::nullopt;
    return device->property(key);
}
