// SPDX-License-Identifier: MIT
// Where "settings.xml" and "waveforms.dat" live: in the program's folder when
// the user may write there (a build folder, a portable copy), otherwise in the
// user's data folder, so that an installed, read-only program still keeps its
// settings.
#pragma once
#include <filesystem>
#include <string>

namespace tarn {

// Writable for this program: the system grants write access and the folder
// has a write bit at all (root is not let past a folder marked read-only).
bool FolderWritable(const std::filesystem::path& folder);

// $XDG_DATA_HOME/<name>, else $HOME/.local/share/<name>, where name is "tarn",
// or "tarn-virtual" for the virtual generator's program folder ("virtual"),
// so that the two never mix. Empty when neither variable is set.
std::filesystem::path UserDataFolder(const std::filesystem::path& programFolder, const char* xdgDataHome,
                                     const char* home);

struct TDataFolder {
    std::filesystem::path folder;
    // False when the files live in the user's data folder.
    bool inProgramFolder = true;
};

// The program folder when writable; else the user's data folder, created on
// first use. When that cannot be made either, the program folder is kept and
// the saves at exit report their failure.
TDataFolder ChooseDataFolder(const std::filesystem::path& programFolder);

} // namespace tarn
