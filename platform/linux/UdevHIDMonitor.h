#pragma once

// Follows the system's hidraw nodes with libudev and publishes those of the vendor's USB
// devices into the platform registry: each as a HID device (over hidapi) and as a HID
// service. Removals withdraw both. It also hears the sound cards come and go, and announces
// each burst as a change of the audio system's device list. The udev monitor's socket sits on
// the event loop of the thread that creates this object; there is no thread of its own.

#include "HidrawDevice.h"
#include "IOKit.h"
#include "ZorvexDevice.h"

#include <QObject>
#include <QSocketNotifier>
#include <libudev.h>
#include <map>
#include <memory>
#include <string>

namespace linuxbackends {

struct UdevUnref {
    void operator()(udev *u) const { udev_unref(u); }
    void operator()(udev_monitor *m) const { udev_monitor_unref(m); }
    void operator()(udev_enumerate *e) const { udev_enumerate_unref(e); }
    void operator()(udev_device *d) const { udev_device_unref(d); }
};
using UdevPtr = std::unique_ptr<udev, UdevUnref>;
using UdevMonitorPtr = std::unique_ptr<udev_monitor, UdevUnref>;
using UdevEnumeratePtr = std::unique_ptr<udev_enumerate, UdevUnref>;
using UdevDevicePtr = std::unique_ptr<udev_device, UdevUnref>;

// The service entry's matching properties for a device's HID properties.
CFDictionary serviceMatchingProperties(const QVariantMap &hidProperties);
// Whether the node opens for reading and writing, as reports need.
bool nodeOpensReadWrite(const std::string &devnode);

class UdevHIDMonitor final : public QObject {
    Q_OBJECT
public:
    explicit UdevHIDMonitor(QObject *parent = nullptr);
    // Withdraws everything it published.
    ~UdevHIDMonitor() override;

    std::size_t publishedCount() const { return m_published.size(); }

    // One hidraw node came or went. The udev paths end here; tests enter here directly.
    // A node of another vendor, without a device node, or already published is ignored.
    void hidrawAdded(const std::string &syspath, const std::string &devnode, const UsbAttributes &attributes);
    void hidrawRemoved(std::string syspath);

private:
    void enumerate();
    void monitorReadable();
    void addFromUdev(udev_device *hidraw);

    struct Published {
        std::shared_ptr<HidrawDevice> device;
        io_service_t service = 0;
    };
    UdevPtr m_udev;
    UdevMonitorPtr m_monitor;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::map<std::string, Published> m_published; // by the node's sysfs path
};

} // namespace linuxbackends
