#include "HidrawDevice.h"
#include "IOKit.h"
#include "Preferences.h"
#include "UdevHIDMonitor.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <gtest/gtest.h>

using namespace linuxbackends;

namespace {

UsbAttributes zorvexAttributes()
{
    return {"5e1a", "3c04", "Orvanelle", "Zorvex"};
}

std::vector<std::uint8_t> vendorCommand()
{
    std::vector<std::uint8_t> report(27, 0);
    report[0] = 0x12;
    report[1] = 0x34;
    report[2] = 0x1A;
    report[4] = 0x01;
    report[21] = 0x80;
    return report;
}

} // namespace

// ---- report framing ----

TEST(HidReportFraming, TheReportIdGoesInFrontOfTheUnchangedReport)
{
    const std::vector<std::uint8_t> report = vendorCommand();
    const auto framed = frameOutputReport(0, report);
    ASSERT_TRUE(framed.has_value());
    ASSERT_EQ(framed->size(), 28u);
    EXPECT_EQ((*framed)[0], 0x00);
    EXPECT_TRUE(std::equal(report.begin(), report.end(), framed->begin() + 1));

    const auto numbered = frameOutputReport(5, report);
    ASSERT_TRUE(numbered.has_value());
    EXPECT_EQ((*numbered)[0], 5);
    EXPECT_EQ(numbered->size(), 28u);
}

TEST(HidReportFraming, AnEmptyReportIsItsIdAloneAndIdsBeyondAByteAreRefused)
{
    const auto empty = frameOutputReport(0, {});
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(*empty, std::vector<std::uint8_t>{0});
    EXPECT_FALSE(frameOutputReport(256, vendorCommand()).has_value());
    EXPECT_FALSE(frameOutputReport(-1, vendorCommand()).has_value());
}

// ---- identity from udev ----

TEST(UsbIds, SysfsHexTextBecomesTheId)
{
    EXPECT_EQ(parseUsbId(std::string("5e1a")), 0x5E1A);
    EXPECT_EQ(parseUsbId(std::string("5E1A\n")), 0x5E1A);
    EXPECT_EQ(parseUsbId(std::string("3c04")), 15364);
    EXPECT_EQ(parseUsbId(std::string("1")), 1);
}

TEST(UsbIds, MissingOrMalformedTextGivesNoId)
{
    EXPECT_FALSE(parseUsbId(std::nullopt).has_value());
    EXPECT_FALSE(parseUsbId(std::string()).has_value());
    EXPECT_FALSE(parseUsbId(std::string("  ")).has_value());
    EXPECT_FALSE(parseUsbId(std::string("5e1g")).has_value());
    EXPECT_FALSE(parseUsbId(std::string("0x5e1a")).has_value());
    EXPECT_FALSE(parseUsbId(std::string("15e1a")).has_value()) << "more digits than a USB id has";
    EXPECT_FALSE(parseUsbId(std::string("-5e1")).has_value());
}

TEST(HidProperties, UsbAttributesBecomeTheDevicesProperties)
{
    const QVariantMap properties = hidPropertiesFrom(zorvexAttributes());
    SInt32 vendor = 0;
    SInt32 product = 0;
    ASSERT_TRUE(CFNumberGetValue(properties.value(QStringLiteral("VendorID")), &vendor));
    ASSERT_TRUE(CFNumberGetValue(properties.value(QStringLiteral("ProductID")), &product));
    EXPECT_EQ(vendor, 24090);
    EXPECT_EQ(product, 15364);
    EXPECT_EQ(properties.value(QStringLiteral("Manufacturer")).toString(), QStringLiteral("Orvanelle"));
    EXPECT_EQ(properties.value(QStringLiteral("Product")).toString(), QStringLiteral("Zorvex"));
}

TEST(HidProperties, AbsentOrMalformedAttributesLeaveTheirKeyOut)
{
    UsbAttributes attributes = zorvexAttributes();
    attributes.manufacturer.reset();
    attributes.idProduct = "zz";
    const QVariantMap properties = hidPropertiesFrom(attributes);
    EXPECT_FALSE(properties.contains(QStringLiteral("Manufacturer")));
    EXPECT_FALSE(properties.contains(QStringLiteral("ProductID")));
    EXPECT_TRUE(properties.contains(QStringLiteral("VendorID")));
    EXPECT_TRUE(hidPropertiesFrom(UsbAttributes{}).isEmpty());
}

TEST(HidProperties, ServicesMatchOnClassVendorProductAndName)
{
    const CFDictionary matching = serviceMatchingProperties(hidPropertiesFrom(zorvexAttributes()));
    EXPECT_EQ(matching.value(QStringLiteral("IOProviderClass")).toString(), QStringLiteral("IOHIDDevice"));
    EXPECT_EQ(matching.value(QStringLiteral("VendorID")).toInt(), 24090);
    EXPECT_EQ(matching.value(QStringLiteral("ProductID")).toInt(), 15364);
    EXPECT_EQ(matching.value(QStringLiteral("Product")).toString(), QStringLiteral("Zorvex"));
    EXPECT_FALSE(matching.contains(QStringLiteral("Manufacturer")));
}

// ---- the device over hidapi, without a device ----

TEST(HidrawDevice, ANodeThatIsNotHidrawAnswersNoDeviceWithoutReachingHidapi)
{
    // hidapi 0.13 crashes when asked to open a path that is not a hidraw node.
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    for (const std::string &path : {file.fileName().toStdString(), std::string("/dev/null"),
                                   std::string("/nonexistent/hidraw9")}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(isHidrawNode(path));
        HidrawDevice device(path, hidPropertiesFrom(zorvexAttributes()));
        const std::vector<std::uint8_t> report = vendorCommand();
        EXPECT_EQ(device.setReport(kIOHIDReportTypeOutput, 0, report), kIOReturnNoDevice);
        std::vector<std::uint8_t> reply(18, 0xEE);
        CFIndex length = 18;
        EXPECT_EQ(device.getReport(kIOHIDReportTypeInput, 0, reply, length), kIOReturnNoDevice);
        EXPECT_EQ(length, 0);
        EXPECT_EQ(reply, std::vector<std::uint8_t>(18, 0xEE));
    }
}

TEST(HidrawDevice, ReportTypesAndIdsItCannotCarryAreBadArguments)
{
    HidrawDevice device("/nonexistent/hidraw9", {});
    const std::vector<std::uint8_t> report = vendorCommand();
    EXPECT_EQ(device.setReport(kIOHIDReportTypeInput, 0, report), kIOReturnBadArgument);
    EXPECT_EQ(device.setReport(kIOHIDReportTypeOutput, 300, report), kIOReturnBadArgument);
    std::vector<std::uint8_t> reply(18);
    CFIndex length = 5;
    EXPECT_EQ(device.getReport(kIOHIDReportTypeOutput, 0, reply, length), kIOReturnBadArgument);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(device.getReport(kIOHIDReportTypeInput, 0, std::span<std::uint8_t>(), length), kIOReturnBadArgument);
}

TEST(HidrawDevice, PropertiesAreTheOnesItWasFoundWith)
{
    HidrawDevice device("/dev/hidraw0", hidPropertiesFrom(zorvexAttributes()));
    ASSERT_TRUE(device.property(QStringLiteral("Product")).has_value());
    EXPECT_EQ(device.property(QStringLiteral("Product"))->toString(), QStringLiteral("Zorvex"));
    EXPECT_EQ(device.property(QStringLiteral("VendorID"))->toInt(), 24090);
    EXPECT_FALSE(device.property(QStringLiteral("SerialNumber")).has_value());
}

TEST(HidrawNode, TheUserClientOpensOnlyWhereTheNodeOpensReadWrite)
{
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    EXPECT_TRUE(nodeOpensReadWrite(file.fileName().toStdString()));
    EXPECT_FALSE(nodeOpensReadWrite("/nonexistent/hidraw9"));
    QTemporaryDir dir;
    EXPECT_FALSE(nodeOpensReadWrite(dir.path().toStdString())) << "a directory is no node";
}

// ---- what the monitor publishes, as the panel's discovery sees it ----

namespace {

struct Seen {
    std::vector<IOHIDDeviceRef> matched;
    std::vector<IOHIDDeviceRef> removed;
    int serviceCallbacks = 0;
    std::vector<natural_t> interestMessages;
};

void onMatched(void *context, IOReturn, void *, IOHIDDeviceRef device)
{
    static_cast<Seen *>(context)->matched.push_back(device);
}
void onRemoved(void *context, IOReturn, void *, IOHIDDeviceRef device)
{
    static_cast<Seen *>(context)->removed.push_back(device);
}
void onService(void *refcon, io_iterator_t)
{
    ++static_cast<Seen *>(refcon)->serviceCallbacks;
}
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
        IOHIDManagerRegisterDeviceMatchingCallback(manager, onMatched, &seen);
        IOHIDManagerRegisterDeviceRemovalCallback(manager, onRemoved, &seen);
        IOHIDManagerScheduleWithRunLoop(manager);
        IOHIDManagerOpen(manager, 0);
        port = IONotificationPortCreate(kIOMasterPortDefault);
        CFRunLoopAddSource(IONotificationPortGetRunLoopSource(port));
        CFDictionary matching = IOServiceMatching("IOHIDDevice");
        matching.insert(QStringLiteral("VendorID"), QVariant::fromValue<qint32>(24090));
        IOServiceAddMatchingNotification(port, "IOServiceMatched", matching, onService, &seen, &iterator);
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

} // namespace

TEST_F(PublishedHidraw, TheInterfaceShowsUpAsAHidDeviceAndAService)
{
    const std::size_t before = monitor->publishedCount();
    monitor->hidrawAdded("/sys/test/hidraw7", nodePath(), zorvexAttributes());
    settle();
    EXPECT_EQ(monitor->publishedCount(), before + 1);

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

    IOCFPlugInInterface *plugIn = nullptr;
    std::int32_t score = 0;
    EXPECT_EQ(IOCreatePlugInInterfaceForService(service, kIOHIDDeviceUserClientTypeID(), kIOCFPlugInInterfaceID(),
                                                &plugIn, &score),
              KERN_SUCCESS);
    ASSERT_NE(plugIn, nullptr);
    plugIn->Release();
    IOObjectRelease(service);
}

TEST_F(PublishedHidraw, RemovalWithdrawsTheDeviceAndTerminatesTheService)
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
}

TEST_F(PublishedHidraw, AUserClientThatCannotOpenIsReported)
{
    monitor->hidrawAdded("/sys/test/hidraw8", "/nonexistent/hidraw8", zorvexAttributes());
    settle();
    const io_service_t service = IOIteratorNext(iterator);
    ASSERT_NE(service, 0u);
    IOCFPlugInInterface *plugIn = nullptr;
    EXPECT_NE(IOCreatePlugInInterfaceForService(service, kIOHIDDeviceUserClientTypeID(), kIOCFPlugInInterfaceID(),
                                                &plugIn, nullptr),
              KERN_SUCCESS);
    EXPECT_EQ(plugIn, nullptr);
    IOObjectRelease(service);
}

TEST_F(PublishedHidraw, OtherVendorsNodesAndRepeatsAreNotPublished)
{
    const std::size_t before = monitor->publishedCount();
    UsbAttributes other = zorvexAttributes();
    other.idVendor = "046d";
    monitor->hidrawAdded("/sys/test/hidraw1", nodePath(), other);
    UsbAttributes noVendor = zorvexAttributes();
    noVendor.idVendor.reset();
    monitor->hidrawAdded("/sys/test/hidraw2", nodePath(), noVendor);
    monitor->hidrawAdded("/sys/test/hidraw3", "", zorvexAttributes());
    monitor->hidrawAdded("/sys/test/hidraw7", nodePath(), zorvexAttributes());
    monitor->hidrawAdded("/sys/test/hidraw7", nodePath(), zorvexAttributes());
    settle();
    EXPECT_EQ(monitor->publishedCount(), before + 1);
    EXPECT_EQ(seen.matched.size(), 1u);
    EXPECT_EQ(seen.serviceCallbacks, 1) << "the drained iterator announces the one new service";
}

TEST_F(PublishedHidraw, TheMonitorWithdrawsWhatItPublishedWhenItGoes)
{
    monitor->hidrawAdded("/sys/test/hidraw7", nodePath(), zorvexAttributes());
    settle();
    ASSERT_EQ(seen.matched.size(), 1u);
    monitor.reset();
    settle();
    EXPECT_EQ(seen.removed, seen.matched);
}
