// SPDX-License-Identifier: MIT
// A virtual generator driven by the driver's device model, as the program
// would drive it, for tests and pictures of the device program's window.
#pragma once
#include "driver/tarndrvobjs.h"
#include "sim/tests/LinkPort.h"

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

namespace vdev::test {

struct BenchSignal {
    vg::VirtualGenerator generator;
    tarn::drv::TFailureFlag flag;
    tarn::drv::TVireoDevice device{[this] { return std::make_unique<vg::test::LinkPort>(generator); }, flag};
    std::vector<std::uint16_t> wave;

    // Initialised, a sine of `count` samples over codes 1 .. 4095 at `rate`
    // samples per second, output on, generating, at the given level and shift.
    std::int32_t Start(int level = 3000, int shift = 2600, int count = 1000, double rate = 1e6)
    {
        const std::int32_t result = device.Initialize();
        wave.resize(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            wave[std::size_t(i)] =
                static_cast<std::uint16_t>(std::lround(2048 + 2047 * std::sin(2 * std::numbers::pi * i / count)));
        device.LoadWaveform(wave.data(), count, false);
        device.SetFrequency(rate, false);
        device.SetOutput(true);
        device.SetRun(true);
        device.SetTriggerLeading(true);
        device.SetArmStopLevel(true);
        device.SetLevel(level);
        device.SetShift(shift);
        return result;
    }
};

} // namespace vdev::test
