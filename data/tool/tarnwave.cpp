// SPDX-License-Identifier: MIT
// tarnwave: the waveform library file on the command line.
//
//   tarnwave list FILE
//   tarnwave list --json FILE
//   tarnwave init FILE
//   tarnwave export FILE INDEX
//   tarnwave import FILE NAME [--standard]
//
// "list" prints this header line, then one tab-separated line per waveform:
//   section index name mode SampleCount SampleRange MinSample MaxSample MeanSample HighestHarmonic
// section is "device" or "library", index counts from 0 within its section,
// mode is the waveform's mode text ("Standard" or "Arbitrary"), MeanSample has
// 6 decimals. Tabs and line breaks inside a name are shown as blanks. The
// statistics are computed on all cores; lines come in file order.
// "list --json" prints one JSON object {"device": [...], "library": [...]}
// whose entries carry the same fields (index, name, mode and the statistics
// under their column names). Names are taken as UTF-8 when they are valid
// UTF-8, otherwise byte for byte as Latin-1.
// Exit status 0 on success; 1 on failure with the reason on standard error.

#include "data/DataTypesTarn.h"
#include "data/CommandLine.h"
#include "data/SettingsTarn.h"
#include "data/WaveformRepositoryFile.h"
#include "data/WaveformTarn.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <iostream>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

constexpr std::int32_t ImportRange = 4096;
constexpr std::int32_t MaxImportCount = 16384;

constexpr char Usage[] = "usage: tarnwave list [--json] FILE\n"
                         "       tarnwave init FILE\n"
                         "       tarnwave export FILE INDEX\n"
                         "       tarnwave import FILE NAME [--standard]\n";

constexpr char ListHeader[] =
    "section\tindex\tname\tmode\tSampleCount\tSampleRange\tMinSample\tMaxSample\tMeanSample\tHighestHarmonic";

// Standard output may be a closed pipe or a full disk: that is a failure too.
void WriteOut(const std::string& text)
{
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        throw EDataError("Unable to write to standard output");
}

struct TLibrary {
    TWaveformList Device;
    TWaveformList Repository;
};

TLibrary LoadStrict(const std::string& file)
{
    TLibrary library;
    LoadWaveformRepositoryFile(file, library.Device, library.Repository);
    return library;
}

std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    }
    return text;
}

void PrintList(const char* section, const TWaveformList& list, std::string& out)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        const TWaveformTarn& w = *list[i];
        // Not printf: its decimal separator is the locale's.
        char mean[64];
        const auto printed = std::to_chars(mean, mean + sizeof mean - 1, w.MeanSample(), std::chars_format::fixed, 6);
        *printed.ptr = '\0';
        out += section;
        out += '\t' + std::to_string(i);
        out += '\t' + OneLine(w.Name);
        out += '\t' + w.ModeText();
        out += '\t' + std::to_string(w.SampleCount());
        out += '\t' + std::to_string(w.SampleRange());
        out += '\t' + std::to_string(w.MinSample());
        out += '\t' + std::to_string(w.MaxSample());
        out += '\t';
        out += mean;
        out += '\t' + std::to_string(w.HighestHarmonic());
        out += '\n';
    }
}

bool ValidUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size() || (length == 2 && c < 0xC2))
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        // Overlong forms, surrogates and code points above U+10FFFF.
        const auto next = length > 1 ? static_cast<unsigned char>(text[i + 1]) : 0;
        if ((c == 0xE0 && next < 0xA0) || (c == 0xED && next >= 0xA0) || (c == 0xF0 && next < 0x90)
            || (c == 0xF4 && next >= 0x90) || c > 0xF4)
            return false;
        i += length;
    }
    return true;
}

std::string JsonString(const std::string& text)
{
    const bool utf8 = ValidUtf8(text);
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        char escaped[8];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7F || (c >= 0x80 && !utf8)) {
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + '"';
}

void PrintJsonList(const char* section, const TWaveformList& list, std::string& out)
{
    out += '"';
    out += section;
    out += "\": [";
    for (std::size_t i = 0; i < list.size(); ++i) {
        const TWaveformTarn& w = *list[i];
        char mean[64];
        std::snprintf(mean, sizeof mean, "%.6f", w.MeanSample());
        out += i == 0 ? "\n" : ",\n";
        out += "  {\"index\": " + std::to_string(i) + ", \"name\": " + JsonString(w.Name)
               + ", \"mode\": " + JsonString(w.ModeText()) + ", \"SampleCount\": " + std::to_string(w.SampleCount())
               + ", \"SampleRange\": " + std::to_string(w.SampleRange()) + ", \"MinSample\": "
               + std::to_string(w.MinSample()) + ", \"MaxSample\": " + std::to_string(w.MaxSample())
               + ", \"MeanSample\": " + mean + ", \"HighestHarmonic\": " + std::to_string(w.HighestHarmonic()) + "}";
    }
    out += list.empty() ? "]" : "\n]";
}

// Computes every waveform's statistics on all cores; each waveform is
// computed by one thread only, and the lines are printed afterwards in file order.
void ComputeStatistics(const TLibrary& library)
{
    std::vector<const TWaveformTarn*> all;
    for (const TWaveformList* list : {&library.Device, &library.Repository})
        for (const auto& w : *list)
            all.push_back(w.get());
    std::atomic<std::size_t> next{0};
    std::mutex failedLock;
    std::exception_ptr failed;
    const auto work = [&] {
        try {
            for (std::size_t i = next++; i < all.size(); i = next++) {
                all[i]->MaxSample();
                all[i]->HighestHarmonic();
            }
        } catch (...) {
            const std::lock_guard lock(failedLock);
            failed = std::current_exception();
            next = all.size();
        }
    };
    const std::size_t threads = std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), all.size());
    {
        std::vector<std::jthread> helpers;
        for (std::size_t t = 1; t < threads; ++t)
            helpers.emplace_back(work);
        work();
    }
    if (failed)
        std::rethrow_exception(failed);
}

int List(const std::string& file, bool json)
{
    const TLibrary library = LoadStrict(file);
    ComputeStatistics(library);
    if (json) {
        std::string out = "{";
        PrintJsonList("device", library.Device, out);
        out += ",\n";
        PrintJsonList("library", library.Repository, out);
        out += "}\n";
        WriteOut(out);
        return 0;
    }
    std::string out = ListHeader;
    out += '\n';
    PrintList("device", library.Device, out);
    PrintList("library", library.Repository, out);
    WriteOut(out);
    return 0;
}

int Init(const std::string& file)
{
    TSettingsTarn settings;
    settings.Repository.clear();
    settings.RecoverWaveforms();
    SaveWaveformRepositoryFile(file, settings.Device.Waveforms, settings.Repository);
    return 0;
}

bool ParseWhole(std::string_view text, std::int64_t& value)
{
    const char* last = text.data() + text.size();
    const auto res = std::from_chars(text.data(), last, value, 10);
    return !text.empty() && res.ec == std::errc() && res.ptr == last;
}

int Export(const std::string& file, const std::string& indexText)
{
    const TLibrary library = LoadStrict(file);
    std::int64_t index = -1;
    if (!ParseWhole(indexText, index) || index < 0 || static_cast<std::uint64_t>(index) >= library.Repository.size())
        throw EDataError("No library waveform with index " + indexText + " (the library holds "
                         + std::to_string(library.Repository.size()) + ")");
    const TWaveformTarn& w = *library.Repository[static_cast<std::size_t>(index)];
    std::string out;
    out.reserve(static_cast<std::size_t>(w.SampleCount()) * 5);
    for (std::int32_t i = 0; i < w.SampleCount(); ++i) {
        out += std::to_string(w.Samples()[i]);
        out += '\n';
    }
    WriteOut(out);
    return 0;
}

std::string_view Trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// Codes from standard input, one per line; blank lines are skipped.
std::vector<std::uint16_t> ReadCodes(std::istream& in)
{
    std::vector<std::uint16_t> codes;
    std::string line;
    std::size_t lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        const std::string_view text = Trimmed(line);
        if (text.empty())
            continue;
        std::int64_t code = 0;
        if (!ParseWhole(text, code))
            throw EDataError("Line " + std::to_string(lineNumber) + ": \"" + std::string(text)
                             + "\" is not a decimal sample code");
        if (code < 0 || code >= ImportRange)
            throw EDataError("Line " + std::to_string(lineNumber) + ": sample code " + std::string(text)
                             + " is outside 0..4095");
        if (codes.size() >= static_cast<std::size_t>(MaxImportCount))
            throw EDataError("More than 16384 sample codes; a waveform holds 1..16384 samples");
        codes.push_back(static_cast<std::uint16_t>(code));
    }
    if (codes.empty())
        throw EDataError("No sample codes given; a waveform holds 1..16384 samples");
    return codes;
}

int Import(const std::string& file, const std::string& name, bool standard)
{
    TLibrary library = LoadStrict(file);
    std::vector<std::uint16_t> codes = ReadCodes(std::cin);
    // The driver loads a standard waveform with its averaged copies, which
    // only fit the device memory for the standard size.
    if (standard && codes.size() != static_cast<std::size_t>(TSettingsTarn::StandardSampleCount))
        throw EDataError("A standard waveform has 8192 samples, not " + std::to_string(codes.size()));
    auto waveform = std::make_unique<TWaveformTarn>();
    waveform->AssignData(TWaveformData{codes.data(), static_cast<std::int32_t>(codes.size()), ImportRange});
    waveform->IsStandard = standard;
    waveform->Name = name;
    library.Repository.push_back(std::move(waveform));
    SaveWaveformRepositoryFile(file, library.Device, library.Repository);
    return 0;
}

int Run(const std::vector<std::string>& args)
{
    const std::string command = args.empty() ? std::string() : args[0];
    if (command == "list" && args.size() == 2)
        return List(args[1], false);
    if (command == "list" && args.size() == 3 && args[1] == "--json")
        return List(args[2], true);
    if (command == "init" && args.size() == 2)
        return Init(args[1]);
    if (command == "export" && args.size() == 3)
        return Export(args[1], args[2]);
    if (command == "import" && (args.size() == 3 || (args.size() == 4 && args[3] == "--standard")))
        return Import(args[1], args[2], args.size() == 4);
    std::cerr << Usage;
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (const int status = tarn::CheckCommandLine(argc, argv, tarn::TarnwaveCommandLine); status >= 0)
        return status;
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
}
