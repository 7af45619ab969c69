#include "PanelGlobals.h"
#include "PanelHarness.h"
#include "SimHID.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

struct HIDHarness : PanelHarness {
    sim::SimHIDDevice hid;
    HIDHarness()
        : PanelHarness(false)
    {
        panel->setHIDInterface(&hid);
    }
    ~HIDHarness() { panel->setHIDInterface(nullptr); }
};

} // namespace

// 0x12 0x34, the register, 0x00 0x01, the data, 0x80 at byte 21, 27 bytes in all, after a 5 ms
// pause; then an 18-byte input report is read back.
TEST(HIDChannel, EachCommandIsTheFixedReportAroundItsRegisterAndDataThenAnEighteenByteRead)
{
    const std::pair<std::uint8_t, std::uint8_t> commands[] = {{26, 0}, {0, 0}, {0xFF, 0xFF}, {7, 0x80}};
    for (const auto &[reg, data] : commands) {
        HIDHarness h;
        EXPECT_EQ(h.panel->setI2c(reg, data), 1u);
        const auto reports = h.hid.reports();
        ASSERT_EQ(reports.size(), 2u);
        EXPECT_EQ(reports[0].type, kIOHIDReportTypeOutput);
        EXPECT_EQ(reports[0].reportID, 0);
        EXPECT_EQ(reports[0].bytes, (std::vector<std::uint8_t>{0x12, 0x34, reg, 0, 1, data, 0, 0,    0, 0, 0, 0, 0, 0,
                                                               0,    0,    0,   0, 0, 0,    0, 0x80, 0, 0, 0, 0, 0}));
        EXPECT_EQ(reports[1].type, kIOHIDReportTypeInput);
        EXPECT_EQ(reports[1].reportID, 0);
        EXPECT_EQ(reports[1].bytes.size(), 18u);
        EXPECT_EQ(h.clock.pauses(), (std::vector<std::uint32_t>{5000}));
    }
}

// A refused report fails the command, and a refused output is not read back; any reply, of any
// content or length, is success, but no reply is not.
TEST(HIDChannel, ARefusedReportOrNoReplyFailsTheCommandAndAnyReplySucceeds)
{
    struct Case {
        std::function<void(sim::SimHIDDevice &)> set;
        UInt32 result;
        std::size_t reports, registerWrites;
    };
    const Case cases[] = {
        {[](sim::SimHIDDevice &hid) { hid.setRefuseOutput(true); }, 0, 1, 0},
        {[](sim::SimHIDDevice &hid) { hid.setRefuseInput(true); }, 0, 2, 1},
        {[](sim::SimHIDDevice &hid) { hid.setReply({}); }, 0, 2, 1},
        {[](sim::SimHIDDevice &hid) { hid.setReply(std::vector<std::uint8_t>(3, 0xAB)); }, 1, 2, 1},
        {[](sim::SimHIDDevice &hid) { hid.setReply(std::vector<std::uint8_t>(64, 0xFF)); }, 1, 2, 1},
    };
    for (const Case &c : cases) {
        HIDHarness h;
        c.set(h.hid);
        EXPECT_EQ(h.panel->setI2c(26, 0), c.result);
        ASSERT_EQ(h.hid.reports().size(), c.reports);
        EXPECT_EQ(h.hid.reports()[0].type, kIOHIDReportTypeOutput);
        EXPECT_EQ(h.hid.registerWrites().size(), c.registerWrites) << "a refused command reached no register";
    }
}

TEST(HIDChannel, HandleChangesWaitForAnExchangeInProgress)
{
    HIDHarness h;
    h.hid.setLatency(std::chrono::milliseconds(50));
    std::thread exchange([&] { EXPECT_EQ(h.panel->hidReport(zorvex::makeVendorCommand(26, 0)), 1u); });
    // Wait until the exchange holds the lock, then clear the handle under it.
    while (h.hid.reports().empty())
        std::this_thread::yield();
    h.panel->setHIDInterface(nullptr);
    exchange.join();
    EXPECT_EQ(h.hid.reports().size(), 2u) << "the read-back still went to the device the exchange began with";
    EXPECT_EQ(h.panel->HIDInterface(), nullptr);
}
