// SPDX-License-Identifier: MIT
#include "data/WaveformRepositoryFile.h"

#include "data/BinStreamEx.h"
#include "data/DataTypesTarn.h"
#include "data/FileReplace.h"

#include <fstream>
#include <vector>

namespace {

// True when every record would be written back as read.
bool ReadList(TBinStreamEx& stream, TWaveformList& list)
{
    // Whatever fails below, the list holds only records read whole.
    list.clear();
    // A count larger than the bytes left is a damaged file; nothing is
    // reserved from it either way.
    const std::int32_t count = stream.ReadGuardedCount(1);
    bool asRead = true;
    for (std::int32_t i = 0; i < count; ++i) {
        auto waveform = std::make_unique<TWaveformTarn>();
        asRead = waveform->LoadFromStream(stream) && asRead;
        list.push_back(std::move(waveform));
    }
    return asRead;
}

void WriteList(TBinStreamEx& stream, const TWaveformList& list)
{
    if (list.size() > static_cast<std::size_t>(INT32_MAX))
        throw EDataError("Too many waveforms");
    stream.WriteGuardedInt(static_cast<std::int32_t>(list.size()));
    for (const auto& waveform : list) {
        if (!waveform)
            throw EDataError("Empty place in waveform list");
        waveform->SaveToStream(stream);
    }
}

} // namespace

bool ReadWaveformRepository(TBinStreamEx& stream, TWaveformList& deviceWaveforms, TWaveformList& repository)
{
    if (stream.ReadGuardedInt() != RepositoryFileVersion)
        throw EDataError("Unknown file version");
    if (stream.ReadGuardedInt() != RepositoryFileType)
        throw EDataError("Unknown file type");
    const bool deviceAsRead = ReadList(stream, deviceWaveforms);
    const bool repositoryAsRead = ReadList(stream, repository);
    const auto left = stream.BytesLeft();
    return deviceAsRead && repositoryAsRead && left && *left == 0;
}

void WriteWaveformRepository(TBinStreamEx& stream, const TWaveformList& deviceWaveforms,
                             const TWaveformList& repository)
{
    stream.WriteGuardedInt(RepositoryFileVersion);
    stream.WriteGuardedInt(RepositoryFileType);
    WriteList(stream, deviceWaveforms);
    WriteList(stream, repository);
}

bool LoadWaveformRepositoryFile(const std::filesystem::path& file, TWaveformList& deviceWaveforms,
                                TWaveformList& repository)
{
    // Small items come from this buffer; sample blocks larger than it are
    // read straight into the waveforms' buffers.
    constexpr std::size_t BlockSize = 16 * 1024;
    std::vector<char> block(BlockSize);
    std::ifstream in;
    in.rdbuf()->pubsetbuf(block.data(), static_cast<std::streamsize>(block.size()));
    in.open(file, std::ios::binary);
    if (!in.is_open())
        throw EDataError("Unable to open " + file.string());
    TBinStreamEx stream(in);
    return ReadWaveformRepository(stream, deviceWaveforms, repository);
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
