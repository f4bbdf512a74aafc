// SPDX-License-Identifier: MIT
// The program killed at random moments after random library and settings
// edits: both files left behind are always whole and hold every edit older
// than two seconds.
#include "AutosaveState.h"
#include "SettingsTestSupport.h"

#include "data/BinStreamEx.h"
#include "data/SettingsTarn.h"
#include "data/WaveformRepositoryFile.h"
#include "data/XMLSettings.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>
#include <vector>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr long long KeptAfterMs = 2000;

std::filesystem::path Child()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tarn_autosave_child";
}

struct TLine {
    long long Ms;
    std::string State;
    long long Frequency;
};

std::vector<TLine> Journal(const std::filesystem::path& file)
{
    std::vector<TLine> lines;
    std::ifstream in(file);
    TLine line;
    while (in >> line.Ms >> line.State >> line.Frequency)
        lines.push_back(line);
    return lines;
}

// One lane of kills in its own folder; returns the failures it saw.
std::vector<std::string> Lane(int lane, int kills)
{
    std::vector<std::string> failures;
    TTempFolder folder;
    const auto journal = folder / "journal.txt";
    const auto child = Child().string();
    std::mt19937 random(static_cast<std::uint32_t>(lane * 7919 + 1));
    {
        // A first start's library, so every run starts from a file.
        TSettingsTarn settings;
        settings.SetDefaults();
        settings.Load(folder.Path());
        if (!settings.Save(folder.Path()).Ok())
            return {"cannot write the first library"};
    }
    for (int k = 0; k < kills; ++k) {
        const std::string seed = std::to_string(random());
        std::string folderText = folder.Path().string();
        std::string journalText = journal.string();
        char* args[] = {const_cast<char*>(child.c_str()), folderText.data(), const_cast<char*>(seed.c_str()),
                        journalText.data(), nullptr};
        pid_t pid = 0;
        if (::posix_spawn(&pid, child.c_str(), nullptr, nullptr, args, environ) != 0)
            return {"cannot start " + child};
        // Mostly short runs, a quarter long enough for edits to age past the limit.
        const int ms = random() % 4 == 0 ? 2000 + static_cast<int>(random() % 1500) : 50 + static_cast<int>(random() % 900);
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        const long long killedAt = autosavetest::NowMs();
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);

        const auto lines = Journal(journal);
        if (lines.empty())
            continue; // killed before it had loaded: nothing was edited
        std::size_t required = 0;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].Ms <= killedAt - KeptAfterMs)
                required = i;
        }
        TWaveformList device, repository;
        bool whole = false;
        try {
            std::ifstream in(folder / WaveformRepositoryFileName, std::ios::binary);
            TBinStreamEx stream(in);
            whole = ReadWaveformRepository(stream, device, repository);
        } catch (const std::exception& e) {
            failures.push_back("kill " + std::to_string(k) + ": file not whole: " + e.what());
            break;
        }
        const std::string state = autosavetest::State(device, repository);
        bool found = false;
        for (std::size_t i = required; i < lines.size() && !found; ++i)
            found = lines[i].State == state;
        // "settings.xml" by the same rule, on its own: the two files are saved apart.
        TXMLSettings xml;
        const bool settingsWhole = xml.LoadFromFile(folder / SettingsFileName);
        const auto frequency = static_cast<long long>(xml.ReadFloat("/device/frequency", -1.0));
        bool settingsFound = false;
        for (std::size_t i = required; i < lines.size() && !settingsFound; ++i)
            settingsFound = lines[i].Frequency == frequency;
        if (!settingsWhole || !settingsFound) {
            failures.push_back("lane " + std::to_string(lane) + " kill " + std::to_string(k) + " after " +
                               std::to_string(ms) + " ms: settings " +
                               (settingsWhole ? "lack a change older than 2 s" : "not whole"));
            break;
        }
        if (!whole || !found) {
            failures.push_back("lane " + std::to_string(lane) + " kill " + std::to_string(k) + " after " +
                               std::to_string(ms) + " ms: " + (whole ? "an edit older than 2 s is missing" : "trailing bytes"));
            break;
        }
    }
    return failures;
}

TEST(AutosaveKillTest, KilledAtRandomMomentsKeepsEveryEditOlderThanTwoSeconds)
{
    ASSERT_TRUE(std::filesystem::exists(Child())) << Child();
    constexpr int Lanes = 4;
    constexpr int KillsPerLane = 50;
    std::vector<std::vector<std::string>> failures(Lanes);
    std::vector<std::thread> lanes;
    for (int lane = 0; lane < Lanes; ++lane)
        lanes.emplace_back([&failures, lane] { failures[static_cast<std::size_t>(lane)] = Lane(lane, KillsPerLane); });
    for (auto& t : lanes)
        t.join();
    for (const auto& lane : failures)
        for (const auto& f : lane)
            ADD_FAILURE() << f;
}

} // namespace
