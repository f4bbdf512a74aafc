// SPDX-License-Identifier: MIT
// The single-instance test over the process list in /proc.
#pragma once
#include <filesystem>
#include <optional>

#include <sys/types.h>

namespace tarn {

// Number of processes of user uid (their real user) that run the program file
// executable, as their link in procRoot shows it. A process whose link cannot
// be read is not counted: its command line is whatever its starter chose.
// Nothing when the process list cannot be read.
std::optional<int> CountInstances(const std::filesystem::path& procRoot, const std::filesystem::path& executable,
                                  uid_t uid);

// The program file of a process from its link in /proc, also when the file
// was replaced while the process runs.
std::filesystem::path ExecutablePath(const std::filesystem::path& exeLink);

// This process's program file.
std::filesystem::path OwnExecutable();

// True when another process of this user runs the same program file. A copy
// in another folder is another installation (its own driver and files) and
// does not count.
bool OtherInstanceRunning();

} // namespace tarn
