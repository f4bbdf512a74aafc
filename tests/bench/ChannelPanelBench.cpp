// SPDX-License-Identifier: MIT
// One channel refresh with a 16,384-sample waveform, and one level-bar change
// from its handler to the request leaving the USB library, on the program
// running in-process over the virtual generator.
#include "data/SettingsTarn.h"
#include "panels/ChannelMathTarn.h"
#include "panels/ChannelWrapperTarn.h"
#include "shell/Main.h"
#include "shell/TarnProgram.h"
#include "shell/master/tests/TestApp.h"
#include "tests/program/ProgramHarness.h"

#include <benchmark/benchmark.h>

#include <QScrollBar>

#include <dlfcn.h>

#include <memory>

namespace tarn::test {
namespace {

// The running program with a 16,384-sample arbitrary waveform on the device.
class TRunningProgram {
public:
    TRunningProgram() : vg(folder.File("libvireo.so"))
    {
        TestApp();
        TProgramOptions options;
        options.programFolder = folder.Path().string();
        options.singleInstanceCheck = false;
        program = std::make_unique<TTarnProgram>(dialogs, options);
        started = program->Start();
        if (!started) {
            return;
        }
        auto wave = std::make_unique<TWaveformTarn>();
        wave->Allocate(16384, 4096, false);
        for (int i = 0; i < 16384; ++i)
            wave->Samples()[i] = static_cast<std::uint16_t>(1 + (i * 7919) % 4095);
        wave->UpdateStatistics();
        Form().SettingsTarn1().Device.Waveforms[0] = std::move(wave);
        requestCount = reinterpret_cast<std::int32_t (*)()>(dlsym(VireoHandle(), "VgGetRequestCount"));
    }
    ~TRunningProgram()
    {
        if (started)
            program->Finish();
    }
    TMainForm& Form() { return *program->MainForm(); }
    void* VireoHandle() { return dlopen(folder.File("libvireo.so").c_str(), RTLD_NOW | RTLD_NOLOAD); }

    TProgramFolder folder;
    TScriptedDialogs dialogs;
    TVirtualGenerator vg;
    std::unique_ptr<TTarnProgram> program;
    bool started = false;
    std::int32_t (*requestCount)() = nullptr;
};

void BM_ChannelRefresh16k(benchmark::State& state)
{
    TRunningProgram running;
    if (!running.started) {
        state.SkipWithError("program did not start");
        return;
    }
    TChannelWrapperTarn& panel = running.Form().ChannelWrapperTarn1();
    for (auto _ : state)
        panel.Refresh();
}
BENCHMARK(BM_ChannelRefresh16k)->Unit(benchmark::kMicrosecond);

// The arithmetic alone of that refresh: the readings over the 16,384 samples.
void BM_ChannelReadings16k(benchmark::State& state)
{
    TRunningProgram running;
    if (!running.started) {
        state.SkipWithError("program did not start");
        return;
    }
    const TSettingsTarn& settings = running.Form().SettingsTarn1();
    const TChannelSetup setup = *ChannelSetup(settings, 0);
    const TWaveStats wave = StatsOf(ChannelWaveform(settings, 0));
    for (auto _ : state)
        benchmark::DoNotOptimize(ComputeReadings(setup, wave, TPeakSide::Plus));
}
BENCHMARK(BM_ChannelReadings16k)->Unit(benchmark::kMicrosecond);

void BM_LevelBarChangeToUsb(benchmark::State& state)
{
    TRunningProgram running;
    if (!running.started || running.requestCount == nullptr) {
        state.SkipWithError("program did not start");
        return;
    }
    QScrollBar* bar = running.Form().ChannelWrapperTarn1().Controls().LevelBar;
    const std::int32_t before = running.requestCount();
    int position = 1000;
    for (auto _ : state) {
        position = position == 1000 ? 1001 : 1000;
        bar->setValue(position);
    }
    state.counters["usb_requests_per_change"] = benchmark::Counter(static_cast<double>(running.requestCount() - before)
                                                                   / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_LevelBarChangeToUsb)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tarn::test

BENCHMARK_MAIN();
