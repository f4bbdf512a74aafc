// SPDX-License-Identifier: MIT
// The test bench side of the virtual generator: what its analog outputs read.
#include "sim/VirtualGenerator.h"

#include <algorithm>

namespace vg {

GeneratorState VirtualGenerator::State() const
{
    std::lock_guard lock(mutex_);
    GeneratorState state;
    std::copy(registers_.begin(), registers_.end(), state.registers.begin());
    state.samples.assign(samples_.begin(), samples_.end());
    std::copy_n(eeprom_.begin() + 256, state.calibrationPage.size(), state.calibrationPage.begin());
    state.plugged = plugged_;
    state.power = power_;
    state.configured = configured_;
    state.shots = shots_;
    return state;
}

void VirtualGenerator::TriggerIn()
{
    std::lock_guard lock(mutex_);
    // A whole pulse on the input: either edge setting sees one edge of it.
    if (plugged_ && (registers_[kControl] & kTriggerOnBit) != 0)
        ++shots_;
}

std::vector<ClockStep> VirtualGenerator::ClockSteps(Clock::time_point from) const
{
    std::lock_guard lock(mutex_);
    return clock_.Since(from);
}

} // namespace vg
