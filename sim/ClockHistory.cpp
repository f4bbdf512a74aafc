// SPDX-License-Identifier: MIT
#include "sim/ClockHistory.h"

#include <algorithm>
#include <cmath>

namespace vg {
namespace {
constexpr std::size_t kClock0 = 3, kClock1 = 4, kDivider = 9;
constexpr std::uint16_t kSecondClock = 128;
} // namespace

void ClockHistory::Record(Clock::time_point at, double rate)
{
    if (!steps_.empty() && steps_.back().rate == rate)
        return;
    if (steps_.size() == kCapacity)
        steps_.pop_front();
    steps_.push_back({at, rate});
}

std::vector<ClockStep> ClockHistory::Since(Clock::time_point from) const
{
    auto first = std::upper_bound(steps_.begin(), steps_.end(), from,
                                  [](Clock::time_point t, const ClockStep& s) { return t < s.at; });
    if (first != steps_.begin())
        --first;
    return {first, steps_.end()};
}

double SampleClockRate(const std::array<std::uint16_t, 256>& r, std::int32_t* dividerExponent)
{
    const std::uint16_t selector = r[kDivider];
    const int word = std::clamp<int>((selector & kSecondClock) != 0 ? r[kClock1] : r[kClock0], 32767, 65535);
    const int code = selector & 127;
    const int divider = (code & 7) + (code >> 3);
    if (dividerExponent != nullptr)
        *dividerExponent = divider;
    return (kClockBase * (word - 32767) / 32768.0 + kClockBase) / std::ldexp(1.0, divider);
}

} // namespace vg
