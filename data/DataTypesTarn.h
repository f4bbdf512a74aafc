// SPDX-License-Identifier: MIT
#pragma once
// Small types shared by the data layer and its users.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// Growable per-channel arrays of the settings model.
using TIntArray = std::vector<std::int32_t>;
using TBoolArray = std::vector<bool>;
// Load per output in ohms; -1.0 means open.
using TLoadArray = std::vector<double>;

// The data layer's error: carries the message text that loaders and tools report.
class EDataError : public std::runtime_error {
public:
    explicit EDataError(const std::string& message) : std::runtime_error(message) {}
};
