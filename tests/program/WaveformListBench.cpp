// SPDX-License-Identifier: MIT
// A 10,000-waveform library: wall time from starting the program on the
// virtual generator to its painted main window, and CPU time to scroll the
// waveform list from top to bottom one page at a time (cold thumbnails on
// the first pass, cached ones after).
#include "data/SettingsTarn.h"
#include "panels/WaveListBoxTarn.h"
#include "shell/Main.h"
#include "shell/TarnProgram.h"
#include "shell/master/ObjMasterTarn.h"
#include "shell/master/tests/TestApp.h"
#include "tests/program/ProgramHarness.h"

#include <QApplication>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <filesystem>

namespace tarn::test {
namespace {

constexpr int kLibrarySize = 10000;

void AddLibrary(TSettingsTarn& settings)
{
    TWaveformTarn wave;
    for (int k = 0; k < kLibrarySize; ++k) {
        wave.Allocate(256 + k % 512, 4096, k % 3 == 0);
        std::uint16_t* s = wave.Samples();
        for (int i = 0; i < wave.SampleCount(); ++i)
            s[i] = static_cast<std::uint16_t>((i * (k + 1) * 7) % 4096);
        wave.Name = "Waveform " + std::to_string(k);
        settings.AddWaveform(wave);
    }
}

// settings.xml and waveforms.dat with the standard waveforms and the library.
const std::filesystem::path& LibraryFolder()
{
    static QTemporaryDir folder;
    static const bool written = [] {
        TSettingsTarn settings;
        settings.MakeStandardWaveforms();
        AddLibrary(settings);
        return settings.Save(folder.path().toStdString()).Ok();
    }();
    static const std::filesystem::path path = written ? folder.path().toStdString() : std::string();
    return path;
}

void BM_ShowMainWindowWithLibrary(benchmark::State& state)
{
    TestApp();
    QApplication::setQuitOnLastWindowClosed(false);
    if (LibraryFolder().empty()) {
        state.SkipWithError("the library could not be written");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        TProgramFolder folder;
        for (const char* name : {"settings.xml", "waveforms.dat"})
            std::filesystem::copy_file(LibraryFolder() / name, folder.File(name));
        TScriptedDialogs dialogs;
        TProgramOptions options;
        options.programFolder = folder.Path().string();
        options.singleInstanceCheck = false;
        state.ResumeTiming();
        TTarnProgram program(dialogs, options);
        const bool started = program.Start();
        if (started) {
            program.MainForm()->show();
            (void)QTest::qWaitForWindowExposed(program.MainForm());
            QApplication::processEvents();
        }
        state.PauseTiming();
        const int count = started ? program.MainForm()->WaveListBoxTarn1().Count() : 0;
        program.Finish();
        state.ResumeTiming();
        if (count != kLibrarySize + 4) {
            state.SkipWithError("the library was not shown");
            return;
        }
    }
}
BENCHMARK(BM_ShowMainWindowWithLibrary)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_ScrollListPageByPage(benchmark::State& state)
{
    TStartedProgram run;
    if (!run.started) {
        state.SkipWithError("the program did not start");
        return;
    }
    AddLibrary(run.Form().SettingsTarn1());
    run.Form().ObjMasterTarn1().Notify(TObjMasterCode::omWaveformListChanged, -1);
    TWaveListBoxTarn& list = run.Form().WaveListBoxTarn1();
    QScrollBar& bar = *list.verticalScrollBar();
    list.doItemsLayout();
    int pages = 0;
    const auto scroll = [&] {
        pages = 0;
        for (int value = bar.minimum();; value += bar.pageStep()) {
            bar.setValue(value);
            list.viewport()->repaint();
            ++pages;
            if (value >= bar.maximum())
                break;
        }
    };
    if (state.range(0) != 0)
        scroll(); // thumbnails made and cached before timing
    for (auto _ : state)
        scroll();
    state.counters["pages"] = pages;
    state.counters["thumbnails"] = list.ThumbnailsMade();
}
// Arg 0: the first pass, every thumbnail made; 1: thumbnails cached.
BENCHMARK(BM_ScrollListPageByPage)->Unit(benchmark::kMillisecond)->Arg(0)->Iterations(1);
BENCHMARK(BM_ScrollListPageByPage)->Unit(benchmark::kMillisecond)->Arg(1)->Iterations(5);

} // namespace
} // namespace tarn::test

BENCHMARK_MAIN();
