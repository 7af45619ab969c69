#include "SimUSB.h"

namespace sim {

USBDevice USBDevice::zorvex()
{
    USBDevice device;
    device.audio = DeviceConfig::zorvex();
    return device;
}

USBDevice USBDevice::otherProduct()
{
    USBDevice device;
    device.hid.productID = 15365;
    device.hid.product = QStringLiteral("Zorvex Mini");
    device.serviceProductID = 15365;
    device.serviceProduct = QStringLiteral("Zorvex Mini");
    return device;
}

SimUSBBus::SimUSBBus(SimAudioSystem *audio)
    : m_audio(audio)
{
}

SimUSBBus::~SimUSBBus()
{
    for (auto &[handle, device] : m_devices) {
        if (device.hid)
            device.hid->setConnected(false);
        if (device.audio != AudioDeviceID{} && m_audio)
            m_audio->removeDevice(device.audio);
    }
}

SimUSBBus::Handle SimUSBBus::plug(USBDevice device, ReportOrder order)
{
    Plugged plugged;
    // The audio side is there before either report, as the system has set it up by then.
    if (device.audio && m_audio)
        plugged.audio = m_audio->addDevice(*device.audio);

    CFDictionary properties{{QStringLiteral("IOProviderClass"), QStringLiteral("IOHIDDevice")}};
    if (device.serviceVendorID)
        properties.insert(QStringLiteral("VendorID"), *device.serviceVendorID);
    if (device.serviceProductID)
        properties.insert(QStringLiteral("ProductID"), *device.serviceProductID);
    if (device.serviceProduct)
        properties.insert(QStringLiteral("Product"), *device.serviceProduct);

    auto reportHID = [&] {
        if (!device.hasHIDDevice)
            return;
        plugged.hid = std::make_shared<SimHIDDevice>(device.hid);
        platform::IORegistry::instance().publishHIDDevice(plugged.hid);
    };
    auto reportService = [&] {
        if (!device.hasService)
            return;
        platform::ServiceEntry entry;
        entry.matchingProperties = properties;
        entry.properties = [properties, readable = device.propertiesReadable]() -> std::optional<CFDictionary> {
            if (!readable)
                return std::nullopt;
            return properties;
        };
        entry.openUserClient = [opens = device.userClientOpens] { return opens; };
        plugged.service = platform::IORegistry::instance().publishService(std::move(entry));
    };
    if (order == ReportOrder::HIDManagerFirst) {
        reportHID();
        reportService();
    } else {
        reportService();
        reportHID();
    }
    const Handle handle = m_next++;
    m_devices.emplace(handle, std::move(plugged));
    return handle;
}

void SimUSBBus::unplug(Handle handle, ReportOrder order)
{
    const auto it = m_devices.find(handle);
    if (it == m_devices.end())
        return;
    Plugged device = std::move(it->second);
    m_devices.erase(it);
    if (device.hid)
        device.hid->setConnected(false);
    if (device.audio != AudioDeviceID{} && m_audio)
        m_audio->removeDevice(device.audio);
    auto withdrawHID = [&] {
        if (device.hid)
            platform::IORegistry::instance().withdrawHIDDevice(device.hid.get());
    };
    auto terminateService = [&] {
        if (device.service)
            platform::IORegistry::instance().terminateService(device.service);
    };
    if (order == ReportOrder::HIDManagerFirst) {
        withdrawHID();
        terminateService();
    } else {
        terminateService();
        withdrawHID();
    }
}

SimHIDDevice *SimUSBBus::hid(Handle handle) const
{
    const auto it = m_devices.find(handle);
    return it == m_devices.end() ? nullptr : it->second.hid.get();
}

io_service_t SimUSBBus::service(Handle handle) const
{
    const auto it = m_devices.find(handle);
    return it == m_devices.end() ? 0 : it->second.service;
}

AudioDeviceID SimUSBBus::audioDevice(Handle handle) const
{
    const auto it = m_devices.find(handle);
    return it == m_devices.end() ? AudioDeviceID{} : it->second.audio;
}

} // namespace sim
