// SPDX-License-Identifier: MIT
#include "shell/DataFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace tarn {

namespace fs = std::filesystem;

bool FolderWritable(const fs::path& folder)
{
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return false;
    }
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

fs::path UserDataFolder(const fs::path& programFolder, const char* xdgDataHome, const char* home)
{
    fs::path folder = programFolder.lexically_normal();
    if (folder.filename().empty()) {
        folder = folder.parent_path(); // a trailing separator
    }
    const char* name = folder.filename() == "virtual" ? "tarn-virtual" : "tarn";
    // A relative XDG_DATA_HOME is invalid and must be ignored.
    if (xdgDataHome != nullptr && *xdgDataHome == '/') {
        return fs::path(xdgDataHome) / name;
    }
    if (home != nullptr && *home != '\0') {
        return fs::path(home) / ".local" / "share" / name;
    }
    return {};
}

TDataFolder ChooseDataFolder(const fs::path& programFolder)
{
    if (FolderWritable(programFolder)) {
        return {programFolder, true};
    }
    const fs::path user = UserDataFolder(programFolder, std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    std::error_code ec;
    if (user.empty() || (fs::create_directories(user, ec), ec) || !fs::is_directory(user, ec)) {
        return {programFolder, true};
    }
    return {user, false};
}

} // namespace tarn
