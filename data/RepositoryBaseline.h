// SPDX-License-Identifier: MIT
#pragma once
// What "waveforms.dat" held when it was last read or written, so that an exit
// that changed nothing does not rewrite it. Waveforms are recognised by their
// place, address and change stamp; names, flags and module data are compared
// by value; a waveform whose buffer was handed out for writing counts as
// changed; the file itself must still be the one read or written.

#include "data/WaveformTarn.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TRepositoryBaseline {
public:
    // After a load that took the file as it is, or after a save.
    void Record(const std::filesystem::path& file, const TWaveformList& device, const TWaveformList& repository);
    void Forget() noexcept;
    // The lists alone, for a save made later (elsewhere); RecordFile then
    // names the file that save wrote.
    void RecordLists(const TWaveformList& device, const TWaveformList& repository);
    void RecordFile(const std::filesystem::path& file);
    // True when the lists are still the ones recorded (the file aside).
    bool SameLists(const TWaveformList& device, const TWaveformList& repository) const;
    // True when writing the lists now would give the file's present content.
    bool Unchanged(const std::filesystem::path& file, const TWaveformList& device,
                   const TWaveformList& repository) const;

private:
    struct TEntry {
        const TWaveformTarn* Waveform = nullptr;
        std::uint64_t Stamp = 0;
        std::string Name;
        bool IsStandard = false;
        std::uint32_t ModuleKey = 0;
        std::string ModuleName;
        std::vector<std::string> Blocks;
    };
    struct TFileIdentity {
        std::uint64_t Device = 0;
        std::uint64_t Inode = 0;
        std::int64_t Size = 0;
        std::int64_t ModifiedSeconds = 0;
        std::int64_t ModifiedNanoseconds = 0;
        bool operator==(const TFileIdentity&) const = default;
    };

    static std::optional<TFileIdentity> Identify(const std::filesystem::path& file);
    using TEntries = std::shared_ptr<const std::vector<TEntry>>;
    static TEntries Entries(const TWaveformList& list);
    static bool Same(const TEntries& entries, const TWaveformList& list);

    std::optional<TFileIdentity> FFile;
    bool FRecorded = false;
    // Never changed once recorded, so copies of a baseline share them.
    TEntries FDevice;
    TEntries FRepository;
};
