// SPDX-License-Identifier: MIT
#pragma once
// Writes the waveform library and the settings text on its own thread, from
// images taken on the window's thread, through the safe file replacement.
// A job handed in while another waits replaces it: only the newest content
// of each file is ever written.

#include "data/WaveformRepositoryFile.h"

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class TBackgroundSaver {
public:
    struct TLibraryResult {
        std::uint64_t Generation = 0;
        bool Saved = false;
    };

    TBackgroundSaver();
    // Finishes what was handed in, then stops.
    ~TBackgroundSaver();
    TBackgroundSaver(const TBackgroundSaver&) = delete;
    TBackgroundSaver& operator=(const TBackgroundSaver&) = delete;

    void SaveLibrary(TLibraryImage image);
    void SaveSettings(std::filesystem::path file, std::string text);
    // Blocks until everything handed in is written (or has failed).
    void Wait();
    // Nothing handed in is waiting or being written.
    bool Idle();
    // The newest library save that has ended since the last call.
    std::optional<TLibraryResult> TakeLibraryResult();

private:
    void Run();

    std::mutex FLock;
    std::condition_variable FChanged;
    std::optional<TLibraryImage> FLibrary;
    std::optional<std::pair<std::filesystem::path, std::string>> FSettings;
    std::optional<TLibraryResult> FLibraryResult;
    bool FBusy = false;
    bool FStopping = false;
    std::thread FThread;
};
