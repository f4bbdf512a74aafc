// SPDX-License-Identifier: MIT
// What a sweep's values mean in the settings model: the limits and grid of
// each target, and a value put in as the panel's own change puts it in (the
// settings first, then the broadcast), so every panel and the device follow.
#pragma once
#include "data/SweepTarn.h"
#include "shell/master/ObjMasterTarn.h"

#include <cstdint>
#include <optional>

class TSettingsTarn;

namespace tarn {

// The output a level target sets: 0 "Output L", 1 "Output H".
std::int32_t SweepOutput(TSweepTarget target);
// The level range of an output in volts peak-to-peak (open load, as the
// panel enters it), from the smallest level above 0 to full scale, on the
// grid of level codes; empty when the output plays nothing level-able.
std::optional<TSweepRange> LevelRangeOf(const TSettingsTarn& settings, std::int32_t output);
// What a plan for the target may use now.
TSweepLimits SweepLimitsOf(const TSettingsTarn& settings, TSweepTarget target);

// Sets the output's level (and its attenuator) for a peak-to-peak voltage
// and announces both; false when the output cannot take it.
bool ApplySweepLevel(TSettingsTarn& settings, TObjMasterTarn& master, std::int32_t output, double vpp);
// Sets the frequency and announces it.
void ApplySweepFrequency(TSettingsTarn& settings, TObjMasterTarn& master, double frequency);
// One point of a plan for the target.
void ApplySweepPoint(TSettingsTarn& settings, TObjMasterTarn& master, TSweepTarget target, const TSweepPoint& point);

} // namespace tarn
