// SPDX-License-Identifier: MIT
#include "data/CommonFunctionsTarn.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

template <class F> std::string MessageOf(F&& f)
{
    try {
        f();
    } catch (const EConvertError&) {
        return "conversion error";
    } catch (const EDataError& e) {
        return e.what();
    }
    return "no error";
}

} // namespace

TEST(ValueTexts, FormatDecimalPrefixes)
{
    EXPECT_EQ(FormatFrequency(15000), "15k");
    EXPECT_EQ(FormatFrequency(100000000), "100M");
    EXPECT_EQ(FormatFrequency(0.5), "0.5");
    EXPECT_EQ(FormatFrequency(0.05), "50m");
    EXPECT_EQ(FormatFrequency(0.002), "2m");
    EXPECT_EQ(FormatFrequency(0), "0");
    EXPECT_EQ(FormatFrequency(999.9996e3), "1000k");
    EXPECT_EQ(FormatFrequency(16.384), "16.384");
    EXPECT_EQ(FormatFrequency(1234.5678), "1.235k");
    EXPECT_EQ(FormatFrequency(2e9), "2G");
    // 1.0635 is stored a little below its half and 1.0645 a little above it.
    EXPECT_EQ(FormatVoltage(1.0635), "1.063");
    EXPECT_EQ(FormatVoltage(1.0645), "1.065");

    EXPECT_EQ(FormatVoltage(-0.25), "-250m");
    EXPECT_EQ(FormatVoltage(2.5), "2.5");
    EXPECT_EQ(FormatVoltage(0.0000025), "2.5u");
    EXPECT_EQ(FormatVoltage(0), "0");
    EXPECT_EQ(FormatVoltage(0.5), "500m");
    EXPECT_EQ(FormatVoltage(10), "10");

    EXPECT_EQ(FormatLoad(50), "50");
    EXPECT_EQ(FormatLoad(1500), "1.5k");
    EXPECT_EQ(FormatLoad(1000000), "1M");
    EXPECT_EQ(FormatLoad(0.5), "Open");
    EXPECT_EQ(FormatLoad(-1), "Open");
}

TEST(ValueTexts, FormatOutsideThePrefixesKeepsTheScale)
{
    // Past G and below u the outermost letter stays, never a bare mantissa.
    EXPECT_EQ(FormatFrequency(3e12), "3000G");
    EXPECT_EQ(FormatVoltage(1.5e-9), "0.002u");
    EXPECT_EQ(FormatFrequency(-2000), "-2k");
    // Non-finite values end rather than loop.
    EXPECT_FALSE(FormatFrequency(INFINITY).empty());
    EXPECT_FALSE(FormatVoltage(NAN).empty());
    EXPECT_EQ(FormatLoad(NAN), "Open");
}

TEST(ValueTexts, FormatSampleCounts)
{
    EXPECT_EQ(FormatSampleCount(8192), "8k");
    EXPECT_EQ(FormatSampleCount(1536), "1.5k");
    EXPECT_EQ(FormatSampleCount(1000), "1000");
    EXPECT_EQ(FormatSampleCount(1048576), "1M");
    EXPECT_EQ(FormatSampleCount(16384), "16k");
    EXPECT_EQ(FormatSampleCount(1023), "1023");
    EXPECT_EQ(FormatSampleCount(1000000), "976.562k");
    EXPECT_EQ(FormatSampleCount(INT32_MAX), "2048M");
}

TEST(ValueTexts, ParseNumbers)
{
    EXPECT_EQ(ParseNumber("1.5"), 1.5L);
    EXPECT_EQ(ParseNumber("1,5"), 1.5L);
    EXPECT_EQ(ParseNumber("  -2e3 "), -2000.0L);
    EXPECT_EQ(ParseNumber("+.5"), 0.5L);
    for (const char* bad : {"", "1.2.3", "1,000.5", "abc", "1e", "inf", "nan", "0x10", "1 2", "--1"})
        EXPECT_EQ(MessageOf([&] { ParseNumber(bad); }), "conversion error") << bad;
}

TEST(ValueTexts, ParseFrequencies)
{
    EXPECT_DOUBLE_EQ(ParseFrequency("1.5 k"), 1500.0);
    EXPECT_DOUBLE_EQ(ParseFrequency("1,5k"), 1500.0);
    EXPECT_DOUBLE_EQ(ParseFrequency("100M"), 1e8);
    EXPECT_DOUBLE_EQ(ParseFrequency("2G"), 2e9);
    EXPECT_DOUBLE_EQ(ParseFrequency("50m"), 0.05);
    EXPECT_DOUBLE_EQ(ParseFrequency(" 15000 "), 15000.0);
    EXPECT_EQ(MessageOf([] { ParseFrequency("10K"); }), "conversion error");
    EXPECT_EQ(MessageOf([] { ParseFrequency("15kHz"); }), "conversion error");
    EXPECT_EQ(MessageOf([] { ParseFrequency("3u"); }), "conversion error");
    EXPECT_EQ(MessageOf([] { ParseFrequency("   "); }), "Incorrect frequency value");
    EXPECT_EQ(MessageOf([] { ParseFrequency("1e999"); }), "conversion error");
}

TEST(ValueTexts, ParseVoltages)
{
    EXPECT_DOUBLE_EQ(ParseVoltage("300mV"), 0.3);
    for (const char* text : {"2.5", "2.5V", "2500mV", "2500 m", "2.5 v"})
        EXPECT_DOUBLE_EQ(ParseVoltage(text), 2.5) << text;
    EXPECT_DOUBLE_EQ(ParseVoltage("-250m"), -0.25);
    EXPECT_DOUBLE_EQ(ParseVoltage("2.5u"), 2.5e-6);
    EXPECT_EQ(MessageOf([] { ParseVoltage("V"); }), "Incorrect frequency value");
    EXPECT_EQ(MessageOf([] { ParseVoltage(""); }), "Incorrect frequency value");
    EXPECT_EQ(MessageOf([] { ParseVoltage("2U"); }), "conversion error");
    EXPECT_EQ(MessageOf([] { ParseVoltage("mV"); }), "conversion error");
}

TEST(ValueTexts, ParseLoads)
{
    EXPECT_EQ(ParseLoad("Open"), -1.0);
    EXPECT_EQ(ParseLoad("OPEN"), -1.0);
    EXPECT_EQ(ParseLoad("open"), -1.0);
    EXPECT_EQ(MessageOf([] { ParseLoad(" open"); }), "conversion error");
    EXPECT_EQ(MessageOf([] { ParseLoad("0.5"); }), "Incorrect load value");
    EXPECT_EQ(MessageOf([] { ParseLoad("-50"); }), "Incorrect load value");
    EXPECT_EQ(MessageOf([] { ParseLoad(""); }), "Incorrect load value");
    EXPECT_DOUBLE_EQ(ParseLoad("1k"), 1000.0);
    EXPECT_DOUBLE_EQ(ParseLoad("50"), 50.0);
    EXPECT_DOUBLE_EQ(ParseLoad("1"), 1.0);
    EXPECT_EQ(MessageOf([] { ParseLoad("500m"); }), "Incorrect load value");
}

TEST(ValueTexts, ParseSampleCounts)
{
    EXPECT_EQ(ParseSampleCount("8k"), 8192);
    EXPECT_EQ(ParseSampleCount("16k"), 16384);
    EXPECT_EQ(ParseSampleCount("1.5k"), 1536);
    EXPECT_EQ(ParseSampleCount("8kv"), 8192);
    EXPECT_EQ(ParseSampleCount("1M"), 1048576);
    EXPECT_EQ(ParseSampleCount(" 1000 "), 1000);
    EXPECT_EQ(ParseSampleCount("2.5"), 2); // halves to even
    EXPECT_EQ(ParseSampleCount("3.5"), 4);
    EXPECT_EQ(ParseSampleCount("1,5 k"), 1536);
    EXPECT_EQ(MessageOf([] { ParseSampleCount("v"); }), "Incorrect frequency value");
    EXPECT_EQ(MessageOf([] { ParseSampleCount(""); }), "Incorrect frequency value");
    EXPECT_EQ(MessageOf([] { ParseSampleCount("8K"); }), "conversion error");
    EXPECT_EQ(MessageOf([] { ParseSampleCount("1e12"); }), "conversion error");
}

TEST(ValueTexts, FormattedTextsParseBack)
{
    for (double f : {0.002, 0.5, 16.384, 15000.0, 1.5e6, 1e8})
        EXPECT_NEAR(ParseFrequency(FormatFrequency(f)), f, f * 1e-3) << f;
    for (double v : {-0.25, 2.5e-6, 2.5, 7.77})
        EXPECT_NEAR(ParseVoltage(FormatVoltage(v)), v, std::fabs(v) * 1e-3) << v;
    for (std::int32_t n : {1, 1000, 1536, 8192, 16384})
        EXPECT_EQ(ParseSampleCount(FormatSampleCount(n)), n);
}
