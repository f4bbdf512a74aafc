#include "tests/program/DeviceExpectations.h"

#include "data/SettingsTarn.h"
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

void ExpectDeviceHolds(const TVirtualGenerator& vg, const TSettingsTarn& settings, const TCalibration& cal)
{
    const TDeviceSettings& d = settings.Device;
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
    EXPECT_EQ(vg.Register(10), control) << "control word";

    const TWaveformTarn& wave = *d.Waveforms[0];
    if (wave.IsStandard) {
        const int samples = std::clamp(
            static_cast<int>(std::nearbyint(std::exp2(std::floor(std::log2(100000000.0 / d.Frequency))))), 2, 8192);
        EXPECT_EQ(vg.Register(7), 16384 - samples) << "playback start";
    } else {
        const int n = wave.SampleCount();
        EXPECT_EQ(vg.Register(7), 16384 - n) << "playback start";
        int mismatches = 0;
        for (int i = 0; i < n; ++i)
            mismatches += vg.SampleWord(16384 - n + i) != wave.Samples()[i];
        EXPECT_EQ(mismatches, 0) << "sample memory";
    }
    EXPECT_NEAR(d.DeviceFrequency, d.Frequency, d.Frequency * 1e-3) << "frequency in device";
}

} // namespace tarn::test
