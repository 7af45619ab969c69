#pragma once

// The USB side of the system as the panel sees it: a HID manager that reports matching HID
// devices as they come and go, service matching with an iterator that keeps a backlog, the
// registry properties of a service, the HID user-client check, and general-interest
// notifications that announce a service's termination. Deliveries reach their callbacks on the
// event loop of the thread that created the manager or the notification port.
//
// Backends (the simulated bus, the system's device monitor) publish what is on the bus into
// the registry below, from any thread.

#include "IOKitHID.h"

#include <QVariantMap>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

using kern_return_t = std::int32_t;
using mach_port_t = std::uint32_t;
using natural_t = std::uint32_t;
using io_object_t = std::uint32_t;
using io_service_t = io_object_t;
using io_iterator_t = io_object_t;
using io_registry_entry_t = io_object_t;

inline constexpr kern_return_t KERN_SUCCESS = 0;
inline constexpr mach_port_t MACH_PORT_NULL = 0;
inline constexpr mach_port_t kIOMasterPortDefault = 0;
inline constexpr natural_t kIOMessageServiceIsTerminated = 0xE0000010;

// A property list dictionary.
using CFDictionary = QVariantMap;

using IOHIDDeviceCallback = void (*)(void *context, IOReturn result, void *sender, IOHIDDeviceRef device);
using IOServiceMatchingCallback = void (*)(void *refcon, io_iterator_t iterator);
using IOServiceInterestCallback
    = void (*)(void *refcon, io_service_t service, natural_t messageType, void *messageArgument);

// ---- HID manager ----

class IOHIDManager;
using IOHIDManagerRef = IOHIDManager *;

// The manager lives until the process ends, as the system's does when never released.
IOHIDManagerRef IOHIDManagerCreate(std::uint32_t options);
void IOHIDManagerSetDeviceMatching(IOHIDManagerRef manager, const CFDictionary &matching);
void IOHIDManagerRegisterDeviceMatchingCallback(IOHIDManagerRef manager, IOHIDDeviceCallback callback, void *context);
void IOHIDManagerRegisterDeviceRemovalCallback(IOHIDManagerRef manager, IOHIDDeviceCallback callback, void *context);
// Delivers the manager's callbacks on the calling thread's event loop.
void IOHIDManagerScheduleWithRunLoop(IOHIDManagerRef manager);
IOReturn IOHIDManagerOpen(IOHIDManagerRef manager, std::uint32_t options);
// Stops the manager's deliveries, also those already queued on the event loop; its callbacks
// are kept until replaced (with null to forget their context).
void IOHIDManagerUnscheduleFromRunLoop(IOHIDManagerRef manager);
IOReturn IOHIDManagerClose(IOHIDManagerRef manager, std::uint32_t options);

// ---- services ----

class IONotificationPort;
using IONotificationPortRef = IONotificationPort *;
class CFRunLoopSource;
using CFRunLoopSourceRef = CFRunLoopSource *;

kern_return_t IOMasterPort(mach_port_t bootstrapPort, mach_port_t *masterPort);
CFDictionary IOServiceMatching(const char *className);
IONotificationPortRef IONotificationPortCreate(mach_port_t masterPort);
CFRunLoopSourceRef IONotificationPortGetRunLoopSource(IONotificationPortRef port);
// Ends the port with its source, its matching and interest notifications and every delivery
// still pending on it.
void IONotificationPortDestroy(IONotificationPortRef port);
// The port delivers only while its source is on the event loop of the thread that added it.
void CFRunLoopAddSource(CFRunLoopSourceRef source);
bool CFRunLoopContainsSource(CFRunLoopSourceRef source);
void CFRunLoopRemoveSource(CFRunLoopSourceRef source);

// The iterator yields the matching services present now and collects later ones; the callback
// runs for later matches only once the iterator has been emptied.
kern_return_t IOServiceAddMatchingNotification(IONotificationPortRef port, const char *notificationType,
                                               const CFDictionary &matching, IOServiceMatchingCallback callback,
                                               void *refcon, io_iterator_t *iterator);
// A new reference to the next service, or 0 when the iterator is empty.
io_object_t IOIteratorNext(io_iterator_t iterator);
kern_return_t IORegistryEntryCreateCFProperties(io_registry_entry_t entry, CFDictionary *properties);
kern_return_t IOServiceAddInterestNotification(IONotificationPortRef port, io_service_t service,
                                               const char *interestType, IOServiceInterestCallback callback,
                                               void *refcon, io_object_t *notification);
kern_return_t IOObjectRelease(io_object_t object);

// The HID user client of a service: whether it can be opened. The interface carries nothing
// the panel calls but its release.
struct IOCFPlugInInterface {
    virtual ~IOCFPlugInInterface() = default;
    virtual std::uint32_t Release() = 0;
};
struct CFUUID {
    std::array<std::uint8_t, 16> bytes;
};
CFUUID kIOHIDDeviceUserClientTypeID();
CFUUID kIOCFPlugInInterfaceID();
kern_return_t IOCreatePlugInInterfaceForService(io_service_t service, const CFUUID &pluginType,
                                                const CFUUID &interfaceType, IOCFPlugInInterface **theInterface,
                                                std::int32_t *theScore);

inline constexpr kern_return_t kIOReturnUnsupported = static_cast<kern_return_t>(0xE00002C7u);

// ---- the registry that backends publish into ----

namespace platform {

struct ServiceEntry {
    // The service's registry properties ("IOProviderClass", "VendorID", "ProductID",
    // "Product", ...); nullopt when they cannot be read.
    std::function<std::optional<CFDictionary>()> properties;
    // Whether the HID user client opens.
    std::function<bool()> openUserClient;
    // The properties matching dictionaries are tested against; read once when published.
    CFDictionary matchingProperties;
};

class IORegistry {
public:
    static IORegistry &instance();

    void publishHIDDevice(std::shared_ptr<IOHIDDevice> device);
    void withdrawHIDDevice(IOHIDDevice *device);
    io_service_t publishService(ServiceEntry entry);
    void terminateService(io_service_t service);

    // Service references handed out by IOIteratorNext and not yet released.
    int outstandingReferences() const;
    // Whether any manager callback, matching notification or interest notification still
    // carries this context.
    bool hasClient(const void *context) const;
    // Services and reference-count entries held, terminated or not: what plugging and
    // unplugging must not leave behind.
    std::size_t serviceCount() const;
    std::size_t referenceEntryCount() const;
    // Drops every device, service, manager and port: a fresh system for the next test.
    void reset();

    struct State;
    State &state() { return *m_state; }

private:
    IORegistry();
    std::unique_ptr<State> m_state;
};

} // namespace platform
