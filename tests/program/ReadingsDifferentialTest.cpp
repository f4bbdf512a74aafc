// SPDX-License-Identifier: MIT
// The channel panels' Vpp, Vp+, Vp-, Vrms and Vavg against what the virtual
// generator's outputs measure, with the driver's device model between them
// sent what the device abstraction sends: standard waveforms at every
// averaged copy, arbitrary ones of 1 to 16,384 samples, waveforms made by the
// Equation module, both outputs, three loads, with and without a filter.
// The tolerances come from the hardware: the level converter's step, the
// shift converter's step and its 1/2047 against the panel's 1/2048, the
// attenuator's calibrated factor, and the output filter's first-order lag.
#include "data/OptionsTarn.h"
#include "data/SettingsTarn.h"
#include "data/WaveformTarn.h"
#include "driver/tarndrvobjs.h"
#include "panels/ChannelMathTarn.h"
#include "plugins/equation/EquationParser.h"
#include "sim/AnalogModel.h"
#include "sim/tests/LinkPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace tarn::test {
namespace {

using vg::AnalogOutput;

// Level, shift and attenuator as the panel stores them, and the filter.
struct TPlay {
    int level, shift, atn, filter;
};
// Full level, a shift up, the attenuator with a shift down, a low level; each
// also with one of the filters.
constexpr std::array<TPlay, 4> kPlays{{{4095, 2048, 0, 0}, {1500, 3100, 0, 2}, {2600, 900, 1, 1}, {700, 2048, 1, 0}}};

enum TReading { rVpp, rVpPlus, rVpMinus, rVrms, rVavg, rCount };
constexpr const char* kReadingNames[rCount] = {"Vpp", "Vp+", "Vp-", "Vrms", "Vavg"};

// Largest difference and largest tolerance per reading, per group of cases.
struct TFigures {
    std::array<double, rCount> difference{};
    std::array<double, rCount> tolerance{};
};

std::vector<std::uint16_t> Pseudorandom(int count, std::uint32_t seed)
{
    std::vector<std::uint16_t> codes(static_cast<std::size_t>(count));
    for (auto& code : codes) {
        seed = seed * 1664525u + 1013904223u;
        code = static_cast<std::uint16_t>(seed >> 20); // 0 .. 4095
    }
    return codes;
}

std::vector<std::uint16_t> Equation(const char* text, int count)
{
    tarnplugin::TEquation equation;
    EXPECT_TRUE(equation.Parse(text)) << text;
    std::vector<unsigned short> codes = equation.Sample(count, 4096);
    return {codes.begin(), codes.end()};
}

struct TCopyAt {
    double frequency;
    int samples; // per period, the averaged copy played
};
// One frequency in the middle of each octave that a standard waveform's
// averaged copy of d samples serves, d = 8192 .. 2; and two just above the
// top of an octave, which the device plays at the bottom of its clock with
// half the samples and reports as the top's frequency.
std::vector<TCopyAt> EveryAveragedCopy()
{
    std::vector<TCopyAt> copies;
    for (int d = 8192; d >= 2; d /= 2)
        copies.push_back({1e8 / (1.5 * d), d});
    copies.push_back({1e8 / 4096 * (1 + 4e-6), 2048});
    copies.push_back({1e8 / 8 * (1 + 1e-5), 4});
    return copies;
}

class ReadingsAgainstTheGenerator : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings.SetDefaults();
        settings.Device.HOutputActive = true;
        ASSERT_EQ(device.Initialize(), 0);
        device.SetRun(true);
        device.SetOutput(true);
        characteristic = vg::CharacteristicFromPage(generator.State().calibrationPage).value();
    }

    // What the device abstraction does for a waveform, a frequency and a play.
    void Play(const std::vector<std::uint16_t>& samples, bool standard, double frequency, const TPlay& play)
    {
        auto wave = std::make_unique<TWaveformTarn>();
        wave->Allocate(static_cast<std::int32_t>(samples.size()), 4096, standard);
        std::copy(samples.begin(), samples.end(), wave->Samples());
        wave->UpdateStatistics();
        settings.Device.Waveforms.at(0) = std::move(wave);
        settings.Device.Level.at(0) = play.level;
        settings.Device.Shift.at(0) = settings.Device.DevShift.at(0) = play.shift;
        settings.Device.OutputAtn.at(0) = play.atn;
        settings.Device.Filter.at(0) = play.filter;
        std::vector<std::uint16_t> sent = samples;
        device.LoadWaveform(sent.data(), static_cast<std::int32_t>(sent.size()), standard);
        settings.Device.Frequency = frequency;
        settings.Device.DeviceFrequency = device.SetFrequency(frequency, false);
        device.SetLevel(play.level);
        device.SetShift(play.shift);
        device.SetAttenuator(play.atn);
        device.SetFilter(play.filter);
    }

    // Every panel reading of both outputs at three loads, with "Vrms from AC"
    // off and on, against the generator's measurement, within the tolerances
    // derived from the codes the generator plays.
    void Compare(const std::string& group, const std::string& name, const TPlay& play)
    {
        const vg::GeneratorState state = generator.State();
        const vg::AnalogModel model(state, characteristic);
        // The played codes, read from the device's memory as its logic does.
        std::vector<double> codes(static_cast<std::size_t>(model.PeriodSamples()));
        for (std::size_t i = 0; i < codes.size(); ++i)
            codes[i] =
                std::min(state.samples[(model.FirstWord() + i) % 16384] + (model.StandardPlayback() ? 1 : 0), 4095);
        double mean = 0, fromZero = 0, fromMean = 0, jump = 0;
        for (const double c : codes)
            mean += c / static_cast<double>(codes.size());
        for (std::size_t i = 0; i < codes.size(); ++i) {
            fromZero = std::max(fromZero, std::abs(codes[i] - 2048));
            fromMean = std::max(fromMean, std::abs(codes[i] - mean));
            jump = std::max(jump, std::abs(codes[i] - codes[(i + 1) % codes.size()]));
        }
        const auto [low, high] = std::minmax_element(codes.begin(), codes.end());
        const double span = *high - *low;

        const auto& c = characteristic;
        const bool attenuated = play.atn == 1;
        const double factorError = attenuated ? std::abs(c.attenuatorFactor - 1.0) : 0.0;
        // Half a level converter code, in level codes, relative to the level.
        const double levelError = 0.5 * 3316.95 / (c.levelHigh - c.levelLow) / play.level + factorError;
        const double shiftCodes = std::abs(play.shift - 2048.0);
        // Half a shift converter count, the driver's 1.5 V per 2047 codes
        // against the panel's 1.5 V per 2048, and the attenuator's factor.
        const double shiftError =
            0.5 / c.shiftGain + 1.5 * shiftCodes / 2047.0 / 2048.0 + factorError * 1.5 * shiftCodes / 2047.0;
        // A first-order low-pass behind held steps: each step starts at most
        // D = J / (1 - decay) from its level and decays within it.
        double decay = 0.0, lagArea = 0.0, lagRms = 0.0;
        if (model.FilterCorner() > 0.0) {
            const double tau = 1.0 / (2.0 * std::numbers::pi * model.FilterCorner());
            const double step = 1.0 / model.SampleRate();
            decay = std::exp(-step / tau);
            lagArea = tau * (1.0 - decay) / step;
            lagRms = std::sqrt(tau * (1.0 - decay * decay) / (2.0 * step));
        }

        for (const AnalogOutput out : {AnalogOutput::L, AnalogOutput::H}) {
            const auto channel = static_cast<std::int32_t>(out);
            // Open, and each output's own impedance on both.
            for (const double load : {vg::kOpenLoad, 50.0, 600.0}) {
                settings.Loads.at(static_cast<std::size_t>(channel)) = load;
                const vg::Measurement m = model.Measure(out, load);
                for (const bool ac : {false, true}) {
                    settings.Options->SetBoolValue(optVrmsFromAC, ac);
                    const std::optional<TChannelSetup> setup = ChannelSetup(settings, channel);
                    ASSERT_TRUE(setup);
                    TPlayedWave played;
                    const TWaveStats& wave = played.Update(settings, channel);
                    const TChannelReadings plus = ComputeReadings(*setup, wave, TPeakSide::Plus);
                    const TChannelReadings minus = ComputeReadings(*setup, wave, TPeakSide::Minus);

                    const double q = plus.LevelFactor * (1.0 + levelError);
                    const double dq = plus.LevelFactor * levelError;
                    const double shift = shiftError * plus.Scale;
                    const double lag = jump * q / (1.0 - decay);
                    const double dc = fromZero * dq + shift; // any played code's voltage
                    const double alternating = fromMean * dq;
                    const std::array<double, rCount> panel{plus.Vpp, plus.Vp, minus.Vp, plus.Vrms, plus.Vavg};
                    const std::array<double, rCount> measured{m.vpp, m.vmax, m.vmin, ac ? m.vrmsAc : m.vrms,
                                                              ac ? m.vavgAc : m.vavg};
                    const std::array<double, rCount> tolerance{span * dq + 2 * lag * decay, dc + lag * decay,
                                                               dc + lag * decay, (ac ? alternating : dc) + lag * lagRms,
                                                               (ac ? alternating : dc) + lag * lagArea};
                    TFigures& figures = results[group];
                    for (int r = 0; r < rCount; ++r) {
                        const double difference = std::abs(panel[r] - measured[r]);
                        figures.difference[r] = std::max(figures.difference[r], difference);
                        figures.tolerance[r] = std::max(figures.tolerance[r], tolerance[r]);
                        if (difference > tolerance[r] + 1e-9 * (1.0 + std::abs(measured[r])) && failures++ < 12)
                            ADD_FAILURE() << name << " level " << play.level << " shift " << play.shift << " atn "
                                          << play.atn << " filter " << play.filter << " output " << channel << " load "
                                          << load << (ac ? " AC" : "") << ": " << kReadingNames[r] << " panel "
                                          << panel[r] << " generator " << measured[r] << " tolerance " << tolerance[r];
                    }
                }
            }
        }
    }

    void TearDown() override
    {
        EXPECT_EQ(failures, 0) << "readings outside their tolerance (the first 12 are shown)";
        for (const auto& [group, figures] : results) {
            std::printf("%-34s", group.c_str());
            for (int r = 0; r < rCount; ++r)
                std::printf(" %s %.3g/%.3g", kReadingNames[r], figures.difference[r], figures.tolerance[r]);
            std::printf("   (largest difference / largest tolerance, volts)\n");
        }
    }

    TSettingsTarn settings;
    vg::VirtualGenerator generator;
    drv::TFailureFlag flag;
    drv::TVireoDevice device{[this] { return std::make_unique<vg::test::LinkPort>(generator); }, flag};
    vg::AnalogCharacteristic characteristic;
    std::map<std::string, TFigures> results;
    int failures = 0;
};

TEST_F(ReadingsAgainstTheGenerator, StandardWaveformsAtEveryAveragedCopy)
{
    for (const TStandardWaveform shape :
         {TStandardWaveform::Sine, TStandardWaveform::Saw, TStandardWaveform::Triangle, TStandardWaveform::Square}) {
        std::vector<std::uint16_t> samples(8192);
        for (int j = 0; j < 8192; ++j)
            samples[static_cast<std::size_t>(j)] = StandardSample(shape, j);
        for (const TCopyAt copy : EveryAveragedCopy())
            for (TPlay play : kPlays)
                for (const int filter : {0, play.filter}) {
                    play.filter = filter;
                    Play(samples, true, copy.frequency, play);
                    ASSERT_EQ(vg::AnalogModel(generator.State(), characteristic).PeriodSamples(), copy.samples);
                    Compare(filter == 0 ? "standard, no filter" : "standard, filter",
                            "shape " + std::to_string(int(shape)) + " at " + std::to_string(copy.frequency), play);
                }
    }
}

TEST_F(ReadingsAgainstTheGenerator, ArbitraryWaveformsOfOneTo16384Samples)
{
    const double rates[] = {2e3, 3.3e6, 4.7e7, 1e8};
    std::uint32_t seed = 7;
    for (const int count : {1, 2, 3, 5, 17, 1000, 4097, 8191, 16383, 16384}) {
        const std::vector<std::uint16_t> samples =
            count == 1 ? std::vector<std::uint16_t>{3100} : Pseudorandom(count, ++seed);
        for (std::size_t p = 0; p < kPlays.size(); ++p) {
            TPlay play = kPlays[p];
            for (const int filter : {0, play.filter}) {
                play.filter = filter;
                Play(samples, false, rates[(p + static_cast<std::size_t>(count)) % 4], play);
                Compare(filter == 0 ? "arbitrary, no filter" : "arbitrary, filter", std::to_string(count) + " samples",
                        play);
            }
        }
    }
}

TEST_F(ReadingsAgainstTheGenerator, WaveformsMadeByTheEquationModule)
{
    // Symmetric about the zero code; one sided; neither.
    for (const char* text : {"sin(2*pi*t)", "abs(sin(2*pi*t))", "0.3*sin(2*pi*t)+0.2*sin(6*pi*t)+0.35"}) {
        const std::vector<std::uint16_t> standard = Equation(text, 8192);
        const std::vector<std::uint16_t> arbitrary = Equation(text, 1000);
        for (const TCopyAt copy : EveryAveragedCopy())
            for (const TPlay& play : kPlays) {
                Play(standard, true, copy.frequency, play);
                Compare(play.filter == 0 ? "module standard, no filter" : "module standard, filter",
                        std::string(text) + " at " + std::to_string(copy.frequency), play);
                Play(arbitrary, false, copy.frequency * 1000, play);
                Compare(play.filter == 0 ? "module arbitrary, no filter" : "module arbitrary, filter", text, play);
            }
    }
}

} // namespace
} // namespace tarn::test
