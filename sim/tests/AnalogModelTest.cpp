// SPDX-License-Identifier: MIT
// The analog outputs computed from the registers the driver's device model
// writes, against the channel arithmetic the panels show and the frequency
// the driver reports.
#include "driver/tarndrvobjs.h"
#include "panels/ChannelMathTarn.h"
#include "sim/AnalogModel.h"
#include "sim/tests/LinkPort.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <vector>

namespace vg {
namespace {

// A triangle over codes 1 .. 4095, symmetric about 2048.
std::vector<std::uint16_t> Triangle(int count)
{
    std::vector<std::uint16_t> s(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double phase = 2.0 * std::abs(double(i) / count - 0.5);
        s[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(std::lround(1 + 4094 * phase));
    }
    return s;
}

std::vector<std::uint16_t> StandardSquare()
{
    std::vector<std::uint16_t> s(8192, 4095);
    std::fill(s.begin(), s.begin() + 4096, std::uint16_t{1});
    return s;
}

class AnalogModelTest : public ::testing::Test {
protected:
    void Start(const CalibrationImage& page)
    {
        for (std::size_t i = 0; i < page.size(); ++i)
            gen.SetEepromByte(static_cast<std::int32_t>(256 + i), page[i]);
        ASSERT_EQ(device.Initialize(), 0);
        device.SetRun(true); // period mode, generating
    }
    AnalogModel Model() const
    {
        const GeneratorState state = gen.State();
        return AnalogModel(state, CharacteristicFromPage(state.calibrationPage).value());
    }

    VirtualGenerator gen;
    tarn::drv::TFailureFlag flag;
    tarn::drv::TVireoDevice device{[this] { return std::make_unique<test::LinkPort>(gen); }, flag};
};

struct Page {
    const char* name;
    Calibration calibration;
};

TEST_F(AnalogModelTest, VppAndOffsetMatchTheChannelArithmeticWithinOneConverterStep)
{
    Calibration changed;
    changed.levelHigh = 1712;
    changed.levelLow = 139;
    changed.shiftZeroHigh = 2101;
    changed.shiftZeroLow = 2164;
    changed.shiftGain = 1093;
    changed.attenuatorWord = 31900;
    std::vector<std::uint16_t> wave = Triangle(1000);
    for (const Page& page : {Page{"default", Calibration{}}, Page{"changed", changed}}) {
        SCOPED_TRACE(page.name);
        Start(MakeCalibrationImage(page.calibration));
        device.LoadWaveform(wave.data(), 1000, false);
        device.SetFrequency(1e6, false);
        device.SetOutput(true);
        const auto c = CharacteristicFromPage(MakeCalibrationImage(page.calibration)).value();
        // Vpp of a full-span waveform per level converter code, open, gain 1.
        const double levelStep = 4094.0 / 4095.0 * AnalogModel::kLevelFactorMax * 3316.95 / (c.levelHigh - c.levelLow);
        for (int atn : {0, 1})
            for (int level : {300, 1000, 2048, 3500, 4095})
                for (int shift : {0, 700, 2048, 3333, 4096}) {
                    device.SetAttenuator(atn);
                    device.SetLevel(level);
                    device.SetShift(shift);
                    const AnalogModel model = Model();
                    for (AnalogOutput out : {AnalogOutput::L, AnalogOutput::H})
                        for (double load : {kOpenLoad, 50.0, 600.0}) {
                            SCOPED_TRACE(testing::Message() << "atn " << atn << " level " << level << " shift " << shift
                                                            << " out " << int(out) << " load " << load);
                            tarn::TChannelSetup setup;
                            const bool isL = out == AnalogOutput::L;
                            setup.Gain = isL ? 1.0 : 5.5556;
                            setup.OutputImpedance = isL ? 50 : 600;
                            setup.HasAttenuator = isL;
                            setup.Load = load;
                            setup.Level = level;
                            setup.Shift = setup.DevShift = shift;
                            setup.OutputAtn = atn;
                            tarn::TWaveStats stats{wave.data(), 1000, 4095, 1, 2048.0};
                            const auto panel = tarn::ComputeReadings(setup, stats, tarn::TPeakSide::Plus);
                            const Measurement m = model.Measure(out, load);
                            const double k = panel.Scale;
                            // The driver scales both converters by the attenuator's
                            // factor, and the H output is fed ahead of the attenuator.
                            const double f = !isL && atn == 1 ? c.attenuatorFactor : 1.0;
                            // One level converter step in Vpp; one shift converter
                            // step, beside the driver's 1/2047 against the panel's 1/2048.
                            EXPECT_NEAR(m.vpp, panel.Vpp * f, levelStep * k);
                            const double shiftTolerance =
                                (1.0 / c.shiftGain + 1.5 * std::abs(shift - 2048) / 2048.0 / 2047.0) * k;
                            EXPECT_NEAR((m.vmax + m.vmin) / 2, panel.DevShiftVoltage * f, shiftTolerance);
                        }
                }
    }
}

struct FrequencyCase {
    bool standard;
    int count;
    double wanted; // waveform frequency (standard) or sampling rate (arbitrary)
};

TEST_F(AnalogModelTest, FrequencyIsTheDeviceFrequencyAcrossTheDividerRange)
{
    Start(MakeCalibrationImage(Calibration{}));
    device.SetOutput(true);
    device.SetLevel(3000);
    std::vector<int> dividers;
    for (const FrequencyCase& c : std::initializer_list<FrequencyCase>{{true, 8192, 0.004},
                                                                       {true, 8192, 1.0},
                                                                       {true, 8192, 1000.0},
                                                                       {true, 8192, 12345.6},
                                                                       {true, 8192, 1.5e6},
                                                                       {true, 8192, 40e6},
                                                                       {false, 1000, 16.384},
                                                                       {false, 3, 999.0},
                                                                       {false, 16384, 2.5e4},
                                                                       {false, 777, 3.3e6},
                                                                       {false, 64, 73e6},
                                                                       {false, 1000, 1e8}}) {
        SCOPED_TRACE(testing::Message() << c.standard << " " << c.count << " " << c.wanted);
        std::vector<std::uint16_t> wave = c.standard ? StandardSquare() : Triangle(c.count);
        device.LoadWaveform(wave.data(), c.count, c.standard);
        const double reported = device.SetFrequency(c.wanted, false);
        const AnalogModel model = Model();
        const Measurement m = model.Measure(AnalogOutput::L, kOpenLoad);
        dividers.push_back(model.DividerExponent());
        EXPECT_EQ(model.DividerExponent(), device.DividerIndex());
        if (c.standard) {
            EXPECT_NEAR(m.frequency, reported, reported * 1e-12);
        } else {
            EXPECT_NEAR(model.SampleRate(), reported, reported * 1e-12);
            EXPECT_NEAR(m.frequency, reported / c.count, reported / c.count * 1e-12);
        }
        EXPECT_GT(m.vpp, 4.0);
    }
    EXPECT_EQ(*std::min_element(dividers.begin(), dividers.end()), 0);
    EXPECT_EQ(*std::max_element(dividers.begin(), dividers.end()), 22);
}

TEST_F(AnalogModelTest, ClosedGateUnpoweredHAndStoppedGenerationGiveNoSignal)
{
    Start(MakeCalibrationImage(Calibration{}));
    std::vector<std::uint16_t> wave = Triangle(500);
    device.LoadWaveform(wave.data(), 500, false);
    device.SetOutput(true);
    device.SetLevel(4000);
    device.SetShift(3000);
    device.SetRun(true);
    auto flat = [this](AnalogOutput out, double level) {
        const Measurement m = Model().Measure(out, 50.0, 3);
        EXPECT_EQ(m.vpp, 0.0);
        EXPECT_EQ(m.frequency, 0.0);
        EXPECT_NEAR(m.vmax, level, 1e-12);
        EXPECT_NEAR(m.vrms, std::abs(level), 1e-12);
    };
    // A waveform load closes the gate until the next frequency operation.
    flat(AnalogOutput::L, 0.0);
    flat(AnalogOutput::H, 0.0);
    device.SetFrequency(1e5, false);
    EXPECT_GT(Model().Measure(AnalogOutput::H, kOpenLoad).vpp, 40.0);
    device.SetPower(false);
    flat(AnalogOutput::H, 0.0);
    EXPECT_GT(Model().Measure(AnalogOutput::L, kOpenLoad).vpp, 8.0);
    device.SetPower(true);
    device.SetOutput(false);
    flat(AnalogOutput::L, 0.0);
    flat(AnalogOutput::H, 0.0);
    device.SetOutput(true);
    device.SetLevel(0); // level converter code 0 gates the output too
    flat(AnalogOutput::L, 0.0);
    device.SetLevel(4000);
    // Stopped, the output rests at the period's first word; a pulse in single mode shows one period.
    device.SetRun(false);
    const double rest = Model().Measure(AnalogOutput::L, kOpenLoad).vmax;
    EXPECT_NE(rest, 0.0);
    flat(AnalogOutput::L, rest * 50 / 100);
    device.SetTriggerMode(1);
    device.TriggerPulse();
    const Measurement shot = Model().Measure(AnalogOutput::L, kOpenLoad, 2);
    EXPECT_GT(shot.vpp, 8.0);
    EXPECT_EQ(shot.frequency, 0.0);
    // External triggering fires on the trigger input only while it is on.
    const std::int32_t shots = gen.State().shots;
    gen.TriggerIn();
    EXPECT_EQ(gen.State().shots, shots);
    device.SetTrigger(true);
    gen.TriggerIn();
    EXPECT_EQ(gen.State().shots, shots + 1);
}

// Amplitude of harmonic h in evenly spaced samples of whole periods.
double Harmonic(const std::vector<double>& v, int periods, int h)
{
    std::complex<double> sum;
    for (std::size_t j = 0; j < v.size(); ++j)
        sum += v[j] * std::polar(1.0, -2.0 * std::numbers::pi * h * periods * double(j) / double(v.size()));
    return 2.0 * std::abs(sum) / double(v.size());
}

TEST_F(AnalogModelTest, FiltersAttenuateTheHarmonicsOfA30MHzSquare)
{
    Start(MakeCalibrationImage(Calibration{}));
    std::vector<std::uint16_t> wave = StandardSquare();
    device.LoadWaveform(wave.data(), 8192, true);
    device.SetOutput(true);
    device.SetLevel(4095);
    const double f = device.SetFrequency(30e6, false);
    ASSERT_NEAR(f, 30e6, 1e3);
    struct Row {
        int filter;
        double corner;
    };
    double lastRatio = 1.0;
    for (const Row row : {Row{0, 0.0}, Row{1, 40e6}, Row{2, 20e6}}) {
        device.SetFilter(row.filter);
        const AnalogModel model = Model();
        EXPECT_EQ(model.FilterCorner(), row.corner);
        const std::vector<double> trace = model.Trace(AnalogOutput::L, kOpenLoad, 2, 1024);
        const double h1 = Harmonic(trace, 2, 1), h3 = Harmonic(trace, 2, 3), h5 = Harmonic(trace, 2, 5);
        // A first-order low-pass: |H(f)| = 1 / sqrt(1 + (f / corner)^2).
        auto gain = [&](double at) { return row.corner == 0.0 ? 1.0 : 1.0 / std::hypot(1.0, at / row.corner); };
        const double ratio3 = h3 / h1;
        EXPECT_NEAR(ratio3, gain(3 * f) / gain(f) / 3.0, 0.01);
        EXPECT_NEAR(h5 / h1, gain(5 * f) / gain(f) / 5.0, 0.01);
        EXPECT_LT(ratio3, lastRatio);
        lastRatio = ratio3;
        // The envelope holds the trace.
        const auto columns = model.Envelope(AnalogOutput::L, kOpenLoad, 2, 256);
        for (std::size_t i = 0; i < columns.size(); ++i) {
            EXPECT_LE(columns[i].low, trace[i * 4] + 1e-9);
            EXPECT_GE(columns[i].high, trace[i * 4] - 1e-9);
        }
        const Measurement m = model.Measure(AnalogOutput::L, kOpenLoad, 2);
        EXPECT_NEAR(m.vpp,
                    *std::max_element(trace.begin(), trace.end()) - *std::min_element(trace.begin(), trace.end()),
                    m.vpp * 0.02);
    }
}

TEST_F(AnalogModelTest, AveragesAndRmsAreTheTracesIntegralsWithAndWithoutTheFilter)
{
    Start(MakeCalibrationImage(Calibration{}));
    // Few samples per period at full clock, so the filter bends every step;
    // the shift puts the signal mostly above 0 V so the rectified mean differs.
    std::vector<std::uint16_t> wave{4095, 4095, 3000, 1, 1, 2600, 2048};
    device.LoadWaveform(wave.data(), int(wave.size()), false);
    device.SetFrequency(1e8, false);
    device.SetOutput(true);
    device.SetLevel(3000);
    device.SetShift(2900);
    for (int filter : {0, 1, 2}) {
        SCOPED_TRACE(filter);
        device.SetFilter(filter);
        const AnalogModel model = Model();
        const std::vector<double> v = model.Trace(AnalogOutput::L, 50.0, 1, 700000);
        double sum = 0, abs = 0, squares = 0;
        for (const double x : v)
            sum += x, abs += std::abs(x), squares += x * x;
        const double n = double(v.size()), mean = sum / n;
        double absAc = 0;
        for (const double x : v)
            absAc += std::abs(x - mean);
        const Measurement m = model.Measure(AnalogOutput::L, 50.0);
        // The sum over 100,000 points per step against the exact integral.
        const double tolerance = m.vpp * 2e-5;
        EXPECT_NEAR(m.vdc, mean, tolerance);
        EXPECT_NEAR(m.vavg, abs / n, tolerance);
        EXPECT_NEAR(m.vrms, std::sqrt(squares / n), tolerance);
        EXPECT_NEAR(m.vavgAc, absAc / n, tolerance);
        EXPECT_NEAR(m.vrmsAc, std::sqrt(squares / n - mean * mean), tolerance);
        EXPECT_GT(m.vavg - m.vavgAc, 0.05) << "the shift lifts the rectified mean";
    }
}

TEST(AnalogCharacteristic, AcceptsOnlyPagesThatPassTheirCheckAndDescribeADevice)
{
    EXPECT_TRUE(CharacteristicFromPage(MakeCalibrationImage(Calibration{})).has_value());
    CalibrationImage damaged = MakeCalibrationImage(Calibration{});
    damaged[20] ^= 0x40;
    EXPECT_FALSE(CharacteristicFromPage(damaged).has_value());
    Calibration flat;
    flat.levelLow = flat.levelHigh;
    EXPECT_FALSE(CharacteristicFromPage(MakeCalibrationImage(flat)).has_value());
    Calibration noAttenuator;
    noAttenuator.attenuatorWord = 0;
    EXPECT_FALSE(CharacteristicFromPage(MakeCalibrationImage(noAttenuator)).has_value());
}

} // namespace
} // namespace vg
