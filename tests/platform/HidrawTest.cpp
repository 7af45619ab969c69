#include "HidrawDevice.h"
#include "IOKit.h"
#include "Preferences.h"
#include "UdevHIDMonitor.h"

#include <QCoreApplication>
#include <QTemporaryFile>
#include <gtest/gtest.h>
#include <numeric>

using namespace linuxbackends;

namespace {

UsbAttributes zorvexAttributes()
{
    return {"5e1a", "3c04", "Orvanelle", "Zorvex"};
}

// A vendor command's length, with every byte different.
std::vector<std::uint8_t> vendorCommand()
{
    std::vector<std::uint8_t> report(27);
    std::iota(report.begin(), report.end(), std::uint8_t{0x11});
    return report;
}

} // namespace

// ---- report framing ----

// ---- identity from udev ----

TEST(UsbIds, OnlyFourHexDigitsOfSysfsTextBecomeAnId)
{
    const std::pair<std::optional<std::string>, std::optional<std::int32_t>> cases[] = {{"5e1a", 0x5E1A},
                                                                                        {"5E1A\n", 0x5E1A},
                                                                                        {"1", 1},
                                                                                        {std::nullopt, std::nullopt},
                                                                                        {"", std::nullopt},
                                                                                        {"  ", std::nullopt},
                                                                                        {"5e1g", std::nullopt},
                                                                                        {"0x5e1a", std::nullopt},
                                                                                        {"15e1a", std::nullopt},
                                                                                        {"-5e1", std::nullopt}};
    for (const auto &[text, id] : cases)
        EXPECT_EQ(parseUsbId(text), id) << text.value_or("(absent)");
}

// ---- the device over hidapi, without a device ----

TEST(HidrawDevice, ANodeThatIsNotHidrawAnswersNoDeviceWithoutReachingHidapiAndBadArgumentsAreRefusedFirst)
{
    // hidapi 0.13 crashes when asked to open a path that is not a hidraw node.
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    for (const std::string &path :
         {file.fileName().toStdString(), std::string("/dev/null"), std::string("/nonexistent/hidraw9")}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(isHidrawNode(path));
        HidrawDevice device(path, hidPropertiesFrom(zorvexAttributes()));
        EXPECT_EQ(device.setReport(kIOHIDReportTypeOutput, 0, vendorCommand()), kIOReturnNoDevice);
        std::vector<std::uint8_t> reply(18, 0xEE);
        CFIndex length = 18;
        EXPECT_EQ(device.getReport(kIOHIDReportTypeInput, 0, reply, length), kIOReturnNoDevice);
        EXPECT_EQ(length, 0);
        EXPECT_EQ(reply, std::vector<std::uint8_t>(18, 0xEE));
        // Report types the device cannot carry, in either direction.
        EXPECT_EQ(device.setReport(kIOHIDReportTypeInput, 0, vendorCommand()), kIOReturnBadArgument);
        for (const CFIndex id : {-1, 256}) // a report id is one byte
            EXPECT_EQ(device.setReport(kIOHIDReportTypeOutput, id, vendorCommand()), kIOReturnBadArgument);
        EXPECT_EQ(device.getReport(kIOHIDReportTypeOutput, 0, reply, length), kIOReturnBadArgument);
        EXPECT_EQ(device.getReport(kIOHIDReportTypeInput, 0, std::span<std::uint8_t>(), length), kIOReturnBadArgument);
    }
}

// ---- what the monitor publishes, as the panel's discovery sees it ----

namespace {

struct Seen {
    std::vector<IOHIDDeviceRef> matched;
    std::vector<IOHIDDeviceRef> removed;
    int serviceCallbacks = 0;
    std::vector<natural_t> interestMessages;
};

void onInterest(void *refcon, io_service_t, natural_t message, void *)
{
    static_cast<Seen *>(refcon)->interestMessages.push_back(message);
}

class PublishedHidraw : public ::testing::Test {
protected:
    Seen seen;
    io_iterator_t iterator = 0;
    IONotificationPortRef port = nullptr;
    QTemporaryFile node;
    std::unique_ptr<UdevHIDMonitor> monitor;

    void SetUp() override
    {
        platform::IORegistry::instance().reset();
        ASSERT_TRUE(node.open());
        IOHIDManagerRef manager = IOHIDManagerCreate(0);
        IOHIDManagerSetDeviceMatching(manager, {{QStringLiteral("Manufacturer"), QStringLiteral("Orvanelle")}});
        IOHIDManagerRegisterDeviceMatchingCallback(
            manager, [](void *c, IOReturn, void *, IOHIDDeviceRef d) { static_cast<Seen *>(c)->matched.push_back(d); },
            &seen);
        IOHIDManagerRegisterDeviceRemovalCallback(
            manager, [](void *c, IOReturn, void *, IOHIDDeviceRef d) { static_cast<Seen *>(c)->removed.push_back(d); },
            &seen);
        IOHIDManagerScheduleWithRunLoop(manager);
        IOHIDManagerOpen(manager, 0);
        port = IONotificationPortCreate(kIOMasterPortDefault);
        CFRunLoopAddSource(IONotificationPortGetRunLoopSource(port));
        CFDictionary matching = IOServiceMatching("IOHIDDevice");
        matching.insert(QStringLiteral("VendorID"), QVariant::fromValue<qint32>(24090));
        IOServiceAddMatchingNotification(
            port, "IOServiceMatched", matching,
            [](void *c, io_iterator_t) { ++static_cast<Seen *>(c)->serviceCallbacks; }, &seen, &iterator);
        monitor = std::make_unique<UdevHIDMonitor>();
        settle();
        // Whatever this machine has plugged in is not part of the test.
        seen = Seen{};
        while (const io_service_t s = IOIteratorNext(iterator))
            IOObjectRelease(s);
    }

    void TearDown() override
    {
        monitor.reset();
        platform::IORegistry::instance().reset();
    }

    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    std::string nodePath() const { return node.fileName().toStdString(); }
};

// Asks the service's user client to open, as the panel does before talking to the device.
bool userClientOpens(io_service_t service)
{
    IOCFPlugInInterface *plugIn = nullptr;
    std::int32_t score = 0;
    const kern_return_t result = IOCreatePlugInInterfaceForService(service, kIOHIDDeviceUserClientTypeID(),
                                                                   kIOCFPlugInInterfaceID(), &plugIn, &score);
    if (plugIn)
        plugIn->Release();
    return result == KERN_SUCCESS && plugIn != nullptr;
}

} // namespace

TEST_F(PublishedHidraw, OnlyTheVendorsInterfaceShowsUpOnceAsAHidDeviceAndAServiceWhoseUserClientOpens)
{
    const std::size_t before = monitor->publishedCount();
    UsbAttributes other = zorvexAttributes();
    other.idVendor = "046d";
    monitor->hidrawAdded("/sys/test/hidraw1", nodePath(), other);
    other.idVendor.reset();
    monitor->hidrawAdded("/sys/test/hidraw2", nodePath(), other);
    monitor->hidrawAdded("/sys/test/hidraw3", "", zorvexAttributes());
    monitor->hidrawAdded("/sys/test/hidraw7", nodePath(), zorvexAttributes());
    monitor->hidrawAdded("/sys/test/hidraw7", nodePath(), zorvexAttributes());
    settle();
    EXPECT_EQ(monitor->publishedCount(), before + 1);
    EXPECT_EQ(seen.serviceCallbacks, 1) << "the drained iterator announces the one new service";

    ASSERT_EQ(seen.matched.size(), 1u);
    const auto vendor = IOHIDDeviceGetProperty(seen.matched[0], QStringLiteral("VendorID"));
    ASSERT_TRUE(vendor.has_value());
    EXPECT_EQ(vendor->toInt(), 24090);

    const io_service_t service = IOIteratorNext(iterator);
    ASSERT_NE(service, 0u);
    CFDictionary properties;
    ASSERT_EQ(IORegistryEntryCreateCFProperties(service, &properties), KERN_SUCCESS);
    EXPECT_EQ(properties.value(QStringLiteral("Product")).toString(), QStringLiteral("Zorvex"));
    EXPECT_EQ(properties.value(QStringLiteral("ProductID")).toInt(), 15364);
    EXPECT_TRUE(userClientOpens(service));
    IOObjectRelease(service);

    monitor->hidrawAdded("/sys/test/hidraw8", "/nonexistent/hidraw8", zorvexAttributes());
    settle();
    const io_service_t unopenable = IOIteratorNext(iterator);
    ASSERT_NE(unopenable, 0u);
    EXPECT_FALSE(userClientOpens(unopenable));
    IOObjectRelease(unopenable);
}

TEST_F(PublishedHidraw, RemovalAndTheMonitorsEndWithdrawTheDeviceAndTerminateTheService)
{
    monitor->hidrawAdded("/sys/test/hidraw7", nodePath(), zorvexAttributes());
    settle();
    const io_service_t service = IOIteratorNext(iterator);
    ASSERT_NE(service, 0u);
    io_object_t interest = 0;
    ASSERT_EQ(IOServiceAddInterestNotification(port, service, "IOGeneralInterest", onInterest, &seen, &interest),
              KERN_SUCCESS);

    monitor->hidrawRemoved("/sys/test/hidraw7");
    settle();
    ASSERT_EQ(seen.matched.size(), 1u);
    EXPECT_EQ(seen.removed, seen.matched);
    EXPECT_EQ(seen.interestMessages, std::vector<natural_t>{kIOMessageServiceIsTerminated});
    IOObjectRelease(service);

    monitor->hidrawRemoved("/sys/test/hidraw7");
    settle();
    EXPECT_EQ(seen.removed.size(), 1u) << "a second removal of the same node does nothing";

    monitor->hidrawAdded("/sys/test/hidraw8", nodePath(), zorvexAttributes());
    settle();
    monitor.reset();
    settle();
    EXPECT_EQ(seen.removed, seen.matched) << "the monitor withdraws what it published when it goes";
}
