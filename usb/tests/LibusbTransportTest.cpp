// SPDX-License-Identifier: MIT
// The hardware backend over a stand-in libusb: how opening maps onto the
// result codes, and which endpoint and request each transfer uses.
#include "usb/LibusbTransport.h"
#include "usb/UsbIds.h"
#include "usb/UsbLink.h"
#include "usb/tests/FakeLibusb.h"

#include <libusb.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace vireo {
namespace {

using Bytes = std::vector<std::uint8_t>;

fakeusb::Device Generator()
{
    return {kGeneratorId.vendor, kGeneratorId.product};
}
// The bulk pair of fakeusb::GeneratorInterfaces().
constexpr unsigned char kOut = 0x02;
constexpr unsigned char kIn = 0x86;
fakeusb::Device Stranger()
{
    return {0x046D, 0xC52B};
}

class LibusbTransportTest : public ::testing::Test {
protected:
    void SetUp() override { fakeusb::Reset(); }
    fakeusb::State& fake = fakeusb::Fake();
    std::unique_ptr<LibusbTransport> transport = std::make_unique<LibusbTransport>();
};

TEST_F(LibusbTransportTest, UnusableUsbStackOrListIs517)
{
    fake.initResult = LIBUSB_ERROR_OTHER;
    EXPECT_EQ(transport->Open(), kInitEnumerationFailed);
    EXPECT_EQ(fake.lists, 0);
    fake.initResult = 0;
    fake.listResult = LIBUSB_ERROR_NO_MEM;
    EXPECT_EQ(transport->Open(), kInitEnumerationFailed);
    EXPECT_EQ(fake.inits, 2); // a failed start is tried again on the next open
}

TEST_F(LibusbTransportTest, NoMatchingDeviceIs516)
{
    EXPECT_EQ(transport->Open(), kInitNoDevice);
    fake.devices = {Stranger(), {kGeneratorId.vendor, 0x0002}, {0x1208, kGeneratorId.product}};
    EXPECT_EQ(transport->Open(), kInitNoDevice);
    EXPECT_EQ(fake.opens, 0);
    EXPECT_EQ(fake.freedLists, 2);
}

TEST_F(LibusbTransportTest, UnreadableDescriptorIs513OnlyWhenNoGeneratorWasSeen)
{
    fake.devices = {Stranger(), Generator()};
    fake.devices[1].descriptorFails = true;
    EXPECT_EQ(transport->Open(), kInitDetailUnavailable);
    fake.devices = {Generator(), Generator()};
    fake.devices[0].descriptorFails = true;
    EXPECT_EQ(transport->Open(), kInitOk);
}

TEST_F(LibusbTransportTest, GeneratorWhoseConfigurationCannotBeReadIs513AndIsNotOpened)
{
    fake.devices = {Generator(), Generator()};
    fake.devices[0].configFails = true;
    EXPECT_EQ(transport->Open(), kInitDetailUnavailable); // only the first match is used
    EXPECT_EQ(fake.opens, 0);
    EXPECT_EQ(fake.freedLists, 1);
}

TEST_F(LibusbTransportTest, InterfaceZeroWithoutABulkPairIs513)
{
    fake.devices = {Generator()};
    // The pair lives on another interface; interface 0 has only one way.
    fake.devices[0].interfaces = {{1, {{0x01, 2}, {0x81, 2}}}, {0, {{0x81, 2}, {0x03, 3}}}};
    EXPECT_EQ(transport->Open(), kInitDetailUnavailable);
    EXPECT_EQ(fake.opens, 0);
    EXPECT_EQ(fake.freedConfigs, fake.configs);
}

TEST_F(LibusbTransportTest, EndpointsComeFromInterfaceZerosDescriptors)
{
    fake.devices = {Generator()};
    fake.devices[0].interfaces = {{1, {{0x01, 2}, {0x81, 2}}}, {0, {{0x84, 3}, {0x05, 2}, {0x83, 2}, {0x06, 2}}}};
    ASSERT_EQ(transport->Open(), kInitOk);
    EXPECT_GE(fake.configs, 1);
    EXPECT_EQ(fake.freedConfigs, fake.configs);
    const Bytes packet{0x01, 0, 0, 0x2C};
    Bytes reply(4);
    std::uint32_t size = 0;
    EXPECT_TRUE(transport->SendCommands(packet.data(), packet.size()));
    EXPECT_TRUE(transport->BulkRead(reply.data(), reply.size()));
    EXPECT_TRUE(transport->QueryPacketSize(size));
    ASSERT_EQ(fake.transfers.size(), 2u);
    EXPECT_EQ(fake.transfers[0].endpoint, 0x05);
    EXPECT_EQ(fake.transfers[1].endpoint, 0x83);
    EXPECT_EQ(fake.maxPacketQueryEndpoint, 0x05);
}

TEST_F(LibusbTransportTest, WithoutDescriptorCallsTheFixedEndpointsServe)
{
    fake.devices = {Generator()};
    transport = std::make_unique<LibusbTransport>(ConfigDescriptorCalls{});
    ASSERT_EQ(transport->Open(), kInitOk);
    EXPECT_EQ(fake.configs, 0);
    const Bytes packet{0x01, 0, 0, 0x2C};
    Bytes reply(4);
    std::uint32_t size = 0;
    EXPECT_TRUE(transport->SendCommands(packet.data(), packet.size()));
    EXPECT_TRUE(transport->BulkRead(reply.data(), reply.size()));
    EXPECT_TRUE(transport->QueryPacketSize(size));
    ASSERT_EQ(fake.transfers.size(), 2u);
    EXPECT_EQ(fake.transfers[0].endpoint, 0x01);
    EXPECT_EQ(fake.transfers[1].endpoint, 0x81);
    EXPECT_EQ(fake.maxPacketQueryEndpoint, 0x01);

    // The active configuration unreadable: the first one by index is asked.
    fakeusb::Reset();
    fake.devices = {Generator()};
    transport = std::make_unique<LibusbTransport>(ConfigDescriptorCalls{
        nullptr, ConfigDescriptorCalls::Linked().byIndex, ConfigDescriptorCalls::Linked().release});
    ASSERT_EQ(transport->Open(), kInitOk);
    EXPECT_EQ(fake.freedConfigs, fake.configs);
}

TEST_F(LibusbTransportTest, RefusedOpenIs514)
{
    fake.devices = {Generator()};
    fake.devices[0].openResult = LIBUSB_ERROR_ACCESS;
    EXPECT_EQ(transport->Open(), kInitOpenFailed);
    EXPECT_EQ(fake.freedLists, 1);
}

TEST_F(LibusbTransportTest, UnclaimableInterfaceIs515AndClosesTheHandle)
{
    fake.devices = {Generator()};
    fake.devices[0].claimResult = LIBUSB_ERROR_BUSY;
    EXPECT_EQ(transport->Open(), kInitNoHandle);
    EXPECT_EQ(fake.closes, 1);
    EXPECT_FALSE(transport->Ready()); // nothing stays open
    EXPECT_TRUE(fake.controls.empty());
}

TEST_F(LibusbTransportTest, OpeningClaimsInterfaceZeroWithKernelDriverDetached)
{
    fake.devices = {Stranger(), Generator()};
    EXPECT_EQ(transport->Open(), kInitOk);
    EXPECT_EQ(fake.autoDetach, 1);
    EXPECT_EQ(fake.claimedInterface, 0);
    EXPECT_EQ(fake.freedLists, 1);
    EXPECT_EQ(fake.lastUnref, 1);

    EXPECT_EQ(transport->Open(), kInitOk); // the earlier handle is given back first
    EXPECT_EQ(fake.releases, 1);
    EXPECT_EQ(fake.closes, 1);
    transport.reset();
    EXPECT_EQ(fake.releases, 2);
    EXPECT_EQ(fake.closes, 2);
    EXPECT_EQ(fake.exits, 1);
}

TEST_F(LibusbTransportTest, AFailedReopeningStillGivesBackTheEarlierDevice)
{
    fake.devices = {Generator()};
    ASSERT_EQ(transport->Open(), kInitOk);
    fake.devices.clear();
    EXPECT_EQ(transport->Open(), kInitNoDevice);
    EXPECT_EQ(fake.releases, 1);
    EXPECT_EQ(fake.closes, 1);
    EXPECT_FALSE(transport->Ready());
    transport.reset();
    EXPECT_EQ(fake.closes, 1); // nothing is given back twice
    EXPECT_EQ(fake.exits, 1);
}

TEST_F(LibusbTransportTest, RequestsBeforeOpeningFailWithoutTouchingTheBus)
{
    const Bytes packet{0x26, 1, 0, 0};
    std::uint32_t size = 0;
    EXPECT_FALSE(transport->SendCommands(packet.data(), packet.size()));
    EXPECT_FALSE(transport->Ready());
    EXPECT_FALSE(transport->QueryPacketSize(size));
    EXPECT_TRUE(fake.transfers.empty());
    EXPECT_EQ(fake.maxPacketQueryEndpoint, -1);
}

TEST_F(LibusbTransportTest, TransfersUseTheBulkEndpointsWithTimeoutsGrowingWithSize)
{
    fake.devices = {Generator()};
    ASSERT_EQ(transport->Open(), kInitOk);
    const Bytes packet{0x26, 7, 0x30, 0};
    EXPECT_TRUE(transport->SendCommands(packet.data(), packet.size()));
    Bytes image(131022, 0x11);
    EXPECT_TRUE(transport->BulkWrite(image.data(), image.size()));
    Bytes reply(4, 0);
    EXPECT_TRUE(transport->BulkRead(reply.data(), reply.size()));
    ASSERT_EQ(fake.transfers.size(), 3u);
    EXPECT_EQ(fake.transfers[0].endpoint, kOut);
    EXPECT_EQ(fake.transfers[0].bytes, packet);
    EXPECT_EQ(fake.transfers[0].timeout, kBulkTimeoutMs);
    EXPECT_EQ(fake.transfers[1].endpoint, kOut);
    EXPECT_EQ(fake.transfers[1].length, 131022);
    EXPECT_EQ(fake.transfers[1].timeout, kBulkTimeoutMs + 131022 / kBulkBytesPerMs);
    EXPECT_EQ(fake.transfers[2].endpoint, kIn);
    EXPECT_EQ(reply, Bytes(4, 0x5A));
}

TEST_F(LibusbTransportTest, ShortOrFailedTransfersFailAndEmptyOnesSkipTheBus)
{
    fake.devices = {Generator()};
    ASSERT_EQ(transport->Open(), kInitOk);
    Bytes data(100);
    fake.bulkShortBy = 36;
    EXPECT_FALSE(transport->BulkRead(data.data(), data.size()));
    fake.bulkShortBy = 0;
    fake.bulkResult = LIBUSB_ERROR_TIMEOUT;
    EXPECT_FALSE(transport->BulkWrite(data.data(), data.size()));
    fake.bulkResult = LIBUSB_ERROR_NO_DEVICE;
    EXPECT_FALSE(transport->SendCommands(data.data(), 4));
    const auto before = fake.transfers.size();
    EXPECT_TRUE(transport->BulkWrite(nullptr, 0));
    EXPECT_EQ(fake.transfers.size(), before);
}

TEST_F(LibusbTransportTest, AStalledTransferFailsAndClearsTheHaltSoTheNextOneWorks)
{
    fake.devices = {Generator()};
    ASSERT_EQ(transport->Open(), kInitOk);
    Bytes data(64);
    struct Case {
        unsigned char endpoint;
        std::function<bool()> transfer;
    } cases[] = {
        {kIn, [&] { return transport->BulkRead(data.data(), data.size()); }},
        {kOut, [&] { return transport->BulkWrite(data.data(), data.size()); }},
        {kOut, [&] { return transport->SendCommands(data.data(), 4); }},
    };
    for (const Case& c : cases) {
        fake.clearedHalts.clear();
        fake.stallNext = 1;
        EXPECT_FALSE(c.transfer()) << "the stalled transfer itself still fails";
        EXPECT_EQ(fake.clearedHalts, (std::vector<unsigned char>{c.endpoint}));
        EXPECT_TRUE(c.transfer()) << "the endpoint works again";
    }
}

TEST_F(LibusbTransportTest, ReadyIsAStandardGetStatus)
{
    fake.devices = {Generator()};
    ASSERT_EQ(transport->Open(), kInitOk);
    EXPECT_TRUE(transport->Ready());
    ASSERT_EQ(fake.controls.size(), 1u);
    EXPECT_EQ(fake.controls[0].requestType, 0x80);
    EXPECT_EQ(fake.controls[0].request, LIBUSB_REQUEST_GET_STATUS);
    EXPECT_EQ(fake.controls[0].length, 2);
    fake.controlResult = 0; // answered, however briefly
    EXPECT_TRUE(transport->Ready());
    fake.controlResult = LIBUSB_ERROR_PIPE;
    EXPECT_FALSE(transport->Ready());
}

TEST_F(LibusbTransportTest, PacketSizeIsTheOutEndpointsMaximumAndFeedsTheCounts)
{
    fake.devices = {Generator()};
    fake.devices[0].maxPacketSize = 512;
    UsbLink link(*transport);
    EXPECT_EQ(link.InitDevice(), kInitOk);
    EXPECT_EQ(fake.maxPacketQueryEndpoint, kOut);
    EXPECT_EQ(link.PacketSize(), 512u);
    fake.devices[0].maxPacketSize = LIBUSB_ERROR_NOT_FOUND;
    std::uint32_t size = 0;
    EXPECT_FALSE(transport->QueryPacketSize(size));
}

} // namespace
} // namespace vireo
