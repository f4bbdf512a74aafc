// SPDX-License-Identifier: MIT
#include "HarmonicsMath.h"

#include <algorithm>
#include <cmath>
#include <locale>
#include <numbers>
#include <sstream>

namespace tarnplugin {

std::vector<unsigned short> THarmonics::Sample(int count, int range) const
{
    std::vector<double> values(static_cast<std::size_t>(std::max(count, 0)));
    double peak = 0.0;
    for (int i = 0; i < count; ++i) {
        double sum = 0.0;
        for (int k = 0; k < kHarmonicCount; ++k) {
            if (Amplitude[k] != 0.0) {
                sum += Amplitude[k]
                       * std::sin(2.0 * std::numbers::pi * (k + 1) * i / count + Phase[k] * std::numbers::pi / 180.0);
            }
        }
        values[static_cast<std::size_t>(i)] = sum;
        peak = std::max(peak, std::fabs(sum));
    }
    const double scale = peak > 1.0 ? 1.0 / peak : 1.0;
    const double zero = range / 2;
    const double amplitude = std::max(range / 2 - 1, 0);
    std::vector<unsigned short> samples(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double code = std::nearbyint(zero + values[i] * scale * amplitude);
        samples[i] = static_cast<unsigned short>(std::clamp(code, 0.0, std::max(range - 1, 0) * 1.0));
    }
    return samples;
}

std::string THarmonics::Save() const
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.precision(17);
    for (int k = 0; k < kHarmonicCount; ++k) {
        out << Amplitude[k] << ' ' << Phase[k] << (k + 1 < kHarmonicCount ? " " : "");
    }
    return out.str();
}

std::optional<THarmonics> THarmonics::Load(const std::string& block)
{
    std::istringstream in(block);
    in.imbue(std::locale::classic());
    THarmonics harmonics;
    for (int k = 0; k < kHarmonicCount; ++k) {
        if (!(in >> harmonics.Amplitude[k] >> harmonics.Phase[k]) || !std::isfinite(harmonics.Amplitude[k])
            || !std::isfinite(harmonics.Phase[k])) {
            return std::nullopt;
        }
    }
    std::string rest;
    if (in >> rest) {
        return std::nullopt;
    }
    return harmonics;
}

} // namespace tarnplugin
