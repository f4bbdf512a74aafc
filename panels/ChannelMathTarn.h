// SPDX-License-Identifier: MIT
// The arithmetic of one output: codes from the settings become the voltages
// and dB values a channel panel shows, and typed values become codes again.
// No toolkit here; the panel gathers its inputs into TChannelSetup.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TSettingsTarn;
class TWaveformTarn;
struct TdBReference;

namespace tarn {

// Nearest integer, halves to even.
long double Nint(long double value);

// Everything one output's arithmetic reads, gathered from the settings.
struct TChannelSetup {
    // Generator constants.
    std::int32_t LevelSteps = 4096;
    double LevelFactorMin = 0.0;
    double LevelFactorMax = 10.0 / 4094.0;
    std::int32_t ShiftSteps = 4097;
    double ShiftMin = -1.5;
    double ShiftMax = 1.5;
    std::int32_t SampleZero = 2048;
    double AttenuatorRatio = 10.0;
    // The output.
    double Gain = 1.0;
    std::int32_t OutputImpedance = 50;
    bool HasAttenuator = true;
    // Ohms; below 1 is open.
    double Load = -1.0;
    // The real channel feeding it.
    std::int32_t Level = 2048;
    std::int32_t Shift = 2048;
    std::int32_t DevShift = 2048;
    std::int32_t OutputAtn = 0;
    bool VrmsFromAC = true;
};

// Gathers the setup of a logical channel; empty when the settings do not
// hold its descriptor or the per-real-channel values.
std::optional<TChannelSetup> ChannelSetup(const TSettingsTarn& settings, std::int32_t channel);
// The waveform played by a logical channel, or null.
const TWaveformTarn* ChannelWaveform(const TSettingsTarn& settings, std::int32_t channel);

// The samples and statistics the readings need.
struct TWaveStats {
    const std::uint16_t* Samples = nullptr;
    std::int32_t Count = 0;
    std::int32_t MaxSample = 0;
    std::int32_t MinSample = 0;
    double MeanSample = 0.0;
};
// A null waveform gives the stats of an empty one.
TWaveStats StatsOf(const TWaveformTarn* waveform);

// What the generator plays of the waveform of a real channel, which is what
// its outputs carry: an arbitrary waveform as it is; a standard one as the
// averaged copy the frequency in device picks, loaded from code 0 and played
// one code up, so that it spans 1 .. 1 + MaxSample - MinSample whatever the
// codes it was made of. A standard waveform the device does not take (not
// 8192 samples) plays nothing.
class TPlayedWave {
public:
    TPlayedWave() = default;
    TPlayedWave(const TPlayedWave&) = delete;
    TPlayedWave& operator=(const TPlayedWave&) = delete;
    // The waveform of a logical channel at the frequency in device.
    const TWaveStats& Update(const TSettingsTarn& settings, std::int32_t channel);
    // `requested` is the frequency the device was asked for (see below).
    const TWaveStats& Update(const TWaveformTarn* waveform, double deviceFrequency, double requested);
    const TWaveStats& Stats() const noexcept { return stats_; }
    // Samples per period of the standard waveform's copy; 0 for any other.
    std::int32_t Period() const noexcept { return stamp_ != 0 ? period_ : 0; }

private:
    std::vector<std::uint16_t> codes_;
    TWaveStats stats_;
    // The played copy stays while the waveform's samples and the level do.
    std::uint64_t stamp_ = 0;
    std::int32_t period_ = 0;
};
// Samples per period of a standard waveform at a frequency in device: the
// power of two that keeps the sample clock at 100 MHz or below, 2 .. 8192;
// at the clock's top the frequency asked for settles which of two it is.
std::int32_t StandardPeriodSamples(double deviceFrequency, double requested);

// Channel scale K: gain, attenuator, load divider.
double ChannelScale(const TChannelSetup& setup);
// Volts per sample code.
double LevelFactor(const TChannelSetup& setup);
// The voltage a shift code stands for on this output.
double ShiftVoltage(const TChannelSetup& setup, std::int32_t code);
// The sample code at 0 V; the zero code itself when the level factor is 0.
double ZeroCode(const TChannelSetup& setup, double levelFactor);

enum class TPeakSide { Plus, Minus };

struct TChannelReadings {
    double Scale = 0.0;
    double LevelFactor = 0.0;
    double ShiftVoltage = 0.0;
    double DevShiftVoltage = 0.0;
    double ZeroCode = 0.0;
    double Vpp = 0.0;
    double Vp = 0.0;
    double Vrms = 0.0;
    double Vavg = 0.0;
    bool LevelWarning = false;
    bool ShiftWarning = false;
    // The bounds the warnings compare with, in volts: peak-peak, and each excursion.
    double LevelLow = 0.0;
    double LevelHigh = 0.0;
    double ShiftLimit = 0.0;
};
// Everything a refresh shows. An empty waveform reads 0 V everywhere.
TChannelReadings ComputeReadings(const TChannelSetup& setup, const TWaveStats& wave, TPeakSide side);

// Absolute level units, in the order of the unit list.
enum class TdBUnit { dBW, dBmW, dBmV, dBuV };
// Empty for "N/A": no signal, or a power unit with an open load.
std::optional<double> AbsoluteDb(double vrms, double load, TdBUnit unit);
// Empty for "N/A": no level or no reference.
std::optional<double> RelativeDb(double levelFactor, double reference);
// The 0 dB reference of a logical channel in the settings, or null.
TdBReference* dBReferenceOf(TSettingsTarn& settings, std::int32_t channel);
// The reference the relative dB field measures from: the present level
// factor under "Auto dB" or while none is set; stored back.
double FollowReference(TdBReference& reference, double levelFactor);
// Up to 15 significant digits without trailing zeros; "N/A" when empty.
std::string FormatDb(const std::optional<double>& value);

struct TLevelEntry {
    std::int32_t Level = 0;
    std::int32_t OutputAtn = 0;
};
// Level code and attenuator state for a wanted level factor (volts per
// code); gain and attenuator only, the load divider is not inverted.
TLevelEntry LevelFromFactor(const TChannelSetup& setup, double factor);
// The level factor a typed peak-to-peak voltage asks for; empty for a flat
// or empty waveform.
std::optional<double> FactorFromVpp(double vpp, const TWaveStats& wave);
// The level factor a typed relative dB value asks for; empty without a
// reference. The reference is what the load sees, so the load divider is
// taken out again: 0 dB keeps the level.
std::optional<double> FactorFromDb(const TChannelSetup& setup, double db, double reference);
// Pending shift code for a wanted shift voltage.
std::int32_t ShiftFromVoltage(const TChannelSetup& setup, double voltage);
// The shift voltage a typed peak voltage asks for; measured from the fixed
// zero code, not from the current zero. Empty for an empty waveform.
std::optional<double> ShiftVoltageFromVp(const TChannelSetup& setup, double vp, double levelFactor,
                                         const TWaveStats& wave, TPeakSide side);
// The shift code that means 0 V.
std::int32_t ZeroShiftCode(const TChannelSetup& setup);

// Vertical bars with the high end on top.
inline std::int32_t LevelBarPosition(const TChannelSetup& s)
{
    return s.LevelSteps - s.Level;
}
inline std::int32_t LevelFromBar(const TChannelSetup& s, std::int32_t position)
{
    return s.LevelSteps - position;
}
inline std::int32_t ShiftBarPosition(const TChannelSetup& s)
{
    return s.ShiftSteps - s.Shift;
}
inline std::int32_t ShiftFromBar(const TChannelSetup& s, std::int32_t position)
{
    return s.ShiftSteps - position;
}

// The highest significant frequency of the signal in Hz; empty for an
// arbitrary waveform without samples.
std::optional<double> HighestFrequency(bool standard, std::int32_t harmonic, std::int32_t count,
                                       double deviceFrequency);
// Filter index for that frequency: 0 "Off", 1 "40MHz", 2 "20MHz".
std::int32_t FilterForFrequency(double frequency);

} // namespace tarn
