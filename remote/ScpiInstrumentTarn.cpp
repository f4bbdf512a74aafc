// SPDX-License-Identifier: MIT
#include "remote/ScpiInstrumentTarn.h"

#include "remote/ScpiCommandTableTarn.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

namespace tarn::scpi {

namespace {

const std::vector<std::vector<TPatternNode>>& Patterns()
{
    static const std::vector<std::vector<TPatternNode>> patterns = [] {
        std::vector<std::vector<TPatternNode>> all;
        for (std::size_t i = 0; i < CommandCount(); ++i) {
            all.push_back(ParsePattern(Command(i).Pattern));
        }
        return all;
    }();
    return patterns;
}

std::string HeaderText(const std::vector<THeaderNode>& nodes, bool query)
{
    std::string text;
    for (const THeaderNode& n : nodes) {
        if (!text.empty() && n.Name[0] != '*') {
            text += ':';
        }
        text += n.Name;
        if (n.Suffix >= 0) {
            text += std::to_string(n.Suffix);
        }
    }
    return query ? text + '?' : text;
}

bool HasSuffix(const std::vector<TPatternNode>& pattern)
{
    return std::any_of(pattern.begin(), pattern.end(), [](const TPatternNode& n) { return n.Suffix; });
}

// Halfway limits compare with a little room for the decimal text.
bool Within(double v, double lo, double hi)
{
    return v >= lo - 1e-9 * std::fabs(lo) && v <= hi + 1e-9 * std::fabs(hi);
}

} // namespace

std::string NumberText(double value)
{
    char text[40];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 12);
    if (result.ec != std::errc()) {
        return "0";
    }
    // NR3 writes its exponent with a capital E.
    std::string out(text, result.ptr);
    std::replace(out.begin(), out.end(), 'e', 'E');
    return out;
}

TScpiInstrument::TScpiInstrument(TSettingsTarn& settings, TScpiHost& host, std::string identity)
    : settings_(settings), host_(host), identity_(std::move(identity))
{
}

bool TScpiInstrument::Fail(int code, std::string_view detail)
{
    errors_.Push(code, detail);
    return false;
}

std::string TScpiInstrument::Execute(std::string_view message, bool answerUnread)
{
    LatchConditions();
    TMessageParser parser(message);
    TUnit unit;
    TParseError error;
    std::string response;
    bool answered = false;
    while (parser.Next(unit, error)) {
        std::vector<THeaderNode> nodes = unit.Nodes;
        if (!unit.Common && !unit.Absolute) {
            nodes.insert(nodes.begin(), path_.begin(), path_.end());
        }
        const auto& patterns = Patterns();
        std::size_t found = CommandCount();
        int suffix = 1;
        for (std::size_t i = 0; i < CommandCount(); ++i) {
            if (Command(i).Query == unit.Query && MatchPattern(patterns[i], nodes, suffix)) {
                found = i;
                break;
            }
        }
        if (found == CommandCount()) {
            // A header error ends the message, as a parse error does.
            Fail(errUndefinedHeader, HeaderText(nodes, unit.Query));
            break;
        }
        if (!unit.Common) {
            path_.assign(nodes.begin(), nodes.end() - 1);
        }
        const TCommandEntry& entry = Command(found);
        if (HasSuffix(patterns[found]) && (suffix < 1 || suffix > settings_.ChannelCount)) {
            Fail(errHeaderSuffix, "outputs are 1 (Output L) and 2 (Output H)");
            continue;
        }
        if (unit.Query && std::exchange(answerUnread, false)) {
            Fail(errQueryInterrupted, "the answer to the query before was not read");
        }
        if (entry.Changes && host_.CommunicationBroken()) {
            Fail(errHardware, "communication with the generator is broken; nothing was changed");
            continue;
        }
        TCall call{unit, suffix, entry.Tag, {}};
        (this->*entry.Handler)(call);
        LatchConditions();
        if (unit.Query && !call.Response.empty()) {
            if (response.size() + call.Response.size() + 2 > kMaxAnswer) {
                // Nothing half-sent: the client reads the error instead.
                Fail(errTooMuchData,
                     "the answer would pass 8 MiB; none of it was sent and the rest of the message was not run");
                response.clear();
                answered = false;
                break;
            }
            if (answered) {
                response += ';';
            }
            response += call.Response;
            answered = true;
        }
    }
    if (error.Code != 0) {
        Fail(error.Code, error.Detail);
    }
    // Every message starts again at the root.
    path_.clear();
    LatchConditions();
    return answered ? response + '\n' : std::string();
}

bool TScpiInstrument::ParamCount(const TCall& call, std::size_t min, std::size_t max)
{
    const std::size_t n = call.Unit.Params.size();
    if (n < min) {
        return Fail(errMissingParameter);
    }
    if (n > max) {
        return Fail(errParameterNotAllowed);
    }
    return true;
}

std::optional<double> TScpiInstrument::Value(const TParam& p, std::string_view unit, double min, double max, double def,
                                             bool infinity)
{
    double v = 0;
    if (p.Kind == TParam::TKind::Mnemonic) {
        if (MatchesMnemonic("MINimum", p.Text)) {
            return min;
        }
        if (MatchesMnemonic("MAXimum", p.Text)) {
            return max;
        }
        if (MatchesMnemonic("DEFault", p.Text)) {
            return def;
        }
        if (infinity && (MatchesMnemonic("INFinity", p.Text) || p.Text == "OPEN")) {
            return kInfinity;
        }
        Fail(errIllegalValue, p.Text);
        return std::nullopt;
    }
    if (p.Kind != TParam::TKind::Number) {
        Fail(errDataType, "a number was expected");
        return std::nullopt;
    }
    const std::optional<long double> scaled = ScaledNumber(p, unit);
    if (!scaled) {
        Fail(errInvalidSuffix, p.Text);
        return std::nullopt;
    }
    v = static_cast<double>(*scaled);
    if (!std::isfinite(v) || !Within(v, min, max)) {
        Fail(errDataOutOfRange,
             NumberText(v) + " " + std::string(unit) + " is outside " + NumberText(min) + " .. " + NumberText(max));
        return std::nullopt;
    }
    return std::clamp(v, min, max);
}

std::optional<bool> TScpiInstrument::Boolean(const TParam& p)
{
    if (p.Kind == TParam::TKind::Mnemonic && (p.Text == "ON" || p.Text == "OFF")) {
        return p.Text == "ON";
    }
    if (p.Kind == TParam::TKind::Number && p.Text.empty()) {
        return std::llround(p.Number) != 0;
    }
    Fail(errIllegalValue, "ON, OFF, 1 or 0 expected");
    return std::nullopt;
}

std::optional<int> TScpiInstrument::Choice(const TParam& p, std::initializer_list<std::string_view> forms)
{
    if (p.Kind == TParam::TKind::Mnemonic) {
        int i = 0;
        for (const std::string_view form : forms) {
            if (MatchesMnemonic(form, p.Text)) {
                return i;
            }
            ++i;
        }
    }
    Fail(p.Kind == TParam::TKind::Mnemonic ? errIllegalValue : errDataType, p.Text);
    return std::nullopt;
}

const TChannelAssignment* TScpiInstrument::Output(const TCall& call)
{
    if (call.Channel < 1 || call.Channel > static_cast<int>(settings_.ChannelAssignments.size())) {
        Fail(errHeaderSuffix, "outputs are 1 (Output L) and 2 (Output H)");
        return nullptr;
    }
    const TChannelAssignment& out = settings_.ChannelAssignments[static_cast<std::size_t>(call.Channel - 1)];
    // The panel of an output that is not there takes nothing and shows nothing.
    if (out.IsHOutput && !settings_.Device.HOutputActive) {
        Fail(errHardwareMissing, "Output H is not active");
        return nullptr;
    }
    if (!ChannelSetup(settings_, call.Channel - 1)) {
        Fail(errExecution, "no settings for this output");
        return nullptr;
    }
    return &out;
}

std::int32_t* TScpiInstrument::RealValue(const TChannelAssignment& out,
                                         std::vector<std::int32_t> TDeviceSettings::*array)
{
    std::vector<std::int32_t>& list = settings_.Device.*array;
    const auto real = static_cast<std::size_t>(out.RealChannel);
    return real < list.size() ? &list[real] : nullptr;
}

std::optional<TChannelSetup> TScpiInstrument::Setup(const TCall& call)
{
    return Output(call) != nullptr ? ChannelSetup(settings_, call.Channel - 1) : std::nullopt;
}

void TScpiInstrument::Store(const TChannelAssignment& out, std::vector<std::int32_t> TDeviceSettings::*array,
                            std::int32_t value, TObjMasterCode code)
{
    if (std::int32_t* target = RealValue(out, array)) {
        *target = value;
        host_.Notify(code, out.RealChannel);
    }
}

void TScpiInstrument::Answer(TCall& call, double value)
{
    call.Response = NumberText(value);
}

void TScpiInstrument::Answer(TCall& call, std::string_view text)
{
    call.Response = text;
}

// ---- Common and system commands ----

void TScpiInstrument::Idn(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        Answer(call, identity_);
    }
}

void TScpiInstrument::Rst(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        // A running sweep stops before the values it steps are reset.
        if (TSweepControl* sweep = host_.Sweep()) {
            sweep->Stop();
            sweep->SetSetup(TSweepSetup{});
        }
        freqMode_ = kFreqModeCont;
        listDwell_ = TSweepListPoint{}.Dwell;
        settings_.ResetDeviceValues();
        // The safe state: nothing comes out until a script asks for it.
        std::fill(settings_.Device.OutputOnOff.begin(), settings_.Device.OutputOnOff.end(), 0);
        amplitudeUnit_ = TAmplitudeUnit::Vpp;
        busTrigger_ = false;
        swapped_ = true;
        host_.SettingsReplaced(true);
    }
}

void TScpiInstrument::Cls(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        errors_.Clear();
    }
}

void TScpiInstrument::Opc(TCall& call)
{
    // Every command has finished when the next one is read.
    if (ParamCount(call, 0, 0)) {
        Answer(call, "1");
    }
}

void TScpiInstrument::OpcSet(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        errors_.Raise(esrOperationComplete);
    }
}

void TScpiInstrument::Register(TCall& call)
{
    if (!ParamCount(call, 1, 1)) {
        return;
    }
    const TParam& p = call.Unit.Params[0];
    if (p.Kind != TParam::TKind::Number || !p.Text.empty()) {
        Fail(errDataType, "a register value 0 to 255");
        return;
    }
    // Nearest, ties to even (the default rounding mode), then the range:
    // -0.5 is 0, not 255.
    const long double rounded = std::nearbyint(p.Number);
    if (!(rounded >= 0 && rounded <= 255)) {
        Fail(errDataOutOfRange, "a register value 0 to 255");
        return;
    }
    const auto value = static_cast<std::uint8_t>(rounded);
    if (call.Tag == 0) {
        eventEnable_ = value;
    } else {
        // The summary bit cannot ask for service.
        serviceEnable_ = static_cast<std::uint8_t>(value & ~kStbMss);
    }
}

void TScpiInstrument::RegisterQuery(TCall& call)
{
    if (!ParamCount(call, 0, 0)) {
        return;
    }
    const int values[] = {eventEnable_, serviceEnable_, call.Tag == 2 ? errors_.TakeEvents() : 0, StatusByte()};
    Answer(call, std::to_string(values[call.Tag]));
}

std::uint8_t TScpiInstrument::StatusByte() const
{
    // No message waits: answers go out as soon as they are made.
    std::uint8_t stb = errors_.Count() > 0 ? kStbErrorQueue : 0;
    if ((questionableEvents_ & questionableEnable_) != 0) {
        stb |= kStbQuestionable;
    }
    if ((operationEvents_ & operationEnable_) != 0) {
        stb |= kStbOperation;
    }
    if ((errors_.Events() & eventEnable_) != 0) {
        stb |= kStbEvent;
    }
    return (stb & serviceEnable_) != 0 ? stb | kStbMss : stb;
}

void TScpiInstrument::SelfTest(TCall& call)
{
    // The only part that can fail is the link to the generator.
    if (ParamCount(call, 0, 0)) {
        Answer(call, host_.CommunicationBroken() ? "1" : "0");
    }
}

void TScpiInstrument::Nothing(TCall& call)
{
    ParamCount(call, 0, 0);
}

void TScpiInstrument::Trg(TCall& call)
{
    if (!ParamCount(call, 0, 0)) {
        return;
    }
    // As "Go" in single mode, which is there only while the external trigger is off.
    const TDeviceSettings& d = settings_.Device;
    if (d.TriggerMode != 1 || d.TriggerOnOff != 0) {
        Fail(errTriggerIgnored, d.TriggerMode != 1 ? "not in single mode" : "the external trigger is on");
        return;
    }
    host_.Notify(TObjMasterCode::omTriggerPulse, 0);
}

void TScpiInstrument::ErrorNext(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        const TError e = errors_.Pop();
        Answer(call, std::to_string(e.Code) + "," + Quoted(e.Text));
    }
}

void TScpiInstrument::ErrorCount(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        Answer(call, std::to_string(errors_.Count()));
    }
}

void TScpiInstrument::Version(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        Answer(call, "1999.0");
    }
}

} // namespace tarn::scpi
