#include "ATolvane.h"

#include "Clock.h"
#include "CoreAudio.h"
#include "IOKit.h"
#include "Logging.h"
#include "PanelGlobals.h"
#include "Preferences.h"

mach_port_t gMasterPort = 0;
IONotificationPortRef gNotifyPort = nullptr;
CFRunLoopSourceRef gRunLoopSource = nullptr;
io_iterator_t gMatchedIterator = 0;
io_object_t gInterestNotification = 0;

namespace {

const QString kProductName = QString::fromLatin1(zorvex::kProductName);
const QString kManufacturer = QString::fromLatin1(zorvex::kManufacturer);
// How long the attach waits for the interface's sound card when its HID device came first.
// The card usually comes first, and then the attach does not wait at all.
constexpr std::uint32_t kSoundCardWaitMicroseconds = 1000000;

// The attach proper, once the sound card is there or the wait for it is over. Owns `held`.
// Every way it fails ends in the window's explanation, so its callers need not give one.
// Without the card the panel is not asked to attach: its own wait for the audio devices would
// only freeze the window two seconds more for a card that has had its second.
void attachService(ATolvane *panel, io_service_t held, std::int32_t heldProductID, bool soundCardThere)
{
    IOCFPlugInInterface *plugIn = nullptr;
    std::int32_t score = 0;
    if (IOCreatePlugInInterfaceForService(held, kIOHIDDeviceUserClientTypeID(), kIOCFPlugInInterfaceID(), &plugIn,
                                          &score)
            != KERN_SUCCESS
        || !plugIn) {
        qCWarning(lcDiscovery, "the Zorvex is connected, but its HID device does not open");
        IOObjectRelease(held);
        panel->noteUserClientRefused(true);
        panel->explainState();
        return;
    }
    panel->noteUserClientRefused(false);
    bool detach = true;
    if (soundCardThere && panel->setupProperty() != 0) {
        qCInfo(lcDiscovery, "attached to the Zorvex");
        panel->enableControls(static_cast<UInt32>(heldProductID));
        detach = IOServiceAddInterestNotification(gNotifyPort, held, "IOGeneralInterest", PanelServiceInterest, panel,
                                                  &gInterestNotification)
            != KERN_SUCCESS;
    } else {
        qCWarning(lcDiscovery, "the Zorvex's HID device is here, but not its sound card \"Zorvex\"");
    }
    if (detach)
        PanelServiceInterest(panel, held, kIOMessageServiceIsTerminated, nullptr);
    plugIn->Release();
    // A slow driver can bring the card after the wait: the HID device that is still here then
    // attaches with it, rather than leaving a whole interface disabled until a replug.
    if (!soundCardThere && panel->reportedInterface())
        panel->keepForLateSoundCard(held, heldProductID);
    else
        IOObjectRelease(held);
}

OSStatus PanelAudioHardwareListener(AudioPropertyID, void *clientData)
{
    // Announced on whichever thread saw the change; the panel looks on its own. A call by name,
    // as the read-back wake-up is.
    QMetaObject::invokeMethod(static_cast<ATolvane *>(clientData), "recheckSoundCard", Qt::QueuedConnection);
    return noErr;
}

} // namespace

void IOHIDDevice_GetUInt32Property(IOHIDDeviceRef inIOHIDDeviceRef, const QString &key, std::uint32_t *outValue)
{
    // The reference's type is guaranteed by the compiler; only its presence is checked here.
    if (!inIOHIDDeviceRef || !outValue)
        return;
    const std::optional<QVariant> value = IOHIDDeviceGetProperty(inIOHIDDeviceRef, key);
    SInt32 number = 0;
    if (value && CFNumberGetValue(*value, &number))
        *outValue = static_cast<std::uint32_t>(number);
}

void ATolvane::startDeviceDiscovery()
{
    IOHIDManagerRef manager = IOHIDManagerCreate(0);
    CFDictionary deviceMatching;
    deviceMatching.insert(QStringLiteral("Manufacturer"), kManufacturer);
    IOHIDManagerSetDeviceMatching(manager, deviceMatching);
    IOHIDManagerRegisterDeviceMatchingCallback(manager, PanelHIDDeviceMatched, this);
    IOHIDManagerRegisterDeviceRemovalCallback(manager, PanelHIDDeviceRemoved, this);
    IOHIDManagerScheduleWithRunLoop(manager);
    IOHIDManagerOpen(manager, 0);
    m_hidManager = manager;

    IOMasterPort(MACH_PORT_NULL, &gMasterPort);
    CFDictionary serviceMatching = IOServiceMatching("IOHIDDevice");
    gNotifyPort = IONotificationPortCreate(gMasterPort);
    m_notifyPort = gNotifyPort;
    gRunLoopSource = IONotificationPortGetRunLoopSource(gNotifyPort);
    CFRunLoopAddSource(gRunLoopSource);
    serviceMatching.insert(QStringLiteral("VendorID"), QVariant::fromValue<qint32>(zorvex::kVendorID));
    // Not drained here: the notification stays silent until the first attach has emptied it.
    IOServiceAddMatchingNotification(gNotifyPort, "IOServiceMatched", serviceMatching, PanelServiceMatched, this,
                                     &gMatchedIterator);
    // A sound card that comes or goes: the other half of the interface's readiness, and what the
    // disabled window's explanation follows.
    AudioHardwareAddPropertyListener(kAudioHardwarePropertyDevices, PanelAudioHardwareListener, this);
    m_hardwareListening = true;
    // Queued behind the reports of what is already connected, which the HID manager delivers
    // once the event loop runs: an interface present at start-up attaches first.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_discoveryLooked = true;
            explainState();
        },
        Qt::QueuedConnection);
}

void ATolvane::stopDeviceDiscovery()
{
    cancelPendingAttach();
    if (m_hardwareListening) {
        AudioHardwareRemovePropertyListener(kAudioHardwarePropertyDevices, PanelAudioHardwareListener);
        m_hardwareListening = false;
    }
    if (m_hidManager) {
        IOHIDManagerUnscheduleFromRunLoop(m_hidManager);
        IOHIDManagerClose(m_hidManager, 0);
        IOHIDManagerRegisterDeviceMatchingCallback(m_hidManager, nullptr, nullptr);
        IOHIDManagerRegisterDeviceRemovalCallback(m_hidManager, nullptr, nullptr);
        m_hidManager = nullptr;
    }
    if (!m_notifyPort)
        return;
    // The port takes its matching and interest notifications, and its source, with it.
    IONotificationPortDestroy(m_notifyPort);
    if (gNotifyPort == m_notifyPort) {
        gNotifyPort = nullptr;
        gRunLoopSource = nullptr;
        gMatchedIterator = 0;
        gInterestNotification = 0;
    }
    m_notifyPort = nullptr;
}

void ATolvane::waitForSoundCard(io_service_t service, std::int32_t productID)
{
    cancelPendingAttach();
    m_pendingService = service;
    m_pendingProductID = productID;
    m_soundCardTimer = platform::startTimer(kSoundCardWaitMicroseconds, [this] { resumePendingAttach(); });
}

void ATolvane::resumePendingAttach()
{
    if (!m_pendingService)
        return;
    const io_service_t held = std::exchange(m_pendingService, 0);
    m_soundCardTimer.reset();
    attachService(this, held, m_pendingProductID, soundCardPresent());
}

void ATolvane::keepForLateSoundCard(io_service_t service, std::int32_t productID)
{
    if (m_lateCardService)
        IOObjectRelease(m_lateCardService);
    m_lateCardService = service;
    m_lateCardProductID = productID;
}

void ATolvane::attachWithLateSoundCard()
{
    if (!m_lateCardService || !reportedInterface())
        return;
    const io_service_t held = std::exchange(m_lateCardService, 0);
    // The failed attach let go of the command channel's handle; the HID device is still the same.
    setHIDInterface(reportedInterface());
    attachService(this, held, m_lateCardProductID, true);
}

void ATolvane::cancelPendingAttach()
{
    m_soundCardTimer.reset();
    if (m_pendingService)
        IOObjectRelease(std::exchange(m_pendingService, 0));
    if (m_lateCardService)
        IOObjectRelease(std::exchange(m_lateCardService, 0));
}

void ATolvane::applicationWillTerminate()
{
    // The detach below is the program's end, not the device's absence.
    m_terminating = true;
    cancelPendingAttach();
    // Detach whenever there is something to detach, so the link flag is saved also when the
    // attach came through the service notification and left the handle clear.
    if (isAttached() || HIDInterface())
        PanelServiceInterest(this, 0, kIOMessageServiceIsTerminated, nullptr);
    if (gRunLoopSource && CFRunLoopContainsSource(gRunLoopSource))
        CFRunLoopRemoveSource(gRunLoopSource);
}

void PanelHIDDeviceMatched(void *context, IOReturn, void *, IOHIDDeviceRef device)
{
    auto *panel = static_cast<ATolvane *>(context);
    if (!panel)
        return;
    std::uint32_t vendorID = 0;
    std::uint32_t productID = 0;
    IOHIDDevice_GetUInt32Property(device, QStringLiteral("VendorID"), &vendorID);
    IOHIDDevice_GetUInt32Property(device, QStringLiteral("ProductID"), &productID);
    if (vendorID != zorvex::kVendorID)
        return;
    if (productID == zorvex::kProductID) {
        panel->setReportedInterface(device);
        panel->setHIDInterface(device);
        PanelServiceMatched(panel, gMatchedIterator);
    }
    // Shown as present only when an attach really holds: a failed attach, or another product
    // of the vendor, leaves the window disabled.
    if (panel->isAttached())
        panel->enableControls(productID);
    else
        panel->explainState();
}

void PanelServiceMatched(void *refcon, io_iterator_t iterator)
{
    auto *panel = static_cast<ATolvane *>(refcon);
    io_service_t held = 0;
    std::int32_t heldProductID = 0;
    while (const io_service_t service = IOIteratorNext(iterator)) {
        QString name = QStringLiteral("Device %1").arg(service, 0, 16);
        CFDictionary properties;
        if (IORegistryEntryCreateCFProperties(service, &properties) != KERN_SUCCESS) {
            IOObjectRelease(service);
            continue;
        }
        std::int32_t productID = 0;
        if (const auto it = properties.find(QStringLiteral("ProductID")); it != properties.end())
            CFNumberGetValue(it.value(), &productID);
        if (const auto it = properties.find(QStringLiteral("Product")); it != properties.end())
            name = it.value().toString();
        // Only the first service of the drain named after the interface is attached.
        if (held == 0 && name == kProductName) {
            held = service;
            heldProductID = productID;
        } else {
            IOObjectRelease(service);
        }
    }
    if (held == 0 || !panel)
        return;
    // A later arrival supersedes one still waiting for its card.
    panel->cancelPendingAttach();
    if (soundCardPresent())
        attachService(panel, held, heldProductID, true);
    else
        panel->waitForSoundCard(held, heldProductID);
}

namespace {

// The one detach sequence, whichever notice brought it: the window first, then the device's
// listeners and observers, then the HID handle.
void detachPanel(ATolvane *panel)
{
    panel->cancelPendingAttach();
    panel->disableControls();
    panel->unhookProperty();
    if (panel->HIDInterface())
        panel->setHIDInterface(nullptr);
}

} // namespace

void PanelServiceInterest(void *refcon, io_service_t, natural_t messageType, void *)
{
    auto *panel = static_cast<ATolvane *>(refcon);
    if (!panel || messageType != kIOMessageServiceIsTerminated)
        return;
    const bool wasAttached = panel->isAttached();
    detachPanel(panel);
    if (wasAttached)
        qCInfo(lcDiscovery, "detached from the Zorvex");
    panel->explainState();
}

void PanelHIDDeviceRemoved(void *context, IOReturn, void *, IOHIDDeviceRef device)
{
    auto *panel = static_cast<ATolvane *>(context);
    // Another device of the brand leaving says nothing about the interface.
    if (!panel || !device || device != panel->reportedInterface())
        return;
    panel->setReportedInterface(nullptr);
    panel->noteUserClientRefused(false);
    qCInfo(lcDiscovery, "the Zorvex was disconnected");
    detachPanel(panel);
    panel->explainState();
}
