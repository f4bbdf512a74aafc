// SPDX-License-Identifier: MIT
#include "data/WaveformTarn.h"

#include "data/BinStreamEx.h"
#include "data/CommonFunctionsTarn.h"
#include "data/DataTypesTarn.h"
#include "data/SampleFile.h"
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

const std::uint16_t* TWaveformTarn::Samples() const noexcept
{
    LoadSamples();
    return FView.Samples;
}

void TWaveformTarn::LoadSamples() const noexcept
{
    if (!FFile)
        return;
    const auto count = static_cast<std::size_t>(FView.Count);
    auto buffer = std::make_shared_for_overwrite<std::uint16_t[]>(count);
    if (!FFile->ReadWords(FFileOffset, buffer.get(), count)) {
        std::fill_n(buffer.get(), count, static_cast<std::uint16_t>(FView.Range / 2));
        FSamplesLost = true;
    }
    FBuffer = std::move(buffer);
    FView.Samples = FBuffer.get();
    FFile.reset();
}

void TWaveformTarn::OwnBuffer()
{
    LoadSamples();
    if (FBuffer && FBuffer.use_count() > 1) {
        auto copy = std::make_shared_for_overwrite<std::uint16_t[]>(static_cast<std::size_t>(FView.Count));
        std::copy_n(FBuffer.get(), FView.Count, copy.get());
        FBuffer = std::move(copy);
        FView.Samples = FBuffer.get();
    }
}

std::uint16_t* TWaveformTarn::Samples() noexcept
{
    OwnBuffer();
    FStatistics.Share(FView);
    FBufferShared = true;
    return FView.Samples;
}

TWaveformData* TWaveformTarn::DataView() noexcept
{
    OwnBuffer();
    FStatistics.Share(FView);
    FViewShared = true;
    return &FView;
}

std::int32_t TWaveformTarn::MaxSample() const
{
    LoadSamples();
    return FStatistics.MaxSample(FView, SamplesShared());
}

std::int32_t TWaveformTarn::MinSample() const
{
    LoadSamples();
    return FStatistics.MinSample(FView, SamplesShared());
}

double TWaveformTarn::MeanSample() const
{
    LoadSamples();
    return FStatistics.MeanSample(FView, SamplesShared());
}

std::int32_t TWaveformTarn::HighestHarmonic() const
{
    LoadSamples();
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
    if (retire) {
        LoadSamples();
        FStatistics.Retire(FView, SamplesShared());
    }
    FFile.reset();
    FSamplesLost = false;
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
        FBuffer = std::make_shared_for_overwrite<std::uint16_t[]>(static_cast<std::size_t>(count));
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
    if (source.FFile) {
        // Still unread: the copy reads the same place when it needs the samples.
        FFile = source.FFile;
        FFileOffset = source.FFileOffset;
    } else if (source.SampleCount() > 0) {
        FBuffer = std::make_shared_for_overwrite<std::uint16_t[]>(static_cast<std::size_t>(source.SampleCount()));
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
    std::shared_ptr<std::uint16_t[]> copy;
    if (count > 0) {
        copy = std::make_shared_for_overwrite<std::uint16_t[]>(static_cast<std::size_t>(count));
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
    return LoadRecord(stream, nullptr);
}

bool TWaveformTarn::LoadFromStream(TBinStreamEx& stream, const std::shared_ptr<TSampleFile>& file)
{
    return LoadRecord(stream, &file);
}

bool TWaveformTarn::LoadRecord(TBinStreamEx& stream, const std::shared_ptr<TSampleFile>* file)
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
    if (count > 0 && file != nullptr && *file) {
        // The block's length was checked against the file; its codes are read
        // when first needed.
        FView.Count = count;
        FView.Range = range;
        FFileOffset = stream.Position();
        stream.Skip(static_cast<std::uint64_t>(count) * sizeof(std::uint16_t));
        FFile = *file;
        ModuleData.LoadFromStream(stream);
        return flag <= 1;
    }
    if (count > 0) {
        FBuffer = std::make_shared_for_overwrite<std::uint16_t[]>(static_cast<std::size_t>(count));
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
    WriteWaveformRecord(stream, Image(false));
}

TWaveformImage TWaveformTarn::Image(bool forOtherThread) const
{
    TWaveformImage image;
    image.Name = Name;
    image.IsStandard = IsStandard;
    image.Range = FView.Range;
    image.Count = FView.Count;
    image.ModuleData.Assign(ModuleData);
    if (FFile) {
        image.File = FFile;
        image.Offset = FFileOffset;
    } else if (FView.Count > 0 && FView.Samples != nullptr) {
        if (FBuffer && !SamplesShared()) {
            // Written again only after a copy (OwnBuffer).
            image.Samples = FBuffer;
        } else if (forOtherThread) {
            auto copy = std::make_shared_for_overwrite<std::uint16_t[]>(static_cast<std::size_t>(FView.Count));
            std::copy_n(FView.Samples, FView.Count, copy.get());
            image.Samples = std::move(copy);
        } else {
            image.Samples = std::shared_ptr<const std::uint16_t[]>(std::shared_ptr<void>(), FView.Samples);
        }
    }
    return image;
}

void WriteWaveformRecord(TBinStreamEx& stream, const TWaveformImage& image)
{
    stream.WriteGuardedInt(TWaveformTarn::RecordVersion);
    stream.WriteGuardedInt(TWaveformTarn::RecordType);
    stream.WriteString(image.Name);
    stream.WriteByte(image.IsStandard ? 1 : 0);
    stream.WriteInt(image.Range);
    stream.WriteGuardedInt(image.Count);
    const auto count = static_cast<std::size_t>(std::max(image.Count, 0));
    if (image.Samples) {
        stream.WriteWords(image.Samples.get(), count);
    } else if (image.File) {
        // Copied from the file in slices, never all at once.
        constexpr std::size_t Slice = 32 * 1024;
        std::vector<std::uint16_t> slice(std::min(count, Slice));
        for (std::size_t done = 0; done < count;) {
            const std::size_t n = std::min(Slice, count - done);
            if (!image.File->ReadWords(image.Offset + done * sizeof(std::uint16_t), slice.data(), n))
                throw EDataError("Waveform file changed");
            stream.WriteWords(slice.data(), n);
            done += n;
        }
    }
    image.ModuleData.SaveToStream(stream);
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
