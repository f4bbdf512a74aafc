// SPDX-License-Identifier: MIT
// The generator's analog side, computed from its registers, sample memory and
// calibration alone: the sample clock from the clock words and divider, the
// period in memory, the level and shift converters, the output filter, the
// attenuator, the output gate and the H output's amplifier. It knows nothing
// of the program's settings, so it checks the whole chain from the outside.
#pragma once
#include "sim/CalibrationImage.h"
#include "sim/GeneratorState.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace vg {

// What the calibration page says about this device's converters.
struct AnalogCharacteristic {
    double levelHigh = 1647.0; // level converter code for 90 % of full scale
    double levelLow = 151.0;   // level converter code for 9 % of full scale
    double shiftZeroHigh = 2130.0;
    double shiftZeroLow = 2130.0;
    double shiftGain = 1064.0; // shift converter counts per volt
    // The attenuator divides by 10 x this factor; the driver multiplies by it.
    double attenuatorFactor = 32767.5 / 32767.0;
};

// The page's values; empty when its check sum fails or its values cannot
// describe a device (equal level points, no shift gain, attenuator word 0).
std::optional<AnalogCharacteristic> CharacteristicFromPage(const CalibrationImage& page);

enum class AnalogOutput { L = 0, H = 1 };
inline constexpr double kOpenLoad = -1.0;

struct Measurement {
    double vpp = 0.0;
    double vmax = 0.0;
    double vmin = 0.0;
    double vrms = 0.0;
    double vavg = 0.0;   // mean of the rectified voltage
    double vdc = 0.0;    // mean voltage
    double vrmsAc = 0.0; // the same two of the alternating part alone
    double vavgAc = 0.0;
    double frequency = 0.0; // 0 when the signal does not repeat
};

struct EnvelopeColumn {
    double low = 0.0;
    double high = 0.0;
};

class AnalogModel {
public:
    static constexpr double kLevelFactorMax = 10.0 / 4094.0; // volts per sample code at 100 %
    static constexpr double kHGain = 5.5556;
    static constexpr double kLImpedance = 50.0;
    static constexpr double kHImpedance = 600.0;
    static constexpr int kMaxPeriods = 10;

    AnalogModel(const GeneratorState& state, const AnalogCharacteristic& characteristic);

    // The state in words.
    double SampleRate() const { return sampleRate_; }
    std::int32_t DividerExponent() const { return divider_; }
    std::int32_t PeriodSamples() const { return static_cast<std::int32_t>(codes_.size()); }
    std::int32_t FirstWord() const { return firstWord_; }
    bool StandardPlayback() const { return standard_; }
    bool GateOpen() const { return gateOpen_; }
    bool Running() const { return running_; }
    bool ShotShown() const { return shot_; }
    bool AttenuatorIn() const { return attenuator_; }
    double FilterCorner() const { return filterCorner_; } // Hz, 0 when off
    // Repetitions per second of the period in memory.
    double Frequency() const { return sampleRate_ / static_cast<double>(codes_.size()); }
    double PeriodSeconds() const { return 1.0 / Frequency(); }

    // Over the given number of periods from the start of the trace (1 .. 10).
    Measurement Measure(AnalogOutput output, double load, int periods = 1) const;
    // Lowest and highest voltage in each of `columns` equal slices of the trace.
    std::vector<EnvelopeColumn> Envelope(AnalogOutput output, double load, int periods, int columns) const;
    // The voltage at `points` evenly spaced instants of the trace.
    std::vector<double> Trace(AnalogOutput output, double load, int periods, int points) const;

private:
    struct Steps {
        std::vector<double> level; // converter output during each step
        std::vector<double> start; // filtered value as each step begins
        double end = 0.0;          // filtered value after the last step
    };
    // Real channel 0 before the filter, for each step of the trace; the last
    // walk is kept, since a window asks for both outputs over the same periods
    // (so one model serves one thread at a time).
    const Steps& Walk(int periods) const;
    double StepValue(double from, double to, double dt) const;
    // The integral of |v - about| over step k of the walk.
    double RectifiedStep(const Steps& steps, std::size_t k, double about) const;
    double SquaredStep(const Steps& steps, std::size_t k, double about) const;
    double OutputScale(AnalogOutput output, double load) const;

    std::vector<std::uint16_t> codes_; // one period, as played
    std::vector<double> volts_;        // the same through both converters
    double idle_ = 0.0;
    double sampleRate_ = 0.0;
    std::int32_t divider_ = 0;
    std::int32_t firstWord_ = 0;
    bool standard_ = false;
    bool live_ = false; // plugged, configured
    bool power_ = false;
    bool gateOpen_ = false;
    bool running_ = false;
    bool shot_ = false;
    bool attenuator_ = false;
    double attenuation_ = 1.0;
    double filterCorner_ = 0.0;
    double decay_ = 0.0; // per step of the filter, exp(-T / tau); 0 without filter
    double tau_ = 0.0;
    mutable int walkedPeriods_ = 0;
    mutable Steps walked_;
};

} // namespace vg
