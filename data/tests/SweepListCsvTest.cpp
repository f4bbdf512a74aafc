// SPDX-License-Identifier: MIT
// List-mode points from CSV text: what reads, and what is refused with which line.
#include "data/SweepListCsv.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

struct Good {
    const char* text;
    std::size_t count;
    // The last row.
    double frequency;
    std::optional<double> level, dwell;
};

TEST(SweepListCsv, ReadsRowsOfFrequencyLevelAndDwellInEitherSeparator)
{
    const Good rows[] = {
        {"1000\n2000\n", 2, 2000, {}, {}},
        {"1k,0.5,10m\n15k,2,0.1\n", 2, 15000, 2.0, 0.1},
        {"1k;500m;20ms\r\n2.5M;1;1s\r\n", 2, 2.5e6, 1.0, 1.0},
        {"Frequency (Hz),Dwell (s)\n100,0.02\n200,50m\n", 2, 200, {}, 0.05},
        {"\xEF\xBB\xBF\"dwell\";\"freq\"\n1;1k\n", 1, 1000, {}, 1.0},
        {"# comment\n\n  1e3 , , 250us \n", 1, 1000, {}, 250e-6},
        {"f,level\n10\n20,1.5v\n", 2, 20, 1.5, {}},
        {"0.5,0\n", 1, 0.5, 0.0, {}},
        {"1000", 1, 1000, {}, {}},
    };
    for (const Good& g : rows) {
        const std::vector<TSweepListRow> got = ParseSweepListCsv(g.text);
        ASSERT_EQ(got.size(), g.count) << g.text;
        EXPECT_DOUBLE_EQ(got.back().Frequency, g.frequency) << g.text;
        EXPECT_EQ(got.back().Level.has_value(), g.level.has_value()) << g.text;
        if (g.level && got.back().Level) {
            EXPECT_DOUBLE_EQ(*got.back().Level, *g.level) << g.text;
        }
        EXPECT_EQ(got.back().Dwell.has_value(), g.dwell.has_value()) << g.text;
        if (g.dwell && got.back().Dwell) {
            EXPECT_NEAR(*got.back().Dwell, *g.dwell, *g.dwell * 1e-12) << g.text;
        }
    }
}

struct Bad {
    std::string text;
    int line;
    const char* says;
};

TEST(SweepListCsv, RefusesBadInputNamingTheLine)
{
    const std::string tooLong = "1000," + std::string(300, ' ') + "1\n";
    std::string tooMany;
    for (std::size_t i = 0; i <= kSweepListMaxRows; ++i)
        tooMany += "1k\n";
    const Bad rows[] = {
        {"1000\nabc\n", 2, "\"abc\" is not a frequency"},
        {"1000;1,5\n", 1, "use '.' for decimals"},
        {"1000\n0\n", 2, "frequency must be above 0"},
        {"1000\n-5\n", 2, "frequency must be above 0"},
        {"1000,-1\n", 1, "level must not be negative"},
        {"1000,1,0\n", 1, "dwell must be above 0"},
        {"1000,1,1,1\n", 1, "more than 3 values"},
        {"freq,dwell\n1,2,3\n", 2, "more than 2 values"},
        {"freq,speed\n", 1, "unknown column \"speed\""},
        {"level,dwell\n", 1, "no frequency column"},
        {"freq,f\n", 1, "twice"},
        {",1\n", 1, "no frequency"},
        {"1000\n2000,nan\n", 2, "\"nan\" is not a level"},
        {"1e999\n", 1, "\"1e999\" is not a frequency"},
        {"1000\n2\x01"
         "0\n",
         2, "not a text line"},
        {tooLong, 1, "longer than 256"},
        {tooMany, int(kSweepListMaxRows) + 1, "more than 10000 points"},
        {std::string(kSweepListMaxBytes + 1, '\n'), 0, "larger than"},
        {"# nothing\n\n", 0, "no points"},
        {"", 0, "no points"},
    };
    for (const Bad& b : rows) {
        try {
            ParseSweepListCsv(b.text);
            ADD_FAILURE() << "accepted: " << b.text.substr(0, 40);
        } catch (const ESweepListError& e) {
            EXPECT_EQ(e.Line(), b.line) << e.what();
            EXPECT_NE(std::string(e.what()).find(b.says), std::string::npos) << e.what();
            if (b.line > 0) {
                EXPECT_EQ(std::string(e.what()).rfind("Line " + std::to_string(b.line) + ": ", 0), 0u) << e.what();
            }
        }
    }
}

TEST(SweepListCsv, ReadsOnlyBoundedRegularFilesWhateverTheLocale)
{
    // A locale with ',' decimals changes nothing.
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tarn-sweeplist-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "list.csv") << "freq;level;dwell\n1.5k;0.25;10m\n";
    const std::vector<TSweepListRow> rows = ReadSweepListCsv(dir / "list.csv");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_DOUBLE_EQ(rows[0].Frequency, 1500.0);
    EXPECT_DOUBLE_EQ(*rows[0].Level, 0.25);
    std::ofstream(dir / "big.csv") << std::string(kSweepListMaxBytes + 10, '\n');
    EXPECT_THROW(ReadSweepListCsv(dir / "big.csv"), ESweepListError);
    EXPECT_THROW(ReadSweepListCsv(dir), ESweepListError) << "a folder";
    EXPECT_THROW(ReadSweepListCsv(dir / "missing.csv"), ESweepListError);
    EXPECT_THROW(ReadSweepListCsv("/dev/zero"), ESweepListError) << "a device never ends";
    std::filesystem::remove_all(dir);
    std::setlocale(LC_NUMERIC, "C");
}

} // namespace
