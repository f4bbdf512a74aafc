// SPDX-License-Identifier: MIT
// Reads one program message: headers with short and long forms, numeric
// suffixes and '?', and the parameters (numbers with unit suffixes,
// mnemonics, strings, definite-length blocks). Command patterns are
// written like "[SOURce#]:FREQuency[:CW]" and matched case-insensitively.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::scpi {

struct THeaderNode {
    std::string Name; // upper case
    int Suffix = -1;  // -1 when none was written
};

struct TParam {
    enum class TKind { Number, Mnemonic, String, Block };
    TKind Kind = TKind::Mnemonic;
    // Mnemonic: upper case; String: without quotes; Block: the bytes; Number: the suffix in upper case.
    std::string Text;
    long double Number = 0;
};

struct TUnit {
    bool Common = false;   // *IDN? and its kind
    bool Absolute = false; // began with ':'
    bool Query = false;
    std::vector<THeaderNode> Nodes;
    std::vector<TParam> Params;
};

struct TParseError {
    int Code = 0;
    std::string Detail;
};

// Walks the units of one message, separated by ';'.
class TMessageParser {
public:
    explicit TMessageParser(std::string_view message) : text_(message) {}
    // False at the end of the message or after an error (then error is set).
    bool Next(TUnit& unit, TParseError& error);

private:
    bool Header(TUnit& unit, TParseError& error);
    bool Param(TParam& param, TParseError& error);
    void SkipSpace();
    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

    std::string_view text_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

// The value of a number with its suffix in the given unit ("HZ", "V",
// "OHM"); empty for a suffix that does not fit the unit.
std::optional<long double> ScaledNumber(const TParam& param, std::string_view unit);

// One node of a command pattern.
struct TPatternNode {
    std::string Short; // upper case
    std::string Long;  // upper case
    bool Optional = false;
    bool Suffix = false;
};
std::vector<TPatternNode> ParsePattern(std::string_view pattern);
// True when the header nodes spell the pattern; suffix receives the value of
// the last numbered node (1 when it was left out).
bool MatchPattern(const std::vector<TPatternNode>& pattern, const std::vector<THeaderNode>& header, int& suffix);
// A string response: in double quotes, inner quotes doubled.
std::string Quoted(std::string_view text);
// "MINimum" matches "MIN" and "MINIMUM" (text in upper case).
bool MatchesMnemonic(std::string_view form, std::string_view text);
// ASCII letters compared without regard to case.
bool EqualNoCase(std::string_view a, std::string_view b);

} // namespace tarn::scpi
