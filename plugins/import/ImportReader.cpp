// SPDX-License-Identifier: MIT
#include "ImportReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>

namespace tarnplugin {

namespace {

template <typename... Args> std::string Format(const char* format, Args... args)
{
    char text[200];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

std::string_view Trim(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::vector<std::string_view> Fields(std::string_view line, std::string_view separators)
{
    std::vector<std::string_view> fields;
    if (line.find_first_of(separators) == std::string_view::npos) {
        // No separator: columns may be set apart by blanks.
        std::size_t start = line.find_first_not_of(" \t");
        while (start != std::string_view::npos) {
            const std::size_t end = line.find_first_of(" \t", start);
            fields.push_back(line.substr(start, end - start));
            start = line.find_first_not_of(" \t", end);
        }
        return fields;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find_first_of(separators, start);
        fields.push_back(Trim(line.substr(start, end - start)));
        if (end == std::string_view::npos) {
            return fields;
        }
        start = end + 1;
    }
}

enum class TParsed { Number, NotNumber, NotFinite };

TParsed ParseValue(std::string_view field, bool decimalComma, double& value)
{
    field = Trim(field);
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"') {
        field = Trim(field.substr(1, field.size() - 2));
    }
    std::string text(field.substr(!field.empty() && field.front() == '+' ? 1 : 0));
    if (decimalComma) {
        std::replace(text.begin(), text.end(), ',', '.');
    }
    if (text.empty() || text.front() == '+') {
        return TParsed::NotNumber;
    }
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ptr != end || ec == std::errc::invalid_argument) {
        return TParsed::NotNumber;
    }
    return ec == std::errc::result_out_of_range || !std::isfinite(value) ? TParsed::NotFinite : TParsed::Number;
}

TImportedValues ReadText(std::string_view content, const TImportOptions& options)
{
    TImportedValues result;
    if (content.substr(0, 3) == "\xEF\xBB\xBF") {
        content.remove_prefix(3);
    }
    if (content.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        result.Error = "The file is empty.";
        return result;
    }
    bool comma = options.Decimal == TDecimalMark::Comma;
    if (options.Decimal == TDecimalMark::Auto) {
        comma = content.find_first_of(";\t") != std::string_view::npos;
    }
    const std::string_view separators = comma ? ";\t" : ",;\t";
    int lineNumber = 0;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = std::min(content.find('\n', start), content.size());
        const std::string_view line = Trim(content.substr(start, end - start));
        start = end + 1;
        ++lineNumber;
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const std::vector<std::string_view> fields = Fields(line, separators);
        const bool started = !result.Values.empty();
        double value = 0;
        if (fields.size() < static_cast<std::size_t>(options.Column)) {
            // A short line ahead of the numbers is a title; one that holds numbers is data.
            if (started || ParseValue(fields.front(), comma, value) != TParsed::NotNumber) {
                result.Error = Format("Line %d has no column %d.", lineNumber, options.Column);
                return result;
            }
            continue;
        }
        const std::string_view field = fields[static_cast<std::size_t>(options.Column - 1)];
        switch (ParseValue(field, comma, value)) {
        case TParsed::Number:
            if (!started) {
                result.FirstLine = lineNumber;
            }
            result.Values.push_back(value);
            break;
        case TParsed::NotFinite:
            result.Error = Format("Line %d: \"%.40s\" is not a finite number.", lineNumber, std::string(field).c_str());
            return result;
        case TParsed::NotNumber:
            if (started) {
                result.Error = Format("Line %d: \"%.40s\" is not a number.", lineNumber, std::string(field).c_str());
                return result;
            }
            break; // a header line
        }
    }
    if (result.Values.empty()) {
        result.Error = Format("The file holds no numbers in column %d.", options.Column);
    }
    return result;
}

std::uint32_t Le(std::string_view bytes, std::size_t at, int size)
{
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

TImportedValues ReadWave(std::string_view content)
{
    TImportedValues result;
    result.FromWave = true;
    if (content.size() < 12 || content.substr(8, 4) != "WAVE") {
        result.Error = "The file starts like a WAV file but is none.";
        return result;
    }
    int blockAlign = 0;
    std::uint64_t at = 12;
    while (at + 8 <= content.size()) {
        const std::string_view id = content.substr(at, 4);
        const std::uint64_t length = Le(content, at + 4, 4);
        const std::uint64_t body = at + 8;
        if (id == "fmt ") {
            if (length < 16 || body + 16 > content.size()) {
                result.Error = "The WAV file's format chunk is damaged.";
                return result;
            }
            int format = static_cast<int>(Le(content, body, 2));
            if (format == 0xFFFE && length >= 40 && body + 26 <= content.size()) {
                format = static_cast<int>(Le(content, body + 24, 2)); // extensible: the sub-format
            }
            result.Channels = static_cast<int>(Le(content, body + 2, 2));
            result.SampleRate = static_cast<int>(Le(content, body + 4, 4) & 0x7FFFFFFF);
            blockAlign = static_cast<int>(Le(content, body + 12, 2));
            const int bits = static_cast<int>(Le(content, body + 14, 2));
            if (format != 1) {
                result.Error = Format("Only PCM WAV files can be read; this one has format %d.", format);
                return result;
            }
            if (bits != 16) {
                result.Error = Format("Only 16-bit WAV files can be read; this one has %d bits per sample.", bits);
                return result;
            }
            if (result.Channels < 1 || blockAlign != 2 * result.Channels) {
                result.Error = "The WAV file's format chunk is damaged.";
                return result;
            }
        } else if (id == "data") {
            if (blockAlign == 0) {
                result.Error = "The WAV file has no format chunk before its data.";
                return result;
            }
            const std::uint64_t present = std::min<std::uint64_t>(length, content.size() - body);
            result.Truncated = present < length;
            const std::uint64_t frames = present / static_cast<std::uint64_t>(blockAlign);
            result.Values.reserve(frames);
            for (std::uint64_t i = 0; i < frames; ++i) {
                const auto sample = static_cast<std::int16_t>(Le(content, body + i * blockAlign, 2));
                result.Values.push_back(sample / 32767.0);
            }
            if (result.Values.empty()) {
                result.Error = "The WAV file holds no samples.";
            }
            return result;
        }
        at = body + length + (length & 1);
    }
    result.Error = blockAlign == 0 ? "The WAV file has no format chunk." : "The WAV file has no data chunk.";
    return result;
}

} // namespace

bool ReadImportFile(const std::filesystem::path& path, std::string& content, std::string& error)
{
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || std::filesystem::is_directory(path, ec)) {
        error = "The file cannot be opened.";
        return false;
    }
    if (size > kMaxImportBytes) {
        error = Format("The file is larger than %d MB.", static_cast<int>(kMaxImportBytes >> 20));
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    content.assign(static_cast<std::size_t>(size), '\0');
    if (!file || !file.read(content.data(), static_cast<std::streamsize>(size))) {
        error = "The file cannot be read.";
        return false;
    }
    return true;
}

TImportedValues ReadImportValues(std::string_view content, const TImportOptions& options)
{
    if (options.Column < 1) {
        TImportedValues result;
        result.Error = "The column must be 1 or more.";
        return result;
    }
    TImportedValues result = content.substr(0, 4) == "RIFF" ? ReadWave(content) : ReadText(content, options);
    if (!result.Ok()) {
        result.Values.clear();
    }
    return result;
}

std::vector<double> Resample(const std::vector<double>& values, int count)
{
    const auto n = static_cast<std::int64_t>(values.size());
    if (n == 0 || count < 1) {
        return {};
    }
    std::vector<double> out(static_cast<std::size_t>(count));
    if (count >= n) {
        for (std::int64_t i = 0; i < count; ++i) {
            const std::int64_t k = i * n / count;
            const double f = static_cast<double>(i * n % count) / count;
            out[static_cast<std::size_t>(i)] = values[static_cast<std::size_t>(k)] * (1.0 - f)
                                               + (f > 0 ? values[static_cast<std::size_t>((k + 1) % n)] * f : 0.0);
        }
        return out;
    }
    // Sample i covers [i * n, (i + 1) * n) and value j [j * count, (j + 1) * count), both in 1/count steps.
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int64_t from = i * n;
        const std::int64_t to = from + n;
        double sum = 0;
        for (std::int64_t j = from / count; j < n && j * count < to; ++j) {
            const std::int64_t overlap = std::min(to, (j + 1) * count) - std::max(from, j * count);
            sum += values[static_cast<std::size_t>(j)] * static_cast<double>(overlap);
        }
        out[static_cast<std::size_t>(i)] = sum / static_cast<double>(n);
    }
    return out;
}

std::vector<unsigned short> ToCodes(const std::vector<double>& values, bool fromWave, const TImportOptions& options,
                                    int range, int* clamped)
{
    const double zero = range / 2;
    const double amplitude = std::max(range / 2 - 1, 0);
    const double top = std::max(range - 1, 0);
    std::vector<unsigned short> codes;
    codes.reserve(values.size());
    int outside = 0;
    for (const double value : values) {
        double code = value;
        if (fromWave) {
            code = zero + value * amplitude;
        } else if (options.Kind == TValueKind::Volts) {
            code = zero + value / (options.FullScaleVpp / 2) * amplitude;
        }
        code = std::nearbyint(code);
        if (!(code >= 0 && code <= top)) {
            ++outside;
            code = code > top ? top : 0; // NaN (a zero full scale) included
        }
        codes.push_back(static_cast<unsigned short>(code));
    }
    if (clamped != nullptr) {
        *clamped = outside;
    }
    return codes;
}

} // namespace tarnplugin
