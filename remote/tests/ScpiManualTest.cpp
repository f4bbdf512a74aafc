// SPDX-License-Identifier: MIT
// The manual's command table and the command table agree: every header the
// manual names is one the instrument knows.
#include "remote/tests/ScpiTestFixture.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tarn::scpi {
namespace {

std::string Unescape(std::string s)
{
    const std::pair<std::string, std::string> entities[] = {{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}};
    for (const auto& [from, to] : entities) {
        for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) {
            s.replace(at, from.size(), to);
        }
    }
    return s;
}

// "[SOURce[n]]:APPLy:SINusoid|SQUare <x>" -> ":APPLy:SINusoid", ":APPLy:SQUare".
std::vector<std::string> Headers(const std::string& code)
{
    std::string head = code.substr(0, code.find(' '));
    for (std::size_t at = head.find("[n]"); at != std::string::npos; at = head.find("[n]")) {
        head.erase(at, 3);
    }
    std::string plain;
    int depth = 0;
    for (const char c : head) {
        depth += c == '[' ? 1 : c == ']' ? -1 : 0;
        if (depth == 0 && c != ']') {
            plain += c;
        }
    }
    const bool query = !plain.empty() && plain.back() == '?';
    if (query) {
        plain.pop_back();
    }
    const std::size_t last = plain.rfind(':');
    const std::string stem = last == std::string::npos ? std::string() : plain.substr(0, last + 1);
    std::string alternatives = last == std::string::npos ? plain : plain.substr(last + 1);
    std::vector<std::string> out;
    for (std::size_t from = 0;;) {
        const std::size_t bar = alternatives.find('|', from);
        out.push_back(stem + alternatives.substr(from, bar - from) + (query ? "?" : ""));
        if (bar == std::string::npos) {
            break;
        }
        from = bar + 1;
    }
    return out;
}

TEST_F(ScpiInstrument, EveryHeaderOfTheManualsTableIsACommand)
{
    std::ifstream in(TARN_HELP_FILE);
    const std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t section = html.find("<h2 id=\"remote\">");
    ASSERT_NE(section, std::string::npos);
    const std::size_t begin = html.find("<table>", section);
    const std::size_t end = html.find("</table>", begin);
    ASSERT_NE(end, std::string::npos);
    int checked = 0;
    for (std::size_t row = html.find("<tr><td>", begin); row < end; row = html.find("<tr><td>", row + 1)) {
        const std::size_t cellEnd = html.find("</td>", row);
        const std::string cell = html.substr(row, cellEnd - row);
        std::string prefix;
        for (std::size_t c = cell.find("<code>"); c != std::string::npos; c = cell.find("<code>", c + 1)) {
            const std::string code = Unescape(cell.substr(c + 6, cell.find("</code>", c) - c - 6));
            if (code == "MIN|MAX|DEF") {
                continue; // a query's optional parameter
            }
            for (const std::string& header : Headers(code)) {
                if (prefix.empty() && header.find(':', 1) != std::string::npos) {
                    prefix = header.substr(0, header.find(':', 1) + 1);
                }
                // A short follower ("VP?" after "MEASure[n]:VPP?") continues its cell's first header.
                Run(header);
                std::vector<int> errors = Errors();
                if (std::find(errors.begin(), errors.end(), errUndefinedHeader) != errors.end() && !prefix.empty()) {
                    Run(prefix + header);
                    errors = Errors();
                }
                EXPECT_EQ(std::count(errors.begin(), errors.end(), errUndefinedHeader), 0) << code << " as " << header;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 100);
}

} // namespace
} // namespace tarn::scpi
