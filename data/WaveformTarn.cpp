// SPDX-License-Identifier: MIT
#include "data/WaveformTarn.h"

#include "data/BinStreamEx.h"
#include "data/CommonFunctionsTarn.h"
#include "data/DataTypesTarn.h"
#include "data/StringsTarn.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <istream>
#include <ostream>

namespace {

std::int32_t CheckedCount(std::int32_t count)
{
    if (count < 0)
        throw EDataError("Wrong sample count");
    return count;
}

std::uint64_t NextChangeStamp() noexcept
{
    // Process-wide, so a new waveform at a freed one's address never repeats its stamp.
    static std::atomic<std::uint64_t> stamp{0};
    return ++stamp;
}

} // namespace

// ---- TModuleData ----

void TModuleData::Reset(std::uint32_t key, const std::string& name)
{
    Blocks.clear();
    ModuleKey = key;
    ModuleName = name;
}

void TModuleData::AddBlock(std::uint32_t key, const std::string& name, std::int32_t length, const void* data)
{
    if (key != ModuleKey || name != ModuleName || length < 0 || (length > 0 && data == nullptr))
        return;
    Blocks.emplace_back(static_cast<const char*>(data), static_cast<std::size_t>(length));
}

bool TModuleData::NextBlock(const char*& data, std::int32_t& length)
{
    if (Cursor >= 0 && static_cast<std::size_t>(Cursor) < Blocks.size()) {
        const std::string& block = Blocks[static_cast<std::size_t>(Cursor)];
        data = block.data();
        length = static_cast<std::int32_t>(block.size());
        ++Cursor;
        return true;
    }
    data = nullptr;
    length = -1;
    return false;
}

void TModuleData::Assign(const TModuleData& source)
{
    if (&source == this)
        return;
    ModuleKey = source.ModuleKey;
    ModuleName = source.ModuleName;
    Cursor = source.Cursor;
    Blocks = source.Blocks;
}

void TModuleData::SaveToStream(TBinStreamEx& stream) const
{
    stream.WriteGuardedInt(static_cast<std::int32_t>(ModuleKey));
    stream.WriteString(ModuleName);
    stream.WriteGuardedInt(static_cast<std::int32_t>(Blocks.size()));
    for (const auto& block : Blocks)
        stream.WriteString(block);
}

void TModuleData::LoadFromStream(TBinStreamEx& stream)
{
    // Read everything first so a damaged section leaves the store unchanged.
    const auto key = static_cast<std::uint32_t>(stream.ReadGuardedInt());
    std::string name = stream.ReadString();
    // A count larger than the bytes left is a damaged file. No reserve: the
    // count is only trusted as far as blocks arrive.
    const std::int32_t count = stream.ReadGuardedCount(1);
    std::vector<std::string> blocks;
    for (std::int32_t i = 0; i < count; ++i)
        blocks.push_back(stream.ReadString());
    ModuleKey = key;
    ModuleName = std::move(name);
    Blocks = std::move(blocks);
}

// ---- TWaveformTarn ----

TWaveformTarn::TWaveformTarn() : FChangeStamp(NextChangeStamp()) {}

TWaveformTarn::~TWaveformTarn()
{
    DropSamples(false);
}

std::uint16_t* TWaveformTarn::Samples() noexcept
{
    FStatistics.Share(FView);
    FBufferShared = true;
    return FView.Samples;
}

TWaveformData* TWaveformTarn::DataView() noexcept
{
    FStatistics.Share(FView);
    FViewShared = true;
    return &FView;
}

std::int32_t TWaveformTarn::MaxSample() const
{
    return FStatistics.MaxSample(FView, SamplesShared());
}

std::int32_t TWaveformTarn::MinSample() const
{
    return FStatistics.MinSample(FView, SamplesShared());
}

double TWaveformTarn::MeanSample() const
{
    return FStatistics.MeanSample(FView, SamplesShared());
}

std::int32_t TWaveformTarn::HighestHarmonic() const
{
    return FStatistics.HighestHarmonic(FView, SamplesShared());
}

void TWaveformTarn::UpdateStatistics() noexcept
{
    FStatistics.Invalidate();
}

void TWaveformTarn::SamplesChanged() noexcept
{
    FStatistics.Invalidate();
    FChangeStamp = NextChangeStamp();
}

void TWaveformTarn::DropSamples(bool retire) noexcept
{
    if (retire)
        FStatistics.Retire(FView, SamplesShared());
    FBuffer.reset();
    FView.Samples = nullptr;
    FView.Count = 0;
    FView.Range = 0;
    FBufferShared = false;
    SamplesChanged();
}

void TWaveformTarn::Clear() noexcept
{
    DropSamples(true);
}

void TWaveformTarn::Allocate(std::int32_t count, std::int32_t range, bool standard)
{
    CheckedCount(count);
    Clear();
    if (count > 0) {
        FBuffer = std::make_unique_for_overwrite<std::uint16_t[]>(static_cast<std::size_t>(count));
        std::fill_n(FBuffer.get(), count, static_cast<std::uint16_t>(range / 2));
        FView.Samples = FBuffer.get();
    }
    FView.Count = count;
    FView.Range = range;
    IsStandard = standard;
}

void TWaveformTarn::Assign(const TWaveformTarn& source)
{
    if (&source == this)
        return;
    Clear();
    Name = source.Name;
    if (source.SampleCount() > 0) {
        FBuffer = std::make_unique_for_overwrite<std::uint16_t[]>(static_cast<std::size_t>(source.SampleCount()));
        std::copy_n(source.Samples(), source.SampleCount(), FBuffer.get());
        FView.Samples = FBuffer.get();
    }
    FView.Count = source.SampleCount();
    FView.Range = source.SampleRange();
    ModuleData.Assign(source.ModuleData);
    IsStandard = source.IsStandard;
    FStatistics.CopyFrom(source.FStatistics, source.FView, source.SamplesShared(), FView, SamplesShared());
}

void TWaveformTarn::AssignData(const TWaveformData& data)
{
    const std::int32_t count = CheckedCount(data.Count);
    if (count > 0 && data.Samples == nullptr)
        throw EDataError("Wrong sample buffer");
    // Copy first: data may describe this waveform's own buffer.
    std::unique_ptr<std::uint16_t[]> copy;
    if (count > 0) {
        copy = std::make_unique_for_overwrite<std::uint16_t[]>(static_cast<std::size_t>(count));
        std::copy_n(data.Samples, count, copy.get());
    }
    const std::int32_t range = data.Range;
    Clear();
    FBuffer = std::move(copy);
    FView.Samples = FBuffer.get();
    FView.Count = count;
    FView.Range = range;
}

std::string TWaveformTarn::ModeText() const
{
    return IsStandard ? Strings::ModeStandard : Strings::ModeArbitrary;
}

std::string TWaveformTarn::SizeText() const
{
    const std::int32_t count = SampleCount();
    const std::string word = Strings::WordSamples;
    if (count < 1024)
        return std::to_string(count) + " " + word;
    return FormatSampleCount(count) + " (" + std::to_string(count) + " " + word + ")";
}

bool TWaveformTarn::LoadFromStream(std::istream& stream)
{
    TBinStreamEx bin(stream);
    return LoadFromStream(bin);
}

void TWaveformTarn::SaveToStream(std::ostream& stream) const
{
    TBinStreamEx bin(stream);
    SaveToStream(bin);
}

bool TWaveformTarn::LoadFromStream(TBinStreamEx& stream)
{
    if (stream.ReadGuardedInt() != RecordVersion)
        throw EDataError("Unsupported file version");
    if (stream.ReadGuardedInt() != RecordType)
        throw EDataError("Unsupported file type");
    Name = stream.ReadString();
    Clear();
    const std::uint8_t flag = stream.ReadByte();
    const std::int32_t range = stream.ReadInt();
    const std::int32_t count = stream.ReadGuardedCount(sizeof(std::uint16_t));
    // The codes go straight from the stream into the one buffer; only a
    // stream that ends early leaves words to fill, as Allocate would.
    IsStandard = flag != 0;
    if (count > 0) {
        FBuffer = std::make_unique_for_overwrite<std::uint16_t[]>(static_cast<std::size_t>(count));
        FView.Samples = FBuffer.get();
    }
    FView.Count = count;
    FView.Range = range;
    if (count > 0)
        stream.ReadWords(FBuffer.get(), static_cast<std::size_t>(count), static_cast<std::uint16_t>(range / 2));
    ModuleData.LoadFromStream(stream);
    return flag <= 1;
}

void TWaveformTarn::SaveToStream(TBinStreamEx& stream) const
{
    stream.WriteGuardedInt(RecordVersion);
    stream.WriteGuardedInt(RecordType);
    stream.WriteString(Name);
    stream.WriteByte(IsStandard ? 1 : 0);
    stream.WriteInt(SampleRange());
    stream.WriteGuardedInt(SampleCount());
    if (SampleCount() > 0)
        stream.WriteWords(Samples(), static_cast<std::size_t>(SampleCount()));
    ModuleData.SaveToStream(stream);
}

void TWaveformTarn::AttachSamples(std::uint16_t* samples, std::int32_t count, std::int32_t range)
{
    CheckedCount(count);
    if (count > 0 && samples == nullptr)
        throw EDataError("Wrong sample buffer");
    Clear();
    FView.Samples = samples;
    FView.Count = count;
    FView.Range = range;
    // The caller keeps writing access to its buffer.
    FBufferShared = true;
}

void TWaveformTarn::DetachSamples() noexcept
{
    // Never frees: an owned buffer stays with Clear, an attached one with its owner.
    if (FBuffer)
        return;
    DropSamples(true);
}

std::size_t TWaveformTarn::DecimationCount() const noexcept
{
    const std::int64_t count = SampleCount();
    std::size_t total = 0;
    for (std::int64_t f = 1; f < count; f *= 2)
        total += static_cast<std::size_t>(count / f);
    return total;
}

std::size_t TWaveformTarn::BuildDecimations(std::uint16_t* destination, std::size_t capacity) const
{
    if (capacity < DecimationCount())
        throw EDataError("Decimation buffer too small");
    return BuildDecimations(destination);
}

std::size_t TWaveformTarn::BuildDecimations(std::uint16_t* destination) const
{
    const std::int64_t count = SampleCount();
    const std::uint16_t* samples = Samples();
    const std::int32_t span = MaxSample() - MinSample();
    std::vector<double> averages;
    std::size_t written = 0;
    for (std::int64_t f = 1; f < count; f *= 2) {
        const std::int64_t levelCount = count / f;
        averages.resize(static_cast<std::size_t>(levelCount));
        // The search starts from SampleRange and 0, as the statistics do.
        double smallest = SampleRange();
        double largest = 0.0;
        for (std::int64_t a = 0; a < levelCount; ++a) {
            double sum = 0.0;
            for (std::int64_t t = a * f; t < (a + 1) * f; ++t)
                sum += samples[t];
            const double average = sum / static_cast<double>(f);
            averages[static_cast<std::size_t>(a)] = average;
            smallest = std::min(smallest, average);
            largest = std::max(largest, average);
        }
        double scale = 1.0;
        double offset = 0.0;
        if (largest != smallest) {
            scale = span / (largest - smallest);
            offset = -smallest * scale;
        }
        for (const double average : averages) {
            const double code = std::nearbyint(offset + scale * average);
            destination[written++] = static_cast<std::uint16_t>(std::clamp(code, 0.0, 65535.0));
        }
    }
    return written;
}
