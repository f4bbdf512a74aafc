// SPDX-License-Identifier: MIT
#pragma once
// The waveform repository file: the waveform of each device channel, then the
// user's waveform list, each a sequence of waveform records.

#include "data/WaveformTarn.h"

#include <filesystem>
#include <iosfwd>

#include <memory>
#include <vector>

class TBinStreamEx;
class TSampleFile;

inline constexpr char WaveformRepositoryFileName[] = "waveforms.dat";
inline constexpr std::int32_t RepositoryFileVersion = 0;
inline constexpr std::int32_t RepositoryFileType = 1001;

// Reads the whole file layout. Each list is replaced when its count has been
// read; waveforms are appended only once their record is complete, so after a
// failure the lists hold exactly the records read whole. Errors are EDataError
// ("Unknown file version", "Unknown file type", "Wrong integer in file", ...).
// True when writing the lists again gives the same bytes: every record
// written back as read and nothing after the last one. With samplesFrom (the
// file stream reads), the library's sample blocks are left in that file until
// needed; the device waveforms are always read.
bool ReadWaveformRepository(TBinStreamEx& stream, TWaveformList& deviceWaveforms, TWaveformList& repository,
                            const std::shared_ptr<TSampleFile>& samplesFrom = nullptr);
// The two lists as they are to be written, possibly on another thread.
struct TLibraryImage {
    std::filesystem::path File;
    std::uint64_t Generation = 0;
    std::vector<TWaveformImage> Device;
    std::vector<TWaveformImage> Repository;
};
// forOtherThread as TWaveformTarn::Image.
TLibraryImage MakeLibraryImage(const TWaveformList& deviceWaveforms, const TWaveformList& repository,
                               bool forOtherThread);
// The file layout from images. Throws EDataError.
void WriteLibraryImage(TBinStreamEx& stream, const TLibraryImage& image);
void WriteWaveformRepository(TBinStreamEx& stream, const TWaveformList& deviceWaveforms,
                             const TWaveformList& repository);

// Opens the file and reads the record headers; the library's samples are
// read when first needed (see TSampleFile). A missing or unreadable file
// throws EDataError. The result is ReadWaveformRepository's.
bool LoadWaveformRepositoryFile(const std::filesystem::path& file, TWaveformList& deviceWaveforms,
                                TWaveformList& repository);
// The same over a file opened already.
bool ReadWaveformRepositoryFile(const std::shared_ptr<TSampleFile>& samples, TWaveformList& deviceWaveforms,
                                TWaveformList& repository);
// Writes a temporary file beside the target and renames it over the target,
// so a failed save leaves the old file as it was. A target that exists but is
// not writable is refused. Throws EDataError on any failure.
void SaveWaveformRepositoryFile(const std::filesystem::path& file, const TWaveformList& deviceWaveforms,
                                const TWaveformList& repository);
