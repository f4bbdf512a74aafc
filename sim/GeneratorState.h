// SPDX-License-Identifier: MIT
// Everything the analog side of the generator reads at one moment: the
// register file, the sample memory, the calibration page and the switches.
#pragma once
#include "sim/CalibrationImage.h"

#include <array>
#include <cstdint>
#include <vector>

namespace vg {

struct GeneratorState {
    std::array<std::uint16_t, 256> registers{};
    std::vector<std::uint16_t> samples = std::vector<std::uint16_t>(16384, 0);
    CalibrationImage calibrationPage{};
    bool plugged = true;
    bool power = true;
    bool configured = false;
    // Single shots fired since power-up: software pulses and trigger-in edges.
    std::int32_t shots = 0;
};

} // namespace vg
