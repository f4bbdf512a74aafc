// SPDX-License-Identifier: MIT
#pragma once
// Helpers shared by the waveform-unit tests.

#include "data/WaveformTarn.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace wavetest {

// The standard sine of 8192 codes around 2048.
inline std::vector<std::uint16_t> StandardSine()
{
    std::vector<std::uint16_t> s(8192);
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<std::uint16_t>(
            std::nearbyint(std::sin(2 * std::numbers::pi * static_cast<double>(i) / 8192) * 2047 + 2048));
    return s;
}

inline std::unique_ptr<TWaveformTarn> MakeWaveform(const std::string& name, const std::vector<std::uint16_t>& samples,
                                                   bool standard = false)
{
    auto w = std::make_unique<TWaveformTarn>();
    w->Name = name;
    w->Allocate(static_cast<std::int32_t>(samples.size()), 4096, standard);
    for (std::size_t i = 0; i < samples.size(); ++i)
        w->Samples()[i] = samples[i];
    w->UpdateStatistics();
    return w;
}

// A folder of its own below the system's temporary folder, removed afterwards.
class TempFolder {
public:
    TempFolder()
    {
        std::random_device rd;
        Path =
            std::filesystem::temp_directory_path() / ("tarn-wave-" + std::to_string(rd()) + "-" + std::to_string(rd()));
        std::filesystem::create_directories(Path);
    }
    ~TempFolder()
    {
        std::error_code ec;
        std::filesystem::permissions(Path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(Path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::filesystem::path Path;
};

} // namespace wavetest
