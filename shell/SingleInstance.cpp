// SPDX-License-Identifier: MIT
#include "shell/SingleInstance.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <string_view>

namespace tarn {

namespace {

// What the kernel appends to the link of a program whose file was replaced
// or removed while it runs.
constexpr std::string_view kDeletedMark = " (deleted)";

// The program name a process was started under: the file name of the first
// argument of its command line.
std::string CommandName(const std::filesystem::path& cmdline)
{
    std::ifstream in(cmdline, std::ios::binary);
    std::string first;
    std::getline(in, first, '\0');
    return std::filesystem::path(first).filename().string();
}

} // namespace

std::optional<int> CountProcessesNamed(const std::filesystem::path& procRoot, const std::string& name)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(procRoot, ec);
    if (ec) {
        return std::nullopt;
    }
    int count = 0;
    for (const fs::directory_entry& entry : it) {
        const std::string pid = entry.path().filename().string();
        if (pid.empty() || !std::all_of(pid.begin(), pid.end(), [](unsigned char c) { return std::isdigit(c); })) {
            continue;
        }
        // Another user's process hides its executable, not its command line;
        // a process that ended meanwhile has neither.
        std::error_code linkError;
        const fs::path exe = fs::read_symlink(entry.path() / "exe", linkError);
        const std::string running = linkError ? CommandName(entry.path() / "cmdline") : ExecutableName(exe);
        if (running == name) {
            ++count;
        }
    }
    return count;
}

std::string ExecutableName(const std::filesystem::path& exeLink)
{
    std::string name = exeLink.filename().string();
    if (name.size() > kDeletedMark.size() && name.ends_with(kDeletedMark)) {
        name.erase(name.size() - kDeletedMark.size());
    }
    return name;
}

std::string OwnExecutableName()
{
    std::error_code ec;
    return ExecutableName(std::filesystem::read_symlink("/proc/self/exe", ec));
}

bool OtherInstanceRunning()
{
    const std::string name = OwnExecutableName();
    if (name.empty()) {
        return false;
    }
    const std::optional<int> count = CountProcessesNamed("/proc", name);
    return count && *count >= 2;
}

} // namespace tarn
