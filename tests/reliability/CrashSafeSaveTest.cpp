// SPDX-License-Identifier: MIT
// Both files under a hard kill: a child process saves them over and over, the
// parent kills it with SIGKILL at chosen moments of each save. Whatever the
// moment, each file on disk is byte for byte the old or the new version, and
// the next successful save leaves no temporary file behind.
#include "data/SettingsTarn.h"
#include "data/WaveformRepositoryFile.h"
#include "data/XMLSettings.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kKills = 200;
constexpr int kWaveforms = 60;
constexpr std::int32_t kSamples = 16384;

enum Phase : int { kStarting = 0, kSettings = 1, kRepository = 2 };

// Written by the saving child, read by the killing parent.
struct TProgress {
    std::atomic<int> phase{kStarting};
    std::atomic<std::int64_t> startNs{0};
    std::atomic<std::uint64_t> saves{0};
};

std::int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

std::string ReadAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> TemporaryFiles(const fs::path& folder)
{
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name != SettingsFileName && name != WaveformRepositoryFileName) {
            found.push_back(entry.path());
        }
    }
    return found;
}

// A save clears a killed one's leftover only once it is 10 minutes old (the
// writer may still live elsewhere): make those left here that old.
void AgeLeftovers(const fs::path& folder)
{
    for (const fs::path& file : TemporaryFiles(folder)) {
        fs::last_write_time(file, fs::last_write_time(file) - std::chrono::minutes(11));
    }
}

// One version of both files: the settings model with its XML written.
struct TVersion {
    TSettingsTarn settings;
    std::string settingsBytes;
    std::string repositoryBytes;

    TVersion(int variant, const fs::path& scratch)
    {
        settings.SetDefaults();
        settings.MakeStandardWaveforms();
        settings.RecoverWaveforms();
        settings.Device.Frequency = 1000.0 * (variant + 1);
        std::mt19937 random(static_cast<unsigned>(variant));
        for (int w = 0; w < kWaveforms - variant * 7; ++w) {
            TWaveformTarn waveform;
            waveform.Name = "wave " + std::to_string(variant) + "/" + std::to_string(w);
            waveform.Allocate(kSamples, 4096, false);
            for (std::int32_t i = 0; i < kSamples; ++i) {
                waveform.Samples()[i] = static_cast<std::uint16_t>(random() % 4096);
            }
            settings.AddWaveform(waveform);
        }
        fs::create_directories(scratch);
        const TSettingsSaveResult saved = settings.Save(scratch);
        EXPECT_TRUE(saved.SettingsSaved && saved.RepositorySaved);
        settingsBytes = ReadAll(scratch / SettingsFileName);
        repositoryBytes = ReadAll(scratch / WaveformRepositoryFileName);
    }
    // The two saves the program makes at exit, one after the other.
    void SaveSettings(const fs::path& folder) const { settings.XMLStore->SaveToFile(folder / SettingsFileName); }
    void SaveRepository(const fs::path& folder) const
    {
        SaveWaveformRepositoryFile(folder / WaveformRepositoryFileName, settings.Device.Waveforms, settings.Repository);
    }
};

class CrashSafeSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::temp_directory_path() / ("tarn-crashsafe-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        folder_ = root_ / "program";
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path root_;
    fs::path folder_;
};

double MedianSeconds(const std::function<void()>& run)
{
    std::array<double, 5> times{};
    for (double& t : times) {
        const auto start = Clock::now();
        run();
        t = std::chrono::duration<double>(Clock::now() - start).count();
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

TEST_F(CrashSafeSave, KilledWriterLeavesOldOrNewFileAndNoTemporaryAfterTheNextSave)
{
    const auto versionA = std::make_unique<const TVersion>(0, root_ / "a");
    const auto versionB = std::make_unique<const TVersion>(1, root_ / "b");
    const std::array<const TVersion*, 2> versions = {versionA.get(), versionB.get()};
    ASSERT_NE(versions[0]->repositoryBytes.size(), versions[1]->repositoryBytes.size());

    const std::array<double, 3> duration = {0.0, MedianSeconds([&] { versions[1]->SaveSettings(folder_); }),
                                            MedianSeconds([&] { versions[1]->SaveRepository(folder_); })};

    auto* progress = static_cast<TProgress*>(
        ::mmap(nullptr, sizeof(TProgress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(progress, MAP_FAILED);
    new (progress) TProgress;

    std::mt19937 random(20261208);
    std::array<std::array<int, 10>, 3> killsByDecile{};
    int overruns = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        AgeLeftovers(folder_);
        versions[0]->SaveSettings(folder_);
        versions[0]->SaveRepository(folder_);
        ASSERT_TRUE(TemporaryFiles(folder_).empty())
            << "left after a successful save: " << TemporaryFiles(folder_).front() << " (kill " << kill << ")";
        progress->phase = kStarting;
        const std::uint64_t savesBefore = progress->saves;

        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (std::size_t i = 1;; ++i) {
                const TVersion& version = *versions[i % 2];
                progress->startNs = NowNs();
                progress->phase = kSettings;
                version.SaveSettings(folder_);
                progress->startNs = NowNs();
                progress->phase = kRepository;
                ++progress->saves;
                version.SaveRepository(folder_);
            }
        }
        // Alternate the file aimed at; within it, a uniformly random moment.
        const int aim = kill % 2 == 0 ? kRepository : kSettings;
        while (progress->phase != aim || (aim == kRepository && progress->saves == savesBefore)) {
            std::this_thread::yield();
        }
        const auto delay =
            std::chrono::duration<double>(std::uniform_real_distribution<double>(0.0, duration[aim])(random));
        std::this_thread::sleep_for(delay);
        const int phase = progress->phase;
        const double into = static_cast<double>(NowNs() - progress->startNs) * 1e-9 / duration[phase];
        ASSERT_EQ(::kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        if (into >= 1.0) {
            ++overruns; // slower than measured: counted at the end of the save
        }
        ++killsByDecile[phase][std::min(9, static_cast<int>(into * 10))];

        const std::string settings = ReadAll(folder_ / SettingsFileName);
        const std::string repository = ReadAll(folder_ / WaveformRepositoryFileName);
        ASSERT_TRUE(settings == versions[0]->settingsBytes || settings == versions[1]->settingsBytes)
            << "kill " << kill << " in the settings save at " << into;
        ASSERT_TRUE(repository == versions[0]->repositoryBytes || repository == versions[1]->repositoryBytes)
            << "kill " << kill << " in the repository save at " << into;
    }
    // The next successful saves clear what killed ones left.
    AgeLeftovers(folder_);
    versions[1]->SaveSettings(folder_);
    versions[1]->SaveRepository(folder_);
    EXPECT_TRUE(TemporaryFiles(folder_).empty()) << TemporaryFiles(folder_).front();
    ::munmap(progress, sizeof(TProgress));

    // Where the kills landed, in tenths of each save.
    for (const int phase : {kSettings, kRepository}) {
        std::string row;
        int hit = 0;
        for (const int n : killsByDecile[phase]) {
            row += std::to_string(n) + " ";
            hit += n > 0 ? 1 : 0;
        }
        std::printf("kills in the %s save by tenth: %s\n", phase == kSettings ? "settings" : "repository", row.c_str());
        EXPECT_GE(hit, 5) << "kills not spread over the save";
    }
    std::printf("saves measured at %.1f ms (settings) and %.1f ms (repository); %d kills after the end\n",
                duration[kSettings] * 1e3, duration[kRepository] * 1e3, overruns);
}

} // namespace
