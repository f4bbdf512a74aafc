// SPDX-License-Identifier: MIT
#include "EquationParser.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

namespace {

using tarnplugin::TEquation;

TEST(EquationParser, EvaluatesOperatorsFunctionsAndHelpers)
{
    struct Case {
        const char* text;
        double t;
        double expected;
    } cases[] = {
        {"1 + 2 * 3", 0, 7},
        {"(1 + 2) * 3", 0, 9},
        {"2 ^ 3 ^ 2", 0, 512},
        {"-t^2", 3, -9},
        {"10 / 4 - 1", 0, 1.5},
        {"sin(2*pi*t)", 0.25, 1},
        {"cos(pi)", 0, -1},
        {"tan(0)", 0, 0},
        {"exp(log(5))", 0, 5},
        {"sqrt(16) + abs(-2)", 0, 6},
        {"floor(2.7)", 0, 2},
        {"pow(2, 10)", 0, 1024},
        {"min(3, t) + max(1, 2)", 1, 3},
        {"sign(-0.5)", 0, -1},
        {"square(t)", 0.25, 1},
        {"square(t)", 0.75, -1},
        {"saw(t)", 0.75, 0.5},
        {"triangle(t)", 0.25, 1},
        {"triangle(t)", 0.75, -1},
        {"triangle(t)", 0, 0},
        {"1.5e1 + e - e", 0, 15},
    };
    for (const Case& c : cases) {
        TEquation equation;
        ASSERT_TRUE(equation.Parse(c.text)) << c.text << ": " << equation.ErrorText;
        EXPECT_NEAR(equation.Evaluate(c.t), c.expected, 1e-12) << c.text;
    }
}

TEST(EquationParser, ReportsTheErrorPositionAndKeepsThePreviousExpression)
{
    struct Case {
        const char* text;
        int position;
    } cases[] = {{"", 0},      {"1 +", 3},  {"sin(t", 5},  {"foo(t)", 0},
                 {"2 * x", 4}, {"(1))", 3}, {"pow(1)", 5}, {"t $", 2}};
    TEquation equation;
    ASSERT_TRUE(equation.Parse("t"));
    for (const Case& c : cases) {
        EXPECT_FALSE(equation.Parse(c.text)) << c.text;
        EXPECT_EQ(equation.ErrorPosition, c.position) << c.text;
        EXPECT_FALSE(equation.ErrorText.empty());
        EXPECT_EQ(equation.Evaluate(0.5), 0.5);
    }
}

TEST(EquationParser, SamplesOnePeriodScaledAndClippedToTheCodeRange)
{
    TEquation equation;
    ASSERT_TRUE(equation.Parse("2 * saw(t)"));
    // -2 .. 2 over four samples: clipped to -1, -1, 0, 1.
    EXPECT_EQ(equation.Sample(4, 4096), (std::vector<unsigned short>{1, 1, 2048, 4095}));
    ASSERT_TRUE(equation.Parse("log(t - 1)"));
    EXPECT_EQ(equation.Sample(2, 4096), (std::vector<unsigned short>{2048, 2048}));
    EXPECT_TRUE(equation.Sample(0, 4096).empty());
}

TEST(EquationParser, ReadsNumbersTheSameUnderADecimalCommaLocale)
{
    // The program runs under the user's locale; the expression syntax does not.
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed (localedef -i de_DE -f UTF-8 de_DE.UTF-8)";
    }
    struct Case {
        const char* text;
        double t;
        double expected;
    } cases[] = {{"0.5*sin(2*pi*t)", 0.25, 0.5}, {"1.5e1", 0, 15}, {".25 + 2.", 0, 2.25}, {"1e-3*1000", 0, 1}};
    for (const Case& c : cases) {
        TEquation equation;
        EXPECT_TRUE(equation.Parse(c.text)) << c.text << ": " << equation.ErrorText;
        EXPECT_NEAR(equation.Evaluate(c.t), c.expected, 1e-12) << c.text;
    }
    TEquation equation;
    EXPECT_FALSE(equation.Parse("0,5")) << "a comma is no decimal separator";
    std::setlocale(LC_NUMERIC, previous.c_str());
}

std::string Repeat(const std::string& part, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += part;
    }
    return text;
}

TEST(EquationParser, RefusesNestingDeeperThanTheLimitWithoutOverflowingTheStack)
{
    const int limit = TEquation::MaxDepth;
    struct Case {
        std::string text;
        bool accepted;
    } cases[] = {
        {Repeat("(", limit - 1) + "t" + Repeat(")", limit - 1), true},
        {Repeat("(", 14000) + "t" + Repeat(")", 14000), false},
        {Repeat("sin(", 14000) + "t" + Repeat(")", 14000), false},
        {Repeat("-", 30000) + "t", false},
        {Repeat("t^", 14000) + "t", false},
        {Repeat("t+", 14000) + "t", false},
        {Repeat("t*", limit - 2) + "t", true},
    };
    for (const Case& c : cases) {
        TEquation equation;
        ASSERT_TRUE(equation.Parse("t"));
        EXPECT_EQ(equation.Parse(c.text), c.accepted) << c.text.substr(0, 40) << "... " << c.text.size();
        if (!c.accepted) {
            EXPECT_NE(equation.ErrorText.find("nested too deeply"), std::string::npos) << equation.ErrorText;
            EXPECT_EQ(equation.Evaluate(0.5), 0.5) << "the previous expression stays";
        }
    }
}

} // namespace
