// SPDX-License-Identifier: MIT
#pragma once
#include <filesystem>
#include <functional>
#include <ostream>
#include <string_view>

// Writes a new file content to a temporary file beside target and renames it
// over target, so that a failure never destroys the old file; the new file
// keeps the old one's mode, and its owner and group where the system permits.
// Refuses to replace a file that is not writable or has no write bit at all
// (for root too); a symbolic link is followed, not replaced. In a folder where
// no file can be created, an existing writable target is rewritten in place.
// Returns false on any failure; an exception from write leaves the old file
// too and propagates.
bool ReplaceFileContents(const std::filesystem::path& target, const std::function<void(std::ostream&)>& write);
bool ReplaceFileContents(const std::filesystem::path& target, std::string_view data);
// True when ReplaceFileContents would rewrite target in place: its folder
// (the link's target's, for a link) is not the user's own or takes no file.
bool RewritesInPlace(const std::filesystem::path& target);
