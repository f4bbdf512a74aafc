// SPDX-License-Identifier: MIT
// The sum of harmonics 1 .. 32 of the "Harmonics" module, without Qt.
#pragma once
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tarnplugin {

constexpr int kHarmonicCount = 32;

struct THarmonics {
    // Amplitude (1 = full scale) and phase in degrees of harmonics 1 .. 32.
    std::array<double, kHarmonicCount> Amplitude{};
    std::array<double, kHarmonicCount> Phase{};

    // sum of a_k sin(2 pi k t + phase_k) at t = i / count, scaled down to
    // -1 .. 1 only when its peak exceeds 1, as codes 0 .. range - 1 around range div 2.
    std::vector<unsigned short> Sample(int count, int range) const;
    // The module's data block: 64 numbers as text, amplitudes and phases in turn.
    std::string Save() const;
    // Nothing when the block is not 64 finite numbers.
    static std::optional<THarmonics> Load(const std::string& block);
};

} // namespace tarnplugin
