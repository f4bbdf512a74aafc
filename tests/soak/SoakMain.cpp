// SPDX-License-Identifier: MIT
// The soak program: tarn_soak [--faults N] [--seed S], or TARN_SOAK_FAULTS and
// TARN_SOAK_SEED; a random seed when none is given. Prints the seed first and,
// when a check fails, the command that replays the run.
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "device/DeviceAbstractionTarn.h"
#include "shell/Main.h"
#include "shell/master/ObjMasterTarn.h"
#include "tests/program/ProgramHarness.h"
#include "tests/soak/ProgramSoak.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>

namespace tarn::test {
namespace {

using namespace std::chrono_literals;

struct TSoakOptions {
    int faults = 1000;
    std::uint64_t seed = 0;
    std::string replay;
};
TSoakOptions options;

// Everything both files keep, as text: device settings, indicator
// flags, the device's waveform and every library waveform with its samples.
std::string Describe(const TSettingsTarn& s)
{
    std::ostringstream out;
    const TDeviceSettings& d = s.Device;
    // The file keeps 15 significant digits of a number.
    out.precision(15);
    out << "frequency " << d.Frequency << " mode " << d.FrequencyMode << "\n";
    const std::pair<const char*, const TIntArray*> lists[] = {
        {"level", &d.Level},   {"shift", &d.Shift},        {"shiftmode", &d.ShiftMode}, {"devshift", &d.DevShift},
        {"atn", &d.OutputAtn}, {"output", &d.OutputOnOff}, {"filter", &d.Filter}};
    for (const auto& [name, list] : lists) {
        out << name;
        for (std::int32_t v : *list)
            out << " " << v;
        out << "\n";
    }
    out << "trigger " << d.TriggerMode << d.ArmOnOff << d.ArmStopLevel << d.RunOnOff << d.TriggerOnOff
        << d.TriggerLeading << "\n";
    for (const TBoolArray* flags : {&s.VppOn, &s.VpOn, &s.VrmsOn, &s.VavgOn})
        for (bool on : *flags)
            out << on;
    out << "\n";
    auto wave = [&out](const char* what, const TWaveformTarn& w) {
        const std::string_view bytes(reinterpret_cast<const char*>(w.Samples()),
                                     static_cast<std::size_t>(w.SampleCount()) * 2);
        out << what << " '" << w.Name << "' " << w.IsStandard << " " << w.SampleCount() << " "
            << std::hash<std::string_view>{}(bytes) << "\n";
    };
    for (const auto& w : d.Waveforms)
        wave("device", *w);
    for (const auto& w : s.Repository)
        wave("library", *w);
    return out.str();
}

// Ends the process with a clear message when the soak stops advancing.
class TWatchdog {
public:
    TWatchdog(const TProgramSoak& soak, std::chrono::seconds limit)
        : thread_([this, &soak, limit] {
              std::int64_t seen = -1;
              auto since = std::chrono::steady_clock::now();
              while (!done_) {
                  std::this_thread::sleep_for(100ms);
                  const std::int64_t now = soak.Progress();
                  if (now != seen) {
                      seen = now;
                      since = std::chrono::steady_clock::now();
                  } else if (std::chrono::steady_clock::now() - since > limit) {
                      std::fprintf(stderr, "soak: HANG: no progress for %lld s after %s\nsoak: replay: %s\n",
                                   static_cast<long long>(limit.count()), soak.LastStep().c_str(),
                                   options.replay.c_str());
                      std::fflush(stderr);
                      std::_Exit(3);
                  }
              }
          })
    {
    }
    ~TWatchdog()
    {
        done_ = true;
        thread_.join();
    }
    TWatchdog(const TWatchdog&) = delete;
    TWatchdog& operator=(const TWatchdog&) = delete;

private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

TEST(ProgramSoak, FaultsAtRandomMomentsEndInRecoveryWithTheSettingsOnTheDevice)
{
    TStartedProgram run(false, [](const TVirtualGenerator& vg) { WriteCalibration(vg, SoakCalibration()); });
    ASSERT_TRUE(run.started);
    TSettingsTarn& settings = run.Form().SettingsTarn1();
    ASSERT_EQ(run.Form().DeviceAbstractionTarn1().Driver()->GetSerialNumber(), 100042u) << "a real device";
    // Arbitrary waveforms from the shortest to the whole sample memory.
    std::mt19937 samples(static_cast<std::uint32_t>(options.seed));
    for (int count : {2, 77, 1000, 4096, 16384}) {
        TWaveformTarn wave;
        wave.Allocate(count, 4096, false);
        for (int i = 0; i < count; ++i)
            wave.Samples()[i] = static_cast<std::uint16_t>(samples() % 4096);
        wave.UpdateStatistics();
        wave.Name = "arbitrary " + std::to_string(count);
        settings.AddWaveform(wave);
    }
    run.Form().ObjMasterTarn1().Notify(TObjMasterCode::omWaveformListChanged, -1);

    const auto started = std::chrono::steady_clock::now();
    int done = 0;
    {
        TProgramSoak soak(run, options.seed);
        const TWatchdog watchdog(soak, 30s);
        done = soak.Run(options.faults);
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    std::printf("soak: %d of %d faults in %.1f s\n", done, options.faults, took.count());
    EXPECT_EQ(done, options.faults);
    EXPECT_TRUE(run.Form().ExitConfirmed());

    // Both files, saved by the exit, hold what the program had.
    const std::string kept = Describe(settings);
    run.program->Finish();
    // Besides the exit question only the user's deletes of standard waveforms asked.
    std::vector<std::string> texts;
    for (const TShownMessage& shown : run.dialogs.shown) {
        if (shown.buttons != TDialogButtons::YesNoDefaultNo)
            texts.push_back(shown.text);
    }
    EXPECT_EQ(texts, std::vector<std::string>{Strings::ExitConfirmation});
    TSettingsTarn reloaded;
    reloaded.SetDefaults();
    const TSettingsLoadResult loaded = reloaded.Load(run.program->DataFolder());
    EXPECT_TRUE(loaded.SettingsRead);
    EXPECT_FALSE(loaded.RepositoryRecovered) << loaded.RepositoryError;
    EXPECT_EQ(Describe(reloaded), kept);
    if (::testing::Test::HasFailure())
        std::fprintf(stderr, "soak: FAILED; replay: %s\n", options.replay.c_str());
}

} // namespace
} // namespace tarn::test

int main(int argc, char** argv)
{
    using tarn::test::options;
    ::testing::InitGoogleTest(&argc, argv);
    bool seeded = false;
    if (const char* faults = std::getenv("TARN_SOAK_FAULTS"))
        options.faults = std::atoi(faults);
    if (const char* seed = std::getenv("TARN_SOAK_SEED")) {
        options.seed = std::strtoull(seed, nullptr, 10);
        seeded = true;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--faults") == 0) {
            options.faults = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--seed") == 0) {
            options.seed = std::strtoull(argv[i + 1], nullptr, 10);
            seeded = true;
        } else {
            std::fprintf(stderr, "usage: %s [--faults N] [--seed S]\n", argv[0]);
            return 2;
        }
    }
    if (!seeded)
        options.seed = std::random_device{}() * 4294967296ull + std::random_device{}();
    options.replay = std::string(argv[0]) + " --faults " + std::to_string(options.faults) + " --seed "
                     + std::to_string(options.seed);
    std::printf("soak: seed %llu, %d faults\n", static_cast<unsigned long long>(options.seed), options.faults);
    std::fflush(stdout);
    return RUN_ALL_TESTS();
}
