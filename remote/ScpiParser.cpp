// SPDX-License-Identifier: MIT
#include "remote/ScpiParser.h"

#include "remote/ScpiErrors.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace tarn::scpi {

namespace {

constexpr std::size_t kMaxNodeName = 12;

bool IsAlpha(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}
char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}
bool Printable(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x20 && u < 0x7f;
}

std::string Quote(std::string_view text)
{
    return std::string(text.substr(0, 24));
}

} // namespace

void TMessageParser::SkipSpace()
{
    while (!AtEnd() && IsSpace(text_[pos_])) {
        ++pos_;
    }
}

bool TMessageParser::Next(TUnit& unit, TParseError& error)
{
    if (failed_) {
        return false;
    }
    unit = TUnit{};
    SkipSpace();
    if (AtEnd()) {
        return false;
    }
    const auto fail = [&](int code, std::string detail) {
        failed_ = true;
        error = {code, std::move(detail)};
        return false;
    };
    if (!Header(unit, error)) {
        failed_ = true;
        return false;
    }
    const bool spaced = !AtEnd() && IsSpace(Peek());
    SkipSpace();
    if (!AtEnd() && Peek() != ';') {
        if (!spaced) {
            return fail(IsAlpha(Peek()) || IsDigit(Peek()) ? errSyntax : errInvalidCharacter,
                        "in header near '" + Quote(text_.substr(pos_)) + "'");
        }
        for (;;) {
            TParam param;
            if (!Param(param, error)) {
                failed_ = true;
                return false;
            }
            unit.Params.push_back(std::move(param));
            SkipSpace();
            if (AtEnd() || Peek() == ';') {
                break;
            }
            if (Peek() != ',') {
                return fail(Printable(Peek()) ? errInvalidSeparator : errInvalidCharacter,
                            "after a parameter near '" + Quote(text_.substr(pos_)) + "'");
            }
            ++pos_;
            SkipSpace();
        }
    }
    if (!AtEnd()) {
        ++pos_; // the ';'
    }
    return true;
}

bool TMessageParser::Header(TUnit& unit, TParseError& error)
{
    const auto fail = [&](int code, const char* what) {
        error = {code, std::string(what) + " near '" + Quote(text_.substr(pos_)) + "'"};
        return false;
    };
    if (Peek() == '*') {
        ++pos_;
        unit.Common = true;
        std::string name = "*";
        while (!AtEnd() && IsAlpha(Peek())) {
            name += Upper(text_[pos_++]);
        }
        if (name.size() == 1) {
            return fail(errSyntax, "common command without a name");
        }
        unit.Nodes.push_back({std::move(name), -1});
    } else {
        if (Peek() == ':') {
            unit.Absolute = true;
            ++pos_;
        }
        for (;;) {
            if (!IsAlpha(Peek())) {
                return fail(Printable(Peek()) ? errSyntax : errInvalidCharacter, "header expected");
            }
            THeaderNode node;
            while (!AtEnd() && (IsAlpha(Peek()) || Peek() == '_')) {
                node.Name += Upper(text_[pos_++]);
            }
            if (IsDigit(Peek())) {
                long suffix = 0;
                while (!AtEnd() && IsDigit(Peek())) {
                    suffix = std::min(suffix * 10 + (text_[pos_++] - '0'), 1000000L);
                }
                node.Suffix = static_cast<int>(suffix);
            }
            if (node.Name.size() > kMaxNodeName) {
                return fail(errUndefinedHeader, "header node too long");
            }
            unit.Nodes.push_back(std::move(node));
            if (Peek() != ':') {
                break;
            }
            ++pos_;
        }
    }
    if (Peek() == '?') {
        unit.Query = true;
        ++pos_;
    }
    return true;
}

bool TMessageParser::Param(TParam& param, TParseError& error)
{
    const auto fail = [&](int code, const char* what) {
        error = {code, what};
        return false;
    };
    const char c = Peek();
    if (c == '"' || c == '\'') {
        param.Kind = TParam::TKind::String;
        const std::size_t opened = pos_++;
        for (;;) {
            if (AtEnd()) {
                error = {errInvalidString, "string without its closing quote from column " + std::to_string(opened + 1)};
                return false;
            }
            const char d = text_[pos_++];
            if (d == c) {
                if (Peek() != c) {
                    return true;
                }
                ++pos_;
            }
            param.Text += d;
        }
    }
    if (c == '#') {
        param.Kind = TParam::TKind::Block;
        ++pos_;
        const char n = Peek();
        if (n < '1' || n > '9') {
            return fail(errInvalidBlock, "only definite-length blocks (#<n><length><bytes>) are taken");
        }
        ++pos_;
        std::size_t length = 0;
        for (int i = 0; i < n - '0'; ++i) {
            if (!IsDigit(Peek())) {
                return fail(errInvalidBlock, "block length digits missing");
            }
            length = length * 10 + static_cast<std::size_t>(text_[pos_++] - '0');
        }
        if (length > text_.size() - pos_) {
            return fail(errInvalidBlock, "block shorter than its length");
        }
        param.Text.assign(text_.substr(pos_, length));
        pos_ += length;
        return true;
    }
    if (IsAlpha(c)) {
        param.Kind = TParam::TKind::Mnemonic;
        while (!AtEnd() && (IsAlpha(Peek()) || IsDigit(Peek()) || Peek() == '_')) {
            param.Text += Upper(text_[pos_++]);
        }
        return true;
    }
    if (IsDigit(c) || c == '+' || c == '-' || c == '.') {
        param.Kind = TParam::TKind::Number;
        const std::size_t start = pos_;
        if (Peek() == '+' || Peek() == '-') {
            ++pos_;
        }
        bool digits = false;
        while (IsDigit(Peek())) {
            ++pos_;
            digits = true;
        }
        if (Peek() == '.') {
            ++pos_;
            while (IsDigit(Peek())) {
                ++pos_;
                digits = true;
            }
        }
        if (!digits) {
            return fail(errNumericData, "number without digits");
        }
        // An exponent needs its digits; "1EX" is exa, not an exponent.
        if (Upper(Peek()) == 'E') {
            std::size_t e = pos_ + 1;
            while (e < text_.size() && IsSpace(text_[e])) {
                ++e;
            }
            if (e < text_.size() && (text_[e] == '+' || text_[e] == '-')) {
                ++e;
                while (e < text_.size() && IsSpace(text_[e])) {
                    ++e;
                }
            }
            if (e < text_.size() && IsDigit(text_[e])) {
                while (e < text_.size() && IsDigit(text_[e])) {
                    ++e;
                }
                pos_ = e;
            }
        }
        std::string number;
        for (const char d : text_.substr(start, pos_ - start)) {
            if (!IsSpace(d)) {
                number += d;
            }
        }
        // Not strtold: the user's locale may want a decimal comma.
        const char* const first = number.data() + (number[0] == '+' ? 1 : 0);
        const char* const last = number.data() + number.size();
        const auto [end, ec] = std::from_chars(first, last, param.Number);
        if (ec != std::errc() || end != last || !std::isfinite(param.Number)) {
            return fail(errNumericData, "number out of range");
        }
        SkipSpace();
        while (!AtEnd() && (IsAlpha(Peek()) || Peek() == '/')) {
            param.Text += Upper(text_[pos_++]);
        }
        return true;
    }
    if (!Printable(c)) {
        return fail(errInvalidCharacter, "control or non-ASCII byte in a parameter");
    }
    return fail(errSyntax, "parameter expected");
}

std::optional<long double> ScaledNumber(const TParam& param, std::string_view unit)
{
    const std::string& s = param.Text;
    if (s.empty() || s == unit) {
        return param.Number;
    }
    // Mega is MA, except in the two units where M cannot mean milli.
    if ((unit == "HZ" || unit == "OHM") && s.size() == unit.size() + 1 && s[0] == 'M' && s.substr(1) == unit) {
        return param.Number * 1e6L;
    }
    static constexpr std::array<std::pair<std::string_view, long double>, 12> kMultipliers{{
        {"EX", 1e18L},
        {"PE", 1e15L},
        {"MA", 1e6L},
        {"T", 1e12L},
        {"G", 1e9L},
        {"K", 1e3L},
        {"M", 1e-3L},
        {"U", 1e-6L},
        {"N", 1e-9L},
        {"P", 1e-12L},
        {"F", 1e-15L},
        {"A", 1e-18L},
    }};
    for (const auto& [prefix, factor] : kMultipliers) {
        if (s.size() == prefix.size() + unit.size() && s.starts_with(prefix) && s.ends_with(unit)) {
            return param.Number * factor;
        }
    }
    return std::nullopt;
}

std::vector<TPatternNode> ParsePattern(std::string_view pattern)
{
    std::vector<TPatternNode> nodes;
    std::size_t i = 0;
    while (i < pattern.size()) {
        TPatternNode node;
        if (pattern[i] == '[') {
            node.Optional = true;
            ++i;
        }
        if (i < pattern.size() && pattern[i] == ':') {
            ++i;
        }
        while (i < pattern.size() && (IsAlpha(pattern[i]) || pattern[i] == '*')) {
            const char c = pattern[i++];
            node.Long += Upper(c);
            if (c == '*' || (c >= 'A' && c <= 'Z')) {
                node.Short += c;
            }
        }
        if (i < pattern.size() && pattern[i] == '#') {
            node.Suffix = true;
            ++i;
        }
        if (i < pattern.size() && pattern[i] == ']') {
            ++i;
        }
        nodes.push_back(std::move(node));
    }
    return nodes;
}

namespace {

bool Match(const std::vector<TPatternNode>& p, std::size_t pi, const std::vector<THeaderNode>& h, std::size_t hi,
           int& suffix)
{
    if (pi == p.size()) {
        return hi == h.size();
    }
    const TPatternNode& node = p[pi];
    if (hi < h.size() && (h[hi].Name == node.Short || h[hi].Name == node.Long) && (h[hi].Suffix < 0 || node.Suffix)) {
        const int saved = suffix;
        if (node.Suffix) {
            suffix = h[hi].Suffix < 0 ? 1 : h[hi].Suffix;
        }
        if (Match(p, pi + 1, h, hi + 1, suffix)) {
            return true;
        }
        suffix = saved;
    }
    return node.Optional && Match(p, pi + 1, h, hi, suffix);
}

} // namespace

bool MatchPattern(const std::vector<TPatternNode>& pattern, const std::vector<THeaderNode>& header, int& suffix)
{
    suffix = 1;
    return Match(pattern, 0, header, 0, suffix);
}

std::string Quoted(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + '"';
}

bool MatchesMnemonic(std::string_view form, std::string_view text)
{
    std::string shortForm;
    std::string longForm;
    for (const char c : form) {
        longForm += Upper(c);
        if (!(c >= 'a' && c <= 'z')) {
            shortForm += c;
        }
    }
    return text == shortForm || text == longForm;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
           && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Upper(x) == Upper(y); });
}

} // namespace tarn::scpi
