// SPDX-License-Identifier: MIT
// "waveforms.dat" is left alone at exit when its content would not change,
// and written on any change.

#include "data/SettingsTarn.h"
#include "data/WaveformRepositoryFile.h"
#include "data/tests/SettingsTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <functional>

namespace {

struct TFileState {
    ino_t inode = 0;
    timespec modified{};
};

TFileState State(const std::filesystem::path& file)
{
    struct stat info {};
    EXPECT_EQ(::stat(file.c_str(), &info), 0);
    return {info.st_ino, info.st_mtim};
}

bool SameFile(const TFileState& a, const TFileState& b)
{
    return a.inode == b.inode && a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec;
}

// A library of the standard waveforms and two arbitrary ones with module data.
void WriteLibrary(const std::filesystem::path& folder)
{
    TSettingsTarn s;
    s.Repository.clear();
    s.RecoverWaveforms();
    for (int i = 0; i < 2; ++i) {
        TWaveformTarn w;
        std::uint16_t codes[] = {1, 2, 3, static_cast<std::uint16_t>(4 + i)};
        w.AssignData(TWaveformData{codes, 4, 4096});
        w.Name = "Arb " + std::to_string(i);
        w.ModuleData.Reset(7, "Maker");
        w.ModuleData.AddBlock(7, "Maker", 3, "abc");
        s.AddWaveform(w);
    }
    ASSERT_TRUE(s.Save(folder).Ok());
}

void AppendByte(const std::filesystem::path& file)
{
    std::ofstream(file, std::ios::binary | std::ios::app).put('\0');
}

} // namespace

TEST(LibrarySave, UnchangedLibraryIsNotRewritten)
{
    TTempFolder dir;
    WriteLibrary(dir.Path());
    const auto file = dir / "waveforms.dat";
    const std::string bytes = ReadWholeFile(file);
    const TFileState before = State(file);

    TSettingsTarn s;
    s.SetDefaults();
    ASSERT_FALSE(s.Load(dir.Path()).RepositoryRecovered);
    // Reading everything, the statistics included, changes nothing.
    for (const auto& w : s.Repository)
        w->HighestHarmonic();
    std::as_const(*s.Repository[4]).Samples();
    const TSettingsSaveResult r = s.Save(dir.Path());
    EXPECT_TRUE(r.Ok());
    EXPECT_TRUE(r.RepositoryUnchanged);
    EXPECT_TRUE(SameFile(before, State(file)));
    EXPECT_EQ(ReadWholeFile(file), bytes);
    // Nor is it rewritten by a second save of the same content.
    EXPECT_TRUE(s.Save(dir.Path()).RepositoryUnchanged);
    EXPECT_TRUE(SameFile(before, State(file)));
}

TEST(LibrarySave, AnyChangeIsWritten)
{
    using Change = std::function<void(TSettingsTarn&, const std::filesystem::path&)>;
    // Each change, and a check on the library read back after the save.
    const struct {
        const char* name;
        Change change;
        std::function<bool(const TSettingsTarn&, const std::filesystem::path&)> saved;
    } cases[] = {
        {"add", [](TSettingsTarn& s, auto&) { s.AddWaveform(*s.Repository[0]); },
         [](const TSettingsTarn& s, auto&) { return s.Repository.size() == 7; }},
        {"delete", [](TSettingsTarn& s, auto&) { s.Repository.erase(s.Repository.begin() + 1); },
         [](const TSettingsTarn& s, auto&) { return s.Repository.size() == 5 && s.Repository[1]->Name == "Triangle"; }},
        {"rename", [](TSettingsTarn& s, auto&) { s.Repository[2]->Name = "Renamed"; },
         [](const TSettingsTarn& s, auto&) { return s.Repository[2]->Name == "Renamed"; }},
        {"mode", [](TSettingsTarn& s, auto&) { s.Repository[4]->IsStandard = true; },
         [](const TSettingsTarn& s, auto&) { return s.Repository[4]->IsStandard; }},
        {"module edit of the samples", [](TSettingsTarn& s, auto&) { s.Repository[4]->DataView()->Samples[0] = 99; },
         [](const TSettingsTarn& s, auto&) { return s.Repository[4]->Samples()[0] == 99; }},
        {"module edit of the data",
         [](TSettingsTarn& s, auto&) { s.Repository[5]->ModuleData.AddBlock(7, "Maker", 1, "x"); },
         [](const TSettingsTarn& s, auto&) { return s.Repository[5]->ModuleData.Blocks.size() == 2; }},
        {"samples written through the pointer", [](TSettingsTarn& s, auto&) { s.Repository[5]->Samples()[3] = 77; },
         [](const TSettingsTarn& s, auto&) { return s.Repository[5]->Samples()[3] == 77; }},
        {"device waveform", [](TSettingsTarn& s, auto&) { s.Device.Waveforms[0]->Assign(*s.Repository[3]); },
         [](const TSettingsTarn& s, auto&) { return s.Device.Waveforms[0]->Name == "Square"; }},
        {"load with data after the last record",
         [](TSettingsTarn& s, const std::filesystem::path& dir) {
             AppendByte(dir / "waveforms.dat");
             ASSERT_FALSE(s.Load(dir).RepositoryRecovered);
         },
         [](const TSettingsTarn&, const std::filesystem::path& dir) {
             TWaveformList d, r;
             return LoadWaveformRepositoryFile(dir / "waveforms.dat", d, r);
         }},
        {"recovered load",
         [](TSettingsTarn& s, const std::filesystem::path& dir) {
             std::filesystem::resize_file(dir / "waveforms.dat", 100);
             ASSERT_TRUE(s.Load(dir).RepositoryRecovered);
         },
         [](const TSettingsTarn& s, auto&) { return s.Repository[0]->Name == "Sine"; }},
        {"file replaced meanwhile",
         [](TSettingsTarn&, const std::filesystem::path& dir) { std::filesystem::remove(dir / "waveforms.dat"); },
         [](const TSettingsTarn& s, auto&) { return s.Repository.size() == 6; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TTempFolder dir;
        WriteLibrary(dir.Path());
        const auto file = dir / "waveforms.dat";
        TSettingsTarn s;
        s.SetDefaults();
        ASSERT_FALSE(s.Load(dir.Path()).RepositoryRecovered);
        ASSERT_EQ(s.Repository.size(), 6u);
        const TFileState before = State(file);
        c.change(s, dir.Path());
        const TSettingsSaveResult r = s.Save(dir.Path());
        EXPECT_TRUE(r.Ok());
        EXPECT_FALSE(r.RepositoryUnchanged);
        EXPECT_FALSE(SameFile(before, State(file)));
        TSettingsTarn back;
        back.SetDefaults();
        ASSERT_FALSE(back.Load(dir.Path()).RepositoryRecovered);
        EXPECT_TRUE(c.saved(back, dir.Path()));
    }
}

// A flag byte other than 0 and 1 reads as standard but is written as 1.
TEST(LibrarySave, LoadThatWouldNotWriteTheSameBytesIsWritten)
{
    TTempFolder dir;
    WriteLibrary(dir.Path());
    const auto file = dir / "waveforms.dat";
    std::string bytes = ReadWholeFile(file);
    // The first record's flag: header 16, device count 8, record header 16, empty name 8.
    const std::size_t flagAt = 16 + 8 + 16 + 8;
    ASSERT_EQ(bytes[flagAt], '\x01');
    bytes[flagAt] = '\x05';
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    TSettingsTarn s;
    s.SetDefaults();
    ASSERT_FALSE(s.Load(dir.Path()).RepositoryRecovered);
    EXPECT_FALSE(s.Save(dir.Path()).RepositoryUnchanged);
    EXPECT_EQ(ReadWholeFile(file)[flagAt], '\x01');
}
