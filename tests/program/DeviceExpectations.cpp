// SPDX-License-Identifier: MIT
#include "tests/program/DeviceExpectations.h"

#include "data/SettingsTarn.h"
#include "sim/CalibrationImage.h"
#include "tests/program/ProgramHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace tarn::test {

TCalibration DefaultCalibration()
{
    return {1647, 151, 2130, 2130, 1064, 0.1};
}

TCalibration ReadCalibration(const TVirtualGenerator& vg)
{
    auto word = [&vg](int offset) { return vg.EEPROMByte(256 + offset) * 256 + vg.EEPROMByte(256 + offset + 1); };
    return {word(1), word(3), word(5), word(7), word(9), 32767.5 / word(11)};
}

void WriteDistinctSettings(const std::filesystem::path& folder)
{
    TSettingsTarn s;
    s.SetDefaults();
    s.Load(folder);
    TDeviceSettings& d = s.Device;
    d.Frequency = 1000000.0;
    d.FrequencyMode = 0;
    d.Level = {3000};
    d.Shift = {2300};
    d.DevShift = {2300};
    d.OutputAtn = {1};
    d.OutputOnOff = {1};
    d.Filter = {2};
    d.TriggerMode = 0;
    d.ArmOnOff = 1;
    d.ArmStopLevel = 0;
    d.RunOnOff = 1;
    d.TriggerOnOff = 1;
    d.TriggerLeading = 0;
    auto wave = std::make_unique<TWaveformTarn>();
    wave->Allocate(1000, 4096, false);
    for (int i = 0; i < 1000; ++i)
        wave->Samples()[i] = static_cast<std::uint16_t>(100 + 3 * i);
    wave->UpdateStatistics();
    d.Waveforms.clear();
    d.Waveforms.push_back(std::move(wave));
    ASSERT_TRUE(s.Save(folder).Ok());
}

double GeneratorFrequency(const TVirtualGenerator& vg, bool standard)
{
    const int divider = vg.Register(9);
    const int code = divider & 127;
    const int exponent = (code & 7) + (code >> 3);
    const int word = vg.Register((divider & 128) != 0 ? 4 : 3);
    const double clock = (50e6 * (word - 32767) / 32768.0 + 50e6) / std::ldexp(1.0, exponent);
    return standard ? clock / (16384 - vg.Register(7)) : clock;
}

void WriteCalibration(const TVirtualGenerator& vg, const TCalibration& cal)
{
    vg::Calibration c;
    c.levelHigh = static_cast<std::uint16_t>(cal.levelHigh);
    c.levelLow = static_cast<std::uint16_t>(cal.levelLow);
    c.shiftZeroHigh = static_cast<std::uint16_t>(cal.shiftZeroHigh);
    c.shiftZeroLow = static_cast<std::uint16_t>(cal.shiftZeroLow);
    c.shiftGain = static_cast<std::uint16_t>(cal.shiftGain);
    c.attenuatorWord = static_cast<std::uint16_t>(std::lround(32767.5 / cal.attenuatorFactor));
    const vg::CalibrationImage page = vg::MakeCalibrationImage(c);
    for (int i = 0; i < static_cast<int>(page.size()); ++i)
        vg.SetEEPROMByte(256 + i, page[static_cast<std::size_t>(i)]);
}

void ExpectDeviceHolds(const TVirtualGenerator& vg, const TSettingsTarn& settings, const TCalibration& cal,
                       std::optional<double> applied)
{
    const TDeviceSettings& d = settings.Device;
    const double frequency = applied.value_or(d.Frequency);
    const long double hi = cal.levelHigh, lo = cal.levelLow;
    const bool atn = d.OutputAtn[0] == 1;
    const long double level = d.Level[0];
    const long double raw = atn ? (level * cal.attenuatorFactor - 368.55L) * (hi - lo) / 3316.95L + lo
                                : (hi - lo) * (level - 368.55L) / 3316.95L + lo;
    const int levelCode = std::clamp(static_cast<int>(std::nearbyint(raw)), 0, 4095);
    EXPECT_EQ(vg.Register(1), levelCode) << "level converter";

    const bool on = d.OutputOnOff[0] != 0;
    if (on) {
        const long double f = atn ? cal.attenuatorFactor : 1.0L;
        const long double zeroSpan =
            static_cast<long double>((cal.shiftZeroHigh - cal.shiftZeroLow) * (levelCode - cal.levelLow));
        const long double shift = 1500.0L * f * (d.DevShift[0] - 2048) / 2047.0L * cal.shiftGain / 1000.0L
                                  + zeroSpan / (hi - lo) + cal.shiftZeroLow;
        EXPECT_EQ(vg.Register(2), static_cast<int>(std::nearbyint(shift)) & 0xFFFF) << "shift converter";
    }

    const int filterBits[] = {0, 10, 5};
    EXPECT_EQ(vg.Register(8), (atn ? 16 : 0) | filterBits[d.Filter[0]]) << "relays";

    int control = (d.TriggerLeading ? 2 : 0) | (d.ArmStopLevel ? 32 : 0) | 64 | (on && levelCode != 0 ? 128 : 0);
    control |= d.TriggerMode == 0 ? (d.ArmOnOff ? 16 : 0) | (d.RunOnOff ? 4 : 0) : (d.TriggerOnOff ? 1 : 0);
    // Bit 6 is left low by a frequency change that leaves a divided clock, until
    // the next control word: which one came last is the driver's order of writes.
    EXPECT_EQ(vg.Register(10) | 64, control) << "control word";

    const TWaveformTarn& wave = *d.Waveforms[0];
    const std::vector<std::uint16_t> memory = vg.SampleMemory();
    int mismatches = 0;
    if (wave.IsStandard) {
        const int samples =
            static_cast<int>(std::clamp(std::exp2(std::floor(std::log2(100000000.0 / frequency))), 2.0, 8192.0));
        EXPECT_EQ(vg.Register(7), 16384 - samples) << "playback start";
        // The full-rate level of the decimation set, from word 0, spans 0 .. max - min.
        const int n = wave.SampleCount();
        const int lowest = *std::min_element(wave.Samples(), wave.Samples() + n);
        for (int i = 0; i < n; ++i)
            mismatches += memory[static_cast<std::size_t>(i)] != wave.Samples()[i] - lowest;
        EXPECT_EQ(mismatches, 0) << "sample memory";
    } else {
        const int n = wave.SampleCount();
        EXPECT_EQ(vg.Register(7), 16384 - n) << "playback start";
        for (int i = 0; i < n; ++i)
            mismatches += memory[static_cast<std::size_t>(16384 - n + i)] != wave.Samples()[i];
        EXPECT_EQ(mismatches, 0) << "sample memory";
    }
    EXPECT_NEAR(d.DeviceFrequency, frequency, frequency * 1e-3) << "frequency in device";
    EXPECT_NEAR(GeneratorFrequency(vg, wave.IsStandard), frequency, frequency * 1e-3) << "frequency produced";
}

} // namespace tarn::test
