// SPDX-License-Identifier: MIT
#include "data/LibraryUndo.h"

#include "data/StringsTarn.h"

#include <algorithm>
#include <utility>

struct TLibraryUndo::TStep {
    TLibraryEdit Edit = TLibraryEdit::Delete;
    // The entry while it is in the list: compared with the list's, never
    // read through.
    const TWaveformTarn* Entry = nullptr;
    // Out of the list: a deleted or added waveform while it is away, the
    // other version of an edit.
    std::unique_ptr<TWaveformTarn> Held;
    std::size_t Place = 0;
    // The name the menu shows; a rename's old and new names.
    std::string Name;
    std::string Renamed;
    std::size_t Bytes = sizeof(TStep);
};

namespace {

std::size_t WaveformBytes(const TWaveformTarn& w)
{
    std::size_t bytes = sizeof(TWaveformTarn) + w.Name.size() + w.ModuleData.ModuleName.size()
                        + static_cast<std::size_t>(std::max(w.SampleCount(), 0)) * sizeof(std::uint16_t);
    for (const std::string& block : w.ModuleData.Blocks)
        bytes += sizeof(std::string) + block.size();
    return bytes;
}

// Out of the list, for good or for a while: the samples come into memory,
// so the waveform no longer depends on its file (which a later save may
// rewrite in place, or another program may change).
std::unique_ptr<TWaveformTarn> Hold(std::unique_ptr<TWaveformTarn> waveform)
{
    if (waveform)
        std::as_const(*waveform).Samples();
    return waveform;
}

std::int32_t Find(const TWaveformList& list, const TWaveformTarn* entry)
{
    const auto it = std::find_if(list.begin(), list.end(), [entry](const auto& w) { return w.get() == entry; });
    return entry == nullptr || it == list.end() ? -1 : static_cast<std::int32_t>(it - list.begin());
}

// A name as a menu shows it: one line, at most 32 characters.
std::string Label(const std::string& name)
{
    constexpr std::size_t kMost = 32;
    std::string shown;
    std::size_t characters = 0;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        const bool continuation = (byte & 0xC0) == 0x80;
        if (!continuation && ++characters > kMost) {
            shown += "\xE2\x80\xA6";
            break;
        }
        shown += byte < 0x20 || byte == 0x7F ? ' ' : c;
    }
    return shown;
}

// The phrase with %1 and %2 put in, in one pass: a name holding "%2" stays as it is.
std::string Fill(const char* phrase, const std::string& first, const std::string& second)
{
    std::string text;
    for (const char* p = phrase; *p != '\0'; ++p) {
        if (p[0] == '%' && (p[1] == '1' || p[1] == '2')) {
            text += p[1] == '1' ? first : second;
            ++p;
        } else {
            text += *p;
        }
    }
    return text;
}

const char* Phrase(TLibraryEdit edit)
{
    switch (edit) {
    case TLibraryEdit::Delete:
        return Strings::UndoDelete;
    case TLibraryEdit::Duplicate:
        return Strings::UndoDuplicate;
    case TLibraryEdit::Rename:
        return Strings::UndoRename;
    case TLibraryEdit::New:
        return Strings::UndoNew;
    case TLibraryEdit::Create:
        return Strings::UndoCreate;
    case TLibraryEdit::Edit:
        return Strings::UndoEdit;
    }
    return "";
}

} // namespace

TLibraryUndo::TLibraryUndo() = default;
TLibraryUndo::~TLibraryUndo() = default;

void TLibraryUndo::Remove(TWaveformList& list, std::size_t index)
{
    if (index >= list.size())
        return;
    auto step = std::make_unique<TStep>();
    step->Held = Hold(std::move(list[index]));
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
    if (!step->Held)
        return;
    step->Edit = TLibraryEdit::Delete;
    step->Entry = step->Held.get();
    step->Place = index;
    step->Name = step->Held->Name;
    step->Bytes += WaveformBytes(*step->Held);
    Push(std::move(step));
}

void TLibraryUndo::Added(const TWaveformList& list, std::size_t index, TLibraryEdit edit)
{
    if (index >= list.size() || !list[index])
        return;
    auto step = std::make_unique<TStep>();
    step->Edit = edit;
    step->Entry = list[index].get();
    step->Place = index;
    step->Name = list[index]->Name;
    step->Bytes += WaveformBytes(*list[index]);
    Push(std::move(step));
}

void TLibraryUndo::Renamed(const TWaveformList& list, std::size_t index, const std::string& before)
{
    if (index >= list.size() || !list[index] || list[index]->Name == before)
        return;
    auto step = std::make_unique<TStep>();
    step->Edit = TLibraryEdit::Rename;
    step->Entry = list[index].get();
    step->Place = index;
    step->Name = before;
    step->Renamed = list[index]->Name;
    step->Bytes += before.size() + step->Renamed.size();
    Push(std::move(step));
}

void TLibraryUndo::Replace(TWaveformList& list, std::size_t index, const TWaveformTarn& with)
{
    if (index >= list.size() || !list[index])
        return;
    TWaveformTarn& entry = *list[index];
    if (FOpen && !FUndo.empty() && FUndo.back()->Edit == TLibraryEdit::Edit && FUndo.back()->Entry == &entry) {
        entry.Assign(with);
        FUndo.back()->Name = entry.Name;
        return;
    }
    auto before = std::make_unique<TWaveformTarn>();
    before->Assign(entry);
    auto step = std::make_unique<TStep>();
    step->Edit = TLibraryEdit::Edit;
    step->Held = Hold(std::move(before));
    step->Entry = &entry;
    step->Place = index;
    step->Bytes += WaveformBytes(*step->Held);
    entry.Assign(with);
    step->Name = entry.Name;
    Push(std::move(step));
    FOpen = true;
}

void TLibraryUndo::Push(std::unique_ptr<TStep> step)
{
    FOpen = false;
    for (const auto& redo : FRedo)
        FBytes -= redo->Bytes;
    FRedo.clear();
    FBytes += step->Bytes;
    FUndo.push_back(std::move(step));
    while (FUndo.size() > 1 && (FUndo.size() > kMaxSteps || FBytes > kMaxBytes)) {
        FBytes -= FUndo.front()->Bytes;
        FUndo.pop_front();
    }
}

bool TLibraryUndo::Apply(TStep& step, TWaveformList& list, bool undo, std::int32_t& index)
{
    switch (step.Edit) {
    case TLibraryEdit::Rename: {
        index = Find(list, step.Entry);
        if (index < 0)
            return false;
        list[static_cast<std::size_t>(index)]->Name = undo ? step.Name : step.Renamed;
        return true;
    }
    case TLibraryEdit::Edit: {
        index = Find(list, step.Entry);
        if (index < 0 || !step.Held)
            return false;
        // The contents change places, the entry stays the same object: the
        // steps before this one know it by its address.
        TWaveformTarn& entry = *list[static_cast<std::size_t>(index)];
        TWaveformTarn other;
        other.Assign(entry);
        entry.Assign(*step.Held);
        step.Held->Assign(other);
        std::as_const(*step.Held).Samples();
        step.Name = entry.Name;
        return true;
    }
    default:
        break;
    }
    // A delete is undone by putting its waveform back, an addition by taking it out.
    if ((step.Edit == TLibraryEdit::Delete) == undo) {
        if (!step.Held)
            return false;
        const std::size_t place = std::min(step.Place, list.size());
        step.Entry = step.Held.get();
        list.insert(list.begin() + static_cast<std::ptrdiff_t>(place), std::move(step.Held));
        index = static_cast<std::int32_t>(place);
        return true;
    }
    const std::int32_t found = Find(list, step.Entry);
    if (found < 0)
        return false;
    step.Place = static_cast<std::size_t>(found);
    step.Held = Hold(std::move(list[step.Place]));
    list.erase(list.begin() + found);
    step.Name = step.Held->Name;
    index = -1;
    return true;
}

TLibraryUndoResult TLibraryUndo::Move(TSteps& from, TSteps& to, TWaveformList& list, bool undo)
{
    TLibraryUndoResult result;
    if (from.empty())
        return result;
    FOpen = false;
    if (!Apply(*from.back(), list, undo, result.Index)) {
        // Something else changed the list under the history: it cannot be trusted any more.
        Clear();
        return {};
    }
    result.Done = true;
    to.push_back(std::move(from.back()));
    from.pop_back();
    return result;
}

TLibraryUndoResult TLibraryUndo::Undo(TWaveformList& list)
{
    return Move(FUndo, FRedo, list, true);
}

TLibraryUndoResult TLibraryUndo::Redo(TWaveformList& list)
{
    return Move(FRedo, FUndo, list, false);
}

void TLibraryUndo::Clear() noexcept
{
    FUndo.clear();
    FRedo.clear();
    FBytes = 0;
    FOpen = false;
}

std::string TLibraryUndo::Text(const char* verb, const TSteps& steps)
{
    std::string text = verb;
    if (!steps.empty()) {
        const TStep& step = *steps.back();
        text += ' ' + Fill(Phrase(step.Edit), Label(step.Name), Label(step.Renamed));
    }
    return text;
}

std::string TLibraryUndo::UndoText() const
{
    return Text(Strings::MenuUndo, FUndo);
}

std::string TLibraryUndo::RedoText() const
{
    return Text(Strings::MenuRedo, FRedo);
}
