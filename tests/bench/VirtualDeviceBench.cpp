// SPDX-License-Identifier: MIT
// One refresh of the "Virtual generator" window's numbers and traces: both
// outputs measured and drawn as 900 columns over 1 and 10 periods of a
// 16,384-sample waveform, with and without the output filter.
#include "sim/AnalogModel.h"
#include "virtualdevice/tests/BenchSignal.h"

#include <benchmark/benchmark.h>

namespace {

void AnalogRefresh(benchmark::State& state)
{
    vdev::test::BenchSignal bench;
    bench.Start(3000, 2600, 16384, 50e6);
    bench.device.SetFilter(static_cast<std::int32_t>(state.range(1)));
    const vg::GeneratorState generator = bench.generator.State();
    const int periods = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const vg::AnalogModel model(generator, vg::AnalogCharacteristic{});
        for (const auto output : {vg::AnalogOutput::L, vg::AnalogOutput::H}) {
            benchmark::DoNotOptimize(model.Measure(output, 50.0, periods));
            benchmark::DoNotOptimize(model.Envelope(output, 50.0, periods, 900));
        }
    }
}
BENCHMARK(AnalogRefresh)->Args({1, 0})->Args({10, 0})->Args({10, 2})->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
