// SPDX-License-Identifier: MIT
#pragma once
// One waveform period as 16-bit sample codes, with its statistics and the
// data blocks of the plug-in module that made it.

#include "data/ModuleTypesTarn.h"
#include "data/WaveformStatistics.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

class TBinStreamEx;
class TSampleFile;
struct TWaveformImage;

// A plug-in module's opaque data blocks, kept with one waveform.
class TModuleData {
public:
    std::uint32_t ModuleKey = 0;
    std::string ModuleName;
    // Byte strings of any length, zero included.
    std::vector<std::string> Blocks;
    std::int32_t Cursor = 0;

    // Drops every block and sets the owner. Cursor stays.
    void Reset(std::uint32_t key, const std::string& name);
    // Appends a copy of the bytes only when key and name match the owner
    // exactly; anything else (or a negative length) is ignored silently.
    void AddBlock(std::uint32_t key, const std::string& name, std::int32_t length, const void* data);
    void Rewind() noexcept { Cursor = 0; }
    // Gives block Cursor and advances; past the end gives nullptr and -1 and
    // returns false. The pointer lives until the store changes.
    bool NextBlock(const char*& data, std::int32_t& length);
    void Assign(const TModuleData& source);

    void SaveToStream(TBinStreamEx& stream) const;
    // Replaces key, name and blocks; the cursor is left as it was.
    void LoadFromStream(TBinStreamEx& stream);
};

class TWaveformTarn {
public:
    static constexpr std::int32_t RecordVersion = 0;
    static constexpr std::int32_t RecordType = 1000;

    TWaveformTarn();
    ~TWaveformTarn();
    TWaveformTarn(const TWaveformTarn&) = delete;
    TWaveformTarn& operator=(const TWaveformTarn&) = delete;

    // The (Samples, SampleCount, SampleRange) triple. The writable forms hand
    // the buffer out: the waveform then checks its cached statistics against
    // a copy of the samples they came from, and counts as possibly changed
    // for saving. Read through a const waveform where nothing is written.
    std::uint16_t* Samples() noexcept;
    // A waveform whose samples still lie in its file reads them here first.
    const std::uint16_t* Samples() const noexcept;
    std::int32_t SampleCount() const noexcept { return FView.Count; }
    std::int32_t SampleRange() const noexcept { return FView.Range; }
    // The triple itself, as plug-in modules see it: writes through it reach
    // this waveform's own buffer, at any later time.
    TWaveformData* DataView() noexcept;

    // Statistics, computed when first read and kept until the samples
    // change. Not safe to read one waveform from two threads at once.
    std::int32_t MaxSample() const;
    std::int32_t MinSample() const;
    double MeanSample() const;
    std::int32_t HighestHarmonic() const;

    std::string Name;
    TModuleData ModuleData;
    bool IsStandard = false;

    // Frees an owned buffer (an attached one is only let go). Name, flag,
    // module data stay; an empty waveform keeps the max, min and mean of the
    // samples it last held.
    void Clear() noexcept;
    // count samples of range div 2. A negative count throws EDataError.
    void Allocate(std::int32_t count, std::int32_t range, bool standard);
    // Deep copy; statistics the source already holds are taken along.
    void Assign(const TWaveformTarn& source);
    // Copies the samples of data; name, flag and module data stay.
    void AssignData(const TWaveformData& data);

    // Forgets the cached statistics, so the next read computes them from the
    // samples: max, min and mean of the codes, then the highest harmonic, the
    // last bin in 2 .. count div 2 - 1 whose unnormalised magnitude exceeds
    // 5.0 (1 if none).
    void UpdateStatistics() noexcept;

    // Changes whenever a member replaces or edits the samples; unique among
    // all waveforms of the process.
    std::uint64_t ChangeStamp() const noexcept { return FChangeStamp; }
    // The buffer has been handed out for writing (DataView, the writable
    // Samples, an attached buffer): it may change without a new stamp.
    bool SamplesShared() const noexcept { return FViewShared || FBufferShared; }

    // "Standard" / "Arbitrary".
    std::string ModeText() const;
    // "1000 samples", "8k (8192 samples)".
    std::string SizeText() const;

    // One waveform record. Errors are EDataError with the file's message texts.
    // True when saving the record again gives the same bytes (a flag byte
    // other than 0 and 1 is read as standard but written as 1).
    bool LoadFromStream(std::istream& stream);
    void SaveToStream(std::ostream& stream) const;
    bool LoadFromStream(TBinStreamEx& stream);
    void SaveToStream(TBinStreamEx& stream) const;
    // The same, leaving the sample block in file until the samples are first
    // needed; stream must read file.
    bool LoadFromStream(TBinStreamEx& stream, const std::shared_ptr<TSampleFile>& file);
    // The samples are still in the file (not read yet).
    const TSampleFile* SampleFile() const noexcept { return FFile.get(); }
    // Reading them failed: the file changed or was shortened since it was
    // opened. The samples are then range div 2, as a record cut short gives.
    bool SamplesLost() const noexcept { return FSamplesLost; }
    // What a record of this waveform holds now, for writing it elsewhere or
    // later. forOtherThread: samples that may still be written through a
    // handed-out buffer are copied; other ones are shared, never written again.
    TWaveformImage Image(bool forOtherThread) const;

    // Wraps a buffer owned by the caller (no copy); its statistics follow the
    // buffer's content. The buffer is never freed by this object, detached or not.
    void AttachSamples(std::uint16_t* samples, std::int32_t count, std::int32_t range);
    // Lets go of the attached buffer without freeing it.
    void DetachSamples() noexcept;
    bool IsAttached() const noexcept { return FView.Samples != nullptr && !FBuffer; }

    // Number of codes BuildDecimations writes: count + count div 2 + ... while
    // the factor stays below the count (16382 for 8192 samples).
    std::size_t DecimationCount() const noexcept;
    // Averaged copies for factors 1, 2, 4, ... one after the other, each scaled
    // to span 0 .. MaxSample - MinSample. Returns the number of codes written.
    std::size_t BuildDecimations(std::uint16_t* destination) const;
    // The same, throwing EDataError when capacity is below DecimationCount().
    std::size_t BuildDecimations(std::uint16_t* destination, std::size_t capacity) const;

private:
    bool LoadRecord(TBinStreamEx& stream, const std::shared_ptr<TSampleFile>* file);
    // Brings samples still in the file into memory.
    void LoadSamples() const noexcept;
    // Before a write through a handed-out buffer: one shared with an image is copied.
    void OwnBuffer();
    // Drops the buffer; statistics of samples never read are kept first
    // unless the waveform is going away.
    void DropSamples(bool retire) noexcept;
    // A member has replaced or edited the samples.
    void SamplesChanged() noexcept;

    // Samples is null while the samples are still in FFile.
    mutable TWaveformData FView;
    // Null when empty or when the samples are attached. Shared with images
    // only while nobody may write it.
    mutable std::shared_ptr<std::uint16_t[]> FBuffer;
    mutable std::shared_ptr<TSampleFile> FFile;
    std::uint64_t FFileOffset = 0;
    mutable bool FSamplesLost = false;
    mutable TStatisticsCache FStatistics;
    std::uint64_t FChangeStamp;
    // DataView was handed out: its address stays valid for good.
    bool FViewShared = false;
    // The writable Samples was handed out or the buffer is attached; ends
    // with the buffer.
    bool FBufferShared = false;
};

// One waveform record as it will be written: samples either in memory
// (never written again) or still in their file.
struct TWaveformImage {
    std::string Name;
    bool IsStandard = false;
    std::int32_t Range = 0;
    std::int32_t Count = 0;
    std::shared_ptr<const std::uint16_t[]> Samples;
    std::shared_ptr<TSampleFile> File;
    std::uint64_t Offset = 0;
    TModuleData ModuleData;
};
// Throws EDataError when samples still in their file cannot be read back.
void WriteWaveformRecord(TBinStreamEx& stream, const TWaveformImage& image);

// Waveforms owned by a list: the device list (one per real channel) and the
// waveform repository.
using TWaveformList = std::vector<std::unique_ptr<TWaveformTarn>>;
