// SPDX-License-Identifier: MIT
#include "data/CommonFunctionsTarn.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

const char* const IncorrectFrequency = "Incorrect frequency value";
const char* const IncorrectLoad = "Incorrect load value";

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

[[noreturn]] void ThrowConvert(std::string_view text)
{
    throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Plain decimal notation only: no inf, nan or hexadecimal forms.
bool IsDecimal(std::string_view s)
{
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < s.size() && IsDigit(s[i])) {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        std::size_t expDigits = 0;
        while (i < s.size() && IsDigit(s[i])) {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    return i == s.size();
}

struct TPrefix {
    char Letter;
    int Exponent;
};

// Strips a trailing decimal prefix letter if it is one of allowed; returns the factor.
long double TakePrefix(std::string_view& text, std::string_view allowed)
{
    if (text.empty() || allowed.find(text.back()) == std::string_view::npos)
        return 1.0L;
    static constexpr TPrefix Prefixes[] = {{'G', 9}, {'M', 6}, {'k', 3}, {'m', -3}, {'u', -6}};
    const char letter = text.back();
    text.remove_suffix(1);
    text = Trim(text);
    for (const auto& p : Prefixes)
        if (p.Letter == letter)
            return std::pow(10.0L, static_cast<long double>(p.Exponent));
    return 1.0L;
}

double ToDouble(long double value, std::string_view text)
{
    if (!std::isfinite(static_cast<double>(value)))
        ThrowConvert(text);
    return static_cast<double>(value);
}

std::string ShortText(double value)
{
    char buffer[512];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc())
        return "0";
    return std::string(buffer, result.ptr);
}

// Mantissa in [lower, 1000) with a decimal prefix, three decimals kept.
std::string FormatDecimal(double x, double lower)
{
    if (!std::isfinite(x))
        return ShortText(x);
    int e = 0;
    while (x >= 1000) {
        x /= 1000;
        ++e;
    }
    double m = x;
    do {
        m = x;
        --e;
        x = m * 1000;
    } while (m < lower);
    ++e;
    // Beyond the prefix letters keep the outermost one, so the text still
    // means the value (1000G, 0.001u) instead of losing its scale.
    if (e > 3) {
        m *= std::pow(1000.0, e - 3);
        e = 3;
    } else if (e < -2) {
        m /= std::pow(1000.0, -2 - e);
        e = -2;
    }
    // The product m x 1000 is exact in extended precision, so a mantissa
    // just below or above a half rounds the way its value says.
    m = static_cast<double>(std::nearbyint(static_cast<long double>(m) * 1000.0L)) / 1000;
    std::string text = ShortText(m);
    switch (e) {
    case 1:
        text += 'k';
        break;
    case 2:
        text += 'M';
        break;
    case 3:
        text += 'G';
        break;
    case -1:
        text += 'm';
        break;
    case -2:
        text += 'u';
        break;
    default:
        break;
    }
    return text;
}

} // namespace

long double ParseNumber(std::string_view text)
{
    std::string s(Trim(text));
    for (char& c : s)
        if (c == ',')
            c = '.';
    if (!IsDecimal(s))
        ThrowConvert(text);
    std::size_t start = s[0] == '+' ? 1 : 0;
    long double value = 0;
    const auto result = std::from_chars(s.data() + start, s.data() + s.size(), value);
    if (result.ec != std::errc() || result.ptr != s.data() + s.size())
        ThrowConvert(text);
    return value;
}

double ParseFrequency(std::string_view text)
{
    std::string_view rest = Trim(text);
    if (rest.empty())
        throw EDataError(IncorrectFrequency);
    const long double factor = TakePrefix(rest, "GMkm");
    return ToDouble(ParseNumber(rest) * factor, text);
}

namespace {

// The trimmed text without a trailing "v" or "V"; nothing left is an error.
std::string_view TrimUnitLetter(std::string_view text)
{
    std::string_view rest = Trim(text);
    if (!rest.empty() && (rest.back() == 'v' || rest.back() == 'V'))
        rest.remove_suffix(1);
    if (rest.empty())
        throw EDataError(IncorrectFrequency);
    return rest;
}

} // namespace

double ParseVoltage(std::string_view text)
{
    std::string_view rest = TrimUnitLetter(text);
    const long double factor = TakePrefix(rest, "GMkmu");
    return ToDouble(ParseNumber(rest) * factor, text);
}

double ParseLoad(std::string_view text)
{
    if (text.size() == 4) {
        std::string lower(text);
        for (char& c : lower)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        if (lower == "open")
            return -1.0;
    }
    std::string_view rest = Trim(text);
    if (rest.empty())
        throw EDataError(IncorrectLoad);
    const long double factor = TakePrefix(rest, "GMkm");
    const double value = ToDouble(ParseNumber(rest) * factor, text);
    if (!(value >= 1.0))
        throw EDataError(IncorrectLoad);
    return value;
}

std::int32_t ParseSampleCount(std::string_view text)
{
    std::string_view rest = TrimUnitLetter(text);
    long double factor = 1.0L;
    if (!rest.empty() && (rest.back() == 'M' || rest.back() == 'k')) {
        factor = rest.back() == 'M' ? 1048576.0L : 1024.0L;
        rest.remove_suffix(1);
        rest = Trim(rest);
    }
    const long double value = std::nearbyint(ParseNumber(rest) * factor);
    if (!(value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max()))
        throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
    return static_cast<std::int32_t>(value);
}

namespace {

// The sign stays in front of the prefixed magnitude.
std::string FormatSigned(double value, double step)
{
    if (value == 0)
        return "0";
    if (value < 0)
        return "-" + FormatDecimal(-value, step);
    return FormatDecimal(value, step);
}

} // namespace

std::string FormatFrequency(double value)
{
    return FormatSigned(value, 0.1);
}

std::string FormatVoltage(double value)
{
    return FormatSigned(value, 1.0);
}

std::string FormatLoad(double value)
{
    if (value < 1 || std::isnan(value))
        return "Open";
    return FormatDecimal(value, 1.0);
}

std::string FormatSampleCount(std::int32_t value)
{
    double q = value;
    int d = 0;
    while (q >= 1024 && d < 2) {
        q /= 1024;
        ++d;
    }
    std::string text = ShortText(std::nearbyint(q * 1000) / 1000);
    if (d == 1)
        text += 'k';
    else if (d == 2)
        text += 'M';
    return text;
}
