// SPDX-License-Identifier: MIT
#include "panels/ChannelMathTarn.h"

#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tarn {

namespace {

template <class T> bool Has(const std::vector<T>& list, std::int32_t index)
{
    return index >= 0 && static_cast<std::size_t>(index) < list.size();
}

// A code from a value already clamped to the code range; NaN gives lo.
std::int32_t CodeOf(long double value, std::int32_t lo, std::int32_t hi)
{
    const long double rounded = Nint(value);
    if (!(rounded >= lo)) {
        return lo;
    }
    return rounded > hi ? hi : static_cast<std::int32_t>(rounded);
}

} // namespace

long double Nint(long double value)
{
    // The default rounding mode rounds halves to even.
    return std::nearbyint(value);
}

std::optional<TChannelSetup> ChannelSetup(const TSettingsTarn& settings, std::int32_t channel)
{
    if (!Has(settings.ChannelAssignments, channel)) {
        return std::nullopt;
    }
    const TChannelAssignment& out = settings.ChannelAssignments[static_cast<std::size_t>(channel)];
    const TDeviceSettings& device = settings.Device;
    const std::int32_t real = out.RealChannel;
    if (!Has(device.Level, real) || !Has(device.Shift, real) || !Has(device.DevShift, real)
        || !Has(device.OutputAtn, real)) {
        return std::nullopt;
    }
    const auto at = static_cast<std::size_t>(real);
    TChannelSetup s;
    s.LevelSteps = settings.LevelSteps;
    s.LevelFactorMin = settings.LevelFactorMin;
    s.LevelFactorMax = settings.LevelFactorMax;
    s.ShiftSteps = settings.ShiftSteps;
    s.ShiftMin = settings.ShiftMin;
    s.ShiftMax = settings.ShiftMax;
    s.SampleZero = settings.SampleZero;
    s.AttenuatorRatio = settings.AttenuatorRatio;
    s.Gain = out.Gain;
    s.OutputImpedance = out.OutputImpedance;
    s.HasAttenuator = out.HasAttenuator;
    s.Load = Has(settings.Loads, channel) ? settings.Loads[static_cast<std::size_t>(channel)] : -1.0;
    s.Level = device.Level[at];
    s.Shift = device.Shift[at];
    s.DevShift = device.DevShift[at];
    s.OutputAtn = device.OutputAtn[at];
    s.VrmsFromAC = settings.Options != nullptr && settings.Options->BoolValue(optVrmsFromAC);
    return s;
}

const TWaveformTarn* ChannelWaveform(const TSettingsTarn& settings, std::int32_t channel)
{
    if (!Has(settings.ChannelAssignments, channel)) {
        return nullptr;
    }
    const std::int32_t real = settings.ChannelAssignments[static_cast<std::size_t>(channel)].RealChannel;
    return Has(settings.Device.Waveforms, real) ? settings.Device.Waveforms[static_cast<std::size_t>(real)].get()
                                                : nullptr;
}

TWaveStats StatsOf(const TWaveformTarn* waveform)
{
    TWaveStats stats;
    if (waveform != nullptr && waveform->SampleCount() > 0 && waveform->Samples() != nullptr) {
        stats.Samples = waveform->Samples();
        stats.Count = waveform->SampleCount();
        stats.MaxSample = waveform->MaxSample();
        stats.MinSample = waveform->MinSample();
        stats.MeanSample = waveform->MeanSample();
    }
    return stats;
}

std::int32_t StandardPeriodSamples(double deviceFrequency, double requested)
{
    constexpr long double top = 100000000.0L; // the sample clock's top
    if (!(deviceFrequency >= 1.0)) {
        return 8192;
    }
    const long double d = std::nearbyint(std::pow(2.0L, std::floor(std::log2(top / deviceFrequency))));
    if (!(d >= 2)) {
        return 2;
    }
    if (d > 8192) {
        return 8192;
    }
    // A frequency just above 100 MHz / d is played with half the samples at
    // the clock's bottom and reported as 100 MHz / d: what was asked tells.
    if (d > 2 && deviceFrequency * d == top && requested > deviceFrequency) {
        return static_cast<std::int32_t>(d) / 2;
    }
    return static_cast<std::int32_t>(d);
}

const TWaveStats& TPlayedWave::Update(const TSettingsTarn& settings, std::int32_t channel)
{
    return Update(ChannelWaveform(settings, channel), settings.Device.DeviceFrequency, settings.Device.Frequency);
}

const TWaveStats& TPlayedWave::Update(const TWaveformTarn* waveform, double deviceFrequency, double requested)
{
    if (waveform == nullptr || !waveform->IsStandard) {
        stamp_ = 0;
        stats_ = StatsOf(waveform);
        return stats_;
    }
    if (waveform->SampleCount() != TSettingsTarn::StandardSampleCount || waveform->Samples() == nullptr) {
        stamp_ = 0;
        stats_ = {};
        return stats_;
    }
    const std::int32_t period = StandardPeriodSamples(deviceFrequency, requested);
    if (stamp_ == waveform->ChangeStamp() && period_ == period && !waveform->SamplesShared()) {
        return stats_;
    }
    // The same averaged copies the driver loads; the one with `period`
    // samples starts 2 x period words before the memory's end.
    std::vector<std::uint16_t> set(waveform->DecimationCount());
    waveform->BuildDecimations(set.data(), set.size());
    const auto first = static_cast<std::size_t>(2 * TSettingsTarn::StandardSampleCount - 2 * period);
    const std::uint16_t top = static_cast<std::uint16_t>(std::max(waveform->SampleRange() - 1, 0));
    codes_.resize(static_cast<std::size_t>(period));
    for (std::size_t i = 0; i < codes_.size(); ++i) {
        codes_[i] = std::min<std::uint16_t>(static_cast<std::uint16_t>(set[first + i] + 1), top);
    }
    stats_.Samples = codes_.data();
    stats_.Count = period;
    const auto [low, high] = std::minmax_element(codes_.begin(), codes_.end());
    stats_.MinSample = *low;
    stats_.MaxSample = *high;
    double sum = 0.0;
    for (const std::uint16_t code : codes_) {
        sum += code;
    }
    stats_.MeanSample = sum / period;
    stamp_ = waveform->ChangeStamp();
    period_ = period;
    return stats_;
}

double ChannelScale(const TChannelSetup& s)
{
    long double k = s.Gain;
    if (s.HasAttenuator && s.OutputAtn == 1) {
        k /= s.AttenuatorRatio;
    }
    if (s.Load >= 1.0) {
        k *= s.Load / (s.Load + s.OutputImpedance);
    }
    return static_cast<double>(k);
}

namespace {

long double LevelFactorAt(const TChannelSetup& s, long double scale)
{
    return (static_cast<long double>(s.Level) / (s.LevelSteps - 1) * (s.LevelFactorMax - s.LevelFactorMin)
            + s.LevelFactorMin)
           * scale;
}

long double ShiftVoltageAt(const TChannelSetup& s, std::int32_t code, long double scale)
{
    return (s.ShiftMin + static_cast<long double>(code) / (s.ShiftSteps - 1) * (s.ShiftMax - s.ShiftMin)) * scale;
}

long double ZeroCodeAt(const TChannelSetup& s, long double devShiftVoltage, long double q)
{
    return q == 0 ? static_cast<long double>(s.SampleZero) : s.SampleZero - devShiftVoltage / q;
}

} // namespace

double LevelFactor(const TChannelSetup& s)
{
    return static_cast<double>(LevelFactorAt(s, ChannelScale(s)));
}

double ShiftVoltage(const TChannelSetup& s, std::int32_t code)
{
    return static_cast<double>(ShiftVoltageAt(s, code, ChannelScale(s)));
}

double ZeroCode(const TChannelSetup& s, double levelFactor)
{
    return static_cast<double>(ZeroCodeAt(s, ShiftVoltage(s, s.DevShift), levelFactor));
}

TChannelReadings ComputeReadings(const TChannelSetup& s, const TWaveStats& wave, TPeakSide side)
{
    TChannelReadings r;
    const long double k = ChannelScale(s);
    const long double q = LevelFactorAt(s, k);
    const long double devShift = ShiftVoltageAt(s, s.DevShift, k);
    const long double z = ZeroCodeAt(s, devShift, q);
    r.Scale = static_cast<double>(k);
    r.LevelFactor = static_cast<double>(q);
    r.ShiftVoltage = static_cast<double>(ShiftVoltageAt(s, s.Shift, k));
    r.DevShiftVoltage = static_cast<double>(devShift);
    r.ZeroCode = static_cast<double>(z);

    long double high = 0; // the positive excursion, shift included
    long double low = 0;  // the negative one
    if (wave.Count > 0 && wave.Samples != nullptr) {
        r.Vpp = static_cast<double>((wave.MaxSample - wave.MinSample) * q);
        high = (wave.MaxSample - z) * q;
        low = (wave.MinSample - z) * q;
        r.Vp = static_cast<double>(side == TPeakSide::Plus ? high : low);
        const long double ref = s.VrmsFromAC ? static_cast<long double>(wave.MeanSample) : z;
        long double squares = 0;
        long double rectified = 0;
        for (std::int32_t i = 0; i < wave.Count; ++i) {
            const long double d = wave.Samples[i] - ref;
            squares += d * d;
            rectified += std::fabs(d);
        }
        r.Vrms = static_cast<double>(std::sqrt(squares / wave.Count) * q);
        r.Vavg = static_cast<double>(rectified / wave.Count * q);
    }
    const long double vpp = r.Vpp;
    r.LevelHigh = static_cast<double>(9 * k);
    r.LevelLow = static_cast<double>(8 * (9 * k) / 90);
    r.ShiftLimit = static_cast<double>(4.5L * k);
    r.LevelWarning = vpp > 9 * k || vpp < 8 * (9 * k) / 90;
    r.ShiftWarning = high > 4.5L * k || low < -4.5L * k;
    return r;
}

std::optional<double> AbsoluteDb(double vrms, double load, TdBUnit unit)
{
    if (!(vrms > 0)) {
        return std::nullopt;
    }
    const long double v = vrms;
    long double tenths = 0;
    switch (unit) {
    case TdBUnit::dBW:
    case TdBUnit::dBmW:
        if (!(load >= 1.0)) {
            return std::nullopt;
        }
        tenths = 100 * std::log10(v * v * (unit == TdBUnit::dBmW ? 1000 : 1) / load);
        break;
    case TdBUnit::dBmV:
        tenths = 200 * std::log10(v / 0.001L);
        break;
    case TdBUnit::dBuV:
        tenths = 200 * std::log10(v / 0.000001L);
        break;
    }
    // Adding 0 turns a rounded -0 into 0.
    return static_cast<double>(Nint(tenths) / 10) + 0.0;
}

std::optional<double> RelativeDb(double levelFactor, double reference)
{
    if (!(levelFactor > 0) || !(reference > 0)) {
        return std::nullopt;
    }
    return static_cast<double>(Nint(200 * std::log10(static_cast<long double>(levelFactor) / reference)) / 10) + 0.0;
}

std::string FormatDb(const std::optional<double>& value)
{
    if (!value || !std::isfinite(*value)) {
        return Strings::NotAvailable;
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, *value, std::chars_format::general, 15);
    return std::string(buffer, result.ptr);
}

TLevelEntry LevelFromFactor(const TChannelSetup& s, double factor)
{
    TLevelEntry entry{s.Level, s.OutputAtn};
    long double a = std::fabs(static_cast<long double>(factor));
    if (s.HasAttenuator) {
        if (s.LevelFactorMax / s.AttenuatorRatio > a) {
            entry.OutputAtn = 1;
            a *= s.AttenuatorRatio;
        } else {
            entry.OutputAtn = 0;
        }
    }
    long double u = a / s.Gain;
    if (u > s.LevelFactorMax) {
        u = s.LevelFactorMax;
    }
    if (u < s.LevelFactorMin) {
        u = s.LevelFactorMin;
    }
    entry.Level = CodeOf((u - s.LevelFactorMin) * (s.LevelSteps - 1) / (s.LevelFactorMax - s.LevelFactorMin), 0,
                         s.LevelSteps - 1);
    return entry;
}

std::optional<double> FactorFromVpp(double vpp, const TWaveStats& wave)
{
    const std::int32_t span = wave.MaxSample - wave.MinSample;
    if (wave.Count <= 0 || span == 0) {
        return std::nullopt;
    }
    return vpp / span;
}

TdBReference* dBReferenceOf(TSettingsTarn& settings, std::int32_t channel)
{
    auto& list = settings.dBReferences;
    return channel >= 0 && static_cast<std::size_t>(channel) < list.size() ? &list[static_cast<std::size_t>(channel)]
                                                                           : nullptr;
}

double FollowReference(TdBReference& reference, double levelFactor)
{
    if (reference.Mode == TdBReferenceMode::Auto || reference.Factor == 0) {
        reference.Factor = levelFactor;
    }
    return reference.Factor;
}

std::optional<double> FactorFromDb(const TChannelSetup& s, double db, double reference)
{
    if (reference == 0) {
        return std::nullopt;
    }
    long double factor = std::pow(10.0L, db / 20.0L) * reference;
    if (s.Load >= 1.0) {
        factor /= s.Load / (s.Load + s.OutputImpedance);
    }
    return static_cast<double>(factor);
}

std::int32_t ShiftFromVoltage(const TChannelSetup& s, double voltage)
{
    long double b = voltage / static_cast<long double>(s.Gain);
    if (s.OutputAtn == 1 && s.HasAttenuator) {
        b *= s.AttenuatorRatio;
    }
    if (b > s.ShiftMax) {
        b = s.ShiftMax;
    }
    if (b < s.ShiftMin) {
        b = s.ShiftMin;
    }
    return CodeOf((b - s.ShiftMin) / (s.ShiftMax - s.ShiftMin) * (s.ShiftSteps - 1), 0, s.ShiftSteps - 1);
}

std::optional<double> ShiftVoltageFromVp(const TChannelSetup& s, double vp, double levelFactor, const TWaveStats& wave,
                                         TPeakSide side)
{
    if (wave.Count <= 0) {
        return std::nullopt;
    }
    const std::int32_t peak = side == TPeakSide::Plus ? wave.MaxSample : wave.MinSample;
    return static_cast<double>(vp - static_cast<long double>(levelFactor) * (peak - s.SampleZero));
}

std::int32_t ZeroShiftCode(const TChannelSetup& s)
{
    return CodeOf((0 - s.ShiftMin) / (s.ShiftMax - s.ShiftMin) * (s.ShiftSteps - 1), 0, s.ShiftSteps - 1);
}

std::optional<double> HighestFrequency(bool standard, std::int32_t harmonic, std::int32_t count, double deviceFrequency)
{
    if (standard) {
        return harmonic * deviceFrequency;
    }
    if (count <= 0) {
        return std::nullopt;
    }
    return deviceFrequency / count * harmonic;
}

std::int32_t FilterForFrequency(double frequency)
{
    if (frequency >= 10000000.0) {
        return 0;
    }
    return frequency >= 5000000.0 ? 1 : 2;
}

} // namespace tarn
