#pragma once
// One waveform period as 16-bit sample codes, with its statistics and the
// data blocks of the plug-in module that made it.

#include "data/ModuleTypesTarn.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

class TBinStreamEx;

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

    TWaveformTarn() = default;
    ~TWaveformTarn();
    TWaveformTarn(const TWaveformTarn&) = delete;
    TWaveformTarn& operator=(const TWaveformTarn&) = delete;

    // The (Samples, SampleCount, SampleRange) triple.
    std::uint16_t* Samples() noexcept { return FView.Samples; }
    const std::uint16_t* Samples() const noexcept { return FView.Samples; }
    std::int32_t SampleCount() const noexcept { return FView.Count; }
    std::int32_t SampleRange() const noexcept { return FView.Range; }
    // The triple itself, as plug-in modules see it: writes through it reach
    // this waveform's own buffer.
    TWaveformData* DataView() noexcept { return &FView; }

    // Statistics, valid after UpdateStatistics.
    std::int32_t MaxSample = 0;
    std::int32_t MinSample = 0;
    double MeanSample = 0.0;
    std::int32_t HighestHarmonic = 0;

    std::string Name;
    TModuleData ModuleData;
    bool IsStandard = false;

    // Frees an owned buffer (an attached one is only let go). Name, flag,
    // module data and statistics stay.
    void Clear() noexcept;
    // count samples of range div 2. A negative count throws EDataError.
    void Allocate(std::int32_t count, std::int32_t range, bool standard);
    // Deep copy, statistics recomputed.
    void Assign(const TWaveformTarn& source);
    // Copies the samples of data; name, flag, module data and statistics stay.
    void AssignData(const TWaveformData& data);

    // Max, min and mean of the codes, then the highest harmonic: the last bin
    // in 2 .. count div 2 - 1 whose unnormalised magnitude exceeds 5.0 (1 if none).
    void UpdateStatistics();

    // "Standard" / "Arbitrary".
    std::string ModeText() const;
    // "1000 samples", "8k (8192 samples)".
    std::string SizeText() const;

    // One waveform record. Errors are EDataError with the file's message texts.
    void LoadFromStream(std::istream& stream);
    void SaveToStream(std::ostream& stream) const;
    void LoadFromStream(TBinStreamEx& stream);
    void SaveToStream(TBinStreamEx& stream) const;

    // Wraps a buffer owned by the caller (no copy) and updates the statistics.
    // The buffer is never freed by this object, detached or not.
    void AttachSamples(std::uint16_t* samples, std::int32_t count, std::int32_t range);
    // Lets go of the attached buffer without freeing it.
    void DetachSamples() noexcept;
    bool IsAttached() const noexcept { return FView.Samples != nullptr && !FBuffer; }

    // Number of codes BuildDecimations writes: count + count div 2 + ... while
    // the factor stays below the count (16382 for 8192 samples).
    std::size_t DecimationCount() const noexcept;
    // Averaged copies for factors 1, 2, 4, ... one after the other, each scaled
    // to span 0 .. MaxSample - MinSample. Needs current statistics. Returns
    // the number of codes written.
    std::size_t BuildDecimations(std::uint16_t* destination) const;
    // The same, throwing EDataError when capacity is below DecimationCount().
    std::size_t BuildDecimations(std::uint16_t* destination, std::size_t capacity) const;

private:
    TWaveformData FView;
    // Null when empty or when the samples are attached.
    std::unique_ptr<std::uint16_t[]> FBuffer;
};

// Waveforms owned by a list: the device list (one per real channel) and the
// waveform repository.
using TWaveformList = std::vector<std::unique_ptr<TWaveformTarn>>;
