// SPDX-License-Identifier: MIT
// Undo and redo of library edits give back the library record for record,
// also for waveforms whose samples were still in a file that changed since.
#include "data/LibraryUndo.h"
#include "data/SettingsTarn.h"
#include "data/WaveformRepositoryFile.h"
#include "SettingsTestSupport.h"
#include "WaveTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

std::vector<std::string> Records(const TWaveformList& list)
{
    std::vector<std::string> records;
    for (const auto& w : list) {
        std::ostringstream out(std::ios::binary);
        w->SaveToStream(out);
        records.push_back(std::move(out).str());
    }
    return records;
}

std::vector<std::uint16_t> Ramp(std::size_t count, std::uint32_t step)
{
    std::vector<std::uint16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = static_cast<std::uint16_t>((i * step) % 4096);
    return samples;
}

// "Sine" (standard), "a" with module data, "b" of 16,384 samples, "c" of one
// sample with an empty block: written to file and read back with the library's
// samples left in the file.
void WriteLibrary(const std::filesystem::path& file)
{
    TWaveformList device, list;
    device.push_back(wavetest::MakeWaveform("", wavetest::StandardSine(), true));
    list.push_back(wavetest::MakeWaveform("Sine", wavetest::StandardSine(), true));
    list.push_back(wavetest::MakeWaveform("a", Ramp(100, 41)));
    list.back()->ModuleData.Reset(7, "mod");
    list.back()->ModuleData.AddBlock(7, "mod", 3, "abc");
    list.push_back(wavetest::MakeWaveform("b", Ramp(16384, 3)));
    list.push_back(wavetest::MakeWaveform("c", {4095}));
    list.back()->ModuleData.Reset(9, "other");
    list.back()->ModuleData.AddBlock(9, "other", 0, "");
    SaveWaveformRepositoryFile(file, device, list);
}

void Append(TWaveformList& list, const TWaveformTarn& w)
{
    list.push_back(std::make_unique<TWaveformTarn>());
    list.back()->Assign(w);
}

TEST(LibraryUndoTest, EveryEditIsUndoneAndRedoneRecordForRecord)
{
    using TEdit = std::function<void(TLibraryUndo&, TWaveformList&)>;
    const auto edited = wavetest::MakeWaveform("a", Ramp(300, 7));
    edited->ModuleData.Reset(7, "mod");
    edited->ModuleData.AddBlock(7, "mod", 4, "wxyz");
    const auto edit = [&edited](TLibraryUndo& u, TWaveformList& l) {
        // A module may commit more than once in a run: still one step.
        u.Replace(l, 1, *wavetest::MakeWaveform("first try", Ramp(10, 1)));
        u.Replace(l, 1, *edited);
        u.Seal();
    };
    const auto rename = [](TLibraryUndo& u, TWaveformList& l) {
        l[1]->Name = "a2";
        u.Renamed(l, 1, "a");
    };
    const struct {
        const char* name;
        TEdit edit;
        std::size_t steps;
        const char* undo;
        const char* redo;
        std::int32_t undone, redone;
    } cases[] = {
        {"delete", [](TLibraryUndo& u, TWaveformList& l) { u.Remove(l, 3); }, 1, "Undo delete \"c\"",
         "Redo delete \"c\"", 3, -1},
        {"duplicate an unread one",
         [](TLibraryUndo& u, TWaveformList& l) {
             Append(l, *l[2]);
             u.Added(l, 4, TLibraryEdit::Duplicate);
         },
         1, "Undo duplicate \"b\"", "Redo duplicate \"b\"", -1, 4},
        {"rename", rename, 1, "Undo rename \"a\" to \"a2\"", "Redo rename \"a\" to \"a2\"", 1, 1},
        {"a module edits", edit, 1, "Undo edit \"a\"", "Redo edit \"a\"", 1, 1},
        // Each step finds its waveform again whatever the later ones did to it.
        {"one waveform renamed, edited, duplicated and deleted",
         [&](TLibraryUndo& u, TWaveformList& l) {
             rename(u, l);
             edit(u, l);
             Append(l, *l[1]);
             u.Added(l, 4, TLibraryEdit::New);
             u.Remove(l, 1);
         },
         4, "Undo delete \"a\"", "Redo rename \"a\" to \"a2\"", 1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TTempFolder folder;
        WriteLibrary(folder / "w.dat");
        TWaveformList device, list, reference;
        ASSERT_TRUE(LoadWaveformRepositoryFile(folder / "w.dat", device, list));
        ASSERT_TRUE(LoadWaveformRepositoryFile(folder / "w.dat", device, reference));
        const auto before = Records(reference);
        TLibraryUndo undo;
        EXPECT_EQ(undo.UndoText() + undo.RedoText(), "UndoRedo");
        c.edit(undo, list);
        const auto after = Records(list);
        EXPECT_NE(after, before);
        EXPECT_EQ(undo.Steps(), c.steps);
        EXPECT_EQ(undo.UndoText(), c.undo);
        for (int round = 0; round < 2; ++round) {
            TLibraryUndoResult last;
            for (std::size_t i = 0; i < c.steps; ++i)
                EXPECT_TRUE((last = undo.Undo(list)).Done);
            EXPECT_EQ(last.Index, c.undone);
            EXPECT_EQ(Records(list), before);
            EXPECT_EQ(undo.UndoText(), "Undo");
            EXPECT_EQ(undo.RedoText(), c.redo);
            EXPECT_FALSE(undo.Undo(list).Done);
            for (std::size_t i = 0; i < c.steps; ++i)
                EXPECT_TRUE((last = undo.Redo(list)).Done);
            EXPECT_EQ(last.Index, c.redone);
            EXPECT_EQ(Records(list), after);
            EXPECT_EQ(undo.UndoText(), c.undo);
            EXPECT_FALSE(undo.CanRedo());
        }
    }
}

TEST(LibraryUndoTest, HistoryIsBoundedOldestStepsGoFirst)
{
    const struct {
        const char* name;
        std::size_t samples, block, deletes;
        std::size_t steps;
    } cases[] = {
        {"whole waveforms: the step count binds", 16384, 0, 150, TLibraryUndo::kMaxSteps},
        {"1 MiB of module data each: the bytes bind", 16384, 1u << 20, 30, 15},
        {"one step over the limit alone is still kept", 1, 20u << 20, 3, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TWaveformList list;
        for (std::size_t i = 0; i < c.deletes; ++i) {
            list.push_back(wavetest::MakeWaveform(std::to_string(i), Ramp(c.samples, 1 + i)));
            list.back()->ModuleData.Reset(1, "m");
            const std::string block(c.block, 'x');
            list.back()->ModuleData.AddBlock(1, "m", static_cast<std::int32_t>(block.size()), block.data());
        }
        TLibraryUndo undo;
        while (!list.empty())
            undo.Remove(list, 0);
        EXPECT_EQ(undo.Steps(), c.steps);
        EXPECT_TRUE(undo.Bytes() <= TLibraryUndo::kMaxBytes || c.steps == 1) << undo.Bytes();
        EXPECT_GE(undo.Bytes(), c.steps * (c.samples * 2 + c.block));
        // The newest deletes come back, newest first, each at the head.
        for (std::size_t i = 0; i < c.steps; ++i)
            EXPECT_TRUE(undo.Undo(list).Done);
        EXPECT_FALSE(undo.CanUndo());
        ASSERT_EQ(list.size(), c.steps);
        EXPECT_EQ(list.front()->Name, std::to_string(c.deletes - c.steps));
        EXPECT_EQ(list.back()->Name, std::to_string(c.deletes - 1));
        undo.Clear();
        EXPECT_EQ(undo.Bytes(), 0u);
    }
}

TEST(LibraryUndoTest, ChangesMadeBesideTheHistory)
{
    TWaveformList list;
    for (const char* name : {"x", "y", "z"})
        list.push_back(wavetest::MakeWaveform(name, Ramp(5, 1)));
    TLibraryUndo undo;

    // An addition elsewhere (the remote control appends) moves nothing a step needs.
    Append(list, *list[0]);
    undo.Added(list, 3, TLibraryEdit::Duplicate);
    Append(list, *wavetest::MakeWaveform("remote", Ramp(5, 2)));
    undo.Remove(list, 1);
    EXPECT_TRUE(undo.Undo(list).Done);
    EXPECT_TRUE(undo.Undo(list).Done);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[1]->Name, "y");
    EXPECT_EQ(list[3]->Name, "remote");

    // A new edit ends what could be redone; a name is shown on one line, cut short.
    EXPECT_TRUE(undo.CanRedo());
    const std::string before = list[0]->Name;
    list[0]->Name = std::string("tab\there\nand a very long name past the menu's width");
    undo.Renamed(list, 0, before);
    EXPECT_FALSE(undo.CanRedo());
    EXPECT_EQ(undo.UndoText(), "Undo rename \"x\" to \"tab here and a very long name pa\xE2\x80\xA6\"");
    undo.Renamed(list, 0, list[0]->Name);
    EXPECT_EQ(undo.Steps(), 1u) << "a rename to the same name is none";

    // An entry a step needs went some other way: the history lets go of everything.
    list.erase(list.begin());
    EXPECT_FALSE(undo.Undo(list).Done);
    EXPECT_FALSE(undo.CanUndo());
    EXPECT_EQ(undo.UndoText(), "Undo");
    EXPECT_EQ(list.size(), 3u);
}

void WaitIdle(TSettingsTarn& settings)
{
    for (int i = 0; i < 500 && !settings.AutosaveIdle(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(settings.AutosaveIdle());
}

// The background save writes the edit, the file is rewritten (in place where
// no temporary file may be made), and the undone edit is saved in its turn:
// the file ends as it began, byte for byte, samples never read included; the
// redone edit is saved as the edit was.
TEST(LibraryUndoTest, UndoneEditOfUnreadSamplesIsSavedExactly)
{
    const std::function<void(TSettingsTarn&)> edits[] = {
        [](TSettingsTarn& s) { s.LibraryUndo.Remove(s.Repository, 2); },
        [](TSettingsTarn& s) { s.LibraryUndo.Replace(s.Repository, 2, *wavetest::MakeWaveform("b", Ramp(10, 9))); },
        [](TSettingsTarn& s) {
            s.AddWaveform(*s.Repository[2]);
            s.LibraryUndo.Added(s.Repository, 4, TLibraryEdit::Duplicate);
        },
    };
    for (const bool inPlace : {false, true}) {
        for (std::size_t kind = 0; kind < std::size(edits); ++kind) {
            SCOPED_TRACE(std::to_string(inPlace) + " " + std::to_string(kind));
            TTempFolder folder;
            const auto file = folder / WaveformRepositoryFileName;
            WriteLibrary(file);
            const std::string original = ReadWholeFile(file);
            if (inPlace && ::geteuid() == 0)
                ASSERT_EQ(::chown(folder.Path().c_str(), 4242, 4242), 0);
            else if (inPlace)
                std::filesystem::permissions(folder.Path(),
                                             std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
            TSettingsTarn settings;
            settings.SetDefaults();
            ASSERT_FALSE(settings.Load(folder.Path()).RepositoryRecovered);
            auto& list = settings.Repository;
            ASSERT_NE(list[2]->SampleFile(), nullptr) << "not read yet";
            TLibraryUndo& undo = settings.LibraryUndo;
            edits[kind](settings);
            const auto save = [&settings] {
                EXPECT_FALSE(settings.AutosaveTick()) << "nothing counted as lost";
                WaitIdle(settings);
            };
            save();
            const std::string edited = ReadWholeFile(file);
            EXPECT_NE(edited.size(), original.size());
            EXPECT_TRUE(undo.Undo(list).Done);
            save();
            EXPECT_TRUE(ReadWholeFile(file) == original) << "the undone edit is saved exactly";
            EXPECT_TRUE(undo.Redo(list).Done);
            save();
            EXPECT_TRUE(ReadWholeFile(file) == edited) << "the redone edit is saved exactly";
            for (const auto& w : list)
                EXPECT_FALSE(w->SamplesLost()) << w->Name;
            // Lists made anew take no step of the old ones.
            inPlace ? settings.RecoverWaveforms() : static_cast<void>(settings.Load(folder.Path()));
            EXPECT_FALSE(undo.CanUndo() || undo.CanRedo());
        }
    }
}

} // namespace
