#include "IOKit.h"

#include <QObject>
#include <QPointer>
#include <algorithm>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

namespace {

// An object that lives on the thread whose event loop delivers a manager's or a port's
// callbacks.
std::unique_ptr<QObject> makeLoopContext()
{
    return std::make_unique<QObject>();
}

bool valuesMatch(const QVariant &wanted, const QVariant &actual)
{
    const bool wantedIsNumber = wanted.canConvert<qlonglong>() && wanted.typeId() != QMetaType::QString;
    const bool actualIsNumber = actual.canConvert<qlonglong>() && actual.typeId() != QMetaType::QString;
    if (wantedIsNumber && actualIsNumber)
        return wanted.toLongLong() == actual.toLongLong();
    if (wanted.typeId() == QMetaType::QString && actual.typeId() == QMetaType::QString)
        return wanted.toString() == actual.toString();
    return false;
}

bool dictionaryMatches(const CFDictionary &matching, const std::function<std::optional<QVariant>(const QString &)> &get)
{
    for (auto it = matching.begin(); it != matching.end(); ++it) {
        const std::optional<QVariant> actual = get(it.key());
        if (!actual || !valuesMatch(it.value(), *actual))
            return false;
    }
    return true;
}

class PlugIn final : public IOCFPlugInInterface {
public:
    std::uint32_t Release() override
    {
        delete this;
        return 0;
    }
};

} // namespace

class IOHIDManager {
public:
    CFDictionary matching;
    IOHIDDeviceCallback matched = nullptr;
    void *matchedContext = nullptr;
    IOHIDDeviceCallback removed = nullptr;
    void *removedContext = nullptr;
    std::unique_ptr<QObject> loop;
    bool open = false;
    std::vector<std::shared_ptr<IOHIDDevice>> reported;
};

class CFRunLoopSource {
public:
    IONotificationPort *port = nullptr;
};

class IONotificationPort {
public:
    CFRunLoopSource source;
    std::unique_ptr<QObject> loop;
    std::deque<std::function<void()>> pending;
};

namespace platform {

struct IORegistry::State {
    struct Service {
        ServiceEntry entry;
        bool terminated = false;
    };
    struct Matching {
        IONotificationPort *port = nullptr;
        CFDictionary matching;
        IOServiceMatchingCallback callback = nullptr;
        void *refcon = nullptr;
        std::deque<io_service_t> backlog;
        bool armed = false;
    };
    struct Interest {
        io_object_t handle = 0;
        IONotificationPort *port = nullptr;
        io_service_t service = 0;
        IOServiceInterestCallback callback = nullptr;
        void *refcon = nullptr;
    };

    std::recursive_mutex mutex;
    std::vector<std::shared_ptr<IOHIDDevice>> devices;
    std::map<io_service_t, Service> services;
    std::vector<std::unique_ptr<IOHIDManager>> managers;
    std::vector<std::unique_ptr<IONotificationPort>> ports;
    std::map<io_iterator_t, Matching> iterators;
    std::vector<Interest> interests;
    std::map<io_object_t, int> references;
    io_object_t nextHandle = 0x2803;

    bool holdsManager(const IOHIDManager *manager) const
    {
        return manager && std::any_of(managers.begin(), managers.end(), [&](const std::unique_ptr<IOHIDManager> &m) {
                   return m.get() == manager;
               });
    }

    bool managerMatches(const IOHIDManager &manager, IOHIDDevice &device) const
    {
        return dictionaryMatches(manager.matching, [&](const QString &key) { return device.property(key); });
    }

    bool serviceMatches(const CFDictionary &matching, const Service &service) const
    {
        return dictionaryMatches(matching, [&](const QString &key) -> std::optional<QVariant> {
            const auto it = service.entry.matchingProperties.find(key);
            if (it == service.entry.matchingProperties.end())
                return std::nullopt;
            return it.value();
        });
    }

    // Queues a delivery on the port; it runs while the port's source is on its event loop.
    void postToPort(IONotificationPort *port, std::function<void()> delivery)
    {
        port->pending.push_back(std::move(delivery));
        flushPort(port);
    }

    void flushPort(IONotificationPort *port)
    {
        if (!port->loop)
            return;
        while (!port->pending.empty()) {
            std::function<void()> delivery = std::move(port->pending.front());
            port->pending.pop_front();
            QMetaObject::invokeMethod(port->loop.get(), std::move(delivery), Qt::QueuedConnection);
        }
    }

    void postMatched(IOHIDManager *manager, std::shared_ptr<IOHIDDevice> device)
    {
        if (!manager->loop || !manager->matched)
            return;
        manager->reported.push_back(device);
        QMetaObject::invokeMethod(
            manager->loop.get(),
            [callback = manager->matched, context = manager->matchedContext, device] {
                callback(context, kIOReturnSuccess, nullptr, device.get());
            },
            Qt::QueuedConnection);
    }
};

IORegistry::IORegistry()
    : m_state(std::make_unique<State>())
{
}

IORegistry &IORegistry::instance()
{
    static IORegistry registry;
    return registry;
}

void IORegistry::publishHIDDevice(std::shared_ptr<IOHIDDevice> device)
{
    std::lock_guard lock(m_state->mutex);
    m_state->devices.push_back(device);
    for (const auto &manager : m_state->managers)
        if (manager->open && m_state->managerMatches(*manager, *device))
            m_state->postMatched(manager.get(), device);
}

void IORegistry::withdrawHIDDevice(IOHIDDevice *device)
{
    std::lock_guard lock(m_state->mutex);
    std::shared_ptr<IOHIDDevice> kept;
    std::erase_if(m_state->devices, [&](const std::shared_ptr<IOHIDDevice> &d) {
        if (d.get() != device)
            return false;
        kept = d;
        return true;
    });
    if (!kept)
        return;
    for (const auto &manager : m_state->managers) {
        const auto it = std::find(manager->reported.begin(), manager->reported.end(), kept);
        if (it == manager->reported.end())
            continue;
        manager->reported.erase(it);
        if (!manager->loop || !manager->removed)
            continue;
        // The device object outlives the removal callback: the panel may still hold it until then.
        QMetaObject::invokeMethod(
            manager->loop.get(),
            [callback = manager->removed, context = manager->removedContext, kept] {
                callback(context, kIOReturnSuccess, nullptr, kept.get());
            },
            Qt::QueuedConnection);
    }
}

io_service_t IORegistry::publishService(ServiceEntry entry)
{
    std::lock_guard lock(m_state->mutex);
    const io_service_t id = m_state->nextHandle++;
    State::Service &service = m_state->services[id];
    service.entry = std::move(entry);
    for (auto &[iterator, matching] : m_state->iterators) {
        if (!m_state->serviceMatches(matching.matching, service))
            continue;
        matching.backlog.push_back(id);
        if (matching.armed && matching.callback) {
            const io_iterator_t it = iterator;
            m_state->postToPort(matching.port,
                                [callback = matching.callback, refcon = matching.refcon, it] { callback(refcon, it); });
        }
    }
    return id;
}

void IORegistry::terminateService(io_service_t id)
{
    std::lock_guard lock(m_state->mutex);
    const auto found = m_state->services.find(id);
    if (found == m_state->services.end() || found->second.terminated)
        return;
    found->second.terminated = true;
    for (auto &[iterator, matching] : m_state->iterators)
        std::erase(matching.backlog, id);
    // Kept only while someone still holds a reference to it.
    if (m_state->references.count(id) == 0)
        m_state->services.erase(found);
    std::vector<State::Interest> fired;
    std::erase_if(m_state->interests, [&](const State::Interest &interest) {
        if (interest.service != id)
            return false;
        fired.push_back(interest);
        return true;
    });
    for (const State::Interest &interest : fired)
        m_state->postToPort(interest.port, [interest] {
            interest.callback(interest.refcon, interest.service, kIOMessageServiceIsTerminated, nullptr);
        });
}

int IORegistry::outstandingReferences() const
{
    std::lock_guard lock(m_state->mutex);
    int total = 0;
    for (const auto &[object, count] : m_state->references)
        total += count;
    return total;
}

bool IORegistry::hasClient(const void *context) const
{
    std::lock_guard lock(m_state->mutex);
    for (const auto &manager : m_state->managers)
        if (manager->matchedContext == context || manager->removedContext == context)
            return true;
    for (const auto &[iterator, matching] : m_state->iterators)
        if (matching.refcon == context)
            return true;
    return std::any_of(m_state->interests.begin(), m_state->interests.end(),
                       [&](const State::Interest &interest) { return interest.refcon == context; });
}

std::size_t IORegistry::serviceCount() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->services.size();
}

std::size_t IORegistry::referenceEntryCount() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->references.size();
}

void IORegistry::reset()
{
    std::lock_guard lock(m_state->mutex);
    m_state->devices.clear();
    m_state->services.clear();
    m_state->managers.clear();
    m_state->ports.clear();
    m_state->iterators.clear();
    m_state->interests.clear();
    m_state->references.clear();
}

} // namespace platform

namespace {
platform::IORegistry::State &registry()
{
    return platform::IORegistry::instance().state();
}
} // namespace

// ---- HID manager ----

IOHIDManagerRef IOHIDManagerCreate(std::uint32_t)
{
    auto &s = registry();
    std::lock_guard lock(s.mutex);
    s.managers.push_back(std::make_unique<IOHIDManager>());
    return s.managers.back().get();
}

void IOHIDManagerSetDeviceMatching(IOHIDManagerRef manager, const CFDictionary &matching)
{
    if (!manager)
        return;
    std::lock_guard lock(registry().mutex);
    manager->matching = matching;
}

void IOHIDManagerRegisterDeviceMatchingCallback(IOHIDManagerRef manager, IOHIDDeviceCallback callback, void *context)
{
    auto &s = registry();
    std::lock_guard lock(s.mutex);
    // A manager dropped by a reset of the registry may still be named by its old owner.
    if (!s.holdsManager(manager))
        return;
    manager->matched = callback;
    manager->matchedContext = context;
}

void IOHIDManagerRegisterDeviceRemovalCallback(IOHIDManagerRef manager, IOHIDDeviceCallback callback, void *context)
{
    auto &s = registry();
    std::lock_guard lock(s.mutex);
    // A manager dropped by a reset of the registry may still be named by its old owner.
    if (!s.holdsManager(manager))
        return;
    manager->removed = callback;
    manager->removedContext = context;
}

void IOHIDManagerScheduleWithRunLoop(IOHIDManagerRef manager)
{
    if (!manager)
        return;
    std::lock_guard lock(registry().mutex);
    manager->loop = makeLoopContext();
}

void IOHIDManagerUnscheduleFromRunLoop(IOHIDManagerRef manager)
{
    auto &s = registry();
    std::lock_guard lock(s.mutex);
    if (!s.holdsManager(manager))
        return;
    // Deliveries already handed to the event loop are dropped with their context.
    manager->loop.reset();
}

IOReturn IOHIDManagerClose(IOHIDManagerRef manager, std::uint32_t)
{
    auto &s = registry();
    std::lock_guard lock(s.mutex);
    if (!s.holdsManager(manager))
        return kIOReturnBadArgument;
    manager->open = false;
    manager->reported.clear();
    return kIOReturnSuccess;
}

IOReturn IOHIDManagerOpen(IOHIDManagerRef manager, std::uint32_t)
{
    if (!manager)
        return kIOReturnBadArgument;
    auto &s = registry();
    std::lock_guard lock(s.mutex);
    if (manager->open)
        return kIOReturnSuccess;
    manager->open = true;
    // Devices already present are reported too, once the event loop runs.
    for (const auto &device : s.devices)
        if (s.managerMatches(*manager, *device))
            s.postMatched(manager, device);
    return kIOReturnSuccess;
}

// ---- services ----

kern_return_t IOMasterPort(mach_port_t, mach_port_t *masterPort)
{
    if (masterPort)
        *masterPort = 1;
    return KERN_SUCCESS;
}

CFDictionary IOServiceMatching(const char *className)
{
    return {{QStringLiteral("IOProviderClass"), QString::fromLatin1(className)}};
}

IONotificationPortRef IONotificationPortCreate(mach_port_t)
{
    auto &s = registry();
    std::lock_guard lock(s.mutex);
    s.ports.push_back(std::make_unique<IONotificationPort>());
    IONotificationPort *port = s.ports.back().get();
    port->source.port = port;
    return port;
}

CFRunLoopSourceRef IONotificationPortGetRunLoopSource(IONotificationPortRef port)
{
    return port ? &port->source : nullptr;
}

void IONotificationPortDestroy(IONotificationPortRef port)
{
    if (!port)
        return;
    auto &s = registry();
    std::lock_guard lock(s.mutex);
    std::erase_if(s.iterators, [&](const auto &entry) { return entry.second.port == port; });
    std::erase_if(s.interests, [&](const auto &interest) { return interest.port == port; });
    std::erase_if(s.ports, [&](const std::unique_ptr<IONotificationPort> &p) { return p.get() == port; });
}

void CFRunLoopAddSource(CFRunLoopSourceRef source)
{
    if (!source || !source->port)
        return;
    auto &s = registry();
    std::lock_guard lock(s.mutex);
    if (!source->port->loop)
        source->port->loop = makeLoopContext();
    s.flushPort(source->port);
}

bool CFRunLoopContainsSource(CFRunLoopSourceRef source)
{
    std::lock_guard lock(registry().mutex);
    return source && source->port && source->port->loop;
}

void CFRunLoopRemoveSource(CFRunLoopSourceRef source)
{
    if (!source || !source->port)
        return;
    std::lock_guard lock(registry().mutex);
    // Deliveries already handed to the event loop are dropped with their context.
    source->port->loop.reset();
}

kern_return_t IOServiceAddMatchingNotification(IONotificationPortRef port, const char *, const CFDictionary &matching,
                                               IOServiceMatchingCallback callback, void *refcon,
                                               io_iterator_t *iterator)
{
    if (!port || !iterator)
        return kIOReturnBadArgument;
    auto &s = registry();
    std::lock_guard lock(s.mutex);
    const io_iterator_t id = s.nextHandle++;
    auto &m = s.iterators[id];
    m.port = port;
    m.matching = matching;
    m.callback = callback;
    m.refcon = refcon;
    for (const auto &[service, entry] : s.services)
        if (!entry.terminated && s.serviceMatches(matching, entry))
            m.backlog.push_back(service);
    *iterator = id;
    return KERN_SUCCESS;
}

io_object_t IOIteratorNext(io_iterator_t iterator)
{
    auto &s = registry();
    std::lock_guard lock(s.mutex);
    const auto it = s.iterators.find(iterator);
    if (it == s.iterators.end())
        return 0;
    if (it->second.backlog.empty()) {
        // Emptied once: later matches are announced through the callback.
        it->second.armed = true;
        return 0;
    }
    const io_service_t service = it->second.backlog.front();
    it->second.backlog.pop_front();
    ++s.references[service];
    return service;
}

kern_return_t IORegistryEntryCreateCFProperties(io_registry_entry_t entry, CFDictionary *properties)
{
    if (!properties)
        return kIOReturnBadArgument;
    std::function<std::optional<CFDictionary>()> read;
    {
        auto &s = registry();
        std::lock_guard lock(s.mutex);
        const auto it = s.services.find(entry);
        if (it == s.services.end() || !it->second.entry.properties)
            return kIOReturnNoDevice;
        read = it->second.entry.properties;
    }
    const std::optional<CFDictionary> values = read();
    if (!values)
        return kIOReturnError;
    *properties = *values;
    return KERN_SUCCESS;
}

kern_return_t IOServiceAddInterestNotification(IONotificationPortRef port, io_service_t service, const char *,
                                               IOServiceInterestCallback callback, void *refcon,
                                               io_object_t *notification)
{
    if (!port || !callback)
        return kIOReturnBadArgument;
    auto &s = registry();
    std::lock_guard lock(s.mutex);
    const auto it = s.services.find(service);
    if (it == s.services.end() || it->second.terminated)
        return kIOReturnNoDevice;
    const io_object_t id = s.nextHandle++;
    s.interests.push_back({id, port, service, callback, refcon});
    if (notification)
        *notification = id;
    return KERN_SUCCESS;
}

kern_return_t IOObjectRelease(io_object_t object)
{
    auto &s = registry();
    std::lock_guard lock(s.mutex);
    const auto it = s.references.find(object);
    if (it == s.references.end())
        return KERN_SUCCESS;
    if (--it->second > 0)
        return KERN_SUCCESS;
    // The last reference: nothing is kept at zero, and a service that has gone goes with it.
    s.references.erase(it);
    if (const auto service = s.services.find(object); service != s.services.end() && service->second.terminated)
        s.services.erase(service);
    return KERN_SUCCESS;
}

CFUUID kIOHIDDeviceUserClientTypeID()
{
    return {{0xFA, 0x12, 0xFA, 0x38, 0x6F, 0x1A, 0x11, 0xD4, 0xBA, 0x0C, 0x00, 0x05, 0x02, 0x8F, 0x18, 0xD5}};
}

CFUUID kIOCFPlugInInterfaceID()
{
    return {{0xC2, 0x44, 0xE8, 0x58, 0x10, 0x9C, 0x11, 0xD4, 0x91, 0xD4, 0x00, 0x50, 0xE4, 0xC6, 0x42, 0x6F}};
}

kern_return_t IOCreatePlugInInterfaceForService(io_service_t service, const CFUUID &pluginType,
                                                const CFUUID &interfaceType, IOCFPlugInInterface **theInterface,
                                                std::int32_t *theScore)
{
    if (!theInterface)
        return kIOReturnBadArgument;
    *theInterface = nullptr;
    if (theScore)
        *theScore = 0;
    if (pluginType.bytes != kIOHIDDeviceUserClientTypeID().bytes
        || interfaceType.bytes != kIOCFPlugInInterfaceID().bytes)
        return kIOReturnUnsupported;
    std::function<bool()> open;
    {
        auto &s = registry();
        std::lock_guard lock(s.mutex);
        const auto it = s.services.find(service);
        if (it == s.services.end() || it->second.terminated)
            return kIOReturnNoDevice;
        open = it->second.entry.openUserClient;
    }
    if (!open || !open())
        return kIOReturnUnsupported;
    *theInterface = new PlugIn;
    return KERN_SUCCESS;
}
