// SPDX-License-Identifier: MIT
#include "sweep/SweepTargetsTarn.h"

#include "data/SettingsTarn.h"
#include "panels/ChannelMathTarn.h"

namespace tarn {

namespace {

std::int32_t* RealSlot(TIntArray& array, const TSettingsTarn& settings, std::int32_t output)
{
    const auto real = static_cast<std::size_t>(settings.ChannelAssignments[static_cast<std::size_t>(output)].RealChannel);
    return real < array.size() ? &array[real] : nullptr;
}

// The peak-to-peak voltage of a level entry, open load.
double VppOf(TChannelSetup setup, const TWaveStats& stats, const TLevelEntry& entry)
{
    setup.Level = entry.Level;
    setup.OutputAtn = entry.OutputAtn;
    setup.Load = -1.0;
    return ComputeReadings(setup, stats, TPeakSide::Plus).Vpp;
}

bool ValidOutput(const TSettingsTarn& settings, std::int32_t output)
{
    return output >= 0 && static_cast<std::size_t>(output) < settings.ChannelAssignments.size();
}

} // namespace

std::int32_t SweepOutput(TSweepTarget target)
{
    return target == TSweepTarget::LevelH ? 1 : 0;
}

std::optional<TSweepRange> LevelRangeOf(const TSettingsTarn& settings, std::int32_t output)
{
    const auto setup = ValidOutput(settings, output) ? ChannelSetup(settings, output) : std::nullopt;
    if (!setup)
        return std::nullopt;
    const TWaveStats stats = StatsOf(ChannelWaveform(settings, output));
    TSweepRange range;
    range.Lo = VppOf(*setup, stats, {1, setup->HasAttenuator ? 1 : 0});
    range.Hi = VppOf(*setup, stats, {setup->LevelSteps - 1, 0});
    if (!(range.Lo > 0 && range.Lo < range.Hi))
        return std::nullopt;
    range.Round = [setup = *setup, stats](double vpp) {
        const auto factor = FactorFromVpp(vpp, stats);
        return factor ? VppOf(setup, stats, LevelFromFactor(setup, *factor)) : vpp;
    };
    return range;
}

TSweepLimits SweepLimitsOf(const TSettingsTarn& settings, TSweepTarget target)
{
    TSweepLimits limits;
    limits.Level = LevelRangeOf(settings, 0);
    if (target == TSweepTarget::Frequency) {
        limits.Value = FrequencyRangeOf(settings);
    } else if (const auto level = LevelRangeOf(settings, SweepOutput(target))) {
        limits.Value = *level;
    }
    return limits;
}

bool ApplySweepLevel(TSettingsTarn& settings, TObjMasterTarn& master, std::int32_t output, double vpp)
{
    const auto setup = ValidOutput(settings, output) ? ChannelSetup(settings, output) : std::nullopt;
    const auto factor = setup ? FactorFromVpp(vpp, StatsOf(ChannelWaveform(settings, output))) : std::nullopt;
    std::int32_t* level = RealSlot(settings.Device.Level, settings, output);
    std::int32_t* atn = RealSlot(settings.Device.OutputAtn, settings, output);
    if (!factor || level == nullptr || atn == nullptr)
        return false;
    const TLevelEntry entry = LevelFromFactor(*setup, *factor);
    const std::int32_t real = settings.ChannelAssignments[static_cast<std::size_t>(output)].RealChannel;
    // The attenuator is only announced when it moves: a level sweep should
    // not click the relay on every step.
    const bool atnMoves = *atn != entry.OutputAtn;
    *level = entry.Level;
    *atn = entry.OutputAtn;
    master.Notify(TObjMasterCode::omLevelChanged, real);
    if (atnMoves)
        master.Notify(TObjMasterCode::omAttenuatorChanged, real);
    return true;
}

void ApplySweepFrequency(TSettingsTarn& settings, TObjMasterTarn& master, double frequency)
{
    settings.Device.Frequency = frequency;
    master.Notify(TObjMasterCode::omFrequencyChanged);
}

void ApplySweepPoint(TSettingsTarn& settings, TObjMasterTarn& master, TSweepTarget target, const TSweepPoint& point)
{
    if (target == TSweepTarget::Frequency) {
        ApplySweepFrequency(settings, master, point.Value);
        if (point.Level)
            ApplySweepLevel(settings, master, 0, *point.Level);
    } else {
        ApplySweepLevel(settings, master, SweepOutput(target), point.Value);
    }
}

} // namespace tarn
