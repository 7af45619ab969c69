#include "SimUSB.h"

namespace sim {

USBDeviceSpec USBDeviceSpec::zorvex()
{
    USBDeviceSpec spec;
    spec.audio = DeviceConfig::zorvex();
    return spec;
}

USBDeviceSpec USBDeviceSpec::otherProduct()
{
    USBDeviceSpec spec;
    spec.hid.productID = 15365;
    spec.hid.product = QStringLiteral("Zorvex Mini");
    spec.serviceProductID = 15365;
    spec.serviceProduct = QStringLiteral("Zorvex Mini");
    return spec;
}

SimUSBBus::SimUSBBus(SimAudioSystem *audio) : m_audio(audio) {}

SimUSBBus::~SimUSBBus()
{
    for (auto &[handle, device] : m_devices) {
        if (device.hid)
            device.hid->setConnected(false);
        if (device.audio != AudioDeviceID{} && m_audio)
            m_audio->removeDevice(device.audio);
    }
}

SimUSBBus::Handle SimUSBBus::plug(USBDeviceSpec spec, ReportOrder order)
{
    Plugged device;
    device.propertiesReadable = std::make_shared<std::atomic<bool>>(spec.propertiesReadable);
    device.userClientOpens = std::make_shared<std::atomic<bool>>(spec.userClientOpens);
    // The audio side is there before either report, as the system has set it up by then.
    if (spec.audio && m_audio)
        device.audio = m_audio->addDevice(*spec.audio);

    CFDictionary properties{{QStringLiteral("IOProviderClass"), QStringLiteral("IOHIDDevice")}};
    if (spec.serviceVendorID)
        properties.insert(QStringLiteral("VendorID"), *spec.serviceVendorID);
    if (spec.serviceProductID)
        properties.insert(QStringLiteral("ProductID"), *spec.serviceProductID);
    if (spec.serviceProduct)
        properties.insert(QStringLiteral("Product"), *spec.serviceProduct);

    auto reportHID = [&] {
        if (!spec.hasHIDDevice)
            return;
        device.hid = std::make_shared<SimHIDDevice>(spec.hid);
        platform::IORegistry::instance().publishHIDDevice(device.hid);
    };
    auto reportService = [&] {
        if (!spec.hasService)
            return;
        platform::ServiceEntry entry;
        entry.matchingProperties = properties;
        entry.properties = [properties, readable = device.propertiesReadable]() -> std::optional<CFDictionary> {
            if (!readable->load())
                return std::nullopt;
            return properties;
        };
        entry.openUserClient = [opens = device.userClientOpens] { return opens->load(); };
        device.service = platform::IORegistry::instance().publishService(std::move(entry));
    };
    if (order == ReportOrder::HIDManagerFirst) {
        reportHID();
        reportService();
    } else {
        reportService();
        reportHID();
    }
    const Handle handle = m_next++;
    m_devices.emplace(handle, std::move(device));
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

void SimUSBBus::setPropertiesReadable(Handle handle, bool readable)
{
    const auto it = m_devices.find(handle);
    if (it != m_devices.end())
        it->second.propertiesReadable->store(readable);
}

void SimUSBBus::setUserClientOpens(Handle handle, bool opens)
{
    const auto it = m_devices.find(handle);
    if (it != m_devices.end())
        it->second.userClientOpens->store(opens);
}

} // namespace sim
