// SPDX-License-Identifier: MIT
// Timing of the waveform statistics and of the repository file.

#include "data/WaveformRepositoryFile.h"
#include "data/WaveformTarn.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <random>
#include <string>

namespace {

void FillSine(TWaveformTarn& w, std::int32_t count, int cycles)
{
    w.Allocate(count, 4096, false);
    for (std::int32_t i = 0; i < count; ++i)
        w.Samples()[i] = static_cast<std::uint16_t>(
            std::nearbyint(2048 + 2047 * std::sin(2 * std::numbers::pi * cycles * i / count)));
}

void BM_UpdateStatistics(benchmark::State& state)
{
    TWaveformTarn w;
    FillSine(w, static_cast<std::int32_t>(state.range(0)), 1);
    for (auto _ : state) {
        w.UpdateStatistics();
        benchmark::DoNotOptimize(w.HighestHarmonic());
    }
}
BENCHMARK(BM_UpdateStatistics)->Arg(1000)->Arg(8192)->Arg(16384)->Unit(benchmark::kMillisecond);

class RepositoryFolder {
public:
    RepositoryFolder()
    {
        std::random_device rd;
        Path = std::filesystem::temp_directory_path() / ("tarn-wave-bench-" + std::to_string(rd()));
        std::filesystem::create_directories(Path);
    }
    ~RepositoryFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
    RepositoryFolder(const RepositoryFolder&) = delete;
    RepositoryFolder& operator=(const RepositoryFolder&) = delete;
    std::filesystem::path Path;
};

void MakeRepository(TWaveformList& device, TWaveformList& repository)
{
    device.push_back(std::make_unique<TWaveformTarn>());
    FillSine(*device.back(), 16384, 1);
    for (int i = 0; i < 1000; ++i) {
        auto w = std::make_unique<TWaveformTarn>();
        FillSine(*w, 16384, 1 + i % 7);
        w->Name = "Waveform " + std::to_string(i);
        repository.push_back(std::move(w));
    }
}

void BM_SaveRepository(benchmark::State& state)
{
    RepositoryFolder folder;
    TWaveformList device, repository;
    MakeRepository(device, repository);
    const auto file = folder.Path / WaveformRepositoryFileName;
    for (auto _ : state)
        SaveWaveformRepositoryFile(file, device, repository);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(file)));
}
BENCHMARK(BM_SaveRepository)->Unit(benchmark::kMillisecond);

// Loading includes the statistics and harmonic analysis of every waveform.
void BM_LoadRepository(benchmark::State& state)
{
    RepositoryFolder folder;
    const auto file = folder.Path / WaveformRepositoryFileName;
    {
        TWaveformList device, repository;
        MakeRepository(device, repository);
        SaveWaveformRepositoryFile(file, device, repository);
    }
    for (auto _ : state) {
        TWaveformList device, repository;
        LoadWaveformRepositoryFile(file, device, repository);
        benchmark::DoNotOptimize(repository.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(file)));
}
BENCHMARK(BM_LoadRepository)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
