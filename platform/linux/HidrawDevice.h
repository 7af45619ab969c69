#pragma once

// A HID device on a hidraw node, reached through hidapi. The node is opened on the first
// report, not when the device is found, so that finding it needs no access rights; a failed
// transfer closes it again, and the next report reopens it.

#include "IOKitHID.h"

#include <QVariantMap>
#include <hidapi.h>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace linuxbackends {

struct HidCloser {
    void operator()(hid_device *device) const { hid_close(device); }
};
using HidDevicePtr = std::unique_ptr<hid_device, HidCloser>;

// The sysfs attributes of a hidraw node's USB parent, each absent when the kernel gave none.
struct UsbAttributes {
    std::optional<std::string> idVendor;  // four hex digits, "5e1a"
    std::optional<std::string> idProduct; // four hex digits, "3c04"
    std::optional<std::string> manufacturer;
    std::optional<std::string> product;
};

// A USB id from its sysfs text: one to four hex digits, surrounding white space allowed.
std::optional<std::int32_t> parseUsbId(const std::optional<std::string> &text);
// "VendorID" and "ProductID" as numbers, "Manufacturer" and "Product" as strings; keys whose
// attribute is absent or malformed are left out.
QVariantMap hidPropertiesFrom(const UsbAttributes &attributes);

// hidapi wants the report id in front of the report, 0 for a device without numbered
// reports. nullopt for an id that does not fit the byte.
std::optional<std::vector<std::uint8_t>> frameOutputReport(CFIndex reportID, std::span<const std::uint8_t> report);

// Whether the path opens read/write and answers as a hidraw node (it reports its descriptor size).
bool isHidrawNode(const std::string &devnode);

class HidrawDevice final : public IOHIDDevice {
public:
    // How long a read-back may take before the device counts as not answering.
    static constexpr int kReadTimeoutMs = 1000;

    HidrawDevice(std::string devnode, QVariantMap properties);

    IOReturn setReport(IOHIDReportType type, CFIndex reportID, std::span<const std::uint8_t> report) override;
    IOReturn getReport(IOHIDReportType type, CFIndex reportID, std::span<std::uint8_t> report,
                       CFIndex &length) override;
    std::optional<QVariant> property(const QString &key) const override;

private:
    // The open handle, opening it if need be; null when the node cannot be opened.
    hid_device *handle();

    const std::string m_devnode;
    const QVariantMap m_properties;
    std::mutex m_mutex;
    HidDevicePtr m_handle;
};

} // namespace linuxbackends
