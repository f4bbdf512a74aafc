#include "shell/SingleInstance.h"

#include <algorithm>
#include <cctype>

namespace tarn {

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
        // Processes of other users or that ended meanwhile cannot be read: skip them.
        std::error_code linkError;
        const fs::path exe = fs::read_symlink(entry.path() / "exe", linkError);
        if (!linkError && exe.filename().string() == name) {
            ++count;
        }
    }
    return count;
}

std::string OwnExecutableName()
{
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).filename().string();
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
