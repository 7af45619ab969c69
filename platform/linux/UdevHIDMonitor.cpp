#include "UdevHIDMonitor.h"

#include "CoreAudio.h"
#include "Logging.h"

#include <cerrno>

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace linuxbackends {

namespace {

std::optional<std::string> sysattr(udev_device *device, const char *name)
{
    const char *value = device ? udev_device_get_sysattr_value(device, name) : nullptr;
    if (!value)
        return std::nullopt;
    return std::string(value);
}

} // namespace

CFDictionary serviceMatchingProperties(const QVariantMap &hidProperties)
{
    CFDictionary matching{{QStringLiteral("IOProviderClass"), QStringLiteral("IOHIDDevice")}};
    for (const QString &key : {QStringLiteral("VendorID"), QStringLiteral("ProductID"), QStringLiteral("Product")})
        if (const auto it = hidProperties.find(key); it != hidProperties.end())
            matching.insert(key, it.value());
    return matching;
}

bool nodeOpensReadWrite(const std::string &devnode)
{
    const int fd = ::open(devnode.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM)
            qCWarning(lcHid,
                      "permission denied on %s: is the udev rule 70-zorvex.rules installed, and the "
                      "Zorvex replugged since?",
                      devnode.c_str());
        else
            qCWarning(lcHid, "cannot open %s: %s", devnode.c_str(), std::strerror(error));
        return false;
    }
    ::close(fd);
    qCInfo(lcHid, "%s opens for reading and writing", devnode.c_str());
    return true;
}

UdevHIDMonitor::UdevHIDMonitor(QObject *parent)
    : QObject(parent)
    , m_udev(udev_new())
{
    if (!m_udev)
        return;
    // The monitor listens before the enumeration, so that a device arriving in between is
    // not missed; one reported by both is published once.
    m_monitor.reset(udev_monitor_new_from_netlink(m_udev.get(), "udev"));
    // Sound cards too: the panel hears of a card that comes or goes from here rather than by
    // looking again now and then.
    if (m_monitor && udev_monitor_filter_add_match_subsystem_devtype(m_monitor.get(), "hidraw", nullptr) >= 0
        && udev_monitor_filter_add_match_subsystem_devtype(m_monitor.get(), "sound", nullptr) >= 0
        && udev_monitor_enable_receiving(m_monitor.get()) >= 0) {
        const int fd = udev_monitor_get_fd(m_monitor.get());
        if (fd >= 0) {
            m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
            connect(m_notifier.get(), &QSocketNotifier::activated, this, &UdevHIDMonitor::monitorReadable);
        }
    }
    enumerate();
}

UdevHIDMonitor::~UdevHIDMonitor()
{
    m_notifier.reset();
    while (!m_published.empty())
        hidrawRemoved(m_published.begin()->first);
}

void UdevHIDMonitor::enumerate()
{
    UdevEnumeratePtr enumeration(udev_enumerate_new(m_udev.get()));
    if (!enumeration || udev_enumerate_add_match_subsystem(enumeration.get(), "hidraw") < 0
        || udev_enumerate_scan_devices(enumeration.get()) < 0)
        return;
    udev_list_entry *entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration.get()))
    {
        const char *path = udev_list_entry_get_name(entry);
        UdevDevicePtr device(path ? udev_device_new_from_syspath(m_udev.get(), path) : nullptr);
        if (device)
            addFromUdev(device.get());
    }
}

void UdevHIDMonitor::monitorReadable()
{
    // One event per wake-up would leave a burst waiting for later ones; take all that queued.
    bool soundChanged = false;
    while (UdevDevicePtr device{udev_monitor_receive_device(m_monitor.get())}) {
        const char *action = udev_device_get_action(device.get());
        const char *syspath = udev_device_get_syspath(device.get());
        if (!action || !syspath)
            continue;
        const char *subsystem = udev_device_get_subsystem(device.get());
        if (subsystem && std::strcmp(subsystem, "sound") == 0) {
            // A card arrives as a burst (the card, its control and PCM nodes, then udev's change
            // once the card is set up); one announcement per burst is enough.
            soundChanged = true;
            continue;
        }
        if (std::strcmp(action, "add") == 0)
            addFromUdev(device.get());
        else if (std::strcmp(action, "remove") == 0)
            hidrawRemoved(syspath);
    }
    if (soundChanged)
        platform::AudioHardwarePropertyChanged(kAudioHardwarePropertyDevices);
}

void UdevHIDMonitor::addFromUdev(udev_device *hidraw)
{
    const char *syspath = udev_device_get_syspath(hidraw);
    const char *devnode = udev_device_get_devnode(hidraw);
    if (!syspath || !devnode)
        return;
    // Borrowed: the parent belongs to the child device.
    udev_device *usb = udev_device_get_parent_with_subsystem_devtype(hidraw, "usb", "usb_device");
    if (!usb)
        return;
    UsbAttributes attributes;
    attributes.idVendor = sysattr(usb, "idVendor");
    attributes.idProduct = sysattr(usb, "idProduct");
    attributes.manufacturer = sysattr(usb, "manufacturer");
    attributes.product = sysattr(usb, "product");
    hidrawAdded(syspath, devnode, attributes);
}

void UdevHIDMonitor::hidrawAdded(const std::string &syspath, const std::string &devnode,
                                 const UsbAttributes &attributes)
{
    if (syspath.empty() || devnode.empty() || m_published.contains(syspath))
        return;
    const QVariantMap properties = hidPropertiesFrom(attributes);
    // The udev filter sees only the subsystem; the vendor is checked here.
    if (properties.value(QStringLiteral("VendorID")).toInt() != zorvex::kVendorID)
        return;

    Published published;
    published.device = std::make_shared<HidrawDevice>(devnode, properties);
    platform::ServiceEntry entry;
    entry.matchingProperties = serviceMatchingProperties(properties);
    entry.properties = [matching = entry.matchingProperties]() -> std::optional<CFDictionary> { return matching; };
    entry.openUserClient = [devnode] { return nodeOpensReadWrite(devnode); };

    platform::IORegistry &registry = platform::IORegistry::instance();
    registry.publishHIDDevice(published.device);
    published.service = registry.publishService(std::move(entry));
    m_published.emplace(syspath, std::move(published));
    qCInfo(lcHid, "HID node %s of the vendor arrived", devnode.c_str());
}

void UdevHIDMonitor::hidrawRemoved(std::string syspath)
{
    // Taken by value: the caller may pass the key of the very entry erased below.
    const auto it = m_published.find(syspath);
    if (it == m_published.end())
        return;
    const Published published = std::move(it->second);
    m_published.erase(it);
    qCInfo(lcHid, "HID node at %s left", syspath.c_str());
    platform::IORegistry &registry = platform::IORegistry::instance();
    registry.withdrawHIDDevice(published.device.get());
    registry.terminateService(published.service);
}

} // namespace linuxbackends
