// SPDX-License-Identifier: MIT
#pragma once
// Typed settings addressed by slash paths ("/device/frequency"), kept as one
// XML document. Reads never fail: a missing, mistyped or unreadable entry
// gives the caller's default.

#include "data/DataTypesTarn.h"

#include <pugixml.hpp>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Element levels a settings document may have, the root and the value
// elements counted; the program's own files use four.
inline constexpr int SettingsNestingLimit = 32;

class TXMLSettings {
public:
    TXMLSettings();
    TXMLSettings(const TXMLSettings&) = delete;
    TXMLSettings& operator=(const TXMLSettings&) = delete;

    // Creates the "SETTINGS" root when the document has none.
    void EnsureRoot();

    // Replaces the document with the file's content; false when the file is
    // missing, not XML or nested deeper than SettingsNestingLimit (the
    // document then holds only a fresh root).
    bool LoadFromFile(const std::filesystem::path& fileName);
    // Writes the indented document; false when the file cannot be written.
    // The previous file stays intact on failure.
    bool SaveToFile(const std::filesystem::path& fileName) const;

    // The document as the file form (tabs, CR LF), without touching any file.
    std::string FormattedText() const;

    void WriteInt(std::string_view path, std::int32_t value);
    std::int32_t ReadInt(std::string_view path, std::int32_t def) const;
    void WriteFloat(std::string_view path, double value);
    double ReadFloat(std::string_view path, double def) const;
    void WriteBool(std::string_view path, bool value);
    bool ReadBool(std::string_view path, bool def) const;
    void WriteIntArray(std::string_view path, const TIntArray& values);
    TIntArray ReadIntArray(std::string_view path, const TIntArray& def) const;
    void WriteBoolArray(std::string_view path, const TBoolArray& values);
    TBoolArray ReadBoolArray(std::string_view path, const TBoolArray& def) const;

    // The root element (the loaded document keeps whatever root it had).
    pugi::xml_node Root() const { return Root_; }

private:
    pugi::xml_node FindOrCreateNode(std::string_view path);
    pugi::xml_node FindTypedNode(std::string_view path, const char* typeName) const;
    // An array element: type and length attributes, one indexed ITEM per text.
    void WriteItems(std::string_view path, const char* typeName, const std::vector<std::string>& texts);
    static void SetAttribute(pugi::xml_node element, const char* name, const std::string& value);
    static void SetText(pugi::xml_node element, const std::string& text);

    pugi::xml_document Document_;
    pugi::xml_node Root_;
};

// Settings file number texts: general format with up to 15 significant
// digits and the given decimal separator; parsing takes ".", "," and the
// given separator.
std::string FormatSettingsFloat(double value, std::string_view decimalSeparator);
inline std::string FormatSettingsFloat(double value, char decimalSeparator)
{
    return FormatSettingsFloat(value, std::string_view(&decimalSeparator, 1));
}
bool ParseSettingsFloat(std::string_view text, double& value, std::string_view decimalSeparator = ".");
bool ParseSettingsInt(std::string_view text, std::int32_t& value);
// The decimal separator of the current C locale (some locales use several bytes).
std::string SystemDecimalSeparator();

// True for one well-formed XML document: a single root element, nothing but
// markup beside it, known references only, no attribute twice.
bool IsWellFormedXml(std::string_view text);

// True when no element lies more than levels deep, root counted as level 1.
bool NestedWithin(pugi::xml_node root, int levels);

// The indented file layout of serialised markup: one element per line,
// tabs per level, CR LF line ends.
std::string LayOutMarkup(std::string_view markup);
