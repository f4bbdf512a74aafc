// SPDX-License-Identifier: MIT
// The command buffer's limits and which failures reach the failure callback.
#include "usb/UsbLink.h"
#include "usb/tests/RecordingTransport.h"

#include <gtest/gtest.h>

#include <functional>

namespace vireo::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

int g_calls = 0;
int g_lastArgument = -1;
int g_otherCalls = 0;

void Callback(std::int32_t argument)
{
    ++g_calls;
    g_lastArgument = argument;
}

void OtherCallback(std::int32_t)
{
    ++g_otherCalls;
}

class UsbLinkFailures : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_calls = 0;
        g_lastArgument = -1;
        g_otherCalls = 0;
        link.SetCallback(&Callback);
    }

    RecordingTransport transport;
    UsbLink link{transport};
};

TEST_F(UsbLinkFailures, FullBufferIsSentBeforeTheNextPacketInsteadOfOverrun)
{
    for (int i = 0; i < 4096; ++i)
        link.SingleWriteWithoutFlush(i & 0xFF, i);
    EXPECT_TRUE(transport.requests.empty());
    EXPECT_EQ(link.BufferLength(), UsbLink::kBufferSize);
    link.SingleWriteWithoutFlush(9, 0x0909);
    ASSERT_EQ(transport.requests.size(), 1u);
    EXPECT_EQ(transport.requests[0].bytes.size(), UsbLink::kBufferSize);
    EXPECT_EQ(transport.requests[0].bytes[UsbLink::kBufferSize - 3], 0xFF); // packet 4095's register
    EXPECT_EQ(link.BufferLength(), 4u);
    link.FlushBuffer();
    EXPECT_EQ(transport.requests[1].bytes, (Bytes{0x26, 9, 9, 9}));
}

TEST_F(UsbLinkFailures, EepromPreambleIsNeverSplitFromItsWrite)
{
    for (int i = 0; i < 4095; ++i)
        link.SingleWriteWithoutFlush(1, i);
    link.WriteToEEPROM(300, 0x42);
    ASSERT_EQ(transport.requests.size(), 2u);
    EXPECT_EQ(transport.requests[0].bytes.size(), 4095u * 4);
    EXPECT_EQ(transport.requests[1].bytes, (Bytes{0x02, 0x13, 0, 0, 0x03, 0x01, 0x2C, 0x42}));
}

TEST_F(UsbLinkFailures, FailedFlushesReportTheReadyTestDoesNotAndTheBufferEmpties)
{
    transport.failing = {6, 10};
    link.SingleWriteWithoutFlush(1, 1);
    link.SingleWrite(2, 2);
    link.SetPowerOnOff(1);
    link.WriteToEEPROM(1, 1);
    EXPECT_EQ(g_calls, 3);
    EXPECT_EQ(g_lastArgument, 0);
    EXPECT_EQ(link.DeviceReady(), 0);
    EXPECT_EQ(link.BufferLength(), 0u);
    EXPECT_EQ(g_calls, 3);
    EXPECT_EQ(transport.requests[0].bytes.size(), 8u);
}

TEST_F(UsbLinkFailures, FailedReplyReadsReportOnceAndReadAsZero)
{
    transport.failing = {9};
    EXPECT_EQ(link.SingleRead(3), 0);
    EXPECT_EQ(link.ReadFromEEPROM(256), 0);
    EXPECT_EQ(link.GetDeviceID(), 0);
    EXPECT_EQ(link.GetPowerState(), 0);
    Bytes into(64, 0xAA);
    EXPECT_EQ(link.FIFORead(11, into.data(), 64), 0);
    EXPECT_EQ(link.RollFIFORead(11, into.data(), 64), 0);
    EXPECT_EQ(g_calls, 6);
    EXPECT_EQ(g_lastArgument, 0);
}

TEST_F(UsbLinkFailures, FailedBulkWriteReportsAndReturnsZero)
{
    transport.failing = {7};
    Bytes data(128, 1);
    EXPECT_EQ(link.FIFOWrite(11, data.data(), 128), 0);
    EXPECT_EQ(g_calls, 1);
}

TEST_F(UsbLinkFailures, ConfigurationWithFailedWriteIsRefusedEvenWithAReply)
{
    transport.failing = {7};
    transport.readData = {1, 0, 0, 0};
    Bytes image(1000, 3);
    EXPECT_EQ(link.ConfigureFPGA(image.data(), 1000), 0);
    EXPECT_EQ(g_calls, 1);
    // The stale reply is drained rather than left for the next read.
    ASSERT_EQ(transport.requests.size(), 3u);
    EXPECT_EQ(transport.requests[2].function, 9);
    EXPECT_TRUE(transport.readData.empty());
}

// Data whose announcement was lost would be taken for command packets.
TEST_F(UsbLinkFailures, TransfersWhoseAnnouncementFailedSendNoDataAndReport)
{
    Bytes data(1000, 0x26);
    const std::vector<std::function<std::int32_t()>> calls = {
        [&] { return link.FIFOWrite(11, data.data(), 1000); },
        [&] { return link.ConfigureFPGA(data.data(), 1000); },
        [&] { return link.FIFORead(11, data.data(), 128); },
    };
    for (const auto& call : calls) {
        g_calls = 0;
        transport.failing = {6};
        transport.requests.clear();
        transport.readData = {1, 0, 0, 0};
        EXPECT_EQ(call(), 0);
        EXPECT_EQ(g_calls, 1);
        ASSERT_EQ(transport.requests.size(), 1u);
        EXPECT_EQ(transport.requests[0].function, 6);
    }
}

TEST_F(UsbLinkFailures, ConfigurationWithFailedReplyReportsAndReturnsZero)
{
    transport.failing = {9};
    Bytes image(1000, 3);
    EXPECT_EQ(link.ConfigureFPGA(image.data(), 1000), 0);
    EXPECT_EQ(g_calls, 1);
}

TEST_F(UsbLinkFailures, PacketSizeFailuresReportInInitAndQuery)
{
    transport.packetSize = 32;
    transport.failing = {11};
    EXPECT_EQ(link.InitDevice(), kInitOk);
    EXPECT_EQ(link.PacketSize(), 64u);
    EXPECT_EQ(link.GetPacketSize(), 0);
    EXPECT_EQ(g_calls, 2);
}

TEST_F(UsbLinkFailures, OpenFailuresNeverCallTheCallback)
{
    transport.openResult = kInitNoDevice;
    transport.failing = {11};
    EXPECT_EQ(link.InitDevice(), 516);
    EXPECT_EQ(g_calls, 0);
}

TEST_F(UsbLinkFailures, NullBuffersAnnounceTheirPacketsThenFailAsLostTransfers)
{
    EXPECT_EQ(link.FIFOWrite(11, nullptr, 100), 0);
    EXPECT_EQ(link.FIFORead(11, nullptr, 100), 0);
    EXPECT_EQ(link.RollFIFORead(12, nullptr, 100), 0);
    transport.readData = {1, 0, 0, 0};
    EXPECT_EQ(link.ConfigureFPGA(nullptr, 100), 0);
    // Nothing reaches the transport for the lost transfers themselves.
    ASSERT_EQ(transport.requests.size(), 5u);
    EXPECT_EQ(transport.requests[0].bytes, (Bytes{0x29, 11, 0, 2}));
    EXPECT_EQ(transport.requests[1].bytes, (Bytes{0x27, 11, 0, 2}));
    EXPECT_EQ(transport.requests[2].bytes, (Bytes{0x2B, 12, 0, 2}));
    EXPECT_EQ(transport.requests[3].bytes, (Bytes{0x20, 0, 2, 0x21}));
    EXPECT_EQ(transport.requests[4].function, 9); // the configuration's reply is still read
    EXPECT_EQ(g_calls, 4);
}

TEST_F(UsbLinkFailures, NegativeConfigurationLengthSendsNothingAndReports)
{
    Bytes image(8);
    EXPECT_EQ(link.ConfigureFPGA(image.data(), -1), 0);
    EXPECT_TRUE(transport.requests.empty());
    EXPECT_EQ(g_calls, 1);
}

TEST_F(UsbLinkFailures, EmptyTransfersStillAnnounceZeroPackets)
{
    EXPECT_EQ(link.FIFOWrite(11, nullptr, 0), 1);
    ASSERT_EQ(transport.requests.size(), 2u);
    EXPECT_EQ(transport.requests[0].bytes, (Bytes{0x29, 11, 0, 0}));
    EXPECT_EQ(transport.requests[1].function, 7);
    EXPECT_EQ(g_calls, 0);
}

TEST_F(UsbLinkFailures, CallbackCanBeReplacedOrRemoved)
{
    transport.failing = {9};
    link.SetCallback(&OtherCallback);
    link.GetDeviceID();
    EXPECT_EQ(g_otherCalls, 1);
    EXPECT_EQ(g_calls, 0);
    link.SetCallback(nullptr);
    link.GetDeviceID(); // must not crash
    EXPECT_EQ(g_otherCalls, 1);
}

} // namespace
} // namespace vireo::test
