// SPDX-License-Identifier: MIT
#include "data/XMLSettings.h"

#include "data/FileReplace.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace {

constexpr char RootName[] = "SETTINGS";
constexpr char ItemName[] = "ITEM";
constexpr char TypeAttr[] = "type";
constexpr char LengthAttr[] = "length";
constexpr char IndexAttr[] = "index";
constexpr char TypeInt[] = "int";
constexpr char TypeFloat[] = "float";
constexpr char TypeBool[] = "bool";
constexpr char TypeIntArray[] = "intarray";
constexpr char TypeBoolArray[] = "boolarray";

std::string UpperAscii(std::string_view text)
{
    std::string result(text);
    for (char& c : result) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return result;
}

std::string LowerAscii(std::string_view text)
{
    std::string result(text);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

// Splits "/a//b/" into {"A", "B"}: leading and repeated slashes carry no level.
std::vector<std::string> PathComponents(std::string_view path)
{
    std::vector<std::string> parts;
    const std::string upper = UpperAscii(path);
    std::string_view rest(upper);
    while (!rest.empty()) {
        const auto start = rest.find_first_not_of('/');
        if (start == std::string_view::npos)
            break;
        rest.remove_prefix(start);
        const auto end = rest.find('/');
        parts.emplace_back(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    return parts;
}

// Reads and writes find an element by the same rule, so that a save writes
// back what was read: the first child whose name, in upper case, is the
// component. A hand-written name in any case is neither missed nor doubled.
pugi::xml_node ChildNamed(pugi::xml_node parent, std::string_view upperName)
{
    for (pugi::xml_node child : parent.children()) {
        if (child.type() == pugi::node_element && UpperAscii(child.name()) == upperName)
            return child;
    }
    return {};
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

std::string BoolText(bool value)
{
    return value ? "true" : "false";
}

} // namespace

std::string SystemDecimalSeparator()
{
    const std::lconv* conv = std::localeconv();
    if (conv != nullptr && conv->decimal_point != nullptr && conv->decimal_point[0] != '\0')
        return conv->decimal_point;
    return ".";
}

std::string FormatSettingsFloat(double value, std::string_view decimalSeparator)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0.0)
        return "0";

    // 15 significant digits, rounded once; the layout is decided from the exponent.
    char buffer[64];
    const auto res = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
    std::string_view sci(buffer, static_cast<std::size_t>(res.ptr - buffer));
    std::string result;
    if (sci.front() == '-') {
        result.push_back('-');
        sci.remove_prefix(1);
    }
    const auto ePos = sci.find('e');
    std::string digits;
    for (char c : sci.substr(0, ePos)) {
        if (c != '.')
            digits.push_back(c);
    }
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    int exponent = 0;
    std::string_view expText = sci.substr(ePos + 1);
    if (!expText.empty() && expText.front() == '+')
        expText.remove_prefix(1);
    std::from_chars(expText.data(), expText.data() + expText.size(), exponent);

    if (exponent < -5 || exponent >= 15) {
        result.push_back(digits[0]);
        if (digits.size() > 1) {
            result += decimalSeparator;
            result.append(digits, 1);
        }
        result.push_back('E');
        result += std::to_string(exponent);
    } else if (exponent < 0) {
        result.push_back('0');
        result += decimalSeparator;
        result.append(static_cast<std::size_t>(-exponent - 1), '0');
        result += digits;
    } else {
        const auto intDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= intDigits) {
            result += digits;
            result.append(intDigits - digits.size(), '0');
        } else {
            result.append(digits, 0, intDigits);
            result += decimalSeparator;
            result.append(digits, intDigits);
        }
    }
    return result;
}

bool ParseSettingsFloat(std::string_view text, double& value, std::string_view decimalSeparator)
{
    text = TrimBlanks(text);
    // One sign at most: "+-5" is no number.
    if (!text.empty() && text.front() == '+' && (text.size() < 2 || text[1] != '-'))
        text.remove_prefix(1);
    if (text.empty())
        return false;
    std::string normal(text);
    // A separator of several bytes (some locales) must read back as well.
    if (decimalSeparator.size() > 1) {
        for (auto at = normal.find(decimalSeparator); at != std::string::npos;
             at = normal.find(decimalSeparator, at + 1))
            normal.replace(at, decimalSeparator.size(), ".");
    }
    for (char& c : normal) {
        if (c == ',')
            c = '.';
        // Only plain decimal forms: no hex, no "inf"/"nan" spellings.
        const bool allowed = (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '-' || c == '+';
        if (!allowed)
            return false;
    }
    double parsed = 0.0;
    const char* first = normal.data();
    const char* last = first + normal.size();
    const auto res = std::from_chars(first, last, parsed, std::chars_format::general);
    if (res.ec != std::errc() || res.ptr != last || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

bool ParseSettingsInt(std::string_view text, std::int32_t& value)
{
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+' && (text.size() < 2 || text[1] != '-'))
        text.remove_prefix(1);
    if (text.empty())
        return false;
    std::int32_t parsed = 0;
    const char* last = text.data() + text.size();
    const auto res = std::from_chars(text.data(), last, parsed, 10);
    if (res.ec != std::errc() || res.ptr != last)
        return false;
    value = parsed;
    return true;
}

std::string LayOutMarkup(std::string_view markup)
{
    std::string out;
    std::string tag;
    int depth = -1;
    bool inTag = false;
    bool lastOpening = false;
    const auto tabs = [](int n) { return std::string(static_cast<std::size_t>(std::max(n, 0)), '\t'); };
    for (char c : markup) {
        if (c == '<') {
            inTag = true;
            tag.assign(1, '<');
        } else if (c == '>' && inTag) {
            inTag = false;
            tag.push_back('>');
            if (tag.size() > 1 && tag[1] == '/') {
                if (!lastOpening)
                    out += tabs(depth);
                out += tag;
                out += "\r\n";
                --depth;
                lastOpening = false;
            } else {
                ++depth;
                if (lastOpening)
                    out += "\r\n";
                out += tabs(depth);
                out += tag;
                lastOpening = true;
                if (tag.size() >= 2 && tag[tag.size() - 2] == '/') {
                    --depth;
                    out += "\r\n";
                    lastOpening = false;
                }
            }
        } else if (inTag) {
            tag.push_back(c);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

TXMLSettings::TXMLSettings() = default;

void TXMLSettings::EnsureRoot()
{
    pugi::xml_node root = Document_.document_element();
    if (!root) {
        root = Document_.append_child(RootName);
        root.append_attribute("version").set_value("1");
    }
    Root_ = root;
}

bool TXMLSettings::LoadFromFile(const std::filesystem::path& fileName)
{
    bool accepted = false;
    try {
        std::string text;
        std::ifstream in(fileName, std::ios::binary);
        if (in) {
            // Layout whitespace carries no meaning in this file.
            std::copy_if(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), std::back_inserter(text),
                         [](char c) { return c != '\t' && c != '\n' && c != '\r'; });
        }
        Document_.reset();
        // The parser alone takes some malformed text (two roots, unknown entities).
        // Deep nesting is refused: the layout writes a tab per level on every line.
        accepted = IsWellFormedXml(text)
                   && Document_.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8)
                   && NestedWithin(Document_.document_element(), SettingsNestingLimit);
        if (!accepted)
            Document_.reset();
    } catch (...) {
        Document_.reset();
        accepted = false;
    }
    Root_ = pugi::xml_node();
    EnsureRoot();
    return accepted;
}

std::string TXMLSettings::FormattedText() const
{
    std::ostringstream raw;
    Document_.save(raw, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return LayOutMarkup(raw.str());
}

bool TXMLSettings::SaveToFile(const std::filesystem::path& fileName) const
{
    try {
        return ReplaceFileContents(fileName, FormattedText());
    } catch (...) {
        return false;
    }
}

pugi::xml_node TXMLSettings::FindOrCreateNode(std::string_view path)
{
    pugi::xml_node current = Root_;
    for (const std::string& component : PathComponents(path)) {
        pugi::xml_node found = ChildNamed(current, component);
        if (!found)
            found = current.append_child(component.c_str());
        current = found;
    }
    return current;
}

pugi::xml_node TXMLSettings::FindTypedNode(std::string_view path, const char* typeName) const
{
    pugi::xml_node current = Root_;
    for (const std::string& component : PathComponents(path)) {
        current = ChildNamed(current, component);
        if (!current)
            return {};
    }
    const pugi::xml_attribute type = current.attribute(TypeAttr);
    if (!type || std::string_view(type.value()) != typeName)
        return {};
    return current;
}

void TXMLSettings::SetAttribute(pugi::xml_node element, const char* name, const std::string& value)
{
    element.remove_attribute(name);
    element.append_attribute(name).set_value(value.c_str());
}

void TXMLSettings::SetText(pugi::xml_node element, const std::string& text)
{
    element.remove_children();
    element.append_child(pugi::node_pcdata).set_value(text.c_str());
}

void TXMLSettings::WriteInt(std::string_view path, std::int32_t value)
{
    pugi::xml_node node = FindOrCreateNode(path);
    SetAttribute(node, TypeAttr, TypeInt);
    SetText(node, std::to_string(value));
}

std::int32_t TXMLSettings::ReadInt(std::string_view path, std::int32_t def) const
{
    const pugi::xml_node node = FindTypedNode(path, TypeInt);
    std::int32_t value = def;
    if (node && ParseSettingsInt(node.text().get(), value))
        return value;
    return def;
}

void TXMLSettings::WriteFloat(std::string_view path, double value)
{
    pugi::xml_node node = FindOrCreateNode(path);
    SetAttribute(node, TypeAttr, TypeFloat);
    SetText(node, FormatSettingsFloat(value, SystemDecimalSeparator()));
}

double TXMLSettings::ReadFloat(std::string_view path, double def) const
{
    const pugi::xml_node node = FindTypedNode(path, TypeFloat);
    double value = def;
    if (node && ParseSettingsFloat(node.text().get(), value, SystemDecimalSeparator()))
        return value;
    return def;
}

void TXMLSettings::WriteBool(std::string_view path, bool value)
{
    pugi::xml_node node = FindOrCreateNode(path);
    SetAttribute(node, TypeAttr, TypeBool);
    SetText(node, BoolText(value));
}

bool TXMLSettings::ReadBool(std::string_view path, bool def) const
{
    const pugi::xml_node node = FindTypedNode(path, TypeBool);
    if (!node)
        return def;
    // Without whitespace preservation the text has no surrounding blanks.
    const std::string text = LowerAscii(TrimBlanks(node.text().get()));
    if (text == "false")
        return false;
    if (text == "true")
        return true;
    return def;
}

namespace {

// Calls item(index, text) for each ITEM whose index lies inside size; false
// as soon as an index attribute or item(...) says the array is damaged.
template <typename Item> bool ForEachIndexedItem(pugi::xml_node node, std::size_t size, Item item)
{
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element || UpperAscii(child.name()) != ItemName)
            continue;
        std::int32_t index = -1;
        const pugi::xml_attribute indexAttr = child.attribute(IndexAttr);
        if (indexAttr && !ParseSettingsInt(indexAttr.value(), index))
            return false;
        if (index < 0 || static_cast<std::size_t>(index) >= size)
            continue;
        if (!item(static_cast<std::size_t>(index), child.text().get()))
            return false;
    }
    return true;
}

} // namespace

void TXMLSettings::WriteItems(std::string_view path, const char* typeName, const std::vector<std::string>& texts)
{
    pugi::xml_node node = FindOrCreateNode(path);
    node.remove_children();
    SetAttribute(node, TypeAttr, typeName);
    SetAttribute(node, LengthAttr, std::to_string(texts.size()));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        pugi::xml_node item = node.append_child(ItemName);
        SetAttribute(item, IndexAttr, std::to_string(i));
        SetText(item, texts[i]);
    }
}

void TXMLSettings::WriteIntArray(std::string_view path, const TIntArray& values)
{
    std::vector<std::string> texts;
    for (const std::int32_t value : values)
        texts.push_back(std::to_string(value));
    WriteItems(path, TypeIntArray, texts);
}

TIntArray TXMLSettings::ReadIntArray(std::string_view path, const TIntArray& def) const
{
    const pugi::xml_node node = FindTypedNode(path, TypeIntArray);
    if (!node)
        return def;
    TIntArray result = def;
    const bool whole = ForEachIndexedItem(node, result.size(), [&](std::size_t index, const char* text) {
        std::int32_t value = 0;
        if (!ParseSettingsInt(text, value))
            return false;
        result[index] = value;
        return true;
    });
    return whole ? result : def;
}

void TXMLSettings::WriteBoolArray(std::string_view path, const TBoolArray& values)
{
    std::vector<std::string> texts;
    for (const bool value : values)
        texts.push_back(BoolText(value));
    WriteItems(path, TypeBoolArray, texts);
}

TBoolArray TXMLSettings::ReadBoolArray(std::string_view path, const TBoolArray& def) const
{
    const pugi::xml_node node = FindTypedNode(path, TypeBoolArray);
    if (!node)
        return def;
    TBoolArray result = def;
    // An item that is neither true nor false keeps what the entry had.
    const bool whole = ForEachIndexedItem(node, result.size(), [&](std::size_t index, const char* text) {
        const std::string value = LowerAscii(TrimBlanks(text));
        if (value == "true")
            result[index] = true;
        else if (value == "false")
            result[index] = false;
        return true;
    });
    return whole ? result : def;
}
