// SPDX-License-Identifier: MIT
#include "shell/SingleInstance.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <string>
#include <string_view>

#include <unistd.h>

namespace tarn {

namespace {

// What the kernel appends to the link of a program whose file was replaced
// or removed while it runs.
constexpr std::string_view kDeletedMark = " (deleted)";

// The real user of a process: the first number of the "Uid:" line of its
// status file.
std::optional<uid_t> RealUser(const std::filesystem::path& status)
{
    std::ifstream in(status);
    std::string line;
    for (int lines = 0; lines < 64 && std::getline(in, line); ++lines) {
        constexpr std::string_view key = "Uid:";
        if (!line.starts_with(key)) {
            continue;
        }
        std::string_view rest = std::string_view(line).substr(key.size());
        while (!rest.empty() && (rest.front() == '\t' || rest.front() == ' ')) {
            rest.remove_prefix(1);
        }
        uid_t uid = 0;
        const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), uid);
        if (ec != std::errc() || end == rest.data()) {
            return std::nullopt;
        }
        return uid;
    }
    return std::nullopt;
}

} // namespace

std::optional<int> CountInstances(const std::filesystem::path& procRoot, const std::filesystem::path& executable,
                                  uid_t uid)
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
        // A process that ended meanwhile has neither entry.
        std::error_code linkError;
        const fs::path exe = fs::read_symlink(entry.path() / "exe", linkError);
        if (linkError || ExecutablePath(exe) != executable) {
            continue;
        }
        if (RealUser(entry.path() / "status") == uid) {
            ++count;
        }
    }
    return count;
}

std::filesystem::path ExecutablePath(const std::filesystem::path& exeLink)
{
    std::string path = exeLink.string();
    if (path.size() > kDeletedMark.size() && path.ends_with(kDeletedMark)) {
        path.erase(path.size() - kDeletedMark.size());
    }
    return path;
}

std::filesystem::path OwnExecutable()
{
    std::error_code ec;
    return ExecutablePath(std::filesystem::read_symlink("/proc/self/exe", ec));
}

bool OtherInstanceRunning()
{
    const std::filesystem::path own = OwnExecutable();
    if (own.empty()) {
        return false;
    }
    const std::optional<int> count = CountInstances("/proc", own, ::getuid());
    return count && *count >= 2;
}

} // namespace tarn
