// SPDX-License-Identifier: MIT
// Sweeps in the running program on the virtual generator: the CPU time of
// one step (settings, broadcast, every panel, the driver and the USB
// library), how late steps go in at a dwell of 10 ms and of 100 ms, and the
// drift over a 10 s sweep. Not a test: it prints figures.
#include "data/SettingsTarn.h"
#include "shell/Main.h"
#include "sweep/SweepRunnerTarn.h"
#include "sweep/SweepTargetsTarn.h"
#include "tests/program/ProgramHarness.h"

#include <QEventLoop>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace tarn::test {
namespace {

using TClock = TSweepRunnerTarn::TClock;

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

TSweepSetup Setup(std::int32_t points, double dwell)
{
    TSweepSetup s;
    s.Start = 1000;
    s.Stop = 100000;
    s.Spacing = TSweepSpacing::Logarithmic;
    s.Points = points;
    s.Dwell = dwell;
    return s;
}

struct TTiming {
    std::vector<double> lateMs;
    double cpuPerStepUs = 0;
    double wallS = 0;
    double plannedS = 0;
};

TTiming RunSweep(TStartedProgram& run, const TSweepSetup& setup)
{
    TSweepRunnerTarn& runner = run.Form().SweepRunnerTarn1();
    TTiming timing;
    TClock::time_point first{}, last{};
    runner.OnStepTimed = [&](std::size_t step, TClock::time_point due, TClock::time_point applied) {
        if (step == 0)
            first = applied;
        last = applied;
        timing.lateMs.push_back(std::chrono::duration<double, std::milli>(applied - due).count());
    };
    QEventLoop loop;
    QObject::connect(&runner, &TSweepRunnerTarn::StateChanged, &loop, [&] {
        if (!runner.Running())
            loop.quit();
    });
    runner.SetSetup(setup);
    std::string error;
    const double cpu = CpuSeconds();
    if (!runner.Start(error)) {
        std::fprintf(stderr, "cannot sweep: %s\n", error.c_str());
        return timing;
    }
    loop.exec();
    const std::size_t steps = timing.lateMs.size();
    timing.cpuPerStepUs = steps > 0 ? (CpuSeconds() - cpu) / static_cast<double>(steps) * 1e6 : 0;
    timing.wallS = std::chrono::duration<double>(last - first).count();
    timing.plannedS = runner.Plan()->PassTime() - runner.Plan()->Points.back().Dwell;
    runner.OnStepTimed = {};
    return timing;
}

void Report(const char* name, const TTiming& t)
{
    if (t.lateMs.empty())
        return;
    double sum = 0, late = 0, worst = 0;
    for (const double ms : t.lateMs) {
        sum += ms;
        late += std::max(ms, 0.0);
        worst = std::max(worst, std::abs(ms));
    }
    const double mean = sum / static_cast<double>(t.lateMs.size());
    std::printf("%-22s steps %5zu  error mean %+.3f ms  max |error| %.3f ms  first-to-last %.4f s of %.4f s planned"
                " (drift %+.4f %%)  lateness a relative timer would add up %.1f ms  CPU %.0f us/step (whole run)\n",
                name, t.lateMs.size(), mean, worst, t.wallS, t.plannedS,
                t.plannedS > 0 ? (t.wallS - t.plannedS) / t.plannedS * 100 : 0.0, late, t.cpuPerStepUs);
}

} // namespace
} // namespace tarn::test

int main()
{
    using namespace tarn;
    using namespace tarn::test;
    TStartedProgram run;
    if (!run.started) {
        std::fprintf(stderr, "the program did not start\n");
        return 1;
    }
    // One step's work alone: the value into the settings and its broadcast
    // down to the USB library, as the runner does it.
    TSettingsTarn& settings = run.Form().SettingsTarn1();
    TObjMasterTarn& master = run.Form().ObjMasterTarn1();
    constexpr int kSteps = 2000;
    const double cpu = CpuSeconds();
    for (int i = 0; i < kSteps; ++i)
        ApplySweepFrequency(settings, master, 1000.0 + (i % 100) * 10.0);
    std::printf("%-22s %.1f us CPU per step (%d steps, no timer)\n", "one step", (CpuSeconds() - cpu) / kSteps * 1e6,
                kSteps);
    Report("dwell 10 ms", RunSweep(run, Setup(200, 0.010)));
    Report("dwell 100 ms", RunSweep(run, Setup(30, 0.100)));
    Report("10 s sweep, 10 ms", RunSweep(run, Setup(1001, 0.010)));
    return 0;
}
