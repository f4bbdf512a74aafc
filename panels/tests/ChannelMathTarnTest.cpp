// SPDX-License-Identifier: MIT
#include "panels/ChannelMathTarn.h"

#include "data/SettingsTarn.h"
#include "data/WaveformTarn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace tarn {
namespace {

constexpr double kHGain = 5.5556;

TChannelSetup OutputL(std::int32_t level = 4095, std::int32_t atn = 0, double load = -1.0)
{
    TChannelSetup s;
    s.Level = level;
    s.OutputAtn = atn;
    s.Load = load;
    return s;
}

TChannelSetup OutputH(std::int32_t level = 4095, double load = -1.0)
{
    TChannelSetup s = OutputL(level, 0, load);
    s.Gain = kHGain;
    s.OutputImpedance = 600;
    s.HasAttenuator = false;
    return s;
}

// Samples with their statistics, as a waveform would give them.
struct Wave {
    std::vector<std::uint16_t> samples;
    TWaveStats Stats() const
    {
        TWaveStats st;
        st.Samples = samples.data();
        st.Count = static_cast<std::int32_t>(samples.size());
        if (!samples.empty()) {
            st.MaxSample = *std::max_element(samples.begin(), samples.end());
            st.MinSample = *std::min_element(samples.begin(), samples.end());
            st.MeanSample = std::accumulate(samples.begin(), samples.end(), 0.0) / st.Count;
        }
        return st;
    }
};

Wave FullScale()
{
    Wave w;
    for (int c = 1; c <= 4095; ++c)
        w.samples.push_back(static_cast<std::uint16_t>(c));
    return w;
}

TEST(ChannelMath, NintRoundsHalvesToEven)
{
    const std::vector<std::pair<long double, long double>> cases = {
        {0.5L, 0}, {1.5L, 2}, {2.5L, 2}, {-0.5L, 0}, {-1.5L, -2}, {1637.5L, 1638}, {1638.5L, 1638}, {2.4999L, 2}};
    for (const auto& [in, out] : cases)
        EXPECT_EQ(Nint(in), out) << static_cast<double>(in);
}

struct ReadingCase {
    const char* name;
    TChannelSetup setup;
    double vpp, vpPlus, vpMinus;
    bool levelWarning;
};

TEST(ChannelMath, ReadingsOfAFullScaleWaveform)
{
    const double h = kHGain * 10.0;
    const std::vector<ReadingCase> cases = {
        {"L full", OutputL(), 10.0, 5.0, -5.0, true},
        {"L -20 dB", OutputL(4095, 1), 1.0, 0.5, -0.5, true},
        {"L 50 ohm", OutputL(4095, 0, 50), 5.0, 2.5, -2.5, true},
        // Full scale passes 9 x K whatever K is; 4.5 V on 0 dB does not.
        {"L open, 0 dB, level 4095 * 0.45", OutputL(1843, 0), 10.0 * 1843 / 4095, 5.0 * 1843 / 4095, -5.0 * 1843 / 4095,
         false},
        {"L level 0", OutputL(0), 0, 0, 0, true},
        {"H open", OutputH(), h, h / 2, -h / 2, true},
        {"H 600 ohm", OutputH(4095, 600), h / 2, h / 4, -h / 4, true},
        // The attenuator state of the real channel does not touch an output without one.
        {"H atn ignored",
         [] {
             auto s = OutputH();
             s.OutputAtn = 1;
             return s;
         }(),
         h, h / 2, -h / 2, true},
    };
    const Wave wave = FullScale();
    for (const ReadingCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TChannelReadings plus = ComputeReadings(c.setup, wave.Stats(), TPeakSide::Plus);
        const TChannelReadings minus = ComputeReadings(c.setup, wave.Stats(), TPeakSide::Minus);
        EXPECT_NEAR(plus.Vpp, c.vpp, 1e-9);
        EXPECT_NEAR(plus.Vp, c.vpPlus, 1e-9);
        EXPECT_NEAR(minus.Vp, c.vpMinus, 1e-9);
        EXPECT_EQ(plus.LevelWarning, c.levelWarning);
        EXPECT_DOUBLE_EQ(plus.ZeroCode, 2048.0);
        EXPECT_FALSE(std::isnan(plus.Vrms) || std::isnan(plus.Vavg));
    }
}

TEST(ChannelMath, EmptyAndFlatWaveformsNeverDivideByZero)
{
    const Wave empty;
    const TChannelReadings e = ComputeReadings(OutputL(), empty.Stats(), TPeakSide::Minus);
    EXPECT_EQ(e.Vpp, 0.0);
    EXPECT_EQ(e.Vp, 0.0);
    EXPECT_EQ(e.Vrms, 0.0);
    EXPECT_EQ(e.Vavg, 0.0);
    EXPECT_FALSE(e.ShiftWarning);
    EXPECT_EQ(StatsOf(nullptr).Count, 0);
    EXPECT_FALSE(FactorFromVpp(1.0, empty.Stats()));
    EXPECT_FALSE(ShiftVoltageFromVp(OutputL(), 1.0, 0.001, empty.Stats(), TPeakSide::Plus));

    const Wave flat{std::vector<std::uint16_t>(100, 3000)};
    const TChannelReadings f = ComputeReadings(OutputL(), flat.Stats(), TPeakSide::Plus);
    EXPECT_EQ(f.Vpp, 0.0);
    EXPECT_NEAR(f.Vp, 952 * 10.0 / 4094, 1e-9);
    EXPECT_EQ(f.Vrms, 0.0) << "no alternating part";
    EXPECT_FALSE(FactorFromVpp(1.0, flat.Stats())) << "a typed Vpp is ignored";
}

TEST(ChannelMath, VrmsFromACLeavesOutTheDCPart)
{
    // A square between 3000 and 2000: mean 2500, 452 codes above zero.
    Wave offset;
    for (int i = 0; i < 100; ++i)
        offset.samples.push_back(i < 50 ? 3000 : 2000);
    // The same square centred on zero.
    Wave centred;
    for (int i = 0; i < 100; ++i)
        centred.samples.push_back(i < 50 ? 2548 : 1548);
    const double q = 10.0 / 4094;
    TChannelSetup ac = OutputL();
    TChannelSetup dc = OutputL();
    dc.VrmsFromAC = false;
    const auto acR = ComputeReadings(ac, offset.Stats(), TPeakSide::Plus);
    const auto dcR = ComputeReadings(dc, offset.Stats(), TPeakSide::Plus);
    EXPECT_NEAR(acR.Vrms, 500 * q, 1e-9);
    EXPECT_NEAR(acR.Vavg, 500 * q, 1e-9);
    EXPECT_NEAR(dcR.Vrms, std::sqrt((952.0 * 952 + 48 * 48) / 2) * q, 1e-9);
    EXPECT_NEAR(dcR.Vavg, (952.0 + 48) / 2 * q, 1e-9);
    EXPECT_LT(acR.Vrms, dcR.Vrms);
    EXPECT_DOUBLE_EQ(ComputeReadings(ac, centred.Stats(), TPeakSide::Plus).Vrms,
                     ComputeReadings(dc, centred.Stats(), TPeakSide::Plus).Vrms);
}

TEST(ChannelMath, ShiftVoltagesAndShiftWarning)
{
    EXPECT_DOUBLE_EQ(ShiftVoltage(OutputL(), 2048), 0.0);
    EXPECT_DOUBLE_EQ(ShiftVoltage(OutputL(), 4096), 1.5);
    EXPECT_DOUBLE_EQ(ShiftVoltage(OutputL(), 0), -1.5);
    EXPECT_NEAR(ShiftVoltage(OutputH(), 4096), 8.3334, 1e-12);
    EXPECT_DOUBLE_EQ(ShiftVoltage(OutputL(4095, 1), 4096), 0.15);
    EXPECT_EQ(ZeroShiftCode(OutputL()), 2048);

    // Full scale at level 3500 swings 4.27 V each way around 0 V.
    const Wave wave = FullScale();
    TChannelSetup s = OutputL(3500);
    EXPECT_FALSE(ComputeReadings(s, wave.Stats(), TPeakSide::Plus).ShiftWarning);
    s.DevShift = 4096; // +1.5 V pushes the top past 4.5 V
    const auto up = ComputeReadings(s, wave.Stats(), TPeakSide::Plus);
    EXPECT_TRUE(up.ShiftWarning);
    EXPECT_NEAR(up.ZeroCode, 2048 - 1.5 / up.LevelFactor, 1e-9);
    s.DevShift = 0;
    EXPECT_TRUE(ComputeReadings(s, wave.Stats(), TPeakSide::Plus).ShiftWarning);
    s.Shift = 0; // the pending shift alone changes nothing
    s.DevShift = 2048;
    EXPECT_FALSE(ComputeReadings(s, wave.Stats(), TPeakSide::Plus).ShiftWarning);
}

TEST(ChannelMath, DecibelValues)
{
    struct Case {
        double vrms, load;
        TdBUnit unit;
        const char* text;
    };
    const std::vector<Case> cases = {
        {1.0, -1.0, TdBUnit::dBmV, "60"}, {1.0, -1.0, TdBUnit::dBuV, "120"}, {1.0, 50, TdBUnit::dBW, "-17"},
        {1.0, 50, TdBUnit::dBmW, "13"},   {1.0, -1.0, TdBUnit::dBW, "N/A"},  {1.0, 0.5, TdBUnit::dBmW, "N/A"},
        {0.0, 50, TdBUnit::dBmV, "N/A"},  {0.5, 600, TdBUnit::dBmW, "-3.8"}, {1.5, -1, TdBUnit::dBmV, "63.5"},
        {0.001, -1, TdBUnit::dBmV, "0"}, // never "-0"
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatDb(AbsoluteDb(c.vrms, c.load, c.unit)), c.text) << c.vrms << " V into " << c.load;

    EXPECT_EQ(FormatDb(RelativeDb(0.002, 0.002)), "0");
    EXPECT_EQ(FormatDb(RelativeDb(0.004, 0.002)), "6");
    EXPECT_EQ(FormatDb(RelativeDb(0.001, 0.002)), "-6");
    EXPECT_EQ(FormatDb(RelativeDb(LevelFactor(OutputL(0)), 0.002)), "N/A") << "level 0";
    EXPECT_EQ(FormatDb(RelativeDb(0.002, 0.0)), "N/A");
    EXPECT_FALSE(FactorFromDb(OutputL(), 6, 0.0));
    EXPECT_NEAR(*FactorFromDb(OutputL(), 20, 0.002), 0.02, 1e-15);
    // A loaded output: the reference is what the load sees, the level what the output gives.
    EXPECT_NEAR(*FactorFromDb(OutputL(4095, 0, 50), 0, 0.002), 0.004, 1e-15);
}

TEST(ChannelMath, LevelEntriesSwitchTheAttenuatorAndClamp)
{
    const Wave wave = FullScale();
    struct Case {
        const char* name;
        TChannelSetup setup;
        double vpp;
        std::int32_t level, atn;
    };
    const std::vector<Case> cases = {
        {"0.4 V on L", OutputL(2048, 0), 0.4, 1638, 1},
        {"too much on L", OutputL(2048, 1), 50.0, 4095, 0},
        {"full on L", OutputL(10, 1), 10.0, 4095, 0},
        {"negative means its size", OutputL(), -0.4, 1638, 1},
        {"just above the -20 dB range", OutputL(), 1.0, 410, 0},
        {"H keeps the attenuator state",
         [] {
             auto s = OutputH();
             s.OutputAtn = 1;
             return s;
         }(),
         11.1112, 819, 1},
        {"zero", OutputL(), 0.0, 0, 1},
    };
    for (const Case& c : cases) {
        const TLevelEntry e = LevelFromFactor(c.setup, *FactorFromVpp(c.vpp, wave.Stats()));
        EXPECT_EQ(e.Level, c.level) << c.name;
        EXPECT_EQ(e.OutputAtn, c.atn) << c.name;
    }
}

// Typed value -> code -> displayed value over levels, attenuator states and loads.
TEST(ChannelMath, EntriesRoundTripThroughTheirCodes)
{
    const Wave wave = FullScale();
    const auto st = wave.Stats();
    for (const bool h : {false, true}) {
        for (const double load : {-1.0, 50.0, 600.0, 1000.0}) {
            for (const std::int32_t atn : {0, 1}) {
                TChannelSetup base = h ? OutputH(2048, load) : OutputL(2048, atn, load);
                if (h)
                    base.OutputAtn = atn;
                const double divider = load >= 1 ? load / (load + base.OutputImpedance) : 1.0;
                const double maxVpp = 10.0 * base.Gain;
                for (double vpp = maxVpp / 1000; vpp <= maxVpp; vpp *= 1.37) {
                    SCOPED_TRACE(testing::Message()
                                 << "H " << h << " load " << load << " atn " << atn << " vpp " << vpp);
                    TChannelSetup s = base;
                    const TLevelEntry e = LevelFromFactor(s, *FactorFromVpp(vpp, st));
                    s.Level = e.Level;
                    s.OutputAtn = e.OutputAtn;
                    const auto r = ComputeReadings(s, st, TPeakSide::Plus);
                    // Within half a level step of the typed value, times the load divider.
                    const double step = 4094 * r.LevelFactor / std::max(e.Level, 1);
                    EXPECT_NEAR(r.Vpp, vpp * divider, step / 2 + 1e-12);

                    // The same level again through the relative dB field.
                    const double ref = r.LevelFactor;
                    for (const double db : {-6.0, -0.5, 0.0, 3.0}) {
                        TChannelSetup d = s;
                        const TLevelEntry de = LevelFromFactor(d, *FactorFromDb(d, db, ref));
                        d.Level = de.Level;
                        d.OutputAtn = de.OutputAtn;
                        const double factor = LevelFactor(d);
                        if (de.Level > 40 && de.Level < 4095 && factor > 0) {
                            EXPECT_NEAR(*RelativeDb(factor, ref), db, 0.1 + 20 * std::log10(1 + 1.0 / de.Level));
                        }
                    }
                }
                // Shift voltages: typed -> code -> shown, within half a code step.
                const double span = 3.0 * ChannelScale(base) / divider;
                for (double y = -span / 2; y <= span / 2; y += span / 37) {
                    TChannelSetup s = base;
                    s.Shift = ShiftFromVoltage(s, y);
                    EXPECT_NEAR(ShiftVoltage(s, s.Shift), y * divider, ChannelScale(s) * 1.5 / 4096 + 1e-12) << y;
                }
            }
        }
    }
}

TEST(ChannelMath, TypedPeakVoltageBecomesTheShownPeak)
{
    const Wave wave = FullScale();
    const auto st = wave.Stats();
    for (const TPeakSide side : {TPeakSide::Plus, TPeakSide::Minus}) {
        for (TChannelSetup s : {OutputL(1000, 0), OutputL(3000, 1), OutputH(1500)}) {
            const double q = LevelFactor(s);
            for (const double vp : {-2.0, -0.3, 0.0, 0.25, 1.0, 3.0}) {
                const auto y = ShiftVoltageFromVp(s, vp, q, st, side);
                ASSERT_TRUE(y);
                s.Shift = s.DevShift = ShiftFromVoltage(s, *y);
                // Inside the shift range the peak lands within half a shift step.
                if (s.Shift > 0 && s.Shift < 4096) {
                    EXPECT_NEAR(ComputeReadings(s, st, side).Vp, vp, ChannelScale(s) * 1.5 / 4096 + 1e-9) << vp;
                }
            }
        }
    }
}

TEST(ChannelMath, BarsHaveTheHighEndOnTop)
{
    TChannelSetup s = OutputL(0);
    s.Shift = 0;
    EXPECT_EQ(LevelBarPosition(s), 4096);
    EXPECT_EQ(ShiftBarPosition(s), 4097);
    EXPECT_EQ(LevelFromBar(s, 1), 4095);
    EXPECT_EQ(ShiftFromBar(s, 1), 4096);
    EXPECT_EQ(ShiftFromBar(s, 2049), 2048);
}

TEST(ChannelMath, FilterAutosetFrequencies)
{
    struct Case {
        bool standard;
        std::int32_t harmonic, count;
        double frequency;
        std::int32_t filter;
    };
    const std::vector<Case> cases = {
        {true, 3, 8192, 2000000, 1},   {true, 3, 8192, 1000000, 2}, {true, 3, 8192, 3400000, 0},
        {false, 100, 1000, 60e6, 1},   {true, 1, 8192, 5000000, 1}, {true, 1, 8192, 10000000, 0},
        {true, 1, 8192, 4999999.9, 2}, {false, 1, 1000, 100e6, 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FilterForFrequency(*HighestFrequency(c.standard, c.harmonic, c.count, c.frequency)), c.filter)
            << c.frequency;
    EXPECT_FALSE(HighestFrequency(false, 1, 0, 1e6)) << "no samples, no frequency";
}

TEST(ChannelMath, AStandardWaveformPlaysTheAveragedCopyOfItsFrequency)
{
    const double top = 1e8 / 4096; // the clock's top with 4096 samples per period
    struct Row {
        double deviceFrequency, requested;
        std::int32_t samples;
    };
    for (const Row r : {Row{0.0015, 0.001, 8192}, Row{std::nan(""), 0, 8192}, Row{1000, 1000, 8192},
                        Row{top, top, 4096}, Row{top, top * (1 + 4e-6), 2048}, Row{top * 1.5, top * 1.5, 2048},
                        Row{3e7, 3e7, 2}, Row{1e9, 1e9, 2}, Row{HUGE_VAL, HUGE_VAL, 2}})
        EXPECT_EQ(StandardPeriodSamples(r.deviceFrequency, r.requested), r.samples) << r.deviceFrequency;

    // An arbitrary waveform plays as it is; a standard one of another size not
    // at all (the driver ignores it). The copies themselves: tarn_readings_tests.
    TPlayedWave played;
    TWaveformTarn odd;
    odd.Allocate(1000, 4096, true);
    odd.UpdateStatistics();
    EXPECT_EQ(played.Update(&odd, 10, 10).Count, 0);
    EXPECT_EQ(played.Period(), 0);
    EXPECT_EQ(ComputeReadings(OutputL(), played.Stats(), TPeakSide::Plus).Vrms, 0.0);
    odd.IsStandard = false;
    EXPECT_EQ(played.Update(&odd, 10, 10).Samples, odd.Samples());
    EXPECT_EQ(played.Update(nullptr, 10, 10).Count, 0);
}

TEST(ChannelMath, SetupComesFromTheSettings)
{
    TSettingsTarn settings;
    settings.SetDefaults();
    settings.Device.Level = {1000};
    settings.Device.Shift = {100};
    settings.Device.DevShift = {200};
    settings.Device.OutputAtn = {1};
    settings.Loads = {-1.0, 600.0};
    const auto h = ChannelSetup(settings, 1);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->Level, 1000);
    EXPECT_EQ(h->DevShift, 200);
    EXPECT_DOUBLE_EQ(h->Gain, kHGain);
    EXPECT_EQ(h->Load, 600.0);
    EXPECT_FALSE(h->HasAttenuator);
    EXPECT_TRUE(h->VrmsFromAC);
    EXPECT_DOUBLE_EQ(LevelFactor(*h), 1000.0 / 4095 * 10 / 4094 * kHGain / 2);

    EXPECT_FALSE(ChannelSetup(settings, 2));
    EXPECT_FALSE(ChannelSetup(settings, -1));
    settings.Device.Shift.clear();
    EXPECT_FALSE(ChannelSetup(settings, 0)) << "a missing per-channel value";
    EXPECT_EQ(ChannelWaveform(settings, 2), nullptr);
}

} // namespace
} // namespace tarn
