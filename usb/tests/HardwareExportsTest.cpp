// SPDX-License-Identifier: MIT
// The hardware variant's exports end to end over the stand-in libusb: result
// codes, packets on the bulk endpoints and which failures reach the callback.
#include "usb/Transport.h"
#include "usb/UsbIds.h"
#include "usb/VireoApi.h"
#include "usb/tests/FakeLibusb.h"

#include <libusb.h>

#include <gtest/gtest.h>

#include <vector>

namespace vireo {
namespace {

using Bytes = std::vector<std::uint8_t>;

int g_failures = 0;
void CountFailure(std::int32_t)
{
    ++g_failures;
}

class HardwareExports : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakeusb::Reset();
        g_failures = 0;
        USBSetCallBackFunction(&CountFailure);
    }
    void TearDown() override { USBSetCallBackFunction(nullptr); }
    void AttachGenerator(int maxPacketSize = 64)
    {
        fakeusb::Device generator{kGeneratorId.vendor, kGeneratorId.product};
        generator.maxPacketSize = maxPacketSize;
        fake.devices = {generator};
    }
    Bytes Sent(std::size_t i) const { return fake.transfers.at(i).bytes; }

    fakeusb::State& fake = fakeusb::Fake();
};

TEST_F(HardwareExports, OpeningFailuresAreOnlyResultCodes)
{
    // A libusb that cannot start at all is covered with the transport alone:
    // here it may already have started in an earlier test.
    fake.listResult = LIBUSB_ERROR_IO;
    EXPECT_EQ(USBInitDevice(), 517);
    fake.listResult = 0;
    EXPECT_EQ(USBInitDevice(), 516);
    AttachGenerator();
    fake.devices[0].configFails = true;
    EXPECT_EQ(USBInitDevice(), 513);
    AttachGenerator();
    fake.devices[0].openResult = LIBUSB_ERROR_ACCESS;
    EXPECT_EQ(USBInitDevice(), 514);
    AttachGenerator();
    fake.devices[0].claimResult = LIBUSB_ERROR_BUSY;
    EXPECT_EQ(USBInitDevice(), 515);
    EXPECT_EQ(g_failures, 0);
    EXPECT_TRUE(fake.transfers.empty());
    EXPECT_EQ(fake.maxPacketQueryEndpoint, -1); // no packet size asked after a failed open
}

TEST_F(HardwareExports, PacketsTravelOnTheBulkPairAndCountAtTheDevicePacketSize)
{
    AttachGenerator(512);
    ASSERT_EQ(USBInitDevice(), 0);
    EXPECT_EQ(fake.claimedInterface, 0);
    EXPECT_EQ(USBGetPacketSize(), 512);
    USBSingleWriteWithoutFlush(7, 0x3000);
    const Bytes samples(1000, 0x11);
    EXPECT_EQ(USBFIFOWrite(11, samples.data(), 1000), 1);
    ASSERT_EQ(fake.transfers.size(), 2u);
    EXPECT_EQ(fake.transfers[0].endpoint, 0x02);
    EXPECT_EQ(Sent(0), (Bytes{0x26, 7, 0x30, 0, 0x29, 11, 0, 2}));
    EXPECT_EQ(Sent(1), samples);

    fake.inFill = 0x01;
    EXPECT_EQ(USBSingleRead(4), 0x0101);
    EXPECT_EQ(USBReadFromEEPROM(0x1FF), 0x01010101);
    EXPECT_EQ(USBGetPowerState(), 1);
    ASSERT_EQ(fake.transfers.size(), 8u);
    EXPECT_EQ(Sent(2), (Bytes{0x24, 4, 0, 0}));
    EXPECT_EQ(fake.transfers[3].endpoint, 0x86);
    EXPECT_EQ(fake.transfers[3].length, 4);
    EXPECT_EQ(Sent(4), (Bytes{0x01, 0x01, 0xFF, 0x04}));
    EXPECT_EQ(Sent(6), (Bytes{0x01, 0, 0, 0x2C}));
    EXPECT_EQ(g_failures, 0);
}

TEST_F(HardwareExports, EveryFailedRequestButTheReadyTestReports)
{
    AttachGenerator();
    ASSERT_EQ(USBInitDevice(), 0);
    fake.bulkResult = LIBUSB_ERROR_NO_DEVICE;
    fake.controlResult = LIBUSB_ERROR_NO_DEVICE;
    USBSingleWrite(1, 1);
    USBSetPowerOnOff(0);
    USBWriteToEEPROM(1, 1);
    EXPECT_EQ(g_failures, 3);
    EXPECT_EQ(DeviceReady(), 0);
    EXPECT_EQ(g_failures, 3);
    USBGetDeviceID(); // the query's packet, then its reply
    EXPECT_EQ(g_failures, 5);
    Bytes data(64);
    EXPECT_EQ(USBFIFOWrite(11, data.data(), 64), 0);
    EXPECT_EQ(USBFIFORead(11, data.data(), 64), 0);
    EXPECT_EQ(g_failures, 7); // once each: no transfer follows a failed announcement
    fake.devices[0].maxPacketSize = LIBUSB_ERROR_NOT_FOUND;
    USBGetPacketSize();
    EXPECT_EQ(g_failures, 8);
}

TEST_F(HardwareExports, AFailedPacketSizeQueryWhileOpeningReportsAndKeepsTheSize)
{
    AttachGenerator(32);
    ASSERT_EQ(USBInitDevice(), 0);
    const int releases = fake.releases;
    const int closes = fake.closes;
    fake.devices[0].maxPacketSize = LIBUSB_ERROR_NOT_FOUND;
    EXPECT_EQ(USBInitDevice(), 0);
    EXPECT_EQ(g_failures, 1);
    EXPECT_EQ(fake.releases, releases + 1); // the earlier handle was given back first
    EXPECT_EQ(fake.closes, closes + 1);
    fake.transfers.clear();
    const Bytes samples(100);
    USBFIFOWrite(11, samples.data(), 100);
    EXPECT_EQ(Sent(0), (Bytes{0x29, 11, 0, 4}));
}

TEST_F(HardwareExports, TheTransportNamesTheBusAddressOfTheOpenDeviceInBuffersOfAnySize)
{
    struct Case {
        bool open;
        std::int32_t kindCapacity, detailCapacity;
        std::int32_t result;
        const char* kind;
        const char* detail;
    };
    const Case cases[] = {
        {true, 16, 64, 1, "usb", "bus 003 device 117"},
        {true, 3, 8, 1, "us", "bus 003"},           // cut to the buffers, still terminated
        {true, 0, 64, 0, "", "bus 003 device 117"}, // no room for the kind
        {true, 1, 1, 1, "", ""},
        {false, 16, 64, 1, "usb", ""}, // nothing open: nowhere to name
    };
    for (const Case& c : cases) {
        AttachGenerator();
        if (!c.open)
            fake.devices.clear();
        USBInitDevice();
        char kind[16] = "unchanged";
        char detail[64] = "unchanged";
        EXPECT_EQ(USBDescribeTransport(kind, c.kindCapacity, detail, c.detailCapacity), c.result);
        EXPECT_STREQ(kind, c.kindCapacity > 0 ? c.kind : "unchanged");
        EXPECT_STREQ(detail, c.detailCapacity > 0 ? c.detail : "unchanged");
    }
    EXPECT_EQ(USBDescribeTransport(nullptr, 16, nullptr, 64), 0);
    EXPECT_EQ(g_failures, 0);
}

} // namespace
} // namespace vireo
