// SPDX-License-Identifier: MIT
// The device model on its own: how it decodes packets, what it refuses, and
// how faults and power cycles affect it.
#include "sim/CalibrationImage.h"
#include "sim/VirtualGenerator.h"

#include <gtest/gtest.h>

#include <vector>

namespace vg {
namespace {

using Bytes = std::vector<std::uint8_t>;

class VirtualGeneratorTest : public ::testing::Test {
protected:
    bool Send(const Bytes& packets) { return gen.SendCommands(session, packets.data(), packets.size()); }
    bool Write(const Bytes& data) { return gen.BulkWrite(session, data.data(), data.size()); }
    bool Read(Bytes& into) { return gen.BulkRead(session, into.data(), into.size()); }

    VirtualGenerator gen;
    std::uint64_t session = gen.Attach();
};

TEST(CalibrationImage, ChecksumMatchesKnownImages)
{
    CalibrationImage zero{};
    EXPECT_EQ(CalibrationChecksum(zero), 30980u);
    CalibrationImage ones;
    ones.fill(0xFF);
    EXPECT_EQ(CalibrationChecksum(ones), 7994120u);
    zero[160] = zero[163] = 0x55; // not summed
    EXPECT_EQ(CalibrationChecksum(zero), 30980u);
    CalibrationImage attenuator{};
    attenuator[11] = 0x7F;
    attenuator[12] = 0xFF;
    EXPECT_EQ(CalibrationChecksum(attenuator), 0x8BEBu);
}

TEST(CalibrationImage, DefaultEepromHoldsTheDefaultsBigEndian)
{
    const auto eeprom = DefaultEeprom();
    EXPECT_EQ(eeprom[0], 0xFF);
    EXPECT_EQ(eeprom[255], 0xFF);
    const std::uint8_t* page = eeprom.data() + 256;
    EXPECT_EQ(page[1] << 8 | page[2], 1647);
    EXPECT_EQ(page[3] << 8 | page[4], 151);
    EXPECT_EQ(page[5] << 8 | page[6], 2130);
    EXPECT_EQ(page[7] << 8 | page[8], 2130);
    EXPECT_EQ(page[9] << 8 | page[10], 1064);
    EXPECT_EQ(page[11] << 8 | page[12], 32767);
    EXPECT_EQ(page[167] << 24 | page[168] << 16 | page[169] << 8 | page[170], 100042);
    CalibrationImage image;
    std::copy(page, page + 256, image.begin());
    EXPECT_EQ(std::uint32_t(page[252]) << 24 | std::uint32_t(page[253]) << 16 | std::uint32_t(page[254]) << 8
                  | page[255],
              CalibrationChecksum(image));
}

TEST_F(VirtualGeneratorTest, RepliesQueueInOrderAndCanBeReadInPieces)
{
    Send({0x26, 5, 0xAB, 0xCD, 0x24, 5, 0, 0, 0x01, 0x00, 0x07, 0x04, 0x01, 0, 0, 0x2C});
    EXPECT_EQ(gen.PendingReadBytes(), 12);
    Bytes reply(8);
    ASSERT_TRUE(Read(reply));
    EXPECT_EQ(reply, (Bytes{0xAB, 0xCD, 0, 0, 0xFF, 0, 0, 0}));
    Bytes power(4);
    ASSERT_TRUE(Read(power));
    EXPECT_EQ(power, (Bytes{1, 0, 0, 0}));
    EXPECT_FALSE(Read(power));
    EXPECT_EQ(gen.ProtocolErrorCount(), 1);
}

TEST_F(VirtualGeneratorTest, MisunderstoodPacketsAreCountedAndIgnored)
{
    Send({0x03, 0, 9, 0x42}); // no preamble
    EXPECT_EQ(gen.EepromByte(9), 0xFF);
    Send({0x02, 0x13, 0, 0, 0x03, 0, 9, 0x42, 0x03, 0, 10, 0x43}); // one write per preamble
    EXPECT_EQ(gen.EepromByte(9), 0x42);
    EXPECT_EQ(gen.EepromByte(10), 0xFF);
    Send({0x7E, 0, 0, 0, 0x01, 0, 0, 0x99, 0x2D, 0x10, 0, 0, 0x20, 0, 1, 0x22});
    EXPECT_EQ(gen.PendingReadBytes(), 0);
    EXPECT_EQ(gen.Power(), 1);
    EXPECT_EQ(gen.ConfigurationCount(), 0);
    EXPECT_EQ(gen.ProtocolErrorCount(), 6);
}

TEST_F(VirtualGeneratorTest, TornCommandRequestIsRefusedWhole)
{
    EXPECT_FALSE(Send({0x26, 1, 0, 5, 0x26}));
    EXPECT_EQ(gen.Register(1), 0);
}

TEST_F(VirtualGeneratorTest, BulkDataNeedsAnAnnouncementWithTheRightPacketCount)
{
    EXPECT_FALSE(Write(Bytes(64)));
    EXPECT_EQ(gen.ProtocolErrorCount(), 1);

    Send({0x26, 13, 0x3F, 0xFE, 0x29, 11, 0, 1});
    EXPECT_TRUE(Write({0x34, 0x12, 0x78, 0x56}));
    EXPECT_EQ(gen.SampleWord(16382), 0x1234);
    EXPECT_EQ(gen.SampleWord(16383), 0x5678);
    EXPECT_FALSE(Write({1, 2})); // the announcement was used up

    // A configuration whose length disagrees with its announcement is refused.
    Send({0x20, 0, 3, 0x21});
    EXPECT_TRUE(Write(Bytes(64)));
    Bytes reply(4);
    ASSERT_TRUE(Read(reply));
    EXPECT_EQ(reply, (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(gen.Configured(), 0);
    EXPECT_EQ(gen.ConfigurationCount(), 1);
}

TEST_F(VirtualGeneratorTest, FifoReadOfAnotherRegisterRepeatsItsValue)
{
    Send({0x26, 9, 0x81, 0x02, 0x27, 9, 0, 1});
    Bytes data(64);
    ASSERT_TRUE(Read(data));
    EXPECT_EQ(data[0], 0x81);
    EXPECT_EQ(data[1], 0x02);
    EXPECT_EQ(data[62], 0x81);
}

TEST_F(VirtualGeneratorTest, InjectedFailuresLoseWhatTheyCarried)
{
    Send({0x01, 0, 0, 0x2A});
    gen.FailNextRequests(1);
    Bytes reply(4);
    EXPECT_FALSE(Read(reply));
    EXPECT_EQ(gen.PendingReadBytes(), 0);

    Send({0x29, 11, 0, 1});
    gen.FailNextRequests(1);
    EXPECT_FALSE(Write({1, 0}));
    EXPECT_FALSE(Write({1, 0})); // the device no longer waits for it
    EXPECT_EQ(gen.SampleWord(0), 0);

    gen.FailNextRequests(3);
    std::uint32_t size = 0;
    EXPECT_FALSE(gen.Ready(session));
    EXPECT_FALSE(gen.QueryPacketSize(session, size));
    EXPECT_FALSE(Send({0x26, 1, 0, 1}));
    EXPECT_TRUE(gen.Ready(session));
    EXPECT_EQ(gen.Register(1), 0);
}

TEST_F(VirtualGeneratorTest, FaultsArmedForLaterStrikeAfterTheirCountOfRequests)
{
    gen.UnplugAfterRequests(2);
    EXPECT_EQ(gen.UnplugCountdown(), 2);
    EXPECT_TRUE(Send({0x26, 1, 0, 5}));
    gen.FailNextRequests(1); // a failed request counts too
    EXPECT_FALSE(gen.Ready(session));
    EXPECT_EQ(gen.UnplugCountdown(), 0);
    EXPECT_TRUE(gen.Plugged());
    EXPECT_FALSE(Send({0x26, 1, 0, 6}));
    EXPECT_FALSE(gen.Plugged());
    EXPECT_EQ(gen.UnplugCountdown(), -1);
    EXPECT_EQ(gen.Register(1), 5);
    EXPECT_EQ(gen.Attach(), 0u);
    gen.SetPlugged(true);
    session = gen.Attach();
    EXPECT_TRUE(Send({0x26, 1, 0, 7}));
    EXPECT_EQ(gen.Register(1), 7);
    EXPECT_EQ(gen.PendingFailures(), 0);
    // Disarmed, and reset disarms as well.
    gen.UnplugAfterRequests(0);
    gen.UnplugAfterRequests(-5);
    EXPECT_TRUE(Send({0x26, 1, 0, 8}));
    gen.UnplugAfterRequests(0);
    gen.FailNextRequests(3);
    EXPECT_EQ(gen.PendingFailures(), 3);
    gen.Reset();
    EXPECT_EQ(gen.UnplugCountdown(), -1);
    EXPECT_EQ(gen.PendingFailures(), 0);
    // Failures later on: two served, one failed, then served again.
    gen.FailRequestsAfter(2, 1);
    EXPECT_TRUE(Send({0x26, 1, 0, 10}));
    EXPECT_TRUE(gen.Ready(session));
    EXPECT_EQ(gen.PendingFailures(), 1);
    EXPECT_FALSE(gen.Ready(session));
    EXPECT_TRUE(gen.Ready(session));
    EXPECT_EQ(gen.PendingFailures(), 0);
    EXPECT_TRUE(Send({0x26, 1, 0, 9}));
    EXPECT_TRUE(gen.Plugged());
}

TEST_F(VirtualGeneratorTest, UnplugEndsSessionsAndPluggingInIsAPowerCycle)
{
    Send({0x26, 1, 0, 7, 0x2D, 0x20, 0, 0, 0x02, 0x13, 0, 0, 0x03, 0x01, 0x10, 0x77, 0x01, 0, 0, 0x2A});
    gen.SetPlugged(false);
    EXPECT_EQ(gen.Attach(), 0u);
    EXPECT_FALSE(gen.Ready(session));
    EXPECT_EQ(gen.Register(1), 7); // still inspectable while unplugged
    gen.SetPlugged(true);
    EXPECT_FALSE(gen.Ready(session));
    session = gen.Attach();
    EXPECT_TRUE(gen.Ready(session));
    EXPECT_EQ(gen.Register(1), 0);
    EXPECT_EQ(gen.Power(), 1);
    EXPECT_EQ(gen.PendingReadBytes(), 0);
    EXPECT_EQ(gen.EepromByte(0x110), 0x77);
    EXPECT_EQ(gen.RegisterWriteCount(1), 1);
}

TEST_F(VirtualGeneratorTest, ResetRestoresEverythingButKeepsOpenSessions)
{
    Send({0x26, 1, 0, 7, 0x02, 0x13, 0, 0, 0x03, 0x01, 0x10, 0x77});
    gen.SetPacketSize(8);
    gen.SetDeviceId(5);
    gen.FailNextRequests(4);
    gen.Reset();
    EXPECT_EQ(gen.RequestCount(), 0);
    EXPECT_EQ(gen.RegisterWriteCount(1), 0);
    EXPECT_EQ(gen.EepromByte(0x110), DefaultEeprom()[0x110]);
    std::uint32_t size = 0;
    ASSERT_TRUE(gen.QueryPacketSize(session, size));
    EXPECT_EQ(size, 64u);
    Send({0x01, 0, 0, 0x2A});
    Bytes id(4);
    ASSERT_TRUE(Read(id));
    EXPECT_EQ(id, (Bytes{1, 0, 0, 0}));
}

TEST_F(VirtualGeneratorTest, RequestLogRecordsFunctionOutcomeAndBytes)
{
    Send({0x24, 1, 0, 0});
    Bytes reply(4);
    Read(reply);
    Read(reply);
    ASSERT_EQ(gen.RequestCount(), 3);
    std::int32_t function = 0;
    std::int32_t ok = 0;
    std::uint8_t bytes[2] = {};
    EXPECT_EQ(gen.Request(0, &function, &ok, bytes, 2), 4);
    EXPECT_EQ(function, 6);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(bytes[0], 0x24);
    EXPECT_EQ(gen.Request(1, &function, &ok, nullptr, 0), 4);
    EXPECT_EQ(function, 9);
    EXPECT_EQ(gen.Request(2, &function, &ok, nullptr, 0), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(gen.Request(3, nullptr, nullptr, nullptr, 0), -1);
    EXPECT_EQ(gen.Request(-1, nullptr, nullptr, nullptr, 0), -1);
}

TEST_F(VirtualGeneratorTest, RequestLogKeepsOnlyTheLatestEntries)
{
    for (std::size_t i = 0; i < VirtualGenerator::kLogEntries + 10; ++i)
        gen.Ready(session);
    EXPECT_EQ(gen.RequestCount(), static_cast<std::int32_t>(VirtualGenerator::kLogEntries));
}

TEST_F(VirtualGeneratorTest, InspectionRejectsOutOfRangeArguments)
{
    EXPECT_EQ(gen.Register(-1), -1);
    EXPECT_EQ(gen.RegisterWriteCount(256), -1);
    EXPECT_EQ(gen.SampleWord(16384), -1);
    EXPECT_EQ(gen.EepromByte(512), -1);
    gen.SetEepromByte(512, 1); // ignored
    EXPECT_EQ(gen.CopySamples(nullptr, 10), 0);
    std::uint16_t one = 0;
    EXPECT_EQ(gen.CopySamples(&one, 1), 1);
}

TEST_F(VirtualGeneratorTest, ReplyQueueIsBoundedAndRefusesWhatWouldOverflowIt)
{
    // Twenty FIFO reads of 1 MiB each in one 80-byte request: only the first fits.
    Bytes packets;
    for (int i = 0; i < 20; ++i)
        packets.insert(packets.end(), {0x27, 3, 0x40, 0x00});
    ASSERT_TRUE(Send(packets));
    EXPECT_EQ(gen.ProtocolErrorCount(), 19);
    Bytes first(VirtualGenerator::kMaxPendingReadBytes);
    EXPECT_TRUE(Read(first));
    Bytes more(4);
    EXPECT_FALSE(Read(more)) << "the refused reads queued nothing";
    // Short replies are refused the same way once the queue is full.
    ASSERT_TRUE(Send({0x27, 3, 0x40, 0x00, 0x24, 3, 0, 0}));
    EXPECT_EQ(gen.ProtocolErrorCount(), 21);
    EXPECT_TRUE(Read(first));
    EXPECT_FALSE(Read(more));
}

} // namespace
} // namespace vg
