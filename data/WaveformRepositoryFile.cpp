#include "data/WaveformRepositoryFile.h"

#include "data/BinStreamEx.h"
#include "data/DataTypesTarn.h"

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <system_error>

namespace {

void ReadList(TBinStreamEx& stream, TWaveformList& list)
{
    // Whatever fails below, the list holds only records read whole.
    list.clear();
    // A count larger than the bytes left is a damaged file; nothing is
    // reserved from it either way.
    const std::int32_t count = stream.ReadGuardedCount(1);
    for (std::int32_t i = 0; i < count; ++i) {
        auto waveform = std::make_unique<TWaveformTarn>();
        waveform->LoadFromStream(stream);
        list.push_back(std::move(waveform));
    }
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

// Pushes the written bytes to the disk before the rename makes them the file.
bool SyncFile(const std::filesystem::path& file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

void SyncFolder(const std::filesystem::path& folder)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

void ReadWaveformRepository(TBinStreamEx& stream, TWaveformList& deviceWaveforms,
                            TWaveformList& repository)
{
    if (stream.ReadGuardedInt() != RepositoryFileVersion)
        throw EDataError("Unknown file version");
    if (stream.ReadGuardedInt() != RepositoryFileType)
        throw EDataError("Unknown file type");
    ReadList(stream, deviceWaveforms);
    ReadList(stream, repository);
}

void WriteWaveformRepository(TBinStreamEx& stream, const TWaveformList& deviceWaveforms,
                             const TWaveformList& repository)
{
    stream.WriteGuardedInt(RepositoryFileVersion);
    stream.WriteGuardedInt(RepositoryFileType);
    WriteList(stream, deviceWaveforms);
    WriteList(stream, repository);
}

void LoadWaveformRepositoryFile(const std::filesystem::path& file, TWaveformList& deviceWaveforms,
                                TWaveformList& repository)
{
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open())
        throw EDataError("Unable to open " + file.string());
    TBinStreamEx stream(in);
    ReadWaveformRepository(stream, deviceWaveforms, repository);
}

void SaveWaveformRepositoryFile(const std::filesystem::path& file,
                                const TWaveformList& deviceWaveforms,
                                const TWaveformList& repository)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status oldStatus = fs::status(file, ec);
    const bool exists = !ec && fs::exists(oldStatus);
    // Replacing by rename would bypass a write protection the user set.
    if (exists && ::access(file.c_str(), W_OK) != 0)
        throw EDataError("Unable to write " + file.string());

    fs::path temporary = file;
    temporary += ".tmp";
    try {
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            if (!out.is_open())
                throw EDataError("Unable to create " + temporary.string());
            TBinStreamEx stream(out);
            WriteWaveformRepository(stream, deviceWaveforms, repository);
            out.close();
            if (out.fail())
                throw EDataError("Unable to write " + temporary.string());
        }
        if (!SyncFile(temporary))
            throw EDataError("Unable to write " + temporary.string());
        if (exists)
            fs::permissions(temporary, oldStatus.permissions(), fs::perm_options::replace, ec);
        fs::rename(temporary, file, ec);
        if (ec)
            throw EDataError("Unable to replace " + file.string() + ": " + ec.message());
    } catch (...) {
        std::error_code ignored;
        if (fs::is_regular_file(temporary, ignored))
            fs::remove(temporary, ignored);
        throw;
    }
    SyncFolder(file.parent_path());
}
