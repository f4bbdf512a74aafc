// SPDX-License-Identifier: MIT
#pragma once
// What the crash test compares: the two lists as one line of text.
#include "data/WaveformTarn.h"

#include <cstdint>
#include <ctime>
#include <numeric>
#include <utility>
#include <string>

namespace autosavetest {

inline long long NowMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

inline std::string State(const TWaveformList& device, const TWaveformList& repository)
{
    std::string state;
    for (const auto* list : {&device, &repository}) {
        for (const auto& w : *list) {
            const std::uint16_t* s = std::as_const(*w).Samples();
            const auto sum = std::accumulate(s, s + w->SampleCount(), std::uint64_t{0});
            state += w->Name + ":" + std::to_string(w->SampleCount()) + ":" + std::to_string(sum) + ":" +
                     std::to_string(w->ModuleData.ModuleKey) + ",";
        }
        state += "|";
    }
    return state;
}

} // namespace autosavetest
