// SPDX-License-Identifier: MIT
// Sweeps and list mode: the setup the sweep window shows, changed and run
// from a script. The frequency commands work on the frequency's own limits;
// the rules of what can be swept are the plan's (data/SweepTarn).
#include "remote/ScpiInstrumentTarn.h"

#include "panels/FrequencyScaleTarn.h"

#include <cmath>

namespace tarn::scpi {

namespace {

constexpr double kMaxSweepTime = 1e6;
constexpr double kMaxSweepCount = 1e6;
const TSweepSetup kDefaultSweep;

std::string Joined(const std::vector<TSweepListPoint>& list, double TSweepListPoint::*field)
{
    std::string text;
    for (const TSweepListPoint& p : list) {
        if (!text.empty())
            text += ',';
        text += NumberText(p.*field);
    }
    return text;
}

} // namespace

TSweepControl* TScpiInstrument::SweepOrFail()
{
    TSweepControl* sweep = host_.Sweep();
    if (sweep == nullptr)
        Fail(errHardwareMissing, "no sweep runs here");
    return sweep;
}

TSweepControl* TScpiInstrument::SweepQuery(const TCall& call, int& limit)
{
    limit = Limit(call);
    return limit >= 0 ? SweepOrFail() : nullptr;
}

void TScpiInstrument::SweepSpan(TCall& call)
{
    TSweepControl* sweep = ParamCount(call, 1, 1) ? SweepOrFail() : nullptr;
    if (sweep == nullptr)
        return;
    const TFrequencyLimits limits = LimitsOf(settings_);
    TSweepSetup s = sweep->Setup();
    const double centre = (s.Start + s.Stop) / 2;
    const double span = s.Stop - s.Start;
    const double width = limits.Hi - limits.Lo;
    const TSweepSetup& d = kDefaultSweep;
    const double defaults[] = {d.Start, d.Stop, (d.Start + d.Stop) / 2};
    const auto v = call.Tag < 3 ? Value(call.Unit.Params[0], "HZ", limits.Lo, limits.Hi, limits.Clamp(defaults[call.Tag]))
                                : Value(call.Unit.Params[0], "HZ", -width, width, d.Stop - d.Start);
    if (!v)
        return;
    double start = s.Start;
    double stop = s.Stop;
    switch (call.Tag) {
    case 0:
        start = *v;
        break;
    case 1:
        stop = *v;
        break;
    case 2:
        start = *v - span / 2;
        stop = *v + span / 2;
        break;
    default:
        start = centre - *v / 2;
        stop = centre + *v / 2;
        break;
    }
    if (call.Tag >= 2 && !(start >= limits.Lo && stop >= limits.Lo && start <= limits.Hi && stop <= limits.Hi)) {
        Fail(errDataOutOfRange, "start and stop would leave " + NumberText(limits.Lo) + " .. " +
                                    NumberText(limits.Hi) + " HZ");
        return;
    }
    s.Target = TSweepTarget::Frequency;
    s.Start = start;
    s.Stop = stop;
    sweep->SetSetup(s);
}

void TScpiInstrument::SweepSpanQuery(TCall& call)
{
    int limit = 0;
    TSweepControl* sweep = SweepQuery(call, limit);
    if (sweep == nullptr)
        return;
    const TFrequencyLimits f = LimitsOf(settings_);
    const TSweepSetup& s = sweep->Setup();
    const double width = f.Hi - f.Lo;
    const TSweepSetup& d = kDefaultSweep;
    const double rows[4][4] = {
        {s.Start, f.Lo, f.Hi, f.Clamp(d.Start)},
        {s.Stop, f.Lo, f.Hi, f.Clamp(d.Stop)},
        {(s.Start + s.Stop) / 2, f.Lo, f.Hi, f.Clamp((d.Start + d.Stop) / 2)},
        {s.Stop - s.Start, -width, width, d.Stop - d.Start},
    };
    Answer(call, rows[call.Tag][limit]);
}

void TScpiInstrument::SweepState(TCall& call)
{
    const auto on = ParamCount(call, 1, 1) ? Boolean(call.Unit.Params[0]) : std::nullopt;
    TSweepControl* sweep = on ? SweepOrFail() : nullptr;
    if (sweep == nullptr)
        return;
    if (!*on) {
        sweep->Stop();
        return;
    }
    std::string error;
    if (!sweep->Start(error))
        Fail(errSettingsConflict, error);
}

void TScpiInstrument::SweepStateQuery(TCall& call)
{
    if (TSweepControl* sweep = ParamCount(call, 0, 0) ? SweepOrFail() : nullptr)
        Answer(call, sweep->Running() ? "1" : "0");
}

void TScpiInstrument::SweepTime(TCall& call)
{
    TSweepControl* sweep = ParamCount(call, 1, 1) ? SweepOrFail() : nullptr;
    const auto t = sweep ? Value(call.Unit.Params[0], "S", kSweepMinDwell, kMaxSweepTime, 1.0) : std::nullopt;
    if (!t)
        return;
    TSweepSetup s = sweep->Setup();
    s.Time = *t;
    sweep->SetSetup(s);
}

void TScpiInstrument::SweepTimeQuery(TCall& call)
{
    int limit = 0;
    TSweepControl* sweep = SweepQuery(call, limit);
    if (sweep == nullptr)
        return;
    const TSweepSetup& s = sweep->Setup();
    double time = s.Time;
    if (!(time > 0)) {
        // Dwell per point: the time of one pass as the plan makes it.
        const TSweepPlanResult plan = MakeSweepPlan(s, {FrequencyRangeOf(settings_), std::nullopt});
        time = plan.Plan ? plan.Plan->PassTime() : 0.0;
    }
    const double rows[] = {time, kSweepMinDwell, kMaxSweepTime, 1.0};
    Answer(call, rows[limit]);
}

void TScpiInstrument::SweepChoice(TCall& call)
{
    TSweepControl* sweep = ParamCount(call, 1, 1) ? SweepOrFail() : nullptr;
    const auto choice = !sweep                ? std::nullopt
                        : call.Tag == 0       ? Choice(call.Unit.Params[0], {"LINear", "LOGarithmic"})
                                              : Choice(call.Unit.Params[0], {"UP", "DOWN", "UPDown"});
    if (!choice)
        return;
    TSweepSetup s = sweep->Setup();
    if (call.Tag == 0)
        s.Spacing = static_cast<TSweepSpacing>(*choice);
    else
        s.Direction = static_cast<TSweepDirection>(*choice);
    sweep->SetSetup(s);
}

void TScpiInstrument::SweepChoiceQuery(TCall& call)
{
    TSweepControl* sweep = ParamCount(call, 0, 0) ? SweepOrFail() : nullptr;
    if (sweep == nullptr)
        return;
    static constexpr const char* spacing[] = {"LIN", "LOG"};
    static constexpr const char* direction[] = {"UP", "DOWN", "UPD"};
    const TSweepSetup& s = sweep->Setup();
    Answer(call, call.Tag == 0 ? spacing[static_cast<int>(s.Spacing)] : direction[static_cast<int>(s.Direction)]);
}

void TScpiInstrument::SweepNumber(TCall& call)
{
    TSweepControl* sweep = ParamCount(call, 1, 1) ? SweepOrFail() : nullptr;
    if (sweep == nullptr)
        return;
    const TParam& p = call.Unit.Params[0];
    const auto v = call.Tag == 0 ? Value(p, "", 2, static_cast<double>(kSweepMaxPoints), kDefaultSweep.Points)
                                 : Value(p, "", 1, kMaxSweepCount, kDefaultSweep.Count, true);
    if (!v)
        return;
    TSweepSetup s = sweep->Setup();
    const auto n = static_cast<std::int32_t>(std::nearbyint(*v));
    if (call.Tag == 0)
        s.Points = n;
    else
        s.Count = *v >= kInfinity ? 0 : n;
    sweep->SetSetup(s);
}

void TScpiInstrument::SweepNumberQuery(TCall& call)
{
    int limit = 0;
    TSweepControl* sweep = SweepQuery(call, limit);
    if (sweep == nullptr)
        return;
    const TSweepSetup& s = sweep->Setup();
    const double count = s.Count == 0 ? kInfinity : s.Count;
    const double rows[2][4] = {{static_cast<double>(s.Points), 2, static_cast<double>(kSweepMaxPoints),
                                static_cast<double>(kDefaultSweep.Points)},
                               {count, 1, kMaxSweepCount, static_cast<double>(kDefaultSweep.Count)}};
    Answer(call, rows[call.Tag][limit]);
}

void TScpiInstrument::SweepList(TCall& call)
{
    TSweepControl* sweep = ParamCount(call, 1, kSweepMaxPoints) ? SweepOrFail() : nullptr;
    if (sweep == nullptr)
        return;
    const TFrequencyLimits limits = LimitsOf(settings_);
    std::vector<double> values;
    for (const TParam& p : call.Unit.Params) {
        const auto v = call.Tag == 0 ? Value(p, "HZ", limits.Lo, limits.Hi, limits.Clamp(kDefaultSweep.Start))
                                     : Value(p, "S", kSweepMinDwell, kMaxSweepTime, TSweepListPoint{}.Dwell);
        if (!v)
            return;
        values.push_back(*v);
    }
    TSweepSetup s = sweep->Setup();
    if (call.Tag == 0) {
        // New points stay as long as the last one did.
        const double dwell = s.List.empty() ? listDwell_ : s.List.back().Dwell;
        s.List.resize(values.size(), TSweepListPoint{0.0, std::nullopt, dwell});
        for (std::size_t i = 0; i < values.size(); ++i)
            s.List[i].Frequency = values[i];
    } else if (values.size() == 1) {
        listDwell_ = values[0];
        for (TSweepListPoint& p : s.List)
            p.Dwell = values[0];
    } else if (values.size() == s.List.size()) {
        for (std::size_t i = 0; i < values.size(); ++i)
            s.List[i].Dwell = values[i];
    } else {
        Fail(errSettingsConflict, "one dwell, or one for each of the " + std::to_string(s.List.size()) +
                                      " frequencies of the list");
        return;
    }
    sweep->SetSetup(s);
}

void TScpiInstrument::SweepListQuery(TCall& call)
{
    if (TSweepControl* sweep = ParamCount(call, 0, 0) ? SweepOrFail() : nullptr) {
        const auto field = call.Tag == 0 ? &TSweepListPoint::Frequency : &TSweepListPoint::Dwell;
        Answer(call, Joined(sweep->Setup().List, field));
    }
}

void TScpiInstrument::SweepMode(int mode)
{
    TSweepControl* sweep = host_.Sweep();
    freqMode_ = mode;
    if (sweep == nullptr)
        return;
    if (mode == kFreqModeCw) {
        sweep->Stop();
    } else if (mode == kFreqModeSweep || mode == kFreqModeList) {
        TSweepSetup s = sweep->Setup();
        s.ListMode = mode == kFreqModeList;
        if (!s.ListMode)
            s.Target = TSweepTarget::Frequency;
        sweep->SetSetup(s);
    }
}

const char* TScpiInstrument::SweepModeName() const
{
    const TSweepControl* sweep = host_.Sweep();
    if (sweep != nullptr && sweep->Running())
        return sweep->Setup().ListMode ? "LIST" : "SWE";
    static constexpr const char* names[] = {"CONT", "CW", "SWE", "LIST"};
    return names[freqMode_];
}

} // namespace tarn::scpi
