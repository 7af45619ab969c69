#pragma once

// A USB bus on which tests and the --simulate mode plug and unplug the Zorvex and other
// devices. Each device shows up as a HID device (for the HID manager) and as a HID service
// (for service matching), reported in the order the caller chooses; the Zorvex also brings its
// audio device into the simulated audio system.

#include "IOKit.h"
#include "SimAudio.h"
#include "SimHID.h"

#include <map>
#include <memory>

namespace sim {

enum class ReportOrder { HIDManagerFirst, ServiceFirst };

struct USBDevice {
    HIDIdentity hid;
    bool hasHIDDevice = true;
    bool hasService = true;
    // The service's registry properties; unset values are left out of the registry.
    std::optional<std::int32_t> serviceVendorID = zorvex::kVendorID;
    std::optional<std::int32_t> serviceProductID = zorvex::kProductID;
    std::optional<QString> serviceProduct = QString::fromLatin1(zorvex::kProductName);
    bool propertiesReadable = true;
    bool userClientOpens = true;
    // The audio device the interface brings, if any.
    std::optional<DeviceConfig> audio;

    static USBDevice zorvex();
    // Another product of the same vendor, without audio.
    static USBDevice otherProduct();
};

class SimUSBBus {
public:
    using Handle = int;

    explicit SimUSBBus(SimAudioSystem *audio = nullptr);
    ~SimUSBBus();
    SimUSBBus(const SimUSBBus &) = delete;
    SimUSBBus &operator=(const SimUSBBus &) = delete;

    Handle plug(USBDevice device = USBDevice::zorvex(), ReportOrder order = ReportOrder::HIDManagerFirst);
    void unplug(Handle handle, ReportOrder order = ReportOrder::HIDManagerFirst);

    SimHIDDevice *hid(Handle handle) const;
    io_service_t service(Handle handle) const;
    AudioDeviceID audioDevice(Handle handle) const;

private:
    struct Plugged {
        std::shared_ptr<SimHIDDevice> hid;
        io_service_t service = 0;
        AudioDeviceID audio{};
    };
    SimAudioSystem *m_audio;
    std::map<Handle, Plugged> m_devices;
    Handle m_next = 1;
};

} // namespace sim
