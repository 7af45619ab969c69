#include "AButton.h"
#include "ARoundButtonSlider.h"
#include "AStatusLine.h"
#include "DiscoveryHarness.h"
#include "PanelGlobals.h"
#include "Preferences.h"

#include <gtest/gtest.h>

using sim::ReportOrder;
using sim::USBDevice;

namespace {

void expectDetached(const DiscoveryHarness &h)
{
    EXPECT_FALSE(h.panel->isAttached());
    EXPECT_EQ(h.panel->windowTitle(), QStringLiteral("Zorvex Disabled"));
    EXPECT_EQ(h.panel->HIDInterface(), nullptr);
    EXPECT_EQ(h.audio.listenerCount(), 0u);
}

// A Zorvex that only shows up as a service: the HID manager never reports it.
USBDevice serviceOnly()
{
    USBDevice usb = USBDevice::zorvex();
    usb.hasHIDDevice = false;
    return usb;
}

} // namespace

TEST(Discovery, StartUpWithTheInterfaceConnected)
{
    DiscoveryHarness h;
    const auto zorvex = h.bus->plug();
    ATolvane &p = h.wake();
    EXPECT_EQ(p.windowTitle(), QStringLiteral("Zorvex Disabled")) << "nothing is reported before the loop runs";
    h.settle();
    EXPECT_TRUE(p.isAttached());
    EXPECT_EQ(p.windowTitle(), QStringLiteral("Zorvex"));
    EXPECT_EQ(p.HIDInterface(), h.bus->hid(zorvex));
    EXPECT_EQ(h.pauses(1000000), 0u) << "the sound card was there: nothing to wait for";
    EXPECT_EQ(platform::IORegistry::instance().outstandingReferences(), 0);
}

// Attached as soon as both the HID device and the sound card are there, whichever comes first;
// a sound card that does not come is waited for one second on the panel's clock, not in a pause
// that would freeze the window, and one that comes after that second still attaches. Unplugging
// during the wait ends it, and an unplug leaves no service held.
TEST(Discovery, AttachesOnceHIDDeviceAndSoundCardAreBothThere)
{
    using namespace std::chrono_literals;
    struct Case {
        const char *name;
        bool cardFirst;
        std::optional<std::chrono::microseconds> cardAfter; // after the HID device
        bool unplugInstead;
        bool attached;
        std::chrono::microseconds waited;
        bool cardLate = false; // comes after the wait
    };
    const Case cases[] = {
        {"card, then HID device", true, std::nullopt, false, true, 0us},
        {"HID device, card 300 ms later", false, 300ms, false, true, 300ms},
        {"HID device, unplugged during the wait", false, std::nullopt, true, false, 300ms},
        {"HID device, card after the wait", false, std::nullopt, false, false, 1s, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DiscoveryHarness h;
        h.wake();
        h.settle();
        USBDevice usb = USBDevice::zorvex();
        if (!c.cardFirst)
            usb.audio.reset();
        const auto zorvex = h.bus->plug(usb);
        h.deliver();
        EXPECT_EQ(h.panel->isAttached(), c.cardFirst);
        if (!c.cardFirst) {
            h.clock.advance(c.waited - 1us);
            h.deliver();
            EXPECT_FALSE(h.panel->isAttached()) << "still waiting";
            if (c.cardAfter)
                h.audio.addDevice();
            if (c.unplugInstead)
                h.bus->unplug(zorvex);
            h.clock.advance(1us);
            h.deliver();
        }
        EXPECT_EQ(h.panel->isAttached(), c.attached);
        EXPECT_EQ(h.panel->windowTitle(), c.attached ? QStringLiteral("Zorvex") : QStringLiteral("Zorvex Disabled"));
        if (!c.unplugInstead) {
            EXPECT_EQ(h.bus->hid(zorvex)->registerWrites().size(), c.attached ? 1u : 0u);
            EXPECT_EQ(h.panel->fStatusLine->message().contains(QStringLiteral("its sound did not come up")),
                      !c.attached);
        }
        EXPECT_EQ(h.clock.pendingTimers(), 0u);
        EXPECT_EQ(h.pauses(1000000) + h.pauses(50000), 0u) << "no pause that freezes the window";
        h.clock.runTimers();
        std::chrono::microseconds paused{0}; // the commands' own 5 ms pauses
        for (const std::uint32_t pause : h.clock.pauses())
            paused += std::chrono::microseconds(pause);
        EXPECT_EQ(h.clock.elapsed() - paused, c.waited) << "the wait ended when the card came, or after one second";
        if (c.cardLate) {
            h.audio.addDevice();
            h.deliver();
            EXPECT_TRUE(h.panel->isAttached());
            EXPECT_EQ(h.bus->hid(zorvex)->registerWrites().size(), 1u) << "the command went out on the HID device";
            EXPECT_TRUE(h.panel->fStatusLine->message().isEmpty());
        }
        if (!c.unplugInstead) {
            h.bus->unplug(zorvex);
            h.deliver();
        }
        EXPECT_EQ(platform::IORegistry::instance().outstandingReferences(), 0);
    }
}

// Plugged in after start-up, unplugged and plugged in again, with either report first. HID
// manager first: the handle is there for the attach's command. Service first: the attach runs
// with the handle still clear, so its command is lost; the HID manager's report then brings the
// handle. Either way the armed notification found the iterator empty (one more pause). A device
// of another product coming and going changes nothing.
TEST(Discovery, PluggingInLaterUnpluggingAndPluggingInAgainWhicheverReportComesFirst)
{
    for (const ReportOrder order : {ReportOrder::HIDManagerFirst, ReportOrder::ServiceFirst}) {
        DiscoveryHarness h;
        h.wake();
        h.settle();
        const auto first = h.plug();
        EXPECT_EQ(h.panel->windowTitle(), QStringLiteral("Zorvex"));
        h.unplug(h.plug(USBDevice::otherProduct()));
        EXPECT_TRUE(h.panel->isAttached());
        EXPECT_EQ(h.panel->HIDInterface(), h.bus->hid(first));
        h.unplug(first, order);
        expectDetached(h);
        for (const auto &slider : h.panel->fChannelLevel)
            EXPECT_TRUE(slider->isHidden());

        const auto again = h.plug(USBDevice::zorvex(), order);
        EXPECT_TRUE(h.panel->isAttached());
        EXPECT_EQ(h.panel->windowTitle(), QStringLiteral("Zorvex"));
        EXPECT_EQ(h.panel->HIDInterface(), h.bus->hid(again));
        EXPECT_EQ(h.bus->hid(again)->registerWrites().size(), order == ReportOrder::HIDManagerFirst ? 1u : 0u);
    }
}

// Another product of the vendor is seen but not bound; devices of other vendors or without one,
// and services that cannot be named or read, are ignored. None of them runs the attach routine.
TEST(Discovery, OtherDevicesAndUnreadableServicesAreNotAttached)
{
    USBDevice otherVendor = USBDevice::zorvex();
    otherVendor.hid.vendorID = 1234;
    otherVendor.serviceVendorID = 1234;
    USBDevice noVendor = USBDevice::zorvex();
    noVendor.hid.vendorID.reset();
    noVendor.serviceVendorID.reset();
    USBDevice unnamed = serviceOnly();
    unnamed.serviceProduct.reset();
    USBDevice unreadable = serviceOnly();
    unreadable.propertiesReadable = false;
    for (const USBDevice &usb : {USBDevice::otherProduct(), otherVendor, noVendor, unnamed, unreadable}) {
        DiscoveryHarness h;
        h.wake();
        h.plug(usb);
        EXPECT_EQ(h.panel->HIDInterface(), nullptr);
        EXPECT_FALSE(h.panel->isAttached());
        EXPECT_EQ(h.countCalls(sim::AudioOp::DeviceGetPropertyInfo), 0u) << "the panel was not asked to attach";
        EXPECT_EQ(h.panel->windowTitle(), QStringLiteral("Zorvex Disabled"));
        EXPECT_EQ(platform::IORegistry::instance().outstandingReferences(), 0);
    }
}

TEST(Discovery, OnlyTheTerminationMessageDetaches)
{
    DiscoveryHarness h;
    h.wake();
    h.plug();
    PanelServiceInterest(h.panel.get(), 0, 0xE0000130 /* will close */, nullptr);
    EXPECT_TRUE(h.panel->isAttached());
    PanelServiceInterest(nullptr, 0, kIOMessageServiceIsTerminated, nullptr);
    EXPECT_TRUE(h.panel->isAttached());
    PanelServiceInterest(h.panel.get(), 0, kIOMessageServiceIsTerminated, nullptr);
    expectDetached(h);
}

TEST(Discovery, QuittingDetachesWhenThereIsSomethingToDetach)
{
    // Attached with the handle set.
    {
        DiscoveryHarness h;
        h.wake();
        h.plug();
        h.panel->currPreference.m_nLink[0] = 0;
        h.panel->applicationWillTerminate();
        expectDetached(h);
        EXPECT_EQ(h.storedLinkFlag(), 0);
        EXPECT_FALSE(CFRunLoopContainsSource(gRunLoopSource));
    }
    // Attached through the service notification alone, the handle clear: the flag is still saved.
    {
        DiscoveryHarness h;
        h.wake();
        h.unplug(h.plug()); // arms the service notification
        h.plug(serviceOnly());
        ASSERT_TRUE(h.panel->isAttached());
        ASSERT_EQ(h.panel->HIDInterface(), nullptr);
        h.panel->currPreference.m_nLink[0] = 0;
        h.panel->applicationWillTerminate();
        EXPECT_EQ(h.storedLinkFlag(), 0);
    }
    // Nothing attached: nothing is written.
    {
        DiscoveryHarness h;
        h.wake();
        h.panel->applicationWillTerminate();
        EXPECT_FALSE(CFPreferencesCopyAppValue(QStringLiteral("ZorvexLinkKey0")).has_value());
    }
}

TEST(Discovery, ADestroyedPanelIsNoLongerCalledForDevicesThatComeOrGo)
{
    DiscoveryHarness h;
    h.wake();
    const auto zorvex = h.plug(); // the interest notification is registered too
    const void *gone = h.panel.get();
    h.bus->plug(); // reports queued for the panel, not yet delivered
    h.panel.reset();
    EXPECT_FALSE(platform::IORegistry::instance().hasClient(gone));
    EXPECT_EQ(gRunLoopSource, nullptr) << "nothing left pointing into the destroyed port";
    h.settle();
    h.unplug(zorvex);
    h.plug();
    EXPECT_FALSE(platform::IORegistry::instance().hasClient(gone));
}

// Plugging and unplugging, with the panel attaching and detaching each time, leaves the
// registry as it found it: no terminated service, no reference count at zero.
TEST(Discovery, PlugAndUnplugCyclesLeaveNothingBehindInTheRegistry)
{
    const auto &registry = platform::IORegistry::instance();
    DiscoveryHarness h;
    h.wake();
    for (int i = 0; i < 200; ++i) {
        const auto order = i % 2 ? sim::ReportOrder::ServiceFirst : sim::ReportOrder::HIDManagerFirst;
        const auto handle = h.bus->plug(sim::USBDevice::zorvex(), order);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        ASSERT_TRUE(h.panel->isAttached()) << "each cycle goes through an attach";
        h.bus->unplug(handle, order);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    EXPECT_FALSE(h.panel->isAttached());
    EXPECT_EQ(registry.serviceCount(), 0u);
    EXPECT_EQ(registry.referenceEntryCount(), 0u);
    EXPECT_EQ(registry.outstandingReferences(), 0);
}
