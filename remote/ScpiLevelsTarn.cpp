// SPDX-License-Identifier: MIT
// Amplitude, offset and the high and low levels of an output, in the units
// other generators' drivers use (Vpp, Vrms, dBm); each entry goes through
// the channel panel's own arithmetic.
#include "data/WaveformTarn.h"
#include "remote/ScpiInstrumentTarn.h"

#include <charconv>
#include <cmath>

namespace tarn::scpi {

namespace {

// A voltage scale of the output: gain, and the attenuator when it is in.
double ShiftScale(const TChannelSetup& s)
{
    const bool attenuated = s.HasAttenuator && s.OutputAtn == 1;
    return s.Gain / (attenuated ? s.AttenuatorRatio : 1.0);
}

// The root mean square of the alternating part, per code of span.
double RmsRatio(const TWaveformTarn* wave, double span)
{
    if (wave == nullptr || wave->SampleCount() <= 0 || span <= 0) {
        return 0;
    }
    const std::uint16_t* s = wave->Samples();
    const auto n = static_cast<std::size_t>(wave->SampleCount());
    double mean = 0;
    for (std::size_t i = 0; i < n; ++i) {
        mean += s[i];
    }
    mean /= static_cast<double>(n);
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sum += (s[i] - mean) * (s[i] - mean);
    }
    return std::sqrt(sum / static_cast<double>(n)) / span;
}

const char* UnitName(TAmplitudeUnit unit)
{
    return unit == TAmplitudeUnit::Vrms ? "VRMS" : unit == TAmplitudeUnit::Dbm ? "DBM" : "VPP";
}

} // namespace

std::string TScpiInstrument::Nr3(double value)
{
    if (!std::isfinite(value)) {
        value = kNotANumber;
    }
    // The shortest text that reads back the same, in the form d.ddddE+xx.
    char text[48];
    const auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific);
    std::string s(text, r.ptr);
    const std::size_t e = s.find('e');
    std::string mantissa = s.substr(0, e);
    std::string exponent = e == std::string::npos ? "+00" : s.substr(e + 1);
    if (mantissa.find('.') == std::string::npos) {
        mantissa += ".0";
    }
    if (mantissa[0] != '-') {
        mantissa.insert(0, "+");
    }
    return mantissa + "E" + exponent;
}

int TScpiInstrument::Limit(const TCall& call)
{
    if (!ParamCount(call, 0, 1)) {
        return -1;
    }
    if (call.Unit.Params.empty()) {
        return 0;
    }
    const auto which = Choice(call.Unit.Params[0], {"MINimum", "MAXimum", "DEFault"});
    return which ? *which + 1 : -1;
}

std::optional<TScpiInstrument::TAmplitude> TScpiInstrument::AmplitudeOf(const TCall& call,
                                                                        const TWaveformTarn* waveform)
{
    const auto setup = Setup(call);
    if (!setup) {
        return std::nullopt;
    }
    if (waveform == nullptr) {
        waveform = ChannelWaveform(settings_, call.Channel - 1);
    }
    const TWaveStats wave = StatsOf(waveform);
    const double span = wave.MaxSample - wave.MinSample;
    if (span <= 0) {
        Fail(errSettingsConflict, "the waveform is flat: no level gives a peak-to-peak voltage");
        return std::nullopt;
    }
    TAmplitude a;
    a.Max = span * setup->LevelFactorMax * setup->Gain;
    const double defaultLevel = 2048.0 / (setup->LevelSteps - 1);
    a.Def =
        span * (defaultLevel * (setup->LevelFactorMax - setup->LevelFactorMin) + setup->LevelFactorMin) * setup->Gain;
    a.RmsRatio = RmsRatio(waveform, span);
    a.Load = setup->Load;
    return a;
}

std::optional<double> TScpiInstrument::ToVpp(const TAmplitude& a, double value, TAmplitudeUnit unit)
{
    if (unit == TAmplitudeUnit::Vpp) {
        return value;
    }
    if (unit == TAmplitudeUnit::Dbm && a.Load < 1.0) {
        Fail(errSettingsConflict, "dBm needs a load (OUTPut:LOAD); the output is open");
        return std::nullopt;
    }
    const double vrms = unit == TAmplitudeUnit::Vrms ? value : std::sqrt(std::pow(10.0, value / 10.0) * 1e-3 * a.Load);
    return vrms / a.RmsRatio;
}

double TScpiInstrument::FromVpp(const TAmplitude& a, double vpp, TAmplitudeUnit unit)
{
    const double vrms = vpp * a.RmsRatio;
    if (unit == TAmplitudeUnit::Vpp) {
        return vpp;
    }
    if (unit == TAmplitudeUnit::Vrms) {
        return vrms;
    }
    return a.Load >= 1.0 && vrms > 0 ? 10.0 * std::log10(vrms * vrms / a.Load / 1e-3) : kNotANumber;
}

std::optional<double> TScpiInstrument::AmplitudeValue(const TAmplitude& a, const TParam& p)
{
    if (p.Kind != TParam::TKind::Number) {
        return Value(p, "V", a.Min, a.Max, a.Def);
    }
    // The unit word of the suffix wins over VOLTage:UNIT.
    TAmplitudeUnit unit = amplitudeUnit_;
    TParam plain = p;
    std::string& text = plain.Text;
    if (text.ends_with("VPP")) {
        unit = TAmplitudeUnit::Vpp;
        text.resize(text.size() - 2);
    } else if (text.ends_with("VRMS")) {
        unit = TAmplitudeUnit::Vrms;
        text.resize(text.size() - 3);
    } else if (text == "DBM") {
        unit = TAmplitudeUnit::Dbm;
        text.clear();
    } else if (unit == TAmplitudeUnit::Dbm && !text.empty()) {
        Fail(errInvalidSuffix, p.Text + " with VOLTage:UNIT DBM");
        return std::nullopt;
    }
    const auto scaled = ScaledNumber(plain, "V");
    if (!scaled) {
        Fail(errInvalidSuffix, p.Text);
        return std::nullopt;
    }
    const auto vpp = ToVpp(a, static_cast<double>(*scaled), unit);
    if (!vpp) {
        return std::nullopt;
    }
    if (!std::isfinite(*vpp) || *vpp < a.Min || *vpp > a.Max * (1 + 1e-9)) {
        Fail(errDataOutOfRange, NumberText(static_cast<double>(*scaled)) + " " + UnitName(unit) + " is outside "
                                    + NumberText(FromVpp(a, a.Min, unit)) + " .. "
                                    + NumberText(FromVpp(a, a.Max, unit)));
        return std::nullopt;
    }
    return std::min(*vpp, a.Max);
}

bool TScpiInstrument::SetAmplitude(const TCall& call, double vpp)
{
    const auto setup = Setup(call);
    const auto factor =
        setup ? FactorFromVpp(vpp, StatsOf(ChannelWaveform(settings_, call.Channel - 1))) : std::nullopt;
    if (!factor) {
        return false;
    }
    // As a peak-to-peak voltage typed into the panel: level and attenuator together.
    StoreLevel(call, *setup, *factor);
    return true;
}

void TScpiInstrument::Amplitude(TCall& call)
{
    const auto a = ParamCount(call, 1, 1) ? AmplitudeOf(call) : std::nullopt;
    if (const auto vpp = a ? AmplitudeValue(*a, call.Unit.Params[0]) : std::nullopt) {
        SetAmplitude(call, *vpp);
    }
}

void TScpiInstrument::AmplitudeQuery(TCall& call)
{
    const int limit = Limit(call);
    const auto a = limit >= 0 ? AmplitudeOf(call) : std::nullopt;
    if (!a) {
        return;
    }
    const double limits[] = {0, a->Min, a->Max, a->Def};
    double vpp = limits[limit];
    if (limit == 0) {
        vpp = ComputeReadings(*Setup(call), StatsOf(ChannelWaveform(settings_, call.Channel - 1)), TPeakSide::Plus).Vpp;
    }
    Answer(call, FromVpp(*a, vpp, amplitudeUnit_));
}

bool TScpiInstrument::SetOffset(const TCall& call, const TParam& p)
{
    const auto setup = Setup(call);
    if (!setup) {
        return false;
    }
    const double scale = ShiftScale(*setup);
    const auto v = Value(p, "V", setup->ShiftMin * scale, setup->ShiftMax * scale, 0.0);
    if (v) {
        Store(*Output(call), &TDeviceSettings::Shift, ShiftFromVoltage(*setup, *v), TObjMasterCode::omShiftChanged);
    }
    return v.has_value();
}

void TScpiInstrument::Offset(TCall& call)
{
    if (ParamCount(call, 1, 1)) {
        SetOffset(call, call.Unit.Params[0]);
    }
}

void TScpiInstrument::OffsetQuery(TCall& call)
{
    const int limit = Limit(call);
    if (const auto setup = limit >= 0 ? Setup(call) : std::nullopt) {
        const double scale = ShiftScale(*setup);
        const double limits[] = {ShiftVoltage(*setup, setup->Shift), setup->ShiftMin * scale, setup->ShiftMax * scale,
                                 0.0};
        Answer(call, limits[limit]);
    }
}

void TScpiInstrument::VoltageUnit(TCall& call)
{
    // DEFault is the unit of a first start.
    const auto unit =
        ParamCount(call, 1, 1) ? Choice(call.Unit.Params[0], {"VPP", "VRMS", "DBM", "DEFault"}) : std::nullopt;
    if (unit) {
        amplitudeUnit_ = *unit == 3 ? TAmplitudeUnit::Vpp : static_cast<TAmplitudeUnit>(*unit);
    }
}

void TScpiInstrument::VoltageUnitQuery(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        Answer(call, UnitName(amplitudeUnit_));
    }
}

void TScpiInstrument::HighLow(TCall& call)
{
    const auto a = ParamCount(call, 1, 1) ? AmplitudeOf(call) : std::nullopt;
    if (!a) {
        return;
    }
    TChannelSetup setup = *Setup(call);
    // The top and bottom with the pending shift, as OFFSet? answers it.
    setup.DevShift = setup.Shift;
    // What the generator plays, as the panel reads it.
    TPlayedWave played;
    const TWaveStats& wave = played.Update(settings_, call.Channel - 1);
    const double high = ComputeReadings(setup, wave, TPeakSide::Plus).Vp;
    const double low = ComputeReadings(setup, wave, TPeakSide::Minus).Vp;
    const double reach = a->Max / 2 + setup.ShiftMax * setup.Gain;
    const auto v = Value(call.Unit.Params[0], "V", -reach, reach, (call.Tag == 0 ? 0.5 : -0.5) * a->Def);
    if (!v) {
        return;
    }
    const double h = call.Tag == 0 ? *v : high;
    const double l = call.Tag == 0 ? low : *v;
    if (!(h > l)) {
        Fail(errSettingsConflict, "HIGH must lie above LOW");
        return;
    }
    if (h - l > a->Max * (1 + 1e-9)) {
        Fail(errDataOutOfRange, "HIGH - LOW is above the largest amplitude " + NumberText(a->Max) + " V");
        return;
    }
    if (!SetAmplitude(call, std::min(h - l, a->Max))) {
        return;
    }
    // The level (and the attenuator) moved: the shift that puts the top at h, as "Vp" "+" takes it.
    const TChannelSetup now = *Setup(call);
    const auto shift = ShiftVoltageFromVp(now, h, LevelFactor(now), wave, TPeakSide::Plus);
    const double scale = ShiftScale(now);
    if (!shift) {
        return;
    }
    if (*shift > now.ShiftMax * scale * (1 + 1e-9) || *shift < now.ShiftMin * scale * (1 + 1e-9)) {
        questionableEvents_ |= quesVoltageClamped;
    }
    Store(*Output(call), &TDeviceSettings::Shift, ShiftFromVoltage(now, *shift), TObjMasterCode::omShiftChanged);
}

void TScpiInstrument::HighLowQuery(TCall& call)
{
    const int limit = Limit(call);
    const auto a = limit >= 0 ? AmplitudeOf(call) : std::nullopt;
    if (!a) {
        return;
    }
    const TChannelSetup setup = *Setup(call);
    const double reach = a->Max / 2 + setup.ShiftMax * setup.Gain;
    const double sign = call.Tag == 0 ? 1.0 : -1.0;
    const double limits[] = {0, -reach, reach, sign * 0.5 * a->Def};
    if (limit != 0) {
        Answer(call, limits[limit]);
        return;
    }
    TChannelSetup pending = setup;
    pending.DevShift = pending.Shift;
    // What the generator plays, as the panel reads it.
    TPlayedWave played;
    const TWaveStats& wave = played.Update(settings_, call.Channel - 1);
    Answer(call, ComputeReadings(pending, wave, call.Tag == 0 ? TPeakSide::Plus : TPeakSide::Minus).Vp);
}

} // namespace tarn::scpi
