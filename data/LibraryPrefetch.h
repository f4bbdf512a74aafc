// SPDX-License-Identifier: MIT
#pragma once
// The library file's record headers read on a thread of their own while the
// window is being built. The settings load takes the lists when the file is
// still the one that was read, and reads it itself otherwise.

#include "data/WaveformTarn.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <thread>

class TSampleFile;

class TLibraryPrefetch {
public:
    explicit TLibraryPrefetch(std::filesystem::path file);
    // Waits for the read.
    ~TLibraryPrefetch();
    TLibraryPrefetch(const TLibraryPrefetch&) = delete;
    TLibraryPrefetch& operator=(const TLibraryPrefetch&) = delete;

    const std::filesystem::path& File() const noexcept { return FFile; }
    // Waits, then hands over the lists and LoadWaveformRepositoryFile's
    // result. Nothing when the read failed, the file at that path is no
    // longer the one read, or the lists were taken already: the caller reads
    // the file itself, with its own error handling.
    std::optional<bool> Take(TWaveformList& device, TWaveformList& repository);

private:
    void Run() noexcept;

    std::filesystem::path FFile;
    std::shared_ptr<TSampleFile> FSamples;
    TWaveformList FDevice;
    TWaveformList FRepository;
    std::optional<bool> FAsRead;
    // Last: the thread starts once everything it writes exists.
    std::thread FThread;
};
