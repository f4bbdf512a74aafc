#pragma once
#include <filesystem>
#include <string_view>

// Writes data to a temporary file beside target and renames it over target,
// so that a failure never destroys the old file. Refuses to replace a file
// that is not writable; a symbolic link is followed, not replaced. Returns
// false on any failure.
bool ReplaceFileContents(const std::filesystem::path& target, std::string_view data);
