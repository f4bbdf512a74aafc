// SPDX-License-Identifier: MIT
// Burst and trigger source as other generators name them, mapped onto the
// trigger panel; the operation and questionable status registers; commands
// that drivers send to a front panel this program does not have.
#include "remote/ScpiInstrumentTarn.h"

#include <cmath>
#include <utility>

namespace tarn::scpi {

std::uint16_t TScpiInstrument::QuestionableCondition() const
{
    return host_.CommunicationBroken() ? quesCommunicationBroken : 0;
}

std::uint16_t TScpiInstrument::OperationCondition() const
{
    const TSweepControl* sweep = host_.Sweep();
    const bool sweeping = sweep != nullptr && sweep->Running();
    return static_cast<std::uint16_t>((settings_.Device.TriggerMode == 1 ? operWaitingForTrigger : 0) |
                                      (sweeping ? operSweeping : 0));
}

void TScpiInstrument::LatchConditions()
{
    // An event is a condition that came true.
    const std::uint16_t q = QuestionableCondition();
    questionableEvents_ |= q & ~questionableSeen_;
    questionableSeen_ = q;
    const std::uint16_t o = OperationCondition();
    operationEvents_ |= o & ~operationSeen_;
    operationSeen_ = o;
}

void TScpiInstrument::BurstState(TCall& call)
{
    if (const auto on = ParamCount(call, 1, 1) ? Boolean(call.Unit.Params[0]) : std::nullopt) {
        // A burst of one period per trigger is the single mode.
        settings_.Device.TriggerMode = *on ? 1 : 0;
        host_.Notify(TObjMasterCode::omTriggerModeChanged, 0);
    }
}

void TScpiInstrument::BurstStateQuery(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        Answer(call, settings_.Device.TriggerMode == 1 ? "1" : "0");
    }
}

void TScpiInstrument::BurstCycles(TCall& call)
{
    if (!ParamCount(call, 1, 1)) {
        return;
    }
    const TParam& p = call.Unit.Params[0];
    const bool one = p.Kind == TParam::TKind::Number
                         ? p.Text.empty() && p.Number == 1
                         : (MatchesMnemonic("MINimum", p.Text) || MatchesMnemonic("MAXimum", p.Text)
                            || MatchesMnemonic("DEFault", p.Text));
    if (!one) {
        Fail(errDataOutOfRange, "the generator plays one period per trigger: NCYCles is 1");
    }
}

void TScpiInstrument::BurstCyclesQuery(TCall& call)
{
    if (Limit(call) >= 0) {
        Answer(call, "1");
    }
}

void TScpiInstrument::BurstMode(TCall& call)
{
    const auto mode = ParamCount(call, 1, 1) ? Choice(call.Unit.Params[0], {"TRIGgered", "GATed"}) : std::nullopt;
    if (mode == 1) {
        Fail(errSettingsConflict, "no gated bursts; ARM ON in period mode suspends by a level");
    }
}

void TScpiInstrument::BurstModeQuery(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        Answer(call, "TRIG");
    }
}

void TScpiInstrument::TriggerSource(TCall& call)
{
    const auto source =
        ParamCount(call, 1, 1) ? Choice(call.Unit.Params[0], {"IMMediate", "EXTernal", "BUS"}) : std::nullopt;
    if (!source) {
        return;
    }
    busTrigger_ = *source == 2;
    const std::int32_t external = *source == 1 ? 1 : 0;
    // The trigger "On"/"Off" of the panel, which it keeps in either mode.
    if (settings_.Device.TriggerOnOff != external) {
        settings_.Device.TriggerOnOff = external;
        host_.Notify(TObjMasterCode::omTriggerOnOffChanged, 0);
    }
}

void TScpiInstrument::TriggerSourceQuery(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        Answer(call, settings_.Device.TriggerOnOff != 0 ? "EXT" : busTrigger_ ? "BUS" : "IMM");
    }
}

void TScpiInstrument::StatusPreset(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        operationEnable_ = 0;
        questionableEnable_ = 0;
    }
}

void TScpiInstrument::StatusEvent(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        LatchConditions();
        std::uint16_t& events = call.Tag == 0 ? operationEvents_ : questionableEvents_;
        Answer(call, std::to_string(std::exchange(events, std::uint16_t{0})));
    }
}

void TScpiInstrument::StatusCondition(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        Answer(call, std::to_string(call.Tag == 0 ? OperationCondition() : QuestionableCondition()));
    }
}

void TScpiInstrument::StatusEnable(TCall& call)
{
    if (!ParamCount(call, 1, 1)) {
        return;
    }
    const TParam& p = call.Unit.Params[0];
    const long double rounded = std::nearbyint(p.Number);
    if (p.Kind != TParam::TKind::Number || !p.Text.empty()) {
        Fail(errDataType, "a register value 0 to 65535");
    } else if (!(rounded >= 0 && rounded <= 65535)) {
        Fail(errDataOutOfRange, "a register value 0 to 65535");
    } else {
        (call.Tag == 0 ? operationEnable_ : questionableEnable_) = static_cast<std::uint16_t>(rounded);
    }
}

void TScpiInstrument::StatusEnableQuery(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        Answer(call, std::to_string(call.Tag == 0 ? operationEnable_ : questionableEnable_));
    }
}

void TScpiInstrument::ErrorAll(TCall& call)
{
    if (!ParamCount(call, 0, 0)) {
        return;
    }
    std::string all;
    do {
        const TError e = errors_.Pop();
        all += (all.empty() ? "" : ",") + std::to_string(e.Code) + "," + Quoted(e.Text);
    } while (errors_.Count() > 0);
    Answer(call, all);
}

namespace {

struct TFixed {
    double value;
    const char* unit;
    const char* why;
};
constexpr TFixed kFixed[] = {
    {50.0, "PCT", "the square is high half of the period: 50"},
    {100.0, "PCT", "the ramp rises over the whole period: 100"},
    {0.0, "DEG", "a burst starts at the waveform's first sample: 0"},
};

} // namespace

void TScpiInstrument::Fixed(TCall& call)
{
    const TFixed& f = kFixed[call.Tag];
    const TParam* p = ParamCount(call, 1, 1) ? &call.Unit.Params[0] : nullptr;
    if (p == nullptr) {
        return;
    }
    const auto scaled = p->Kind == TParam::TKind::Number ? ScaledNumber(*p, f.unit) : std::nullopt;
    const bool limit = p->Kind == TParam::TKind::Mnemonic
                       && (MatchesMnemonic("MINimum", p->Text) || MatchesMnemonic("MAXimum", p->Text)
                           || MatchesMnemonic("DEFault", p->Text));
    if (!limit && !(scaled && *scaled == f.value)) {
        Fail(errDataOutOfRange, f.why);
    }
}

void TScpiInstrument::FixedQuery(TCall& call)
{
    if (Limit(call) >= 0) {
        Answer(call, kFixed[call.Tag].value);
    }
}

void TScpiInstrument::Ignored(TCall& call)
{
    ParamCount(call, 0, 1);
}

void TScpiInstrument::IgnoredQuery(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        Answer(call, call.Tag == 0 ? "0" : "\"\"");
    }
}

} // namespace tarn::scpi
