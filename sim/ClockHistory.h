// SPDX-License-Identifier: MIT
// The sample clock the generator ran at over the last while: one entry per
// request that switched it, so a sweep's steps can be drawn as they happened
// on the device rather than as the program meant them.
#pragma once
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace vg {

using Clock = std::chrono::steady_clock;

inline constexpr double kClockBase = 50e6; // the synthesiser's lowest output

struct ClockStep {
    Clock::time_point at;
    double rate = 0.0; // Hz
};

class ClockHistory {
public:
    // Ten seconds of 1 ms steps and then some; older steps go first.
    static constexpr std::size_t kCapacity = 16384;

    // A rate equal to the last one recorded is no switch and is not kept.
    void Record(Clock::time_point at, double rate);
    // The steps after `from`, led by the one in force at `from` (when known),
    // so that a strip starting there has its first value.
    std::vector<ClockStep> Since(Clock::time_point from) const;
    std::size_t Size() const { return steps_.size(); }

private:
    std::deque<ClockStep> steps_;
};

// The sample clock the registers select: the active clock word (register 9's
// bit 7 picks 4 over 3, clamped to 32767 .. 65535) gives 50 .. 100 MHz, divided
// by 2^k with k = register 9's low three bits plus bits 3 .. 6.
double SampleClockRate(const std::array<std::uint16_t, 256>& registers, std::int32_t* dividerExponent = nullptr);

} // namespace vg
