// SPDX-License-Identifier: MIT
#include "data/WaveformRepositoryFile.h"

#include "data/BinStreamEx.h"
#include "data/DataTypesTarn.h"
#include "data/FileReplace.h"
#include "data/SampleFile.h"

#include <fstream>
#include <vector>

namespace {

// True when every record would be written back as read.
bool ReadList(TBinStreamEx& stream, TWaveformList& list, const std::shared_ptr<TSampleFile>& samplesFrom)
{
    // Whatever fails below, the list holds only records read whole.
    list.clear();
    // A count larger than the bytes left is a damaged file; nothing is
    // reserved from it either way.
    const std::int32_t count = stream.ReadGuardedCount(1);
    bool asRead = true;
    for (std::int32_t i = 0; i < count; ++i) {
        auto waveform = std::make_unique<TWaveformTarn>();
        asRead = (samplesFrom ? waveform->LoadFromStream(stream, samplesFrom) : waveform->LoadFromStream(stream))
                 && asRead;
        list.push_back(std::move(waveform));
    }
    return asRead;
}

std::vector<TWaveformImage> Images(const TWaveformList& list, bool forOtherThread)
{
    std::vector<TWaveformImage> images;
    images.reserve(list.size());
    for (const auto& waveform : list) {
        if (!waveform)
            throw EDataError("Empty place in waveform list");
        images.push_back(waveform->Image(forOtherThread));
    }
    return images;
}

void WriteImages(TBinStreamEx& stream, const std::vector<TWaveformImage>& images)
{
    if (images.size() > static_cast<std::size_t>(INT32_MAX))
        throw EDataError("Too many waveforms");
    stream.WriteGuardedInt(static_cast<std::int32_t>(images.size()));
    for (const auto& image : images)
        WriteWaveformRecord(stream, image);
}

} // namespace

bool ReadWaveformRepository(TBinStreamEx& stream, TWaveformList& deviceWaveforms, TWaveformList& repository,
                            const std::shared_ptr<TSampleFile>& samplesFrom)
{
    if (stream.ReadGuardedInt() != RepositoryFileVersion)
        throw EDataError("Unknown file version");
    if (stream.ReadGuardedInt() != RepositoryFileType)
        throw EDataError("Unknown file type");
    // The device waveforms go to the device at start: read them now.
    const bool deviceAsRead = ReadList(stream, deviceWaveforms, nullptr);
    const bool repositoryAsRead = ReadList(stream, repository, samplesFrom);
    const auto left = stream.BytesLeft();
    return deviceAsRead && repositoryAsRead && left && *left == 0;
}

TLibraryImage MakeLibraryImage(const TWaveformList& deviceWaveforms, const TWaveformList& repository,
                               bool forOtherThread)
{
    TLibraryImage image;
    image.Device = Images(deviceWaveforms, forOtherThread);
    image.Repository = Images(repository, forOtherThread);
    return image;
}

void WriteLibraryImage(TBinStreamEx& stream, const TLibraryImage& image)
{
    stream.WriteGuardedInt(RepositoryFileVersion);
    stream.WriteGuardedInt(RepositoryFileType);
    WriteImages(stream, image.Device);
    WriteImages(stream, image.Repository);
}

void WriteWaveformRepository(TBinStreamEx& stream, const TWaveformList& deviceWaveforms,
                             const TWaveformList& repository)
{
    WriteLibraryImage(stream, MakeLibraryImage(deviceWaveforms, repository, false));
}

bool LoadWaveformRepositoryFile(const std::filesystem::path& file, TWaveformList& deviceWaveforms,
                                TWaveformList& repository)
{
    // Only the record headers are read here; the library's sample blocks
    // stay in the file until a waveform needs them.
    const auto samples = TSampleFile::Open(file);
    if (!samples)
        throw EDataError("Unable to open " + file.string());
    return ReadWaveformRepositoryFile(samples, deviceWaveforms, repository);
}

bool ReadWaveformRepositoryFile(const std::shared_ptr<TSampleFile>& samples, TWaveformList& deviceWaveforms,
                                TWaveformList& repository)
{
    TSampleFileBuf buffer(*samples);
    std::istream in(&buffer);
    TBinStreamEx stream(in);
    return ReadWaveformRepository(stream, deviceWaveforms, repository, samples);
}

void SaveWaveformRepositoryFile(const std::filesystem::path& file, const TWaveformList& deviceWaveforms,
                                const TWaveformList& repository)
{
    const bool written = ReplaceFileContents(file, [&](std::ostream& out) {
        TBinStreamEx stream(out);
        WriteWaveformRepository(stream, deviceWaveforms, repository);
    });
    if (!written)
        throw EDataError("Unable to write " + file.string());
}
