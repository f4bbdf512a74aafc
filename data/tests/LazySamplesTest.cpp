// SPDX-License-Identifier: MIT
// Library samples read when first needed behave exactly as samples read at
// start, and a file spoiled by someone else while they are unread neither
// crashes the program nor leaves records that cannot be read.
#include "data/BinStreamEx.h"
#include "data/LibraryPrefetch.h"
#include "data/SettingsTarn.h"
#include "data/WaveformRepositoryFile.h"
#include "SettingsTestSupport.h"
#include "WaveTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace {

std::string Bytes(const TWaveformList& device, const TWaveformList& repository)
{
    std::ostringstream out(std::ios::binary);
    TBinStreamEx stream(out);
    WriteWaveformRepository(stream, device, repository);
    return std::move(out).str();
}

void WriteLibrary(const std::filesystem::path& file, std::mt19937& random, int count)
{
    TWaveformList device;
    TWaveformList repository;
    device.push_back(wavetest::MakeWaveform("", wavetest::StandardSine(), true));
    for (int i = 0; i < count; ++i) {
        std::vector<std::uint16_t> samples(1 + random() % 3000);
        for (auto& s : samples)
            s = static_cast<std::uint16_t>(random() % 4096);
        repository.push_back(wavetest::MakeWaveform("w" + std::to_string(i), samples));
        repository.back()->ModuleData.Reset(7, "mod");
        repository.back()->ModuleData.AddBlock(7, "mod", 3, "abc");
    }
    SaveWaveformRepositoryFile(file, device, repository);
}

struct TStats {
    std::int32_t Max, Min, Harmonic;
    double Mean;
    bool operator==(const TStats&) const = default;
};

TStats Stats(const TWaveformTarn& w)
{
    return {w.MaxSample(), w.MinSample(), w.HighestHarmonic(), w.MeanSample()};
}

// One random edit, applied alike to both lists; returns what it read.
std::string Edit(TWaveformList& list, int kind, std::size_t at, std::uint32_t value)
{
    if (list.empty())
        return {};
    TWaveformTarn& w = *list[at % list.size()];
    switch (kind) {
    case 0: // duplicate
        list.push_back(std::make_unique<TWaveformTarn>());
        list.back()->Assign(w);
        return {};
    case 1: // delete
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(at % list.size()));
        return {};
    case 2:
        w.Name = "r" + std::to_string(value);
        return {};
    case 3: // write through the handed-out buffer
        if (w.SampleCount() > 0)
            w.Samples()[value % static_cast<std::uint32_t>(w.SampleCount())] = static_cast<std::uint16_t>(value % 4096);
        return {};
    case 4: { // read: a drawing or a measurement
        const TStats s = Stats(w);
        return std::to_string(s.Max) + "/" + std::to_string(s.Min) + "/" + std::to_string(s.Mean) + "/" +
               std::to_string(s.Harmonic);
    }
    case 5: // a module edit through the data view
        if (w.SampleCount() > 0)
            w.DataView()->Samples[0] = static_cast<std::uint16_t>(value % 4096);
        w.ModuleData.Reset(value, "other");
        return {};
    case 6: { // a copy made from the view, as the module interface does
        TWaveformTarn copy;
        copy.AssignData(*w.DataView());
        w.AssignData(*copy.DataView());
        w.UpdateStatistics();
        return {};
    }
    default: // Allocate replaces everything
        w.Allocate(static_cast<std::int32_t>(value % 50), 4096, false);
        return {};
    }
}

TEST(LazySamplesTest, RandomEditsMatchEagerLoadingThroughSavesOfTheSameFile)
{
    for (std::uint32_t seed = 1; seed <= 12; ++seed) {
        wavetest::TempFolder folder;
        const auto file = folder.Path / WaveformRepositoryFileName;
        std::mt19937 random(seed);
        WriteLibrary(file, random, 40);

        TWaveformList eagerDevice, eager, lazyDevice, lazy;
        {
            std::ifstream in(file, std::ios::binary);
            TBinStreamEx stream(in);
            ASSERT_TRUE(ReadWaveformRepository(stream, eagerDevice, eager));
        }
        ASSERT_TRUE(LoadWaveformRepositoryFile(file, lazyDevice, lazy));
        ASSERT_EQ(Bytes(eagerDevice, eager), Bytes(lazyDevice, lazy));
        ASSERT_NE(lazy.front()->SampleFile(), nullptr) << "library samples are read at start";

        for (int step = 0; step < 300; ++step) {
            const int kind = static_cast<int>(random() % 8);
            const std::size_t at = random();
            const std::uint32_t value = random();
            ASSERT_EQ(Edit(eager, kind, at, value), Edit(lazy, kind, at, value)) << seed << " " << step;
            if (step % 75 == 74) {
                // The lazy list saves over the file its unread samples come from.
                SaveWaveformRepositoryFile(file, lazyDevice, lazy);
                ASSERT_EQ(Bytes(eagerDevice, eager), std::string(ReadWholeFile(file)));
            }
        }
        ASSERT_EQ(eager.size(), lazy.size());
        for (std::size_t i = 0; i < eager.size(); ++i) {
            EXPECT_EQ(Stats(*eager[i]), Stats(*lazy[i])) << seed << " " << i;
            EXPECT_FALSE(lazy[i]->SamplesLost());
        }
        EXPECT_EQ(Bytes(eagerDevice, eager), Bytes(lazyDevice, lazy));
    }
}

// Another process spoils the file while the program runs: shortened, or
// rewritten in place with other content.
TEST(LazySamplesTest, FileShortenedOrRewrittenByAnotherProcessIsRecovered)
{
    for (const bool rewrite : {false, true}) {
        TTempFolder folder;
        const auto file = folder / WaveformRepositoryFileName;
        std::mt19937 random(99);
        WriteLibrary(file, random, 30);
        TSettingsTarn settings;
        settings.SetDefaults();
        ASSERT_FALSE(settings.Load(folder.Path()).RepositoryRecovered);
        ASSERT_EQ(settings.Repository.size(), 30u);
        // One waveform already read is kept whatever happens to the file.
        const TStats kept = Stats(*settings.Repository[20]);

        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const auto size = std::filesystem::file_size(file);
            std::filesystem::resize_file(file, size / 3);
            if (rewrite) {
                std::fstream out(file, std::ios::binary | std::ios::in | std::ios::out);
                out.seekp(0, std::ios::end);
                out << std::string(size, 'x');
            }
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);

        // Unread samples are wanted for drawing: no fault, the codes of a
        // record cut short.
        const TWaveformTarn& unread = *settings.Repository[25];
        EXPECT_EQ(std::as_const(unread).Samples()[0], 2048) << rewrite;
        EXPECT_TRUE(unread.SamplesLost());

        EXPECT_TRUE(settings.AutosaveTick());
        const auto& list = settings.Repository;
        ASSERT_GE(list.size(), 5u);
        EXPECT_EQ(list[0]->Name, "Sine");
        EXPECT_EQ(list[3]->Name, "Square");
        const auto survivor = std::find_if(list.begin(), list.end(), [](const auto& w) { return w->Name == "w20"; });
        ASSERT_NE(survivor, list.end());
        EXPECT_EQ(Stats(**survivor), kept);
        for (const auto& w : list)
            EXPECT_TRUE(w->SampleFile() == nullptr && !w->SamplesLost()) << w->Name;

        // What is written now reads back whole.
        ASSERT_TRUE(settings.Save(folder.Path()).Ok());
        TWaveformList device, repository;
        EXPECT_TRUE(LoadWaveformRepositoryFile(file, device, repository));
        EXPECT_EQ(repository.size(), list.size());
    }
}

// Where no temporary file may be made the file is rewritten in place: the
// samples still unread must be brought in first, or they are read back from
// the overwritten file and count as lost.
TEST(LazySamplesTest, InPlaceSaveKeepsSamplesThatWereNotReadYet)
{
    for (const bool background : {false, true}) {
        TTempFolder folder;
        const auto file = folder / WaveformRepositoryFileName;
        std::mt19937 random(7);
        WriteLibrary(file, random, 20);
        TWaveformList device, expected;
        {
            std::ifstream in(file, std::ios::binary);
            TBinStreamEx stream(in);
            ASSERT_TRUE(ReadWaveformRepository(stream, device, expected));
        }
        // A folder of someone else's (root may write there but makes no
        // temporary file), or one the user may not write.
        if (::geteuid() == 0)
            ASSERT_EQ(::chown(folder.Path().c_str(), 4242, 4242), 0);
        else
            std::filesystem::permissions(folder.Path(),
                                         std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        TSettingsTarn settings;
        settings.SetDefaults();
        ASSERT_FALSE(settings.Load(folder.Path()).RepositoryRecovered);
        ASSERT_NE(settings.Repository[5]->SampleFile(), nullptr);
        settings.Repository[0]->Name = "changed";
        expected[0]->Name = "changed";
        if (background) {
            settings.AutosaveTick();
            for (int i = 0; i < 500 && !settings.AutosaveIdle(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            ASSERT_TRUE(settings.AutosaveIdle());
        } else {
            ASSERT_TRUE(settings.Save(folder.Path()).RepositorySaved);
        }
        EXPECT_FALSE(settings.AutosaveTick()) << background << ": waveforms counted as lost";
        ASSERT_EQ(settings.Repository.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const TWaveformTarn& w = *settings.Repository[i];
            ASSERT_EQ(w.SampleCount(), expected[i]->SampleCount());
            EXPECT_TRUE(std::equal(std::as_const(w).Samples(), std::as_const(w).Samples() + w.SampleCount(),
                                   std::as_const(*expected[i]).Samples()))
                << background << " " << i;
            EXPECT_FALSE(w.SamplesLost()) << background << " " << i;
        }
        EXPECT_EQ(Bytes(device, expected), ReadWholeFile(file)) << background;
    }
}

// The headers read while the window is built are taken only when the file is
// still the one read; one replaced or removed since is read again.
TEST(LazySamplesTest, PrefetchedLibraryIsTakenOnlyWhileTheFileIsUnchanged)
{
    enum class TChange { None, Replaced, Removed };
    for (const TChange change : {TChange::None, TChange::Replaced, TChange::Removed}) {
        TTempFolder folder;
        const auto file = folder / WaveformRepositoryFileName;
        std::mt19937 random(11);
        WriteLibrary(file, random, 12);
        TLibraryPrefetch prefetch(file);
        TWaveformList probeDevice, probe;
        if (change == TChange::Replaced) {
            WriteLibrary(file, random, 5);
        } else if (change == TChange::Removed) {
            std::filesystem::remove(file);
        }
        const bool exists = std::filesystem::exists(file);
        if (exists) {
            ASSERT_TRUE(LoadWaveformRepositoryFile(file, probeDevice, probe));
        }
        TSettingsTarn settings;
        settings.SetDefaults();
        const TSettingsLoadResult loaded = settings.Load(folder.Path(), &prefetch);
        EXPECT_EQ(loaded.RepositoryRecovered, !exists) << static_cast<int>(change);
        if (exists) {
            EXPECT_EQ(Bytes(settings.Device.Waveforms, settings.Repository), Bytes(probeDevice, probe))
                << static_cast<int>(change);
        }
        // Taken once: a second load reads the file itself.
        TWaveformList device, repository;
        EXPECT_FALSE(prefetch.Take(device, repository).has_value());
    }
}

} // namespace
