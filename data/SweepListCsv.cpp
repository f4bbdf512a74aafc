// SPDX-License-Identifier: MIT
#include "data/SweepListCsv.h"

#include "data/CommonFunctionsTarn.h"

#include <array>
#include <cmath>
#include <fstream>

namespace {

enum class Column { Frequency, Level, Dwell };
constexpr std::array kDefaultColumns = {Column::Frequency, Column::Level, Column::Dwell};

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::vector<std::string_view> Split(std::string_view line, char separator)
{
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t at = line.find(separator);
        fields.push_back(Trim(line.substr(0, at)));
        if (at == std::string_view::npos)
            return fields;
        line.remove_prefix(at + 1);
    }
}

// "Frequency (Hz)", "\"dwell\"": the name without quotes and unit.
std::optional<Column> ColumnNamed(std::string_view field)
{
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
        field = field.substr(1, field.size() - 2);
    field = Trim(field.substr(0, field.find_first_of("([")));
    const std::string name = Lower(field);
    if (name == "frequency" || name == "freq" || name == "f")
        return Column::Frequency;
    if (name == "level" || name == "vpp" || name == "amplitude")
        return Column::Level;
    if (name == "dwell" || name == "time" || name == "t")
        return Column::Dwell;
    return std::nullopt;
}

[[noreturn]] void Fail(int line, const std::string& message)
{
    throw ESweepListError(line, message);
}

double Value(Column column, std::string_view field, int line)
{
    static constexpr const char* kNames[] = {"frequency", "level", "dwell"};
    const char* name = kNames[int(column)];
    // The value texts would read ',' as decimals; here it always separates.
    if (field.find(',') != std::string_view::npos)
        Fail(line, "use '.' for decimals in \"" + std::string(field) + "\"");
    double value = 0.0;
    try {
        value = column == Column::Frequency ? ParseFrequency(field)
                : column == Column::Level   ? ParseVoltage(field)
                                            : ParseDwell(field);
    } catch (const EDataError&) {
        Fail(line, "\"" + std::string(field) + "\" is not a " + name);
    }
    const bool ok = std::isfinite(value) && (column == Column::Level ? value >= 0.0 : value > 0.0);
    if (!ok)
        Fail(line,
             std::string("the ") + name + (column == Column::Level ? " must not be negative" : " must be above 0"));
    return value;
}

} // namespace

double ParseDwell(std::string_view text)
{
    text = Trim(text);
    if (!text.empty() && text.back() == 's')
        text = Trim(text.substr(0, text.size() - 1));
    double factor = 1.0;
    if (!text.empty() && (text.back() == 'm' || text.back() == 'u')) {
        factor = text.back() == 'm' ? 1e-3 : 1e-6;
        text = Trim(text.substr(0, text.size() - 1));
    }
    const double value = static_cast<double>(ParseNumber(text)) * factor;
    if (!std::isfinite(value))
        throw EConvertError("'" + std::string(text) + "' is not a valid time");
    return value;
}

std::string FormatDwell(double seconds)
{
    // The voltage texts have the m and u prefixes a time needs.
    return FormatVoltage(seconds) + "s";
}

ESweepListError::ESweepListError(int line, const std::string& message)
    : EDataError(line > 0 ? "Line " + std::to_string(line) + ": " + message : message), line_(line)
{
}

std::vector<TSweepListRow> ParseSweepListCsv(std::string_view text)
{
    if (text.size() > kSweepListMaxBytes)
        Fail(0, "The file is larger than " + std::to_string(kSweepListMaxBytes / 1024) + " KiB");
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::vector<Column> columns(kDefaultColumns.begin(), kDefaultColumns.end());
    std::vector<TSweepListRow> rows;
    char separator = 0;
    bool headerSeen = false;
    int number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() > kSweepListMaxLine)
            Fail(number, "longer than " + std::to_string(kSweepListMaxLine) + " characters");
        for (const char c : line)
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
                Fail(number, "not a text line");
        line = Trim(line);
        if (line.empty() || line.front() == '#')
            continue;
        if (separator == 0)
            separator = line.find(';') != std::string_view::npos ? ';' : ',';
        const std::vector<std::string_view> fields = Split(line, separator);
        // A first line that does not start with a number names the columns.
        if (rows.empty() && !headerSeen && !fields[0].empty() && !(fields[0][0] >= '0' && fields[0][0] <= '9')
            && fields[0][0] != '.' && fields[0][0] != '+' && fields[0][0] != '-') {
            headerSeen = true;
            columns.clear();
            for (const std::string_view field : fields) {
                const std::optional<Column> c = ColumnNamed(field);
                if (!c)
                    Fail(number, "unknown column \"" + std::string(field) + "\" (frequency, level, dwell)");
                for (const Column seen : columns)
                    if (seen == *c)
                        Fail(number, "column \"" + std::string(field) + "\" twice");
                columns.push_back(*c);
            }
            bool hasFrequency = false;
            for (const Column c : columns)
                hasFrequency = hasFrequency || c == Column::Frequency;
            if (!hasFrequency)
                Fail(number, "no frequency column");
            continue;
        }
        if (fields.size() > columns.size())
            Fail(number, "more than " + std::to_string(columns.size()) + " values");
        if (rows.size() == kSweepListMaxRows)
            Fail(number, "more than " + std::to_string(kSweepListMaxRows) + " points");
        TSweepListRow row;
        bool hasFrequency = false;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (fields[i].empty())
                continue; // an optional value left out
            const double v = Value(columns[i], fields[i], number);
            switch (columns[i]) {
            case Column::Frequency:
                row.Frequency = v;
                hasFrequency = true;
                break;
            case Column::Level:
                row.Level = v;
                break;
            case Column::Dwell:
                row.Dwell = v;
                break;
            }
        }
        if (!hasFrequency)
            Fail(number, "no frequency");
        rows.push_back(row);
    }
    if (rows.empty())
        Fail(0, "The file holds no points");
    return rows;
}

std::vector<TSweepListRow> ReadSweepListCsv(const std::filesystem::path& file)
{
    std::error_code ec;
    // A pipe or device would block or never end.
    if (!std::filesystem::is_regular_file(file, ec))
        Fail(0, "Not a file: " + file.string());
    std::ifstream in(file, std::ios::binary);
    if (!in)
        Fail(0, "Cannot open " + file.string());
    std::string text(kSweepListMaxBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return ParseSweepListCsv(text);
}
