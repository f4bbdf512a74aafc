// SPDX-License-Identifier: MIT
// A background save of a large library after one change: how long the
// window's thread is held (the longest tick: the one that takes the images,
// or one while the save runs), how long the save takes, and the exit save after it
// (which must find the file unchanged). Library folder as for LibraryBench
// (TARN_BENCH_LIBRARY). Prints medians of REPEATS runs (default 5).

#include "data/SettingsTarn.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const char* folderText = std::getenv("TARN_BENCH_LIBRARY");
    const std::filesystem::path folder = folderText != nullptr ? folderText : "/tmp/tarn-bench/lib10000";
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::vector<double> stall, save, exitSave;
    bool exitUnchanged = true;
    for (int r = 0; r < repeats; ++r) {
        TSettingsTarn settings;
        settings.SetDefaults();
        settings.Load(folder);
        settings.AutosaveTick(); // starts the saver; nothing has changed yet
        settings.Repository[static_cast<std::size_t>(r) % settings.Repository.size()]->Name =
            "changed " + std::to_string(Clock::now().time_since_epoch().count());
        const auto started = Clock::now();
        double longest = 0.0;
        // Ticks more often than the window's timer, so every stall is seen.
        while (!settings.AutosaveIdle() || longest == 0.0) {
            const auto tick = Clock::now();
            settings.AutosaveTick();
            longest = std::max(longest, Ms(Clock::now() - tick));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        save.push_back(Ms(Clock::now() - started));
        stall.push_back(longest);
        const auto exitStarted = Clock::now();
        exitUnchanged = settings.Save(folder).RepositoryUnchanged && exitUnchanged;
        exitSave.push_back(Ms(Clock::now() - exitStarted));
    }
    std::printf("autosave: longest window-thread stall %.2f ms, change to file written %.0f ms, "
                "exit save %.1f ms (library %s), medians of %d\n",
                Median(stall), Median(save), Median(exitSave), exitUnchanged ? "not rewritten" : "REWRITTEN",
                repeats);
    return 0;
}
