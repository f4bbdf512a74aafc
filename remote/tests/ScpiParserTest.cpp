// SPDX-License-Identifier: MIT
// Framing, parsing and the error queue of the command language.
#include "remote/ScpiErrors.h"
#include "remote/ScpiFramer.h"
#include "remote/ScpiParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn::scpi {
namespace {

// Feeds the stream in pieces of the given size and collects the messages.
std::vector<TMessage> Frame(const std::string& stream, std::size_t piece, TMessageFramer& framer)
{
    std::vector<TMessage> out;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        std::string_view rest = std::string_view(stream).substr(at, piece);
        while (!rest.empty()) {
            TMessage m;
            bool done = false;
            rest.remove_prefix(framer.Feed(rest, m, done));
            if (done) {
                out.push_back(m);
            }
        }
    }
    return out;
}

TEST(ScpiFramer, CutsAtNewlinesOutsideStringsAndBlocks)
{
    const std::string block = std::string("#15a\nb\n") + "c";
    struct TCase {
        std::string stream;
        std::vector<std::string> messages;
        bool pending;
    };
    const TCase cases[] = {
        {"*IDN?\nFREQ 1\n", {"*IDN?", "FREQ 1"}, false},
        // A newline ends even an open string; the parser reports it.
        {"WAV:DATA \"a\nb\",1\n", {"WAV:DATA \"a", "b\",1"}, false},
        {"WAV:DATA 'it''s',1\n", {"WAV:DATA 'it''s',1"}, false},
        {"WAV:SEL \"Sine\nVOLT 'x\n*IDN?\n", {"WAV:SEL \"Sine", "VOLT 'x", "*IDN?"}, false},
        {"WAV:DATA \"x\"," + block + "\n", {"WAV:DATA \"x\"," + block}, false},
        {"X #0abc\nY\n", {"X #0abc", "Y"}, false},
        {"X #2\nY\n", {"X #2", "Y"}, false},
        {"FREQ 1\nFREQ 2", {"FREQ 1"}, true},
        {"", {}, false},
    };
    for (const TCase& c : cases) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{1000}}) {
            TMessageFramer framer;
            const auto got = Frame(c.stream, piece, framer);
            ASSERT_EQ(got.size(), c.messages.size()) << c.stream << " in pieces of " << piece;
            for (std::size_t i = 0; i < got.size(); ++i) {
                EXPECT_EQ(got[i].Text, c.messages[i]);
                EXPECT_FALSE(got[i].TooLong);
            }
            EXPECT_EQ(framer.Pending(), c.pending) << c.stream;
        }
    }
}

TEST(ScpiFramer, AnOverlongMessageIsDroppedAndTheNextOneIsRead)
{
    const std::size_t max = TMessageFramer::kMaxMessage;
    const std::string cases[] = {
        std::string(max + 1, 'A'),
        "WAV:DATA \"x\",#7" + std::to_string(max + 2) + std::string(100, '\n'), // block too long to wait for
        "WAV:DATA \"x\",#7" + std::to_string(max) + std::string(max, 'z') + "zz",
    };
    for (const std::string& big : cases) {
        TMessageFramer framer;
        const auto got = Frame(big + "\n*IDN?\n", 65536, framer);
        ASSERT_EQ(got.size(), 2u);
        EXPECT_TRUE(got[0].TooLong);
        EXPECT_TRUE(got[0].Text.empty());
        EXPECT_FALSE(got[0].Head.empty());
        EXPECT_EQ(big.rfind(got[0].Head, 0), 0u); // its first bytes, to tell what it was
        EXPECT_LE(got[0].Head.size(), TMessageFramer::kHeadKept);
        EXPECT_EQ(got[1].Text, "*IDN?");
        EXPECT_FALSE(framer.Pending());
    }
}

TEST(ScpiParser, ReadsHeadersAndParameters)
{
    TMessageParser parser(":sour2:Freq:cw? 1.5 kHz ,MIN, \"a\"\"b\" , #13xyz;*rst ; volt -2.5E-1MV");
    TUnit u;
    TParseError e;
    ASSERT_TRUE(parser.Next(u, e));
    EXPECT_TRUE(u.Absolute);
    EXPECT_TRUE(u.Query);
    ASSERT_EQ(u.Nodes.size(), 3u);
    EXPECT_EQ(u.Nodes[0].Name, "SOUR");
    EXPECT_EQ(u.Nodes[0].Suffix, 2);
    EXPECT_EQ(u.Nodes[2].Suffix, -1);
    ASSERT_EQ(u.Params.size(), 4u);
    EXPECT_EQ(*ScaledNumber(u.Params[0], "HZ"), 1500.0L);
    EXPECT_EQ(u.Params[1].Text, "MIN");
    EXPECT_EQ(u.Params[2].Text, "a\"b");
    EXPECT_EQ(u.Params[3].Kind, TParam::TKind::Block);
    EXPECT_EQ(u.Params[3].Text, "xyz");
    ASSERT_TRUE(parser.Next(u, e));
    EXPECT_TRUE(u.Common);
    EXPECT_EQ(u.Nodes[0].Name, "*RST");
    ASSERT_TRUE(parser.Next(u, e));
    EXPECT_NEAR(static_cast<double>(*ScaledNumber(u.Params[0], "V")), -2.5e-4, 1e-12);
    EXPECT_FALSE(parser.Next(u, e));
    EXPECT_EQ(e.Code, 0);
}

TEST(ScpiParser, SuffixesFollowTheUnitRules)
{
    struct TCase {
        const char* text;
        const char* unit;
        double value; // 0 with ok false: refused
        bool ok;
    };
    const TCase cases[] = {
        {"1MHZ", "HZ", 1e6, true}, {"1MOHM", "OHM", 1e6, true}, {"1MV", "V", 1e-3, true}, {"1MAV", "V", 1e6, true},
        {"2KHZ", "HZ", 2e3, true}, {"3 uV", "V", 3e-6, true},   {"1E3", "HZ", 1e3, true}, {"1EXHZ", "HZ", 1e18, true},
        {"4GHZ", "HZ", 4e9, true}, {"1V", "HZ", 0, false},      {"1KK", "HZ", 0, false},  {"1E+2 HZ", "HZ", 100, true},
    };
    for (const TCase& c : cases) {
        const std::string text = std::string("X ") + c.text;
        TMessageParser parser(text);
        TUnit u;
        TParseError e;
        ASSERT_TRUE(parser.Next(u, e)) << c.text;
        const auto v = ScaledNumber(u.Params.at(0), c.unit);
        EXPECT_EQ(v.has_value(), c.ok) << c.text;
        if (v && c.ok) {
            EXPECT_NEAR(static_cast<double>(*v), c.value, c.value * 1e-12) << c.text;
        }
    }
}

TEST(ScpiParser, PatternsTakeShortAndLongFormsAndOptionalNodes)
{
    const auto pattern = ParsePattern("[SOURce#]:VOLTage[:AMPLitude]");
    struct TCase {
        const char* header;
        bool match;
        int suffix;
    };
    const TCase cases[] = {
        {"VOLT", true, 1},   {"VOLTAGE:AMPL", true, 1}, {"SOUR2:VOLT", true, 2}, {"SOURCE:VOLTAGE", true, 1},
        {"VOLTA", false, 0}, {"SOUR:AMPL", false, 0},   {"VOLT2", false, 0},     {"SOUR7:VOLT:AMPL", true, 7},
    };
    for (const TCase& c : cases) {
        TMessageParser parser(c.header);
        TUnit u;
        TParseError e;
        ASSERT_TRUE(parser.Next(u, e));
        int suffix = 0;
        EXPECT_EQ(MatchPattern(pattern, u.Nodes, suffix), c.match) << c.header;
        if (c.match) {
            EXPECT_EQ(suffix, c.suffix) << c.header;
        }
    }
}

TEST(ScpiErrorQueue, KeepsTheOldest31ThenOverflowAndAnswersNoErrorWhenEmpty)
{
    TErrorQueue q;
    for (int i = 0; i < 40; ++i) {
        q.Push(errSyntax, std::to_string(i));
    }
    EXPECT_EQ(q.Count(), TErrorQueue::kCapacity);
    EXPECT_EQ(q.Pop().Text, "Syntax error;0");
    for (int i = 1; i < 31; ++i) {
        EXPECT_EQ(q.Pop().Text, "Syntax error;" + std::to_string(i));
    }
    // The last place tells that errors were lost; read, it makes room again.
    EXPECT_EQ(q.Pop().Code, errQueueOverflow);
    q.Push(errSyntax, "after");
    EXPECT_EQ(q.Pop().Text, "Syntax error;after");
    q.Clear();
    const TError none = q.Pop();
    EXPECT_EQ(none.Code, 0);
    EXPECT_EQ(none.Text, "No error");
    q.Push(errUndefinedHeader, std::string("a\x01\"b"));
    EXPECT_EQ(q.Pop().Text, "Undefined header;a??b");
}

} // namespace
} // namespace tarn::scpi
