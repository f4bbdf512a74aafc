// The single-instance test over the process list in /proc.
#pragma once
#include <filesystem>
#include <optional>
#include <string>

namespace tarn {

// Number of processes whose executable's file name equals name exactly;
// nothing when the process list cannot be read.
std::optional<int> CountProcessesNamed(const std::filesystem::path& procRoot, const std::string& name);

// The file name of this process's executable.
std::string OwnExecutableName();

// True when another process runs an executable of the same file name.
bool OtherInstanceRunning();

} // namespace tarn
