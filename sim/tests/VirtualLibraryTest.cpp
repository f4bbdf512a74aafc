// SPDX-License-Identifier: MIT
// The USB library's exports against the virtual generator, through the very
// library file the driver library loads.
#include "data/ConfigurationImage.h"
#include "sim/CalibrationImage.h"
#include "sim/tests/VirtualLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace vg::test {
namespace {

int g_failures = 0;
void CountFailure(std::int32_t)
{
    ++g_failures;
}

std::vector<std::uint8_t> ValidConfiguration()
{
    std::vector<std::uint8_t> image(tarn::kConfigurationImageSize);
    for (std::size_t i = 0; i + 4 < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
    const std::uint32_t crc = tarn::Crc32(image.data(), image.size() - 4);
    for (std::size_t i = 0; i < 4; ++i)
        image[image.size() - 4 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    return image;
}

class VirtualLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        vg.VgReset();
        g_failures = 0;
        vg.USBSetCallBackFunction(&CountFailure);
        ASSERT_EQ(vg.USBInitDevice(), 0);
        vg.VgClearRequestLog();
    }
    void TearDown() override { vg.USBSetCallBackFunction(nullptr); }

    std::vector<std::uint8_t> LoggedBytes(int i, int* function = nullptr, int* ok = nullptr)
    {
        std::vector<std::uint8_t> bytes(64);
        const int size = vg.VgGetRequest(i, function, ok, bytes.data(), 64);
        bytes.resize(size < 0 ? 0 : std::min(size, 64));
        return bytes;
    }

    VirtualLibrary& vg = VirtualLibrary::Get();
};

TEST_F(VirtualLibraryTest, AnswersTheFixedQueries)
{
    EXPECT_EQ(vg.DeviceReady(), 1);
    EXPECT_EQ(vg.USBGetPacketSize(), 64);
    EXPECT_EQ(vg.USBGetDriverVersion(), 100);
    std::uint8_t version[2] = {9, 9};
    EXPECT_EQ(vg.GetDriverVersion(version), version);
    EXPECT_EQ(version[0], 1);
    EXPECT_EQ(version[1], 0);
    EXPECT_EQ(vg.GetDriverVersion(nullptr), nullptr);
    EXPECT_EQ(vg.USBGetDeviceID(), 1);
    vg.VgSetDeviceId(0x12345678);
    EXPECT_EQ(vg.USBGetDeviceID(), 0x12345678);
    EXPECT_EQ(g_failures, 0);
    EXPECT_EQ(vg.VgGetProtocolErrorCount(), 0);
}

TEST_F(VirtualLibraryTest, RegisterWritesLandWhenSentAndReadBack)
{
    vg.USBSingleWriteWithoutFlush(1, 0x0FFF);
    vg.USBSingleWriteWithoutFlush(3, -8192);
    EXPECT_EQ(vg.VgGetRegister(1), 0);
    EXPECT_EQ(vg.VgGetRequestCount(), 0);
    vg.USBSingleWrite(7, 0x3000);
    EXPECT_EQ(vg.VgGetRegister(1), 0x0FFF);
    EXPECT_EQ(vg.VgGetRegister(3), 0xE000);
    EXPECT_EQ(vg.VgGetRegister(7), 0x3000);
    EXPECT_EQ(vg.VgGetRequestCount(), 1);
    int function = 0;
    int ok = 0;
    EXPECT_EQ(LoggedBytes(0, &function, &ok),
              (std::vector<std::uint8_t>{0x26, 1, 0x0F, 0xFF, 0x26, 3, 0xE0, 0, 0x26, 7, 0x30, 0}));
    EXPECT_EQ(function, 6);
    EXPECT_EQ(ok, 1);
    vg.USBSingleWrite(7, 0x1234);
    EXPECT_EQ(vg.VgGetRegisterWriteCount(7), 2);
    EXPECT_EQ(vg.USBSingleRead(7), 0x1234);
    EXPECT_EQ(vg.USBSingleRead(3), 0xE000);
    EXPECT_EQ(vg.VgGetRegister(256), -1);
    EXPECT_EQ(g_failures, 0);
}

TEST_F(VirtualLibraryTest, FifoUploadFillsTheSampleMemoryFromTheWriteStartWord)
{
    std::vector<std::uint16_t> words(16384);
    for (std::size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<std::uint16_t>((i * 37) & 0x0FFF);
    vg.USBSingleWriteWithoutFlush(13, 16384 - 16384);
    EXPECT_EQ(vg.USBFIFOWrite(11, words.data(), 2 * 16384), 1);
    std::vector<std::uint16_t> memory(16384);
    ASSERT_EQ(vg.VgCopySamples(memory.data(), 20000), 16384);
    EXPECT_EQ(memory, words);

    // A short waveform occupies the last words.
    const std::uint16_t tail[3] = {0x0ABC, 0x0001, 0x0FFE};
    vg.USBSingleWriteWithoutFlush(13, 16384 - 3);
    EXPECT_EQ(vg.USBFIFOWrite(11, tail, sizeof tail), 1);
    EXPECT_EQ(vg.VgGetSampleWord(16381), 0x0ABC);
    EXPECT_EQ(vg.VgGetSampleWord(16383), 0x0FFE);
    EXPECT_EQ(vg.VgGetSampleWord(16380), words[16380]);

    // Reading the port back starts at the write start word as well.
    std::uint16_t back[32] = {};
    EXPECT_EQ(vg.USBFIFORead(11, back, sizeof back), 1);
    EXPECT_EQ(back[0], 0x0ABC);
    EXPECT_EQ(back[3], words[0]); // the address wraps
    EXPECT_EQ(g_failures, 0);
    EXPECT_EQ(vg.VgGetProtocolErrorCount(), 0);
}

TEST_F(VirtualLibraryTest, FifoReadsAndWritesOfAnyByteCountCountThePartialLastPacket)
{
    std::vector<std::uint16_t> words(256);
    for (std::size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<std::uint16_t>(0x0100 + i);
    // Byte counts below, at and around the packet size of 64.
    for (const std::uint32_t bytes : {2u, 6u, 62u, 64u, 66u, 100u, 128u, 130u, 510u}) {
        const auto count = static_cast<std::int32_t>(bytes / 2);
        vg.USBSingleWriteWithoutFlush(13, 16384 - count);
        EXPECT_EQ(vg.USBFIFOWrite(11, words.data(), bytes), 1) << bytes;
        std::vector<std::uint16_t> back(words.size() + 1, 0xFFFF);
        EXPECT_EQ(vg.USBFIFORead(11, back.data(), bytes), 1) << bytes;
        EXPECT_TRUE(std::equal(back.begin(), back.begin() + count, words.begin())) << bytes;
        EXPECT_EQ(back[static_cast<std::size_t>(count)], 0xFFFF) << bytes << ": nothing past the byte count";
        EXPECT_EQ(vg.USBRollFIFORead(11, back.data(), bytes), 1) << bytes;
        // Nothing of the partial packet is left to spoil the next reply.
        vg.USBSingleWrite(3, 0x1234);
        EXPECT_EQ(vg.USBSingleRead(3), 0x1234) << bytes;
    }
    EXPECT_EQ(g_failures, 0);
    EXPECT_EQ(vg.VgGetProtocolErrorCount(), 0);
}

TEST_F(VirtualLibraryTest, CalibrationPageReadsAsAValidImageWithASerialNumber)
{
    CalibrationImage image{};
    for (int i = 0; i < 256; ++i) {
        const std::int32_t reply = vg.USBReadFromEEPROM(256 + i);
        EXPECT_EQ(reply & ~0xFF, 0);
        image[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(reply);
        EXPECT_EQ(reply, vg.VgGetEEPROMByte(256 + i));
    }
    const std::uint32_t stored =
        std::uint32_t(image[252]) << 24 | std::uint32_t(image[253]) << 16 | std::uint32_t(image[254]) << 8 | image[255];
    EXPECT_EQ(stored, CalibrationChecksum(image));
    const std::uint32_t serial =
        std::uint32_t(image[167]) << 24 | std::uint32_t(image[168]) << 16 | std::uint32_t(image[169]) << 8 | image[170];
    EXPECT_NE(serial, 0u);
    EXPECT_EQ(image[1] * 256 + image[2], 1647);
    EXPECT_EQ(image[3] * 256 + image[4], 151);
    EXPECT_EQ(g_failures, 0);
}

TEST_F(VirtualLibraryTest, EepromWritesNeedTheirPreamble)
{
    vg.USBWriteToEEPROM(5, 0x142);
    EXPECT_EQ(vg.VgGetEEPROMByte(5), 0x42);
    EXPECT_EQ(vg.USBReadFromEEPROM(5), 0x42);
    vg.VgSetEEPROMByte(300, 0x99);
    EXPECT_EQ(vg.USBReadFromEEPROM(300), 0x99);
    EXPECT_EQ(vg.VgGetProtocolErrorCount(), 0);
}

TEST_F(VirtualLibraryTest, PowerSwitchAndQuery)
{
    EXPECT_EQ(vg.USBGetPowerState(), 1);
    vg.USBSetPowerOnOff(0);
    EXPECT_EQ(vg.VgGetPower(), 0);
    EXPECT_EQ(vg.USBGetPowerState(), 0);
    vg.USBSetPowerOnOff(7);
    EXPECT_EQ(vg.VgGetPower(), 1);
    EXPECT_EQ(vg.USBGetPowerState(), 1);
    EXPECT_EQ(g_failures, 0);
}

TEST_F(VirtualLibraryTest, ConfigurationIsAcceptedOnlyWholeWithItsCheckSum)
{
    std::vector<std::uint8_t> image = ValidConfiguration();
    const auto size = static_cast<std::int32_t>(image.size());
    EXPECT_NE(vg.USBConfigureFPGA(image.data(), size), 0);
    EXPECT_EQ(vg.VgIsConfigured(), 1);
    EXPECT_EQ(vg.VgGetConfigurationCount(), 1);
    EXPECT_EQ(LoggedBytes(0), (std::vector<std::uint8_t>{0x20, 0x08, 0x00, 0x21}));

    image[1000] ^= 0x01;
    EXPECT_EQ(vg.USBConfigureFPGA(image.data(), size), 0);
    EXPECT_EQ(vg.VgIsConfigured(), 0);
    EXPECT_EQ(vg.VgGetConfigurationCount(), 2);

    image = ValidConfiguration();
    EXPECT_EQ(vg.USBConfigureFPGA(image.data(), size - 1), 0);
    EXPECT_EQ(vg.VgIsConfigured(), 0);
    EXPECT_NE(vg.USBConfigureFPGA(image.data(), size), 0);
    EXPECT_EQ(g_failures, 0);
    EXPECT_EQ(vg.VgGetPendingReadBytes(), 0);
}

TEST_F(VirtualLibraryTest, UnpluggedDeviceFailsAndMustBeOpenedAgain)
{
    vg.USBSingleWrite(2, 0x0800);
    vg.VgSetPlugged(0);
    EXPECT_EQ(vg.USBGetPowerState(), 0); // its query and its reply read fail
    EXPECT_EQ(g_failures, 2);
    vg.USBSingleWrite(2, 0x0100);
    EXPECT_EQ(g_failures, 3);
    EXPECT_EQ(vg.DeviceReady(), 0); // not reported
    EXPECT_EQ(g_failures, 3);
    EXPECT_EQ(vg.USBInitDevice(), 516);
    EXPECT_EQ(g_failures, 3);

    vg.VgSetPlugged(1);
    EXPECT_EQ(vg.DeviceReady(), 0); // the old handle is gone with the old device
    EXPECT_EQ(vg.USBInitDevice(), 0);
    EXPECT_EQ(vg.DeviceReady(), 1);
    EXPECT_EQ(vg.VgGetRegister(2), 0); // plugging in again is a power cycle
    EXPECT_EQ(vg.USBGetPowerState(), 1);
    EXPECT_EQ(g_failures, 3);
}

TEST_F(VirtualLibraryTest, FailNextRequestsFailsExactlyThatMany)
{
    vg.VgFailNextRequests(2);
    vg.USBSingleWrite(4, 0x1111); // request 6 fails, and says so
    EXPECT_EQ(vg.VgGetRegister(4), 0);
    EXPECT_EQ(g_failures, 1);
    EXPECT_EQ(vg.USBGetPowerState(), 0); // its packet is lost; its read finds no reply
    EXPECT_EQ(g_failures, 3);
    vg.USBSingleWrite(4, 0x2222);
    EXPECT_EQ(vg.VgGetRegister(4), 0x2222);
    EXPECT_EQ(vg.USBGetPowerState(), 1);
    EXPECT_EQ(g_failures, 3);
    int ok = 1;
    LoggedBytes(0, nullptr, &ok);
    EXPECT_EQ(ok, 0);
}

TEST_F(VirtualLibraryTest, ReadWithTooLittleReplyWaitingFails)
{
    std::uint8_t bytes[4] = {};
    // The device now sends 2-byte packets while the library, opened at 64,
    // waits for one whole 64-byte packet.
    vg.VgSetPacketSize(2);
    EXPECT_EQ(vg.USBRollFIFORead(11, bytes, 4), 0);
    EXPECT_EQ(g_failures, 1);
    EXPECT_EQ(vg.VgGetProtocolErrorCount(), 1);
}

TEST_F(VirtualLibraryTest, ZeroPacketSizeFromTheDeviceKeepsCountsDefined)
{
    vg.VgSetPacketSize(0);
    EXPECT_EQ(vg.USBInitDevice(), 0);
    EXPECT_EQ(vg.USBGetPacketSize(), 0);
    vg.VgClearRequestLog();
    std::uint16_t words[50] = {};
    vg.USBSingleWriteWithoutFlush(13, 16384 - 50);
    EXPECT_EQ(vg.USBFIFOWrite(11, words, sizeof words), 1);
    EXPECT_EQ(LoggedBytes(0), (std::vector<std::uint8_t>{0x26, 13, 0x3F, 0xCE, 0x29, 11, 0, 2}));
    EXPECT_EQ(g_failures, 0);
}

} // namespace
} // namespace vg::test
