// SPDX-License-Identifier: MIT
// The "Import" module's file reading: sample values from a text or CSV file
// (one value per line, or one column) or from a 16-bit PCM WAV file (its first
// channel), resampled to the chosen size and scaled to sample codes. Plain C++.
#pragma once
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tarnplugin {

// Auto: a comma is the decimal mark when the file separates its fields with
// ';' or tabs, else the comma separates fields.
enum class TDecimalMark { Auto, Point, Comma };
// How text values become codes: as codes, or as volts where the full scale
// (peak to peak) spans the code range with 0 V at the middle code.
enum class TValueKind { Codes, Volts };

struct TImportOptions {
    int Column = 1; // 1-based, text files only
    TDecimalMark Decimal = TDecimalMark::Auto;
    TValueKind Kind = TValueKind::Codes;
    double FullScaleVpp = 2.0;
};

struct TImportedValues {
    std::vector<double> Values; // none when the file is refused
    std::string Error;          // empty when the file was read
    bool FromWave = false;      // values are the 16-bit samples / 32767 (about -1 .. 1)
    int Channels = 0;
    int SampleRate = 0;
    bool Truncated = false; // the WAV data chunk ends early: its whole frames were read
    int FirstLine = 0;      // text: the line of the first value (1-based)
    bool Ok() const { return Error.empty(); }
};

constexpr std::size_t kMaxImportBytes = std::size_t{16} << 20; // plenty for 16,384 samples
constexpr int kMaxImportSize = 16384;

// The whole file, or false with a message.
bool ReadImportFile(const std::filesystem::path& path, std::string& content, std::string& error);
// A file starting with "RIFF" is read as WAV, anything else as text.
TImportedValues ReadImportValues(std::string_view content, const TImportOptions& options);
// One period of count samples: linear interpolation (wrapping to the first
// value) when growing, the mean over each sample's share when shrinking.
std::vector<double> Resample(const std::vector<double>& values, int count);
// Codes 0 .. range - 1, halves rounded to even; clamped receives how many
// values lay outside the range.
std::vector<unsigned short> ToCodes(const std::vector<double>& values, bool fromWave, const TImportOptions& options,
                                    int range, int* clamped = nullptr);

} // namespace tarnplugin
