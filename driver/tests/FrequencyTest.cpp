// SPDX-License-Identifier: MIT
// Clock synthesis, the two clock words and the frequency operations.
#include "driver/tests/RecordingPort.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tarn::drv::test {
namespace {

using Frequency = DeviceFixture;

std::vector<std::uint16_t> SquareWave()
{
    std::vector<std::uint16_t> samples(8192, 1);
    std::fill(samples.begin(), samples.begin() + 4096, std::uint16_t{4095});
    return samples;
}

TEST_F(Frequency, ArbitraryClockRangeEndsAndDividedClockClearsBitSix)
{
    StartWithDefaults();
    // Zero: the divider runs out at 2^22 and the clock is raised to 50 MHz.
    EXPECT_DOUBLE_EQ(Device->SetFrequency(0.0, false), 50e6 / 4194304.0);
    EXPECT_EQ(Rec.Take(), (Calls{"Q6=0", "Q9=255", "Q3=65535", "Q4=32767", "S7=16384", "S10=64"}));
    // Same again: the same clock word stays selected; it was divided, so the
    // control word goes once without bit 6.
    EXPECT_DOUBLE_EQ(Device->SetFrequency(0.0, false), 50e6 / 4194304.0);
    EXPECT_EQ(Rec.Take(), (Calls{"Q6=0", "Q9=255", "Q3=65535", "Q4=32767", "S7=16384", "S10=0"}));
    EXPECT_EQ(Device->ActiveClockWord(), 1);

    EXPECT_DOUBLE_EQ(Device->SetFrequency(100e6, false), 100e6);
    EXPECT_EQ(Rec.Take(), (Calls{"Q6=0", "Q9=0", "Q3=65535", "Q4=32767", "S7=16384", "S10=0"}));
    EXPECT_EQ(Device->ActiveClockWord(), 0);
    EXPECT_DOUBLE_EQ(Device->SetFrequency(250e6, false), 100e6);
    EXPECT_EQ(Rec.Take(), (Calls{"Q6=0", "Q9=0", "Q3=65535", "Q4=32767", "S7=16384"}));
    EXPECT_EQ(Device->ControlWord(), 64);
}

TEST_F(Frequency, NegativeAndNotANumberFrequenciesGiveTheSlowestClock)
{
    StartWithDefaults();
    EXPECT_DOUBLE_EQ(Device->SetFrequency(-5.0, false), 50e6 / 4194304.0);
    EXPECT_DOUBLE_EQ(Device->SetFrequency(std::nan(""), false), 50e6 / 4194304.0);
    EXPECT_EQ(Device->DividerIndex(), 22);
}

TEST_F(Frequency, StandardWaveformPicksSamplesPerPeriod)
{
    StartWithDefaults();
    auto samples = SquareWave();
    Device->LoadWaveform(samples.data(), 8192, true);
    Rec.Take();
    // 1 kHz: d = 2^16 clamped to 8192, X = 8.192 MHz doubled three times.
    EXPECT_NEAR(Device->SetFrequency(1000.0, false), 8192062.3779296875 / 8192, 1e-9);
    EXPECT_EQ(Rec.Take(), (Calls{"Q9=131", "Q3=65535", "Q4=42949", "Q6=-4096", "Q5=-8192", "S7=8192", "S10=64"}));
    EXPECT_EQ(Device->PeriodSamples(), 8192);
    EXPECT_NEAR(Device->SetFrequency(1000.0, false), 8192062.3779296875 / 8192, 1e-9);
    EXPECT_EQ(Rec.Take(), (Calls{"Q9=131", "Q3=65535", "Q4=42949", "Q6=-4096", "Q5=-8192", "S7=8192", "S10=0"}));

    // 40 MHz: two samples per period at 80 MHz, undivided.
    EXPECT_NEAR(Device->SetFrequency(40e6, false), 80000305.17578125 / 2, 1e-6);
    EXPECT_EQ(Rec.Take(), (Calls{"Q9=128", "Q3=32767", "Q4=52428", "Q6=-1", "Q5=-2", "S7=16382", "S10=0"}));
    // Below 1 Hz the longest level is used.
    Device->SetFrequency(0.5, false);
    EXPECT_EQ(Device->PeriodSamples(), 8192);
    Device->SetFrequency(3e6, false); // 2^floor(log2(33.3)) = 32
    EXPECT_EQ(Device->PeriodSamples(), 32);
}

TEST_F(Frequency, PreloadQueuesOnlyTheIdleClockWordAndFullSwitchSelectsIt)
{
    StartWithDefaults();
    std::vector<std::uint16_t> samples(1000, 100);
    Device->LoadWaveform(samples.data(), 1000, false);
    Device->SetFrequency(1e6, false); // k = 6, w = 41942 in word 1
    Rec.Take();
    EXPECT_DOUBLE_EQ(Device->SetFrequency(75e6, true), 75e6);
    EXPECT_EQ(Rec.Take(), (Calls{"Q3=49151", "Q4=41942"})) << "left queued; nothing else is sent";
    EXPECT_EQ(Device->ActiveClockWord(), 1);
    EXPECT_EQ(Device->DividerIndex(), 6);
    EXPECT_DOUBLE_EQ(Device->SetFrequency(75e6, false), 75e6);
    // A tie of the far ends sends the other word to 32767.
    EXPECT_EQ(Rec.Take(), (Calls{"Q6=0", "Q9=0", "Q3=49151", "Q4=32767", "S7=15384", "S10=0"}));
    EXPECT_EQ(Device->ActiveClockWord(), 0);

    // With the gate shut by a load, the preload opens it: its clock words leave then.
    Device->LoadWaveform(samples.data(), 1000, false);
    Rec.Take();
    Device->SetFrequency(60e6, true);
    EXPECT_EQ(Rec.Take(), (Calls{"Q3=49151", "Q4=39321", "S10=64"}));
}

TEST_F(Frequency, PreloadOfStandardWaveformChangesSamplesPerPeriod)
{
    StartWithDefaults();
    auto samples = SquareWave();
    Device->LoadWaveform(samples.data(), 8192, true);
    Device->SetFrequency(1000.0, false);
    Rec.Take();
    Device->SetFrequency(40e6, true);
    EXPECT_EQ(Rec.Take(), (Calls{"Q3=52428", "Q4=42949"}));
    EXPECT_EQ(Device->PeriodSamples(), 2);
}

TEST_F(Frequency, StandardLoadWritesDecimationSetOverWholeMemory)
{
    StartWithDefaults();
    auto samples = SquareWave();
    const auto original = samples;
    Device->LoadWaveform(samples.data(), 8192, true);
    EXPECT_EQ(Rec.Take(), (Calls{"S10=64", "Q13=0", "FIFO11 32768"}));
    EXPECT_EQ(samples, original) << "the caller's samples are only read";
    ASSERT_EQ(Rec.LastFIFOWords.size(), 16384u);
    // Level a starts at 16384 - 16384 / a and holds 8192 / a words, first half
    // high, second half low, scaled to 0 .. 4094.
    for (int a = 1; a <= 4096; a *= 2) {
        const int start = 16384 - 16384 / a;
        const int length = 8192 / a;
        for (int i = 0; i < length; ++i)
            ASSERT_EQ(Rec.LastFIFOWords[static_cast<std::size_t>(start + i)], i < length / 2 ? 4094 : 0)
                << "level " << a << " word " << i;
    }
    EXPECT_TRUE(Device->IsStandardLoaded());
    EXPECT_EQ(Device->PeriodSamples(), 16384);
}

TEST_F(Frequency, LoadsThatCannotBeWrittenOnlyShutTheGate)
{
    StartWithDefaults();
    std::vector<std::uint16_t> samples(20000, 7);
    Device->LoadWaveform(samples.data(), 4096, true); // standard, wrong size
    Device->LoadWaveform(samples.data(), 16385, false);
    Device->LoadWaveform(samples.data(), -1, false);
    Device->LoadWaveform(nullptr, 10, false);
    EXPECT_EQ(Rec.Take(), (Calls{"S10=64", "S10=64", "S10=64", "S10=64"}));
    Device->LoadWaveform(samples.data(), 16384, false);
    EXPECT_EQ(Rec.Take(), (Calls{"S10=64", "Q13=0", "FIFO11 32768", "S7=0"}));
}

} // namespace
} // namespace tarn::drv::test
