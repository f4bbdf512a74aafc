// SPDX-License-Identifier: MIT
// The well-formedness rules of XML that the DOM parser does not enforce, so
// that a damaged settings file is refused rather than half read.
#include "data/XMLSettings.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <vector>

namespace {

// A character or entity reference starting at text[at] ('&'): only the five
// predefined entities and references to characters XML allows.
bool KnownReference(std::string_view text, std::size_t at)
{
    const auto semi = text.find(';', at);
    if (semi == std::string_view::npos)
        return false;
    const std::string_view name = text.substr(at + 1, semi - at - 1);
    if (name == "lt" || name == "gt" || name == "amp" || name == "quot" || name == "apos")
        return true;
    if (name.size() < 2 || name.front() != '#')
        return false;
    const bool hex = name[1] == 'x';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    std::uint32_t code = 0;
    const auto res = std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
    if (digits.empty() || res.ec != std::errc() || res.ptr != digits.data() + digits.size())
        return false;
    return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF)
           || (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

// The lexical rules of XML that the DOM parser does not enforce: no control
// characters, known references only, no '<' in attribute values, no "]]>" in
// text, no "--" inside comments.
bool LexicallyWellFormed(std::string_view text)
{
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return false;
    }
    const auto at = [&](std::size_t i, std::string_view s) { return text.substr(i, s.size()) == s; };
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '&') {
            if (!KnownReference(text, i))
                return false;
        } else if (at(i, "]]>")) {
            return false;
        } else if (at(i, "<!--")) {
            const auto end = text.find("--", i + 4);
            if (end == std::string_view::npos || !at(end, "-->"))
                return false;
            i = end + 3;
            continue;
        } else if (at(i, "<![CDATA[") || at(i, "<?")) {
            const std::string_view close = text[i + 1] == '?' ? "?>" : "]]>";
            const auto end = text.find(close, i + 2);
            if (end == std::string_view::npos)
                return false;
            i = end + close.size();
            continue;
        } else if (at(i, "<!")) {
            // A document type declaration, perhaps with an internal subset.
            char quote = 0;
            int brackets = 0;
            for (i += 2; i < text.size(); ++i) {
                const char c = text[i];
                if (quote != 0) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '[') {
                    ++brackets;
                } else if (c == ']') {
                    --brackets;
                } else if (c == '>' && brackets <= 0) {
                    break;
                }
            }
        } else if (text[i] == '<') {
            char quote = 0;
            for (++i; i < text.size(); ++i) {
                const char c = text[i];
                if (quote != 0) {
                    if (c == quote)
                        quote = 0;
                    else if (c == '<' || (c == '&' && !KnownReference(text, i)))
                        return false;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
        }
        ++i;
    }
    return true;
}

bool AttributesUnique(const pugi::xml_node element, int /*level*/)
{
    // Sorted, so that an element with very many attributes stays cheap.
    std::vector<std::string_view> names;
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute())
        names.emplace_back(a.name());
    std::sort(names.begin(), names.end());
    return std::adjacent_find(names.begin(), names.end()) == names.end();
}

// Every element from root down, with its level (root: 1), without recursion
// (nesting depth is the file's).
template <typename Visit> bool AllElements(const pugi::xml_node root, Visit visit)
{
    pugi::xml_node node = root;
    int level = 1;
    while (node) {
        if (node.type() == pugi::node_element && !visit(node, level))
            return false;
        if (node.first_child()) {
            node = node.first_child();
            ++level;
            continue;
        }
        while (node && node != root && !node.next_sibling()) {
            node = node.parent();
            --level;
        }
        if (!node || node == root)
            break;
        node = node.next_sibling();
    }
    return true;
}

// The structure the DOM parser accepts too freely: exactly one root element,
// no text beside it, the declaration first, no attribute twice on an element.
bool StructurallyWellFormed(const pugi::xml_document& document)
{
    int elements = 0;
    bool first = true;
    for (const pugi::xml_node node : document.children()) {
        switch (node.type()) {
        case pugi::node_element:
            ++elements;
            break;
        case pugi::node_declaration:
            if (!first)
                return false;
            break;
        case pugi::node_doctype:
            if (elements > 0)
                return false;
            break;
        case pugi::node_comment:
        case pugi::node_pi:
            break;
        default:
            return false;
        }
        first = false;
    }
    return elements == 1 && AllElements(document.document_element(), AttributesUnique);
}

} // namespace

bool IsWellFormedXml(std::string_view text)
{
    if (!LexicallyWellFormed(text))
        return false;
    pugi::xml_document probe;
    const unsigned options = pugi::parse_default | pugi::parse_fragment | pugi::parse_declaration | pugi::parse_comments
                             | pugi::parse_pi | pugi::parse_doctype;
    if (!probe.load_buffer(text.data(), text.size(), options, pugi::encoding_utf8))
        return false;
    return StructurallyWellFormed(probe);
}

bool NestedWithin(const pugi::xml_node root, int levels)
{
    return AllElements(root, [levels](pugi::xml_node, int level) { return level <= levels; });
}
