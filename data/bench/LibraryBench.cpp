// SPDX-License-Identifier: MIT
// Load, save and unchanged exit of a large waveform library. The library is
// the "waveforms.dat" in the folder named by TARN_BENCH_LIBRARY, made by
// make-libraries.sh. Run the load alone in a fresh process to read its
// peak memory (peak_rss_MB against file_MB).

#include "data/SettingsTarn.h"
#include "data/WaveformRepositoryFile.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::filesystem::path LibraryFolder()
{
    const char* folder = std::getenv("TARN_BENCH_LIBRARY");
    return folder != nullptr ? folder : "/tmp/tarn-bench/lib10000";
}

double FileMB(const std::filesystem::path& file)
{
    return static_cast<double>(std::filesystem::file_size(file)) / 1e6;
}

double PeakRssMB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) * 1024.0 / 1e6;
}

void BM_LoadLibrary(benchmark::State& state)
{
    const auto file = LibraryFolder() / WaveformRepositoryFileName;
    for (auto _ : state) {
        TWaveformList device, repository;
        LoadWaveformRepositoryFile(file, device, repository);
        benchmark::DoNotOptimize(repository.data());
    }
    state.counters["file_MB"] = FileMB(file);
    state.counters["peak_rss_MB"] = PeakRssMB();
}
BENCHMARK(BM_LoadLibrary)->Unit(benchmark::kMillisecond)->Iterations(3);

// Written beside the library, so the sync is to the same disk.
void BM_SaveLibrary(benchmark::State& state)
{
    const auto folder = LibraryFolder();
    TWaveformList device, repository;
    LoadWaveformRepositoryFile(folder / WaveformRepositoryFileName, device, repository);
    const auto copy = folder / "bench-copy.dat";
    for (auto _ : state)
        SaveWaveformRepositoryFile(copy, device, repository);
    std::filesystem::remove(copy);
}
BENCHMARK(BM_SaveLibrary)->Unit(benchmark::kMillisecond)->Iterations(3);

// The save at exit after a start that changed nothing.
void BM_ExitUnchanged(benchmark::State& state)
{
    const auto folder = LibraryFolder();
    TSettingsTarn settings;
    settings.SetDefaults();
    settings.Load(folder);
    for (auto _ : state)
        benchmark::DoNotOptimize(settings.Save(folder).Ok());
}
BENCHMARK(BM_ExitUnchanged)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
