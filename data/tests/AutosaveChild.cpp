// SPDX-License-Identifier: MIT
// A stand-in for the program in the crash test: loads a folder, makes random
// library edits and ticks the autosave as the window's timer does, logging
// each state it reaches (monotonic milliseconds, the lists, the frequency)
// until killed.
#include "AutosaveState.h"

#include "data/SettingsTarn.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    const std::filesystem::path folder = argv[1];
    std::mt19937 random(static_cast<std::uint32_t>(std::stoul(argv[2])));
    std::FILE* journal = std::fopen(argv[3], "w");
    if (journal == nullptr)
        return 2;
    TSettingsTarn settings;
    settings.SetDefaults();
    settings.Load(folder);
    const auto log = [&] {
        std::fprintf(journal, "%lld %s %lld\n", static_cast<long long>(autosavetest::NowMs()),
                     autosavetest::State(settings.Device.Waveforms, settings.Repository).c_str(),
                     static_cast<long long>(settings.Device.Frequency));
        std::fflush(journal);
    };
    log();
    using Clock = std::chrono::steady_clock;
    auto nextTick = Clock::now() + std::chrono::milliseconds(TSettingsTarn::AutosaveIntervalMs);
    for (unsigned n = 0;; ++n) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + random() % 60));
        auto& list = settings.Repository;
        const std::size_t at = list.empty() ? 0 : random() % list.size();
        switch (list.empty() ? 0 : random() % 6) {
        case 0: { // add
            TWaveformTarn wave;
            wave.Allocate(static_cast<std::int32_t>(1 + random() % 2000), 4096, false);
            wave.Samples()[0] = static_cast<std::uint16_t>(random() % 4096);
            wave.Name = "n" + std::to_string(n);
            settings.AddWaveform(wave);
            break;
        }
        case 1:
            if (list.size() > 2)
                list.erase(list.begin() + static_cast<std::ptrdiff_t>(at));
            break;
        case 2:
            list[at]->Name = "r" + std::to_string(n);
            break;
        case 3: // a module edit
            if (list[at]->SampleCount() > 0)
                list[at]->DataView()->Samples[0] = static_cast<std::uint16_t>(random() % 4096);
            list[at]->ModuleData.Reset(n, "m");
            break;
        case 4: // the device waveform
            settings.Device.Waveforms[0]->Assign(*list[at]);
            break;
        default: // settings only
            settings.Device.Frequency = 1000.0 + n;
            break;
        }
        log();
        while (Clock::now() >= nextTick) {
            settings.AutosaveTick();
            nextTick += std::chrono::milliseconds(TSettingsTarn::AutosaveIntervalMs);
        }
    }
}
