// SPDX-License-Identifier: MIT
// CPU time of the frequency bar in the running program on the virtual
// generator: one redraw at the bar's size in the main window, and one
// marker-drag step from the mouse event until the frequency request has left
// the USB library (the call is synchronous, so it has left when the event
// returns).
#include "data/SettingsTarn.h"
#include "panels/FrequencyBarTarn.h"
#include "shell/Main.h"
#include "tests/program/ProgramHarness.h"

#include <QApplication>
#include <QMouseEvent>

#include <benchmark/benchmark.h>

namespace tarn::test {
namespace {

void SendMouse(TFrequencyBarTarn& bar, QEvent::Type type, int x, int y)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(x, y), bar.mapToGlobal(QPointF(x, y)), button, held, Qt::NoModifier);
    QApplication::sendEvent(&bar, &event);
}

void BM_FrequencyBarRedraw(benchmark::State& state)
{
    TStartedProgram run;
    if (!run.started) {
        state.SkipWithError("the program did not start");
        return;
    }
    TFrequencyBarTarn& bar = run.Form().FrequencyBarTarn1();
    for (auto _ : state)
        bar.Redraw();
    state.SetLabel(std::to_string(bar.width()) + "x" + std::to_string(bar.height()));
}
BENCHMARK(BM_FrequencyBarRedraw)->Unit(benchmark::kMicrosecond);

void BM_MarkerDragStep(benchmark::State& state)
{
    TStartedProgram run;
    if (!run.started) {
        state.SkipWithError("the program did not start");
        return;
    }
    const TVirtualGenerator& vg = *run.vg;
    TFrequencyBarTarn& bar = run.Form().FrequencyBarTarn1();
    const TDeviceSettings& device = run.Form().SettingsTarn1().Device;
    const int x = PixelOf(bar.Model().View, bar.width(), device.Frequency);
    SendMouse(bar, QEvent::MouseButtonPress, x, 10);
    const std::int32_t before = vg.RegisterWriteCount(3) + vg.RegisterWriteCount(4);
    int step = 0;
    for (auto _ : state) {
        SendMouse(bar, QEvent::MouseMove, x + (step & 1 ? 1 : -1), 10);
        ++step;
    }
    SendMouse(bar, QEvent::MouseButtonRelease, x, 10);
    // Each step writes both clock words.
    const double writes = vg.RegisterWriteCount(3) + vg.RegisterWriteCount(4) - before;
    state.counters["clock_writes_per_step"] = step > 0 ? writes / step : 0;
}
BENCHMARK(BM_MarkerDragStep)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tarn::test

BENCHMARK_MAIN();
