// SPDX-License-Identifier: MIT
#pragma once
// A list of sweep points from a CSV file: frequency[, level][, dwell] per row,
// with an optional header line naming the columns. Separators ',' or ';'
// (the first data line decides), '.' for decimals always, values with the
// prefixes of the value texts (15k, 500m). Bounded in size, lines and rows;
// every error names its line.

#include "data/DataTypesTarn.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TSweepListRow {
    double Frequency = 0.0;      // Hz
    std::optional<double> Level; // Vpp, when the file gives one
    std::optional<double> Dwell; // seconds, when the file gives one
};

class ESweepListError : public EDataError {
public:
    // Line 0: about the whole file.
    ESweepListError(int line, const std::string& message);
    int Line() const { return line_; }

private:
    int line_;
};

inline constexpr std::size_t kSweepListMaxRows = 10000;
inline constexpr std::size_t kSweepListMaxLine = 256;
inline constexpr std::size_t kSweepListMaxBytes = 1u << 20;

// Seconds as "10ms", "0.5s", "250us", "2" (an optional "s" after the m or u
// prefix); throws EDataError. The text for one: "100ms", "1.5s".
double ParseDwell(std::string_view text);
std::string FormatDwell(double seconds);

// Throws ESweepListError.
std::vector<TSweepListRow> ParseSweepListCsv(std::string_view text);
// Reads at most kSweepListMaxBytes + 1 bytes of a regular file, then parses.
std::vector<TSweepListRow> ReadSweepListCsv(const std::filesystem::path& file);
