// SPDX-License-Identifier: MIT
// Register contents, sample memory and wire batching produced by sequences
// of DeviceFunction calls, read back from the virtual generator.
#include "tests/driver/DriverHarness.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarn::e2e {
namespace {

constexpr std::uint32_t kLoad = 1, kLevel = 2, kAttenuator = 3, kFilter = 4, kFrequency = 5, kShift = 6, kOutput = 7,
                        kTriggerMode = 8, kRun = 11, kPulse = 12, kPreload = 16;

struct TRequest {
    int Function = 0;
    std::vector<std::uint8_t> Bytes;
};

class DriverRegisters : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Setup.Ready()) << "libtarndrv.so or libvireo.so missing in " << Setup.Folder();
        ASSERT_TRUE(Setup.VirtualReady());
        Setup.Vg.Reset();
        // Calibration with distinct zero points, so the shift's zero follows the level.
        WriteCalibration(Setup.Vg, TCalibrationPage{});
        ASSERT_EQ(Setup.Api.InitializeDevice(0), 0);
    }
    int Reg(int reg) const { return Setup.Vg.GetRegister(reg); }
    int Writes(int reg) const { return Setup.Vg.GetRegisterWriteCount(reg); }
    std::vector<TRequest> Requests() const
    {
        std::vector<TRequest> all;
        for (int i = 0; i < Setup.Vg.GetRequestCount(); ++i) {
            TRequest request;
            int ok = 0;
            std::vector<std::uint8_t> bytes(64);
            const int length = Setup.Vg.GetRequest(i, &request.Function, &ok, bytes.data(), 64);
            bytes.resize(static_cast<std::size_t>(std::min(length, 64)));
            request.Bytes = bytes;
            all.push_back(request);
        }
        return all;
    }
    std::vector<std::uint16_t> Memory() const
    {
        std::vector<std::uint16_t> words(16384);
        Setup.Vg.CopySamples(words.data(), 16384);
        return words;
    }

    TDriverSetup Setup{VirtualUsbLibrary()};
};

TEST_F(DriverRegisters, LevelAndShiftFollowCalibration)
{
    Setup.Call(kLevel, 3000);
    EXPECT_EQ(Reg(1), 1378);
    Setup.Call(kShift, 2500);
    EXPECT_EQ(Writes(2), 0) << "output off: shift only stored";
    Setup.Call(kOutput, 1);
    EXPECT_EQ(Reg(2), 2511);
    Setup.Call(kShift, 2048);
    EXPECT_EQ(Reg(2), 2179);
    Setup.Call(kShift, -3000);
    EXPECT_EQ(Reg(2), 64016) << "-1520 as 16-bit two's complement";
    Setup.Call(kShift, 2500);
    Setup.Call(kLevel, 1000);
    EXPECT_EQ(Reg(1), 437);
    EXPECT_EQ(Reg(2), 2450);
    Setup.Call(kLevel, 5000);
    EXPECT_EQ(Reg(1), 2318);
    Setup.Call(kLevel, 100000);
    EXPECT_EQ(Reg(1), 4095);
}

TEST_F(DriverRegisters, AttenuatorOnlyForExactlyOneAndFilterThreeRewritesRelays)
{
    Setup.Call(kFilter, 2);
    EXPECT_EQ(Reg(8), 5);
    Setup.Call(kAttenuator, 1);
    EXPECT_EQ(Reg(8), 21);
    Setup.Call(kAttenuator, 2);
    EXPECT_EQ(Reg(8), 5);
    const int before = Writes(8);
    Setup.Call(kFilter, 3);
    EXPECT_EQ(Writes(8), before + 1);
    EXPECT_EQ(Reg(8), 5);
    Setup.Call(kFilter, 1);
    EXPECT_EQ(Reg(8), 10);
    Setup.Call(kFilter, 0);
    EXPECT_EQ(Reg(8), 0);
}

TEST_F(DriverRegisters, OutputGateAndLevelZero)
{
    Setup.Call(kLevel, 3000);
    Setup.Call(kRun, 1);
    EXPECT_EQ(Reg(10), 68);
    Setup.Frequency(kFrequency, 1e6);
    Setup.Call(kOutput, 1);
    EXPECT_EQ(Reg(10), 196);
    Setup.Call(kLevel, 0);
    EXPECT_EQ(Reg(1), 0) << "negative converter code clamped";
    EXPECT_EQ(Reg(10), 68) << "gate bit clear although the output is on";
    Setup.Call(kOutput, 0);
    const int shiftWrites = Writes(2);
    Setup.Call(kOutput, 0);
    EXPECT_EQ(Writes(2), shiftWrites) << "switching off while off writes no shift";
    Setup.Call(kTriggerMode, 1);
    EXPECT_EQ(Reg(10), 64);
}

TEST_F(DriverRegisters, ArbitraryFrequencyEdges)
{
    std::vector<std::uint16_t> ramp(1000);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<std::uint16_t>(i * 4);
    ASSERT_EQ(Setup.Load(ramp.data(), 1000, 0), 1);
    EXPECT_EQ(Reg(13), 15384);
    EXPECT_EQ(Reg(7), 15384);
    const auto memory = Memory();
    EXPECT_TRUE(std::equal(ramp.begin(), ramp.end(), memory.begin() + 15384)) << "the last N words";

    EXPECT_DOUBLE_EQ(Setup.Frequency(kFrequency, 0.0), 50e6 / 4194304.0);
    EXPECT_EQ(Reg(9), 255);
    EXPECT_EQ(Reg(3), 65535);
    EXPECT_EQ(Reg(4), 32767);
    EXPECT_EQ(Reg(6), 0);
    EXPECT_EQ(Reg(7), 15384);
    EXPECT_EQ(Reg(10) & 64, 64);
    EXPECT_DOUBLE_EQ(Setup.Frequency(kFrequency, 100e6), 100e6);
    EXPECT_EQ(Reg(9), 0);
    EXPECT_EQ(Reg(3), 65535);
    EXPECT_EQ(Reg(10) & 64, 0) << "leaving a divided clock clears bit 6 once";
    EXPECT_DOUBLE_EQ(Setup.Frequency(kFrequency, 1e9), 100e6);
    EXPECT_EQ(Reg(9), 0);
    EXPECT_EQ(Reg(10) & 64, 0);
    Setup.Call(kRun, 1);
    EXPECT_EQ(Reg(10), 68) << "bit 6 back with the next control word";
}

TEST_F(DriverRegisters, StandardWaveformDecimationSetAndFrequencies)
{
    std::vector<std::uint16_t> square(8192, 1);
    std::fill(square.begin(), square.begin() + 4096, std::uint16_t{4095});
    ASSERT_EQ(Setup.Load(square.data(), 8192, 1), 1);
    EXPECT_EQ(Reg(13), 0);
    EXPECT_EQ(Writes(7), 0) << "the next frequency operation writes the start";
    const auto memory = Memory();
    for (int a = 1; a <= 4096; a *= 2) {
        const int start = 16384 - 16384 / a, length = 8192 / a;
        for (int i = 0; i < length; ++i)
            ASSERT_EQ(memory[static_cast<std::size_t>(start + i)], i < length / 2 ? 4094 : 0) << a << " " << i;
    }

    EXPECT_NEAR(Setup.Frequency(kFrequency, 1000.0), 1000.00761449337, 1e-9);
    EXPECT_EQ(Reg(9), 131);
    EXPECT_EQ(Reg(3), 65535);
    EXPECT_EQ(Reg(4), 42949);
    EXPECT_EQ(Reg(5), 65536 - 8192);
    EXPECT_EQ(Reg(6), 65536 - 4096);
    EXPECT_EQ(Reg(7), 8192);
    // The same frequency again keeps the selected clock word.
    Setup.Frequency(kFrequency, 1000.0);
    EXPECT_EQ(Reg(9), 131);
    EXPECT_EQ(Writes(9), 2);

    EXPECT_NEAR(Setup.Frequency(kFrequency, 40e6), 40000152.587890625, 1e-6);
    EXPECT_EQ(Reg(9), 128);
    EXPECT_EQ(Reg(3), 32767);
    EXPECT_EQ(Reg(4), 52428);
    EXPECT_EQ(Reg(5), 65534);
    EXPECT_EQ(Reg(6), 65535);
    EXPECT_EQ(Reg(7), 16382);
}

TEST_F(DriverRegisters, QueuedWritesTravelWithTheNextSentOne)
{
    Setup.Call(kOutput, 1);
    Setup.Vg.ClearRequestLog();
    Setup.Call(kLevel, 3000);
    auto requests = Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Function, 6);
    EXPECT_EQ(requests[0].Bytes, (std::vector<std::uint8_t>{0x26, 1, 0x05, 0x62, 0x26, 10, 0, 64}));
    EXPECT_EQ(requests[1].Bytes.size(), 4u);

    Setup.Vg.ClearRequestLog();
    Setup.Call(kTriggerMode, 1);
    Setup.Call(kPulse);
    requests = Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].Bytes, (std::vector<std::uint8_t>{0x26, 10, 0, 72, 0x26, 10, 0, 64}));

    // Preload with the gate open sends nothing; its clock words go with the next write.
    Setup.Frequency(kFrequency, 1e6);
    Setup.Vg.ClearRequestLog();
    EXPECT_DOUBLE_EQ(Setup.Frequency(kPreload, 75e6), 75e6);
    EXPECT_EQ(Setup.Vg.GetRequestCount(), 0);
    Setup.Call(kRun, 0);
    requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Bytes,
              (std::vector<std::uint8_t>{0x26, 3, 0xBF, 0xFF, 0x26, 4, 0xA3, 0xD6, 0x26, 10, 0, 192}));
    // The full switch to the preloaded frequency selects the preloaded word.
    Setup.Frequency(kFrequency, 75e6);
    EXPECT_EQ(Reg(9), 0);
    EXPECT_EQ(Reg(3), 49151);
}

TEST_F(DriverRegisters, ModeCodesComposeTheControlWord)
{
    constexpr std::uint32_t kArm = 9, kArmStop = 10, kTrigger = 13, kLeading = 14;
    Setup.Call(kArm, 1);
    EXPECT_EQ(Reg(10), 80);
    Setup.Call(kArmStop, 7);
    EXPECT_EQ(Reg(10), 112);
    Setup.Call(kLeading, 1);
    EXPECT_EQ(Reg(10), 114);
    Setup.Call(kTrigger, 1);
    EXPECT_EQ(Reg(10), 114) << "the trigger bit counts in single mode only";
    Setup.Call(kTriggerMode, 2);
    EXPECT_EQ(Reg(10), 99);
    Setup.Call(kArm, 0);
    Setup.Call(kTrigger, 0);
    EXPECT_EQ(Reg(10), 98);
    Setup.Call(kTriggerMode, 0);
    EXPECT_EQ(Reg(10), 98);
    EXPECT_EQ(Writes(10), 8);
}

TEST_F(DriverRegisters, LongPreloadRunKeepsWireOrderAndLastClockWords)
{
    Setup.Frequency(kFrequency, 1e6);
    // Far more queued clock-word packets than one command buffer holds.
    for (int i = 0; i < 5000; ++i)
        Setup.Frequency(kPreload, i % 2 == 0 ? 60e6 : 75e6);
    Setup.Call(kRun, 1);
    EXPECT_EQ(Reg(3), 49151) << "the last preload (75 MHz) wins";
    EXPECT_EQ(Reg(4), 41942);
    EXPECT_EQ(Writes(3), 5001);
    EXPECT_EQ(Reg(10), 68);
}

TEST_F(DriverRegisters, ReinitialisingKeepsTheDevicePoweredAndSendsNoTeardown)
{
    Setup.Call(kLevel, 3000);
    Setup.Vg.ClearRequestLog();
    ASSERT_EQ(Setup.Api.InitializeDevice(0), 0);
    EXPECT_EQ(Setup.Vg.GetPower(), 1);
    EXPECT_EQ(Setup.Vg.GetConfigurationCount(), 2);
    EXPECT_EQ(Reg(1), 1378);
    // Every packet of the second initialisation: configuration, power on, EEPROM reads.
    for (const TRequest& request : Requests()) {
        if (request.Function != 6)
            continue;
        for (std::size_t i = 0; i + 3 < request.Bytes.size(); i += 4) {
            EXPECT_NE(request.Bytes[i], 0x26) << "no register written";
            EXPECT_FALSE(request.Bytes[i] == 0x2D && request.Bytes[i + 1] == 0x20) << "no power off";
        }
    }
}

} // namespace
} // namespace tarn::e2e
