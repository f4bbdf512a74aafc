// SPDX-License-Identifier: MIT
// Writes a waveform library for the benchmarks: the standard sine as device
// waveform, then COUNT arbitrary waveforms of SAMPLES samples (16384 unless
// given), each a few random harmonics with a little noise. The same
// arguments always give the same file.
//
//   tarn_make_library FILE COUNT [SAMPLES]

#include "data/SettingsTarn.h"
#include "data/WaveformRepositoryFile.h"
#include "data/WaveformTarn.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

std::unique_ptr<TWaveformTarn> RandomWaveform(std::mt19937& random, std::int32_t count, int index)
{
    std::uniform_int_distribution<int> harmonic(1, 200);
    std::uniform_real_distribution<double> amplitude(50.0, 600.0);
    std::normal_distribution<double> noise(0.0, 2.0);
    struct Part {
        int harmonic;
        double amplitude;
    };
    std::vector<Part> parts(3);
    for (Part& p : parts)
        p = {harmonic(random), amplitude(random)};
    auto w = std::make_unique<TWaveformTarn>();
    std::vector<std::uint16_t> codes(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        double v = 2048.0 + noise(random);
        for (const Part& p : parts)
            v += p.amplitude * std::sin(2 * std::numbers::pi * p.harmonic * i / count);
        codes[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(std::clamp(std::nearbyint(v), 0.0, 4095.0));
    }
    w->AssignData(TWaveformData{codes.data(), count, 4096});
    char name[32];
    std::snprintf(name, sizeof name, "Waveform %05d", index);
    w->Name = name;
    return w;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::fputs("usage: tarn_make_library FILE COUNT [SAMPLES]\n", stderr);
        return 1;
    }
    try {
        const int count = std::atoi(argv[2]);
        const std::int32_t samples = argc == 4 ? std::atoi(argv[3]) : 16384;
        if (count < 0 || samples < 1 || samples > 16384)
            throw std::invalid_argument("COUNT must be at least 0 and SAMPLES 1 .. 16384");
        std::mt19937 random(20261208u + static_cast<unsigned>(count));
        TWaveformList device;
        TWaveformList repository;
        device.push_back(MakeStandardWaveform(TStandardWaveform::Sine));
        for (int i = 0; i < count; ++i)
            repository.push_back(RandomWaveform(random, samples, i));
        SaveWaveformRepositoryFile(argv[1], device, repository);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarn_make_library: %s\n", e.what());
        return 1;
    }
    return 0;
}
