// SPDX-License-Identifier: MIT
// Shapes as other generators name them: the library's standard waveforms
// (made again, as at a first start, when the user deleted one), the chosen
// arbitrary waveform, and APPLy, which sets shape, frequency, amplitude and
// offset in one step after checking all of them.
#include "data/StringsTarn.h"
#include "data/WaveformTarn.h"
#include "panels/FrequencyScaleTarn.h"
#include "remote/ScpiInstrumentTarn.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tarn::scpi {

namespace {

constexpr int kUser = 4;
constexpr std::array<const char*, 5> kShapeNames{"SIN", "SQU", "TRI", "RAMP", "USER"};
constexpr std::array<TStandardWaveform, 4> kKinds{TStandardWaveform::Sine, TStandardWaveform::Square,
                                                  TStandardWaveform::Triangle, TStandardWaveform::Saw};

const char* StandardName(int shape)
{
    const char* names[] = {Strings::StandardSine, Strings::StandardSquare, Strings::StandardTriangle,
                           Strings::StandardSaw};
    return names[shape];
}

bool SameSamples(const TWaveformTarn& w, TStandardWaveform kind)
{
    if (w.SampleCount() != TSettingsTarn::StandardSampleCount) {
        return false;
    }
    const std::uint16_t* s = w.Samples();
    for (std::int32_t j = 0; j < w.SampleCount(); ++j) {
        if (s[j] != StandardSample(kind, j)) {
            return false;
        }
    }
    return true;
}

// The frequency range a waveform gives, as the frequency bar has it.
TFrequencyLimits LimitsFor(const TSettingsTarn& s, const TWaveformTarn& w)
{
    if (w.IsStandard && w.SampleCount() > 0) {
        return {s.FrequencyMin / w.SampleCount(), s.FrequencyMax / 2.0};
    }
    return {s.FrequencyMin, s.FrequencyMax};
}

} // namespace

TWaveformTarn* TScpiInstrument::FindWaveform(const std::string& name)
{
    if (EqualNoCase(name, kVolatile)) {
        return volatile_ && volatile_->SampleCount() > 0 ? volatile_.get() : nullptr;
    }
    const auto& list = settings_.Repository;
    auto it = std::find_if(list.begin(), list.end(), [&name](const auto& w) { return w && w->Name == name; });
    if (it == list.end()) {
        // A bare name arrives in upper case.
        it = std::find_if(list.begin(), list.end(), [&name](const auto& w) { return w && EqualNoCase(w->Name, name); });
    }
    return it != list.end() ? it->get() : nullptr;
}

std::optional<std::string> TScpiInstrument::NameParam(const TParam& p)
{
    if ((p.Kind != TParam::TKind::String && p.Kind != TParam::TKind::Mnemonic) || p.Text.empty()) {
        Fail(errDataType, "a waveform name, quoted or bare");
        return std::nullopt;
    }
    return p.Text;
}

int TScpiInstrument::ShapeParam(const TParam& p)
{
    if (p.Kind != TParam::TKind::Mnemonic) {
        Fail(errDataType, "a shape: SIN, SQU, TRI, RAMP, USER or ARB");
        return -1;
    }
    int i = 0;
    for (const std::string_view form : {"SINusoid", "SQUare", "TRIangle", "RAMP", "USER", "ARBitrary"}) {
        if (MatchesMnemonic(form, p.Text)) {
            return std::min(i, kUser);
        }
        ++i;
    }
    for (const std::string_view form : {"PULSe", "NOISe", "DC", "PRBS", "PATTern", "SINC", "EXPonential"}) {
        if (MatchesMnemonic(form, p.Text)) {
            Fail(errSettingsConflict, p.Text + ": not a shape of this generator (SIN, SQU, TRI, RAMP, USER)");
            return -1;
        }
    }
    Fail(errIllegalValue, p.Text);
    return -1;
}

int TScpiInstrument::PlayingShape() const
{
    const auto& waves = settings_.Device.Waveforms;
    const TWaveformTarn* w = !waves.empty() ? waves[0].get() : nullptr;
    if (w == nullptr || !w->IsStandard) {
        return kUser;
    }
    for (int shape = 0; shape < kUser; ++shape) {
        if (w->Name == StandardName(shape)) {
            return shape;
        }
    }
    // Renamed or unnamed (the first start's device waveform): by its samples.
    for (int shape = 0; shape < kUser; ++shape) {
        if (SameSamples(*w, kKinds[static_cast<std::size_t>(shape)])) {
            return shape;
        }
    }
    return kUser;
}

bool TScpiInstrument::PlayStandard(int shape)
{
    auto& waves = settings_.Device.Waveforms;
    if (waves.empty() || !waves[0]) {
        return Fail(errExecution, "no device channel for a waveform");
    }
    const char* name = StandardName(shape);
    TWaveformTarn* found = nullptr;
    for (const auto& w : settings_.Repository) {
        if (w && w->IsStandard && w->Name == name) {
            found = w.get();
            break;
        }
    }
    if (found == nullptr) {
        // Deleted from the list: made again as a first start makes it.
        const auto made = MakeStandardWaveform(kKinds[static_cast<std::size_t>(shape)]);
        made->Name = name;
        found = &settings_.AddWaveform(*made);
        host_.Notify(TObjMasterCode::omWaveformListChanged, -1);
    }
    if (waves[0]->IsStandard && waves[0]->Name == name && PlayingShape() == shape) {
        return true;
    }
    waves[0]->Assign(*found);
    host_.Notify(TObjMasterCode::omChannelWaveformChanged, 0);
    return true;
}

bool TScpiInstrument::PlayArbitrary(const std::string& name)
{
    auto& waves = settings_.Device.Waveforms;
    if (waves.empty() || !waves[0]) {
        return Fail(errExecution, "no device channel for a waveform");
    }
    const TWaveformTarn* w = FindWaveform(name);
    if (w == nullptr) {
        return Fail(errSettingsConflict, EqualNoCase(name, kVolatile) ? "VOLATILE holds no samples: DATA VOLATILE first"
                                                                      : "no waveform named " + name);
    }
    waves[0]->Assign(*w);
    host_.Notify(TObjMasterCode::omChannelWaveformChanged, 0);
    return true;
}

void TScpiInstrument::Function(TCall& call)
{
    if (!ParamCount(call, 1, 1) || Output(call) == nullptr) {
        return;
    }
    const int shape = ShapeParam(call.Unit.Params[0]);
    const double before = settings_.Device.Frequency;
    const bool played = shape == kUser ? PlayArbitrary(userWave_) : shape >= 0 && PlayStandard(shape);
    const TFrequencyLimits limits = LimitsOf(settings_);
    if (played && (before < limits.Lo || before > limits.Hi)) {
        // The frequency bar clamps it to the new waveform's range.
        questionableEvents_ |= quesFrequencyClamped;
    }
}

void TScpiInstrument::FunctionQuery(TCall& call)
{
    if (ParamCount(call, 0, 0) && Output(call) != nullptr) {
        Answer(call, kShapeNames[static_cast<std::size_t>(PlayingShape())]);
    }
}

void TScpiInstrument::FunctionUser(TCall& call)
{
    const auto name = ParamCount(call, 1, 1) && Output(call) != nullptr ? NameParam(call.Unit.Params[0]) : std::nullopt;
    if (!name) {
        return;
    }
    const TWaveformTarn* w = FindWaveform(*name);
    if (w == nullptr) {
        Fail(errIllegalValue,
             EqualNoCase(*name, kVolatile) ? "VOLATILE holds no samples" : "no waveform named " + *name);
        return;
    }
    if (w->IsStandard) {
        Fail(errSettingsConflict, *name + " is a standard waveform: FUNCtion SIN, SQU, TRI or RAMP plays it");
        return;
    }
    userWave_ = w == volatile_.get() ? std::string(kVolatile) : w->Name;
    // FUNC:ARB plays it; FUNC:USER does when an arbitrary waveform plays.
    if (call.Tag == 1 || PlayingShape() == kUser) {
        PlayArbitrary(userWave_);
    }
}

void TScpiInstrument::SampleRate(TCall& call)
{
    // The frequency bar gives an arbitrary waveform's sampling rate; with a
    // standard shape it gives periods per second, not a rate of samples.
    if (PlayingShape() != kUser) {
        Fail(errSettingsConflict,
             std::string(kShapeNames[static_cast<std::size_t>(PlayingShape())])
                 + " plays: FUNC:ARB:SRAT is the frequency only while an arbitrary waveform plays");
    } else if (call.Unit.Query) {
        FrequencyQuery(call);
    } else {
        Frequency(call);
    }
}

void TScpiInstrument::FunctionUserQuery(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        Answer(call, Quoted(userWave_));
    }
}

void TScpiInstrument::Apply(TCall& call)
{
    if (!ParamCount(call, 0, 3) || Output(call) == nullptr) {
        return;
    }
    const std::vector<TParam>& params = call.Unit.Params;
    const int shape = call.Tag;
    // The waveform it will play, to check the values against.
    std::unique_ptr<TWaveformTarn> made;
    const TWaveformTarn* target = shape == kUser ? FindWaveform(userWave_) : nullptr;
    if (shape == kUser && target == nullptr) {
        Fail(errSettingsConflict, "no arbitrary waveform chosen: DATA VOLATILE or FUNCtion:USER first");
        return;
    }
    if (shape != kUser) {
        made = MakeStandardWaveform(kKinds[static_cast<std::size_t>(shape)]);
        target = made.get();
    }
    const TFrequencyLimits limits = LimitsFor(settings_, *target);
    const TParam def{TParam::TKind::Mnemonic, "DEF", 0};
    const auto f = Value(params.size() > 0 ? params[0] : def, "HZ", limits.Lo, limits.Hi, limits.Clamp(15000.0));
    auto a = f ? AmplitudeOf(call, target) : std::nullopt;
    const auto vpp = a ? AmplitudeValue(*a, params.size() > 1 ? params[1] : def) : std::nullopt;
    if (!vpp) {
        return;
    }
    // The offset's range follows the attenuator that this amplitude sets.
    TChannelSetup after = *Setup(call);
    const TWaveStats wave = StatsOf(target);
    if (const auto factor = FactorFromVpp(*vpp, wave)) {
        after.OutputAtn = LevelFromFactor(after, *factor).OutputAtn;
    }
    const bool attenuated = after.HasAttenuator && after.OutputAtn == 1;
    const double scale = after.Gain / (attenuated ? after.AttenuatorRatio : 1.0);
    const auto offset =
        Value(params.size() > 2 ? params[2] : def, "V", after.ShiftMin * scale, after.ShiftMax * scale, 0.0);
    if (!offset) {
        return;
    }
    if (!(shape == kUser ? PlayArbitrary(userWave_) : PlayStandard(shape))) {
        return;
    }
    settings_.Device.Frequency = *f;
    host_.Notify(TObjMasterCode::omFrequencyChanged, 0);
    if (SetAmplitude(call, *vpp)) {
        const TChannelSetup now = *Setup(call);
        Store(*Output(call), &TDeviceSettings::Shift, ShiftFromVoltage(now, *offset), TObjMasterCode::omShiftChanged);
    }
}

void TScpiInstrument::ApplyQuery(TCall& call)
{
    const auto a = ParamCount(call, 0, 0) ? AmplitudeOf(call) : std::nullopt;
    if (!a) {
        return;
    }
    const TChannelSetup setup = *Setup(call);
    const double vpp =
        ComputeReadings(setup, StatsOf(ChannelWaveform(settings_, call.Channel - 1)), TPeakSide::Plus).Vpp;
    Answer(call, Quoted(std::string(kShapeNames[static_cast<std::size_t>(PlayingShape())]) + " "
                        + Nr3(settings_.Device.Frequency) + "," + Nr3(FromVpp(*a, vpp, amplitudeUnit_)) + ","
                        + Nr3(ShiftVoltage(setup, setup.Shift))));
}

} // namespace tarn::scpi
