// SPDX-License-Identifier: MIT
#pragma once
// Undo and redo of the library's edits: delete, duplicate, rename, new, and a
// module's create and edit. A step keeps what it needs to go both ways; a
// waveform it takes out of the list is kept whole, its samples read into
// memory first, so it comes back as the same record even when its file has
// changed meanwhile. Entries are found again by address, not by place:
// waveforms added elsewhere (the remote control) do not confuse a step.
// Whatever frees list entries other than through this history (a reload,
// the recovery of a damaged library) must Clear it first.

#include "data/WaveformTarn.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

enum class TLibraryEdit { Delete, Duplicate, Rename, New, Create, Edit };

struct TLibraryUndoResult {
    bool Done = false;
    // List index of the waveform the step brought back or changed; -1 when
    // it took one away.
    std::int32_t Index = -1;
};

class TLibraryUndo {
public:
    // A step holds at most one waveform (16,384 samples are 32 KiB), so the
    // step count bounds the usual history; the byte count bounds large
    // module data. The newest step is kept whatever its size.
    static constexpr std::size_t kMaxSteps = 100;
    static constexpr std::size_t kMaxBytes = std::size_t{16} << 20;

    TLibraryUndo();
    ~TLibraryUndo();
    TLibraryUndo(const TLibraryUndo&) = delete;
    TLibraryUndo& operator=(const TLibraryUndo&) = delete;

    // Takes list[index] out of the list, keeping it for undo.
    void Remove(TWaveformList& list, std::size_t index);
    // list[index] has just been added (Duplicate, New or Create).
    void Added(const TWaveformList& list, std::size_t index, TLibraryEdit edit);
    // list[index] has just been renamed from before (nothing when unchanged).
    void Renamed(const TWaveformList& list, std::size_t index, const std::string& before);
    // Copies with over list[index] (a module's edit). Further edits of the
    // same entry before Seal stay one step: a module commits as it likes.
    void Replace(TWaveformList& list, std::size_t index, const TWaveformTarn& with);
    // Ends the open edit step.
    void Seal() noexcept { FOpen = false; }

    bool CanUndo() const noexcept { return !FUndo.empty(); }
    bool CanRedo() const noexcept { return !FRedo.empty(); }
    // "Undo delete "Sine"", or "Undo" when there is nothing to undo.
    std::string UndoText() const;
    std::string RedoText() const;
    // Not done (and the history cleared) when the entry a step needs is no
    // longer in the list.
    TLibraryUndoResult Undo(TWaveformList& list);
    TLibraryUndoResult Redo(TWaveformList& list);
    void Clear() noexcept;

    std::size_t Steps() const noexcept { return FUndo.size() + FRedo.size(); }
    // Memory the steps hold, roughly.
    std::size_t Bytes() const noexcept { return FBytes; }

private:
    struct TStep;
    using TSteps = std::deque<std::unique_ptr<TStep>>;
    void Push(std::unique_ptr<TStep> step);
    // Applies the step one way; false when its entry is gone.
    static bool Apply(TStep& step, TWaveformList& list, bool undo, std::int32_t& index);
    TLibraryUndoResult Move(TSteps& from, TSteps& to, TWaveformList& list, bool undo);
    static std::string Text(const char* verb, const TSteps& steps);

    TSteps FUndo;
    TSteps FRedo;
    std::size_t FBytes = 0;
    bool FOpen = false;
};
