// SPDX-License-Identifier: MIT
// Byte-exact packets and replies of the USB library's operations.
#include "usb/UsbLink.h"
#include "usb/tests/RecordingTransport.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>

namespace vireo::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

class UsbLinkPackets : public ::testing::Test {
protected:
    RecordingTransport transport;
    UsbLink link{transport};

    void Reply(Bytes bytes) { transport.readData.insert(transport.readData.end(), bytes.begin(), bytes.end()); }
    const Request& At(std::size_t i) const { return transport.requests.at(i); }
};

TEST_F(UsbLinkPackets, RegisterWritesSendHighByteFirstAndOnlyLowBitsOfAddressAndValue)
{
    link.SingleWrite(7, 0x3000);
    link.SingleWrite(2, -8192);
    link.SingleWrite(0x10B, 0x12345);
    ASSERT_EQ(transport.requests.size(), 3u);
    EXPECT_EQ(At(0).function, 6);
    EXPECT_EQ(At(0).bytes, (Bytes{0x26, 0x07, 0x30, 0x00}));
    EXPECT_EQ(At(1).bytes, (Bytes{0x26, 0x02, 0xE0, 0x00}));
    EXPECT_EQ(At(2).bytes, (Bytes{0x26, 0x0B, 0x23, 0x45}));
    EXPECT_EQ(link.BufferLength(), 0u);
}

TEST_F(UsbLinkPackets, QueuedWritesTravelInOneRequestAheadOfTheSentOne)
{
    link.SingleWriteWithoutFlush(1, 0x0102);
    link.SingleWriteWithoutFlush(3, 0x0304);
    EXPECT_TRUE(transport.requests.empty());
    EXPECT_EQ(link.BufferLength(), 8u);
    link.SingleWrite(10, 0x00C0);
    ASSERT_EQ(transport.requests.size(), 1u);
    EXPECT_EQ(At(0).bytes, (Bytes{0x26, 1, 1, 2, 0x26, 3, 3, 4, 0x26, 10, 0, 0xC0}));
}

TEST_F(UsbLinkPackets, FlushSendsOnlyWhenSomethingIsQueued)
{
    link.FlushBuffer();
    EXPECT_TRUE(transport.requests.empty());
    link.SingleWriteWithoutFlush(5, 1);
    link.FlushBuffer();
    link.FlushBuffer();
    ASSERT_EQ(transport.requests.size(), 1u);
    EXPECT_EQ(At(0).bytes, (Bytes{0x26, 5, 0, 1}));
}

TEST_F(UsbLinkPackets, PowerSwitchTreatsAnyNonZeroAsOn)
{
    link.SetPowerOnOff(5);
    link.SetPowerOnOff(0);
    link.SetPowerOnOff(-1);
    EXPECT_EQ(At(0).bytes, (Bytes{0x2D, 0x00, 0x00, 0x00}));
    EXPECT_EQ(At(1).bytes, (Bytes{0x2D, 0x20, 0x00, 0x00}));
    EXPECT_EQ(At(2).bytes, (Bytes{0x2D, 0x00, 0x00, 0x00}));
}

TEST_F(UsbLinkPackets, EepromWriteSendsPreambleAndByteTogether)
{
    link.WriteToEEPROM(0x1A3, 0x1FF);
    ASSERT_EQ(transport.requests.size(), 1u);
    EXPECT_EQ(At(0).bytes, (Bytes{0x02, 0x13, 0x00, 0x00, 0x03, 0x01, 0xA3, 0xFF}));
}

TEST_F(UsbLinkPackets, QueriesSendOnePacketThenReadAFourByteReply)
{
    Reply({0xAB, 0, 0, 0});
    EXPECT_EQ(link.ReadFromEEPROM(0x123), 0xAB);
    Reply({1, 2, 3, 4});
    EXPECT_EQ(link.GetDeviceID(), 0x04030201);
    Reply({0, 0, 1, 0});
    EXPECT_EQ(link.GetPowerState(), 1);
    Reply({0, 0, 0, 0});
    EXPECT_EQ(link.GetPowerState(), 0);
    Reply({0x12, 0x34, 0x56, 0x78});
    EXPECT_EQ(link.SingleRead(0x105), 0x1234);

    const std::vector<Bytes> packets{
        {0x01, 0x01, 0x23, 0x04}, {0x01, 0, 0, 0x2A}, {0x01, 0, 0, 0x2C}, {0x01, 0, 0, 0x2C}, {0x24, 0x05, 0, 0}};
    ASSERT_EQ(transport.requests.size(), 2 * packets.size());
    for (std::size_t i = 0; i < packets.size(); ++i) {
        EXPECT_EQ(At(2 * i).function, 6);
        EXPECT_EQ(At(2 * i).bytes, packets[i]);
        EXPECT_EQ(At(2 * i + 1).function, 9);
        EXPECT_EQ(At(2 * i + 1).size, 4u);
    }
}

TEST_F(UsbLinkPackets, QueryFlushesEarlierQueuedPacketsFirst)
{
    link.SingleWriteWithoutFlush(4, 0x8000);
    Reply({0, 0, 0, 0});
    link.GetPowerState();
    EXPECT_EQ(At(0).bytes, (Bytes{0x26, 4, 0x80, 0, 0x01, 0, 0, 0x2C}));
}

TEST_F(UsbLinkPackets, ConfigurationAnnouncesPacketsSendsDataAndReturnsReply)
{
    Bytes image(131022);
    std::iota(image.begin(), image.end(), std::uint8_t{0});
    Reply({1, 0, 0, 0});
    EXPECT_EQ(link.ConfigureFPGA(image.data(), static_cast<std::int32_t>(image.size())), 1);
    ASSERT_EQ(transport.requests.size(), 3u);
    EXPECT_EQ(At(0).bytes, (Bytes{0x20, 0x08, 0x00, 0x21}));
    EXPECT_EQ(At(1).function, 7);
    EXPECT_EQ(At(1).bytes, image);
    EXPECT_EQ(At(2).function, 9);
    EXPECT_EQ(At(2).size, 4u);
}

TEST_F(UsbLinkPackets, FifoWriteCountsRoundUp)
{
    Bytes data(16384, 0x5A);
    EXPECT_EQ(link.FIFOWrite(11, data.data(), 16384), 1);
    EXPECT_EQ(link.FIFOWrite(11, data.data(), 100), 1);
    EXPECT_EQ(link.FIFOWrite(11, data.data(), 64), 1);
    EXPECT_EQ(At(0).bytes, (Bytes{0x29, 0x0B, 0x01, 0x00}));
    EXPECT_EQ(At(1).bytes, data);
    EXPECT_EQ(At(2).bytes, (Bytes{0x29, 0x0B, 0x00, 0x02}));
    EXPECT_EQ(At(3).bytes.size(), 100u);
    EXPECT_EQ(At(4).bytes, (Bytes{0x29, 0x0B, 0x00, 0x01}));
}

TEST_F(UsbLinkPackets, FifoReadsCountThePartialLastPacketAndHandOverOnlyTheAskedBytes)
{
    // The device sends whole packets: two for 100 bytes, one for 63.
    Bytes reply(128);
    std::iota(reply.begin(), reply.end(), std::uint8_t{1});
    Reply(reply);
    Bytes into(128, 0);
    EXPECT_EQ(link.FIFORead(11, into.data(), 100), 1);
    EXPECT_EQ(Bytes(into.begin(), into.begin() + 100), Bytes(reply.begin(), reply.begin() + 100));
    EXPECT_EQ(into[100], 0) << "nothing past the asked bytes is written";
    Reply(Bytes(64, 7));
    EXPECT_EQ(link.RollFIFORead(0x20C, into.data(), 63), 1);
    Reply(Bytes(128, 9));
    EXPECT_EQ(link.FIFORead(11, into.data(), 128), 1);
    EXPECT_EQ(At(0).bytes, (Bytes{0x27, 0x0B, 0x00, 0x02}));
    EXPECT_EQ(At(1).function, 9);
    EXPECT_EQ(At(1).size, 128u);
    EXPECT_EQ(At(2).bytes, (Bytes{0x2B, 0x0C, 0x00, 0x01}));
    EXPECT_EQ(At(3).size, 64u);
    EXPECT_EQ(At(5).size, 128u);
    EXPECT_TRUE(transport.readData.empty()) << "every byte the device sent is taken";
}

TEST_F(UsbLinkPackets, DevicePacketSizeDrivesCountsAndCountsOverSixteenBitsAreRefused)
{
    transport.packetSize = 1;
    ASSERT_EQ(link.InitDevice(), kInitOk);
    EXPECT_EQ(link.PacketSize(), 1u);
    Bytes data(70000, 1);
    // 65535 packets still fit the count; 65536 and more would be announced short.
    Reply(Bytes(65535, 2));
    EXPECT_EQ(link.FIFORead(11, data.data(), 65535), 1);
    EXPECT_EQ(At(1).bytes, (Bytes{0x27, 0x0B, 0xFF, 0xFF}));
    const std::vector<std::function<std::int32_t()>> calls = {
        [&] { return link.FIFOWrite(11, data.data(), 70000); },
        [&] { return link.FIFORead(11, data.data(), 65536); },
        [&] { return link.RollFIFORead(11, data.data(), 70000); },
        [&] { return link.ConfigureFPGA(data.data(), 70000); },
    };
    for (const auto& call : calls) {
        transport.requests.clear();
        EXPECT_EQ(call(), 0);
        EXPECT_TRUE(transport.requests.empty()) << "nothing is sent for a count that cannot be announced";
    }
}

TEST_F(UsbLinkPackets, ZeroOrOversizedPacketSizeFromDeviceKeepsThePreviousOne)
{
    transport.packetSize = 32;
    link.InitDevice();
    EXPECT_EQ(link.PacketSize(), 32u);
    transport.packetSize = 0;
    link.InitDevice();
    EXPECT_EQ(link.PacketSize(), 32u);
    transport.packetSize = 0x10000;
    link.InitDevice();
    EXPECT_EQ(link.PacketSize(), 32u);
    transport.requests.clear();
    Bytes data(100);
    link.FIFOWrite(11, data.data(), 100);
    EXPECT_EQ(At(0).bytes, (Bytes{0x29, 0x0B, 0x00, 0x04}));
}

TEST_F(UsbLinkPackets, OnlyTheLowSixteenBitsOfTheDevicePacketSizeAreUsed)
{
    transport.packetSize = 0x10020;
    ASSERT_EQ(link.InitDevice(), kInitOk);
    EXPECT_EQ(link.PacketSize(), 32u);
    transport.requests.clear();
    Bytes data(100);
    link.FIFOWrite(11, data.data(), 100);
    EXPECT_EQ(At(0).bytes, (Bytes{0x29, 0x0B, 0x00, 0x04}));
    EXPECT_EQ(link.GetPacketSize(), 0x10020); // the query itself returns all four bytes
}

TEST_F(UsbLinkPackets, PacketSizeQueryReturnsValueWithoutAdoptingIt)
{
    transport.packetSize = 512;
    EXPECT_EQ(link.GetPacketSize(), 512);
    EXPECT_EQ(link.PacketSize(), 64u);
    EXPECT_EQ(At(0).function, 11);
}

TEST_F(UsbLinkPackets, InitDeviceReturnsOpenFailuresWithoutQueryingThePacketSize)
{
    for (std::int32_t code : {513, 514, 515, 516, 517}) {
        transport.openResult = code;
        EXPECT_EQ(link.InitDevice(), code);
    }
    EXPECT_TRUE(transport.requests.empty());
    transport.openResult = kInitOk;
    EXPECT_EQ(link.InitDevice(), 0);
    ASSERT_EQ(transport.requests.size(), 1u);
    EXPECT_EQ(At(0).function, 11);
}

TEST_F(UsbLinkPackets, DeviceReadyIsRequestTen)
{
    EXPECT_EQ(link.DeviceReady(), 1);
    transport.failing = {10};
    EXPECT_EQ(link.DeviceReady(), 0);
    EXPECT_EQ(At(0).function, 10);
}

} // namespace
} // namespace vireo::test
