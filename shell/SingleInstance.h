// SPDX-License-Identifier: MIT
// The single-instance test over the process list in /proc.
#pragma once
#include <filesystem>
#include <optional>
#include <string>

namespace tarn {

// Number of processes whose executable's file name equals name exactly (the
// program name of their command line where the executable cannot be read);
// nothing when the process list cannot be read.
std::optional<int> CountProcessesNamed(const std::filesystem::path& procRoot, const std::string& name);

// The file name of a process's executable from its link in /proc, also when
// the file was replaced while the process runs.
std::string ExecutableName(const std::filesystem::path& exeLink);

// The file name of this process's executable.
std::string OwnExecutableName();

// True when another process runs an executable of the same file name.
bool OtherInstanceRunning();

} // namespace tarn
