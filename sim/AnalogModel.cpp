// SPDX-License-Identifier: MIT
#include "sim/AnalogModel.h"

#include "sim/ClockHistory.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace vg {
namespace {

constexpr double kLevelPointLow = 368.55; // 9 % of 4095: where levelLow applies
constexpr double kLevelPointSpan = 3316.95;
constexpr int kFullScaleCode = 4095;
constexpr int kZeroCode = 2048;
constexpr std::uint16_t kAddressMask = 16383;

// Register and control bits as the logic decodes them.
enum Reg { kRegLevel = 1, kRegShift = 2, kRegLength = 5, kRegHalf = 6 };
enum Reg2 { kRegStart = 7, kRegRelays = 8, kRegControl = 10 };
constexpr std::uint16_t kRun = 4, kArm = 16, kArmStopOne = 32, kGate = 128;
constexpr std::uint16_t kAttenuator = 16, kFilter40 = 10, kFilter20 = 5;

std::uint16_t Word16(const CalibrationImage& page, std::size_t at)
{
    return static_cast<std::uint16_t>(page[at] << 8 | page[at + 1]);
}

std::uint32_t Word32(const CalibrationImage& page, std::size_t at)
{
    return std::uint32_t{page[at]} << 24 | std::uint32_t{page[at + 1]} << 16 | std::uint32_t{page[at + 2]} << 8
           | page[at + 3];
}

double LoadDivider(double load, double impedance)
{
    return load >= 1.0 ? load / (load + impedance) : 1.0;
}

} // namespace

std::optional<AnalogCharacteristic> CharacteristicFromPage(const CalibrationImage& page)
{
    if (Word32(page, 252) != CalibrationChecksum(page))
        return std::nullopt;
    AnalogCharacteristic c;
    c.levelHigh = Word16(page, 1);
    c.levelLow = Word16(page, 3);
    c.shiftZeroHigh = Word16(page, 5);
    c.shiftZeroLow = Word16(page, 7);
    c.shiftGain = Word16(page, 9);
    const std::uint16_t attenuatorWord = Word16(page, 11);
    if (c.levelHigh == c.levelLow || c.shiftGain == 0 || attenuatorWord == 0)
        return std::nullopt;
    c.attenuatorFactor = 32767.5 / attenuatorWord;
    return c;
}

AnalogModel::AnalogModel(const GeneratorState& state, const AnalogCharacteristic& c)
{
    const auto& r = state.registers;
    live_ = state.plugged && state.configured;
    power_ = state.power;
    const std::uint16_t control = r[kRegControl];
    gateOpen_ = (control & kGate) != 0;
    // Arming from outside with the input resting low: stop level 0 suspends.
    const bool suspended = (control & kArm) != 0 && (control & kArmStopOne) == 0;
    running_ = (control & kRun) != 0 && !suspended;
    shot_ = !running_ && state.shots > 0;

    const std::uint16_t relays = r[kRegRelays];
    attenuator_ = (relays & kAttenuator) != 0;
    attenuation_ = 10.0 * c.attenuatorFactor;
    // The 20 MHz filter's relays win when both are closed.
    filterCorner_ = (relays & kFilter20) != 0 ? 20e6 : (relays & kFilter40) != 0 ? 40e6 : 0.0;

    // The synthesiser runs between 50 and 100 MHz, behind a power-of-two divider.
    sampleRate_ = SampleClockRate(r, &divider_);

    // The period ends at the top of memory; a standard waveform's level starts
    // its own length further down (register 5 holds minus that length).
    const std::size_t count = 16384 - (r[kRegStart] & kAddressMask);
    standard_ = r[kRegHalf] != 0;
    const auto back = static_cast<std::int16_t>(r[kRegLength]);
    firstWord_ = standard_ ? (r[kRegStart] + back) & kAddressMask : r[kRegStart] & kAddressMask;
    codes_.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        codes_[i] = state.samples[(static_cast<std::size_t>(firstWord_) + i) & kAddressMask];

    // Level converter: the calibration's two points, extended in a line.
    const double levelCode = std::min<int>(r[kRegLevel], kFullScaleCode);
    const double levelSpan = c.levelHigh - c.levelLow;
    const double percent = (levelCode - c.levelLow) * kLevelPointSpan / levelSpan + kLevelPointLow;
    const double perCode = std::max(0.0, percent / kFullScaleCode * kLevelFactorMax);
    // Shift converter: its zero follows the level converter between the two calibrated zeros.
    const double zero = c.shiftZeroLow + (c.shiftZeroHigh - c.shiftZeroLow) * (levelCode - c.levelLow) / levelSpan;
    const double shift = (std::min<int>(r[kRegShift], kFullScaleCode) - zero) / c.shiftGain;
    // Standard levels are stored from code 0 for shapes that use codes 1 .. 4095.
    const int lift = standard_ ? 1 : 0;
    volts_.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        volts_[i] = (std::min<int>(codes_[i] + lift, kFullScaleCode) - kZeroCode) * perCode + shift;
    idle_ = volts_.front();

    if (filterCorner_ > 0.0) {
        tau_ = 1.0 / (2.0 * std::numbers::pi * filterCorner_);
        decay_ = std::exp(-1.0 / (sampleRate_ * tau_));
    }
}

double AnalogModel::StepValue(double from, double to, double dt) const
{
    if (tau_ == 0.0)
        return to;
    return to + (from - to) * std::exp(-dt / tau_);
}

double AnalogModel::RectifiedStep(const Steps& steps, std::size_t k, double about) const
{
    const double t = 1.0 / sampleRate_;
    const double u = steps.level[k] - about;
    const double d = steps.start[k] - steps.level[k];
    if (tau_ == 0.0 || d == 0.0)
        return std::abs(u) * t;
    // v - about = u + d exp(-s / tau) moves monotonically: split where it crosses 0.
    const double first = u + d, last = u + d * decay_;
    if ((first >= 0.0) == (last >= 0.0) || u == 0.0)
        return std::abs(u * t + d * tau_ * (1.0 - decay_));
    const double cross = tau_ * std::log(-d / u);
    const double before = u * cross + (d + u) * tau_;
    const double after = u * (t - cross) - (u + d * decay_) * tau_;
    return std::abs(before) + std::abs(after);
}

double AnalogModel::SquaredStep(const Steps& steps, std::size_t k, double about) const
{
    const double t = 1.0 / sampleRate_;
    const double u = steps.level[k] - about;
    const double d = steps.start[k] - steps.level[k];
    return u * u * t + 2.0 * u * d * tau_ * (1.0 - decay_) + d * d * tau_ / 2.0 * (1.0 - decay_ * decay_);
}

const AnalogModel::Steps& AnalogModel::Walk(int periods) const
{
    periods = std::clamp(periods, 1, kMaxPeriods);
    if (walkedPeriods_ == periods)
        return walked_;
    const std::size_t n = volts_.size();
    const std::size_t total = n * static_cast<std::size_t>(periods);
    Steps& steps = walked_;
    steps.level.resize(total);
    for (std::size_t k = 0; k < total; ++k) {
        if (running_ || (shot_ && k < n))
            steps.level[k] = volts_[k % n];
        else
            steps.level[k] = idle_;
    }
    // A running output is in its periodic steady state: one period from 0
    // ends at c, so the state that repeats itself is c / (1 - decay^n).
    double y = idle_;
    if (running_) {
        double c = 0.0;
        for (std::size_t i = 0; i < n; ++i)
            c = volts_[i] + (c - volts_[i]) * decay_;
        y = c / (1.0 - std::pow(decay_, static_cast<double>(n)));
    }
    steps.start.resize(total);
    for (std::size_t k = 0; k < total; ++k) {
        steps.start[k] = y;
        y = steps.level[k] + (y - steps.level[k]) * decay_;
    }
    steps.end = y;
    walkedPeriods_ = periods;
    return steps;
}

double AnalogModel::OutputScale(AnalogOutput output, double load) const
{
    if (!live_ || !gateOpen_)
        return 0.0;
    if (output == AnalogOutput::L)
        return (attenuator_ ? 1.0 / attenuation_ : 1.0) * LoadDivider(load, kLImpedance);
    return power_ ? kHGain * LoadDivider(load, kHImpedance) : 0.0;
}

Measurement AnalogModel::Measure(AnalogOutput output, double load, int periods) const
{
    const Steps& steps = Walk(periods);
    const double scale = OutputScale(output, load);
    // Within a step the filtered output moves monotonically, so the extremes
    // lie at step boundaries; without the filter they are the levels.
    const std::vector<double>& values = tau_ == 0.0 ? steps.level : steps.start;
    auto [low, high] = std::minmax_element(values.begin(), values.end());
    double vmin = *low, vmax = *high;
    if (tau_ != 0.0) {
        vmin = std::min(vmin, steps.end);
        vmax = std::max(vmax, steps.end);
    }
    // The integrals of v, |v| and v squared over each step, exactly, then
    // of the same about the mean.
    const double t = 1.0 / sampleRate_;
    const double span = t * static_cast<double>(steps.level.size());
    double sum = 0.0;
    for (std::size_t k = 0; k < steps.level.size(); ++k)
        sum += steps.level[k] * t + (steps.start[k] - steps.level[k]) * tau_ * (1.0 - decay_);
    const double mean = sum / span;
    double rectified = 0.0, rectifiedAc = 0.0, squares = 0.0, squaresAc = 0.0;
    for (std::size_t k = 0; k < steps.level.size(); ++k) {
        rectified += RectifiedStep(steps, k, 0.0);
        rectifiedAc += RectifiedStep(steps, k, mean);
        squares += SquaredStep(steps, k, 0.0);
        squaresAc += SquaredStep(steps, k, mean);
    }
    Measurement m;
    m.vmax = vmax * scale;
    m.vmin = vmin * scale;
    m.vpp = m.vmax - m.vmin;
    m.vrms = std::sqrt(squares / span) * scale;
    m.vdc = mean * scale;
    m.vavg = rectified / span * scale;
    m.vrmsAc = std::sqrt(squaresAc / span) * scale;
    m.vavgAc = rectifiedAc / span * scale;
    m.frequency = running_ && m.vpp > 0.0 ? Frequency() : 0.0;
    return m;
}

std::vector<EnvelopeColumn> AnalogModel::Envelope(AnalogOutput output, double load, int periods, int columns) const
{
    const Steps& steps = Walk(periods);
    const double scale = OutputScale(output, load);
    const std::size_t count = static_cast<std::size_t>(std::max(columns, 1));
    constexpr double inf = std::numeric_limits<double>::infinity();
    std::vector<EnvelopeColumn> out(count, EnvelopeColumn{inf, -inf});
    const double width = static_cast<double>(steps.level.size()) / static_cast<double>(count); // steps per column
    const double t = 1.0 / sampleRate_;
    for (std::size_t k = 0; k < steps.level.size(); ++k) {
        const double begin = static_cast<double>(k), end = begin + 1.0;
        const auto first = static_cast<std::size_t>(begin / width);
        const auto last = std::min(count - 1, static_cast<std::size_t>(end / width));
        for (std::size_t c = first; c <= last && c < count; ++c) {
            const double a = std::max(begin, static_cast<double>(c) * width);
            const double b = std::min(end, static_cast<double>(c + 1) * width);
            if (b <= a)
                continue;
            for (const double at : {a, b}) {
                const double v = StepValue(steps.start[k], steps.level[k], (at - begin) * t) * scale;
                out[c].low = std::min(out[c].low, v);
                out[c].high = std::max(out[c].high, v);
            }
        }
    }
    return out;
}

std::vector<double> AnalogModel::Trace(AnalogOutput output, double load, int periods, int points) const
{
    const Steps& steps = Walk(periods);
    const double scale = OutputScale(output, load);
    const std::size_t count = static_cast<std::size_t>(std::max(points, 1));
    const double width = static_cast<double>(steps.level.size()) / static_cast<double>(count);
    std::vector<double> out(count);
    for (std::size_t j = 0; j < count; ++j) {
        const double at = static_cast<double>(j) * width;
        const auto k = std::min(steps.level.size() - 1, static_cast<std::size_t>(at));
        const double dt = (at - static_cast<double>(k)) / sampleRate_;
        out[j] = StepValue(steps.start[k], steps.level[k], dt) * scale;
    }
    return out;
}

} // namespace vg
