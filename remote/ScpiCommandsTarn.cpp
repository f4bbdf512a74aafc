// SPDX-License-Identifier: MIT
// The commands of the frequency bar, the channel panels, the trigger panel
// and the waveform list.
#include "data/OptionsTarn.h"
#include "data/WaveformTarn.h"
#include "panels/FrequencyScaleTarn.h"
#include "remote/ScpiInstrumentTarn.h"

#include <algorithm>
#include <cmath>

namespace tarn::scpi {

namespace {

constexpr double kMaxLoad = 1e12;
constexpr double kDefaultFrequency = 15000.0;
// Far beyond the level range; the level is clamped as in the panel.
constexpr double kMaxDb = 200.0;

} // namespace

// ---- Frequency bar ----

void TScpiInstrument::Frequency(TCall& call)
{
    if (!ParamCount(call, 1, 1)) {
        return;
    }
    const TFrequencyLimits limits = LimitsOf(settings_);
    if (const auto f = Value(call.Unit.Params[0], "HZ", limits.Lo, limits.Hi, limits.Clamp(kDefaultFrequency))) {
        settings_.Device.Frequency = *f;
        host_.Notify(TObjMasterCode::omFrequencyChanged, 0);
    }
}

void TScpiInstrument::FrequencyQuery(TCall& call)
{
    if (!ParamCount(call, 0, 1)) {
        return;
    }
    const TFrequencyLimits limits = LimitsOf(settings_);
    if (call.Unit.Params.empty()) {
        Answer(call, settings_.Device.Frequency);
    } else if (const auto which = Choice(call.Unit.Params[0], {"MINimum", "MAXimum", "DEFault"})) {
        Answer(call, *which == 0 ? limits.Lo : *which == 1 ? limits.Hi : limits.Clamp(kDefaultFrequency));
    }
}

void TScpiInstrument::DeviceFrequency(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        Answer(call, settings_.Device.DeviceFrequency);
    }
}

void TScpiInstrument::FrequencyMode(TCall& call)
{
    if (!ParamCount(call, 1, 1)) {
        return;
    }
    // CW and FIXed are "Con" without a sweep; SWEep and LIST are "Con" with one chosen.
    static constexpr int sweepModes[] = {kFreqModeCont, kFreqModeCont, kFreqModeCw, kFreqModeCw, kFreqModeSweep,
                                         kFreqModeList};
    if (const auto mode = Choice(call.Unit.Params[0], {"CONTinuous", "STEP", "CW", "FIXed", "SWEep", "LIST"})) {
        if ((*mode == 4 || *mode == 5) && SweepOrFail() == nullptr) {
            return;
        }
        const std::int32_t step = *mode == 1 ? 1 : 0;
        SweepMode(sweepModes[*mode]);
        settings_.Device.FrequencyMode = step;
        // "Step" stops a running sweep through this broadcast.
        host_.Notify(TObjMasterCode::omFrequencyModeChanged, 0);
        // Leaving "Step" applies what was pending.
        if (step == 0) {
            host_.Notify(TObjMasterCode::omApplyFrequency, 0);
        }
    }
}

void TScpiInstrument::FrequencyModeQuery(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        Answer(call, settings_.Device.FrequencyMode == 1 ? "STEP" : SweepModeName());
    }
}

void TScpiInstrument::FrequencyApply(TCall& call)
{
    if (!ParamCount(call, 0, 0)) {
        return;
    }
    if (settings_.Device.FrequencyMode != 1) {
        Fail(errSettingsConflict, "the frequency is applied at once in CONTinuous mode");
        return;
    }
    host_.Notify(TObjMasterCode::omApplyFrequency, 0);
}

// ---- Channel panels ----

void TScpiInstrument::StoreLevel(const TCall& call, const TChannelSetup& setup, double factor)
{
    const TChannelAssignment& out = *Output(call);
    const TLevelEntry entry = LevelFromFactor(setup, factor);
    if (std::fabs(factor) > setup.LevelFactorMax * setup.Gain * (1 + 1e-9)) {
        questionableEvents_ |= quesVoltageClamped;
    }
    *RealValue(out, &TDeviceSettings::Level) = entry.Level;
    *RealValue(out, &TDeviceSettings::OutputAtn) = entry.OutputAtn;
    host_.Notify(TObjMasterCode::omLevelChanged, out.RealChannel);
    host_.Notify(TObjMasterCode::omAttenuatorChanged, out.RealChannel);
}

void TScpiInstrument::DeviceOffset(TCall& call)
{
    if (const auto setup = ParamCount(call, 0, 0) ? Setup(call) : std::nullopt) {
        Answer(call, ShiftVoltage(*setup, setup->DevShift));
    }
}

void TScpiInstrument::OffsetMode(TCall& call)
{
    const TChannelAssignment* out = ParamCount(call, 1, 1) ? Output(call) : nullptr;
    const auto mode = out != nullptr ? Choice(call.Unit.Params[0], {"CONTinuous", "STEP"}) : std::nullopt;
    if (!mode) {
        return;
    }
    Store(*out, &TDeviceSettings::ShiftMode, *mode, TObjMasterCode::omShiftModeChanged);
    if (*mode == 0) {
        OffsetApply(call);
    }
}

void TScpiInstrument::OffsetModeQuery(TCall& call)
{
    if (const TChannelAssignment* out = ParamCount(call, 0, 0) ? Output(call) : nullptr) {
        const std::int32_t* mode = RealValue(*out, &TDeviceSettings::ShiftMode);
        Answer(call, mode != nullptr && *mode == 1 ? "STEP" : "CONT");
    }
}

void TScpiInstrument::OffsetApply(TCall& call)
{
    // "OUT": the pending shift goes to the device.
    if (const TChannelAssignment* out = Output(call)) {
        if (const std::int32_t* shift = RealValue(*out, &TDeviceSettings::Shift)) {
            Store(*out, &TDeviceSettings::DevShift, *shift, TObjMasterCode::omDeviceShiftChanged);
        }
    }
}

void TScpiInstrument::OutputState(TCall& call)
{
    const TChannelAssignment* out = ParamCount(call, 1, 1) ? Output(call) : nullptr;
    if (const auto on = out != nullptr ? Boolean(call.Unit.Params[0]) : std::nullopt) {
        Store(*out, &TDeviceSettings::OutputOnOff, *on ? 1 : 0, TObjMasterCode::omOutputOnOffChanged);
    }
}

void TScpiInstrument::OutputStateQuery(TCall& call)
{
    if (const TChannelAssignment* out = ParamCount(call, 0, 0) ? Output(call) : nullptr) {
        const std::int32_t* on = RealValue(*out, &TDeviceSettings::OutputOnOff);
        Answer(call, on != nullptr && *on != 0 ? "1" : "0");
    }
}

void TScpiInstrument::Attenuator(TCall& call)
{
    const TChannelAssignment* out = ParamCount(call, 1, 1) ? Output(call) : nullptr;
    if (out != nullptr && !out->HasAttenuator) {
        Fail(errSettingsConflict, "this output has no attenuator");
        return;
    }
    if (const auto on = out != nullptr ? Boolean(call.Unit.Params[0]) : std::nullopt) {
        Store(*out, &TDeviceSettings::OutputAtn, *on ? 1 : 0, TObjMasterCode::omAttenuatorChanged);
    }
}

void TScpiInstrument::AttenuatorQuery(TCall& call)
{
    if (const TChannelAssignment* out = ParamCount(call, 0, 0) ? Output(call) : nullptr) {
        const std::int32_t* atn = RealValue(*out, &TDeviceSettings::OutputAtn);
        Answer(call, out->HasAttenuator && atn != nullptr && *atn == 1 ? "1" : "0");
    }
}

void TScpiInstrument::Filter(TCall& call)
{
    const TChannelAssignment* out = ParamCount(call, 1, 1) ? Output(call) : nullptr;
    if (out == nullptr) {
        return;
    }
    const TParam& p = call.Unit.Params[0];
    int index = -1;
    if (p.Kind == TParam::TKind::Mnemonic && p.Text == "OFF") {
        index = 0;
    } else if (p.Kind == TParam::TKind::Number) {
        const auto hz = ScaledNumber(p, "HZ");
        if (!hz) {
            Fail(errInvalidSuffix, p.Text);
            return;
        }
        index = *hz == 0 ? 0 : *hz == 40e6L ? 1 : *hz == 20e6L ? 2 : -1;
    }
    if (index < 0) {
        Fail(errIllegalValue, "the filters are OFF, 40MHZ and 20MHZ");
        return;
    }
    Store(*out, &TDeviceSettings::Filter, index, TObjMasterCode::omFilterChanged);
}

void TScpiInstrument::FilterQuery(TCall& call)
{
    if (const TChannelAssignment* out = ParamCount(call, 0, 0) ? Output(call) : nullptr) {
        const std::int32_t* filter = RealValue(*out, &TDeviceSettings::Filter);
        const std::int32_t f = filter != nullptr ? *filter : 0;
        Answer(call, f == 1 ? "40MHZ" : f == 2 ? "20MHZ" : "OFF");
    }
}

void TScpiInstrument::FilterAuto(TCall& call)
{
    const auto on = ParamCount(call, 1, 1) ? Boolean(call.Unit.Params[0]) : std::nullopt;
    if (on && settings_.Options != nullptr) {
        // As the options dialog: the option, then the settings announced again.
        settings_.Options->SetBoolValue(optFilterAutoset, *on);
        host_.SettingsReplaced(false);
    }
}

void TScpiInstrument::FilterAutoQuery(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        Answer(call, settings_.Options != nullptr && settings_.Options->BoolValue(optFilterAutoset) ? "1" : "0");
    }
}

void TScpiInstrument::Load(TCall& call)
{
    if (!ParamCount(call, 1, 1) || Output(call) == nullptr) {
        return;
    }
    const auto channel = static_cast<std::size_t>(call.Channel - 1);
    if (channel >= settings_.Loads.size()) {
        Fail(errExecution, "no load for this output");
        return;
    }
    if (const auto ohms = Value(call.Unit.Params[0], "OHM", 1.0, kMaxLoad, kInfinity, true)) {
        settings_.Loads[channel] = *ohms >= kInfinity ? -1.0 : *ohms;
        host_.Notify(TObjMasterCode::omLoadChanged, call.Channel - 1);
    }
}

void TScpiInstrument::LoadQuery(TCall& call)
{
    const int limit = Limit(call);
    if (const auto setup = limit >= 0 ? Setup(call) : std::nullopt) {
        const double limits[] = {setup->Load < 1.0 ? kInfinity : setup->Load, 1.0, kMaxLoad, kInfinity};
        Answer(call, limits[limit]);
    }
}

void TScpiInstrument::Measure(TCall& call)
{
    const bool takesUnit = call.Tag == 1 || call.Tag == 4;
    const auto setup = ParamCount(call, 0, takesUnit ? 1 : 0) ? Setup(call) : std::nullopt;
    if (!setup) {
        return;
    }
    int choice = 0;
    if (!call.Unit.Params.empty()) {
        const auto c = call.Tag == 1 ? Choice(call.Unit.Params[0], {"PLUS", "MINus"})
                                     : Choice(call.Unit.Params[0], {"DBW", "DBMW", "DBMV", "DBUV"});
        if (!c) {
            return;
        }
        choice = *c;
    }
    // What the generator plays, as the panel reads it.
    TPlayedWave played;
    const TWaveStats& wave = played.Update(settings_, call.Channel - 1);
    const TChannelReadings r =
        ComputeReadings(*setup, wave, call.Tag == 1 && choice == 1 ? TPeakSide::Minus : TPeakSide::Plus);
    switch (call.Tag) {
    case 0:
        Answer(call, r.Vpp);
        break;
    case 1:
        Answer(call, r.Vp);
        break;
    case 2:
        Answer(call, r.Vrms);
        break;
    case 3:
        Answer(call, r.Vavg);
        break;
    default: {
        const auto db = AbsoluteDb(r.Vrms, setup->Load, static_cast<TdBUnit>(choice));
        Answer(call, db ? *db : kNotANumber);
        break;
    }
    }
}

// ---- Relative dB ----

TdBReference* TScpiInstrument::Reference(const TCall& call)
{
    if (Output(call) == nullptr) {
        return nullptr;
    }
    TdBReference* reference = dBReferenceOf(settings_, call.Channel - 1);
    if (reference == nullptr) {
        Fail(errExecution, "no 0 dB reference for this output");
    }
    return reference;
}

void TScpiInstrument::RelativeDbEntry(TCall& call)
{
    const auto setup = ParamCount(call, 1, 1) ? Setup(call) : std::nullopt;
    TdBReference* reference = setup ? Reference(call) : nullptr;
    const auto db = reference != nullptr ? Value(call.Unit.Params[0], "DB", -kMaxDb, kMaxDb, 0.0) : std::nullopt;
    if (!db) {
        return;
    }
    // As a value typed into the relative dB field.
    const auto factor = FactorFromDb(*setup, *db, FollowReference(*reference, LevelFactor(*setup)));
    if (!factor || !std::isfinite(*factor)) {
        Fail(errSettingsConflict, "no 0 dB reference: the level is 0");
        return;
    }
    StoreLevel(call, *setup, *factor);
}

void TScpiInstrument::RelativeDbQuery(TCall& call)
{
    const int limit = Limit(call);
    const auto setup = limit >= 0 ? Setup(call) : std::nullopt;
    if (setup && limit > 0) {
        const double limits[] = {0, -kMaxDb, kMaxDb, 0.0};
        Answer(call, limits[limit]);
    } else if (TdBReference* reference = setup ? Reference(call) : nullptr) {
        const double level = LevelFactor(*setup);
        const auto db = RelativeDb(level, FollowReference(*reference, level));
        Answer(call, db ? *db : kNotANumber);
    }
}

void TScpiInstrument::ZeroDb(TCall& call)
{
    const auto setup = ParamCount(call, 0, 0) ? Setup(call) : std::nullopt;
    TdBReference* reference = setup ? Reference(call) : nullptr;
    if (reference == nullptr) {
        return;
    }
    // "Set 0 dB" is there only in "Man dB".
    if (reference->Mode != TdBReferenceMode::Manual) {
        Fail(errSettingsConflict, "the 0 dB mark is set in MANual mode");
        return;
    }
    reference->Factor = LevelFactor(*setup);
    host_.Notify(TObjMasterCode::omdBReferenceChanged, call.Channel - 1);
}

void TScpiInstrument::DbMode(TCall& call)
{
    TdBReference* reference = ParamCount(call, 1, 1) ? Reference(call) : nullptr;
    const auto mode = reference != nullptr ? Choice(call.Unit.Params[0], {"OFF", "AUTO", "MANual"}) : std::nullopt;
    if (mode) {
        reference->Mode = static_cast<TdBReferenceMode>(*mode);
        host_.Notify(TObjMasterCode::omdBReferenceChanged, call.Channel - 1);
    }
}

void TScpiInstrument::DbModeQuery(TCall& call)
{
    if (const TdBReference* reference = ParamCount(call, 0, 0) ? Reference(call) : nullptr) {
        const char* names[] = {"OFF", "AUTO", "MAN"};
        Answer(call, names[static_cast<int>(reference->Mode)]);
    }
}

// ---- Trigger panel ----

void TScpiInstrument::TriggerMode(TCall& call)
{
    const auto mode = ParamCount(call, 1, 1) ? Choice(call.Unit.Params[0], {"PERiod", "SINGle"}) : std::nullopt;
    if (mode) {
        settings_.Device.TriggerMode = *mode;
        host_.Notify(TObjMasterCode::omTriggerModeChanged, 0);
    }
}

void TScpiInstrument::TriggerModeQuery(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        Answer(call, settings_.Device.TriggerMode == 1 ? "SING" : "PER");
    }
}

void TScpiInstrument::TriggerSwitch(TCall& call)
{
    if (!ParamCount(call, 1, 1)) {
        return;
    }
    TDeviceSettings& d = settings_.Device;
    const TParam& p = call.Unit.Params[0];
    std::optional<int> value;
    if (call.Tag == 1) {
        value = Choice(p, {"POSitive", "NEGative"});
    } else if (call.Tag == 4) {
        if (p.Kind == TParam::TKind::Number && p.Text.empty() && (p.Number == 0 || p.Number == 1)) {
            value = static_cast<int>(p.Number);
        } else {
            Fail(errIllegalValue, "the stop level is 0 or 1");
        }
    } else if (const auto on = Boolean(p)) {
        value = *on ? 1 : 0;
    }
    if (!value) {
        return;
    }
    // Only what the trigger panel has enabled in the present mode.
    struct TSwitch {
        bool enabled;
        const char* why;
        std::int32_t* field;
        int stored;
        TObjMasterCode code;
    };
    const TSwitch switches[] = {
        {d.TriggerMode == 1, "the external trigger is for SINGle mode", &d.TriggerOnOff, *value,
         TObjMasterCode::omTriggerOnOffChanged},
        {d.TriggerMode == 1 && d.TriggerOnOff != 0, "the slope is for the external trigger in SINGle mode",
         &d.TriggerLeading, *value == 0 ? 1 : 0, TObjMasterCode::omTriggerEdgeChanged},
        {d.TriggerMode == 0, "RUN is for PERiod mode", &d.RunOnOff, *value, TObjMasterCode::omRunOnOffChanged},
        {d.TriggerMode == 0, "ARM is for PERiod mode", &d.ArmOnOff, *value, TObjMasterCode::omArmOnOffChanged},
        {d.TriggerMode == 0 && d.ArmOnOff != 0, "the stop level is for ARM ON in PERiod mode", &d.ArmStopLevel, *value,
         TObjMasterCode::omArmStopLevelChanged},
    };
    const TSwitch& s = switches[call.Tag];
    if (!s.enabled) {
        Fail(errSettingsConflict, s.why);
        return;
    }
    *s.field = s.stored;
    host_.Notify(s.code, 0);
}

void TScpiInstrument::TriggerSwitchQuery(TCall& call)
{
    if (!ParamCount(call, 0, 0)) {
        return;
    }
    const TDeviceSettings& d = settings_.Device;
    const std::int32_t values[] = {d.TriggerOnOff, d.TriggerLeading, d.RunOnOff, d.ArmOnOff, d.ArmStopLevel};
    const std::int32_t v = values[call.Tag];
    if (call.Tag == 1) {
        Answer(call, v != 0 ? "POS" : "NEG");
    } else {
        Answer(call, v != 0 ? "1" : "0");
    }
}

// ---- Waveforms ----

bool TScpiInstrument::ValidName(const std::string& name)
{
    if (name.empty() || name.size() > kMaxName
        || std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
        return Fail(errIllegalValue, "the name must have 1 to 64 printable characters");
    }
    return true;
}

void TScpiInstrument::Catalog(TCall& call)
{
    if (!ParamCount(call, 0, 0)) {
        return;
    }
    std::string list;
    for (const auto& wave : settings_.Repository) {
        list += (list.empty() ? "" : ",") + Quoted(wave ? wave->Name : std::string());
    }
    Answer(call, list.empty() ? std::string("\"\"") : list);
}

void TScpiInstrument::Select(TCall& call)
{
    if (!ParamCount(call, 1, 1)) {
        return;
    }
    const TParam& p = call.Unit.Params[0];
    if (p.Kind != TParam::TKind::String) {
        Fail(errDataType, "a quoted waveform name was expected");
        return;
    }
    const auto& list = settings_.Repository;
    const auto it = std::find_if(list.begin(), list.end(), [&p](const auto& w) { return w && w->Name == p.Text; });
    if (it == list.end()) {
        Fail(errIllegalValue, "no waveform named " + p.Text);
        return;
    }
    if (settings_.Device.Waveforms.empty() || !settings_.Device.Waveforms[0]) {
        Fail(errExecution, "no device channel for a waveform");
        return;
    }
    // As a waveform dropped on the preview of device channel 0.
    settings_.Device.Waveforms[0]->Assign(**it);
    host_.Notify(TObjMasterCode::omChannelWaveformChanged, 0);
}

void TScpiInstrument::SelectQuery(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        const auto& waves = settings_.Device.Waveforms;
        Answer(call, Quoted(!waves.empty() && waves[0] ? waves[0]->Name : std::string()));
    }
}

void TScpiInstrument::Data(TCall& call)
{
    if (!ParamCount(call, 2, 1 + kMaxSamples)) {
        return;
    }
    const std::vector<TParam>& params = call.Unit.Params;
    const TParam& name = params[0];
    if (name.Kind != TParam::TKind::String) {
        Fail(errDataType, "a quoted waveform name comes first");
        return;
    }
    if (!ValidName(name.Text)) {
        return;
    }
    std::vector<std::uint16_t> codes;
    if (params[1].Kind == TParam::TKind::Block) {
        const std::string& bytes = params[1].Text;
        if (params.size() != 2 || bytes.size() % 2 != 0) {
            Fail(errInvalidBlock, "one block of 16-bit little-endian codes");
            return;
        }
        for (std::size_t i = 0; i < bytes.size(); i += 2) {
            codes.push_back(static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[i])
                                                       | static_cast<unsigned char>(bytes[i + 1]) << 8));
        }
    } else {
        for (std::size_t i = 1; i < params.size(); ++i) {
            const TParam& p = params[i];
            if (p.Kind != TParam::TKind::Number || !p.Text.empty() || p.Number != std::floor(p.Number) || p.Number < 0
                || p.Number > 65535) {
                Fail(errDataType, "sample codes are whole numbers");
                return;
            }
            codes.push_back(static_cast<std::uint16_t>(p.Number));
        }
    }
    const std::int32_t range = settings_.SampleRange;
    if (codes.empty() || codes.size() > static_cast<std::size_t>(kMaxSamples)) {
        Fail(errDataOutOfRange, "1 to 16384 samples");
        return;
    }
    if (const auto bad = std::find_if(codes.begin(), codes.end(), [range](std::uint16_t c) { return c >= range; });
        bad != codes.end()) {
        Fail(errDataOutOfRange, "sample code " + std::to_string(*bad) + " is above " + std::to_string(range - 1));
        return;
    }
    TWaveformTarn wave;
    wave.Allocate(static_cast<std::int32_t>(codes.size()), range, false);
    std::copy(codes.begin(), codes.end(), wave.Samples());
    wave.Name = name.Text;
    wave.UpdateStatistics();
    AddOrReplace(wave);
}

} // namespace tarn::scpi
