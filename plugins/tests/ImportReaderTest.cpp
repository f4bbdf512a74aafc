// SPDX-License-Identifier: MIT
#include "ImportReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>

namespace {

using namespace tarnplugin;

struct TTextCase {
    const char* content;
    int column;
    TDecimalMark decimal;
    std::vector<double> values; // empty: error expected
    const char* error;
};

TEST(ImportReader, ReadsTextColumnsHeadersAndDecimalMarks)
{
    using enum TDecimalMark;
    const TTextCase cases[] = {
        {"1\n2.5\n-3\n", 1, Auto, {1, 2.5, -3}, ""},
        {"\xEF\xBB\xBF# comment\r\n\r\n+7\r\n 8 \r\n", 1, Auto, {7, 8}, ""},
        {"time,value\nseconds,volts\n0,1.5\n1,\"2.5\"\n", 2, Auto, {1.5, 2.5}, ""},
        {"t;v\n0;1,5\n1;2.25\n", 2, Auto, {1.5, 2.25}, ""},
        {"0\t1,5\n", 2, Auto, {1.5}, ""},
        {"1,5\n2,5\n", 1, Auto, {1, 2}, ""}, // without ';' or tabs the comma separates
        {"1,5\n2,5\n", 1, Comma, {1.5, 2.5}, ""},
        {"1;5\n", 2, Point, {5}, ""},
        {"0 10\n1   20\n", 2, Auto, {10, 20}, ""}, // blank-separated
        {"Title\n1,2\n", 2, Auto, {2}, ""},        // a short title line is skipped
        {"", 1, Auto, {}, "The file is empty."},
        {" \r\n\n", 1, Auto, {}, "The file is empty."},
        {"a\nb\n", 1, Auto, {}, "The file holds no numbers in column 1."},
        {"1,2\n3,4\n", 3, Auto, {}, "Line 1 has no column 3."},
        {"1,2\n3\n", 2, Auto, {}, "Line 2 has no column 2."},
        {"1\n2\nx\n", 1, Auto, {}, "Line 3: \"x\" is not a number."},
        {"1\n2.5.1\n", 1, Auto, {}, "Line 2: \"2.5.1\" is not a number."},
        {"1\n++2\n", 1, Auto, {}, "Line 2: \"++2\" is not a number."},
        {"1\nnan\n", 1, Auto, {}, "Line 2: \"nan\" is not a finite number."},
        {"-inf\n", 1, Auto, {}, "Line 1: \"-inf\" is not a finite number."},
        {"1e999\n", 1, Auto, {}, "Line 1: \"1e999\" is not a finite number."},
        {"1\n", 0, Auto, {}, "The column must be 1 or more."},
        {"RIFF", 1, Auto, {}, "The file starts like a WAV file but is none."},
    };
    for (const TTextCase& c : cases) {
        TImportOptions options;
        options.Column = c.column;
        options.Decimal = c.decimal;
        const TImportedValues read = ReadImportValues(c.content, options);
        EXPECT_EQ(read.Values, c.values) << c.content;
        EXPECT_EQ(read.Error, c.error) << c.content;
        EXPECT_EQ(read.FromWave, std::string_view(c.content).starts_with("RIFF"));
    }
    EXPECT_EQ(ReadImportValues("v\n\n4\n", {}).FirstLine, 3);
}

// A WAV file: fmt chunk (format, channels, bits) and data from frames, with
// optional chunks before each and a data size that may claim more.
std::string Wave(int format, int channels, int bits, const std::vector<std::int16_t>& samples,
                 std::uint32_t claimedExtra = 0, bool extraChunks = false, bool fmtFirst = true)
{
    std::string out;
    const auto put = [&out](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i) {
            out.push_back(static_cast<char>(value >> (8 * i)));
        }
    };
    out += "RIFF";
    put(0, 4);
    out += "WAVE";
    if (extraChunks) {
        out += "LIST";
        put(3, 4);
        out += "abc";
        out.push_back(0); // the pad byte of an odd chunk
    }
    const auto fmtChunk = [&] {
        out += "fmt ";
        put(16, 4);
        put(static_cast<std::uint32_t>(format), 2);
        put(static_cast<std::uint32_t>(channels), 2);
        put(44100, 4);
        put(static_cast<std::uint32_t>(44100 * channels * bits / 8), 4);
        put(static_cast<std::uint32_t>(channels * bits / 8), 2);
        put(static_cast<std::uint32_t>(bits), 2);
    };
    if (fmtFirst) {
        fmtChunk();
    }
    out += "data";
    put(static_cast<std::uint32_t>(samples.size() * 2 + claimedExtra), 4);
    for (const std::int16_t s : samples) {
        put(static_cast<std::uint16_t>(s), 2);
    }
    if (!fmtFirst) {
        fmtChunk();
    }
    if (extraChunks) {
        out += "fact";
        put(4, 4);
        put(0, 4);
    }
    return out;
}

TEST(ImportReader, ReadsTheFirstChannelOf16BitPcmWaves)
{
    const double full = 32767.0;
    struct TWaveCase {
        std::string content;
        std::vector<double> values;
        const char* error;
        bool truncated;
    } cases[] = {
        {Wave(1, 1, 16, {0, 32767, -32768, 16384}), {0, 1, -32768 / full, 16384 / full}, "", false},
        {Wave(1, 2, 16, {1, 2, 3, 4, 5, 6}), {1 / full, 3 / full, 5 / full}, "", false},
        {Wave(1, 1, 16, {7, 8}, 0, true), {7 / full, 8 / full}, "", false},
        {Wave(1, 2, 16, {1, 2, 3, 4, 5}, 100), {1 / full, 3 / full}, "", true}, // the half frame is dropped
        {Wave(1, 1, 16, {}), {}, "The WAV file holds no samples.", false},
        {Wave(1, 1, 24, {1, 2, 3}), {}, "Only 16-bit WAV files can be read; this one has 24 bits per sample.", false},
        {Wave(1, 1, 8, {1}), {}, "Only 16-bit WAV files can be read; this one has 8 bits per sample.", false},
        {Wave(3, 1, 16, {1}), {}, "Only PCM WAV files can be read; this one has format 3.", false},
        {Wave(1, 0, 16, {1}), {}, "The WAV file's format chunk is damaged.", false},
        {Wave(1, 1, 16, {1}, 0, false, false), {}, "The WAV file has no format chunk before its data.", false},
        {Wave(1, 1, 16, {1}).substr(0, 30), {}, "The WAV file's format chunk is damaged.", false},
        {Wave(1, 1, 16, {1}).substr(0, 36), {}, "The WAV file has no data chunk.", false},
        {Wave(1, 1, 16, {1}).substr(0, 16), {}, "The WAV file has no format chunk.", false},
    };
    for (const TWaveCase& c : cases) {
        const TImportedValues read = ReadImportValues(c.content, {});
        EXPECT_EQ(read.Values, c.values) << c.error;
        EXPECT_EQ(read.Error, c.error);
        EXPECT_EQ(read.Truncated, c.truncated) << c.error;
        EXPECT_TRUE(read.FromWave);
    }
    const TImportedValues stereo = ReadImportValues(Wave(1, 2, 16, {1, 2}), {});
    EXPECT_EQ(stereo.Channels, 2);
    EXPECT_EQ(stereo.SampleRate, 44100);
}

TEST(ImportReader, ResamplesOnePeriodUpAndDown)
{
    const struct {
        std::vector<double> values;
        int count;
        std::vector<double> expected;
    } cases[] = {
        {{1, 2, 3}, 3, {1, 2, 3}},
        {{0, 4}, 4, {0, 2, 4, 2}},           // the last step wraps to the first value
        {{0, 3, 6}, 4, {0, 2.25, 4.5, 4.5}}, // at 0, 0.75, 1.5, 2.25
        {{5}, 3, {5, 5, 5}},
        {{1, 2, 3, 4}, 2, {1.5, 3.5}},
        {{0, 3, 6}, 2, {1, 5}}, // shares of 1.5 values each
        {{0, 1, 2, 3, 4}, 3, {0.4, 2, 3.6}},
        {{1, 2, 3, 6}, 1, {3}},
        {{}, 4, {}},
        {{1, 2}, 0, {}},
    };
    for (const auto& c : cases) {
        const std::vector<double> out = Resample(c.values, c.count);
        ASSERT_EQ(out.size(), c.expected.size()) << c.count;
        for (std::size_t i = 0; i < out.size(); ++i) {
            EXPECT_NEAR(out[i], c.expected[i], 1e-12) << c.count << " " << i;
        }
    }
}

TEST(ImportReader, ScalesCodesVoltsAndWavesIntoTheRangeAndCountsClamping)
{
    TImportOptions codes;
    TImportOptions volts;
    volts.Kind = TValueKind::Volts;
    volts.FullScaleVpp = 10.0;
    const struct {
        std::vector<double> values;
        bool wave;
        const TImportOptions& options;
        std::vector<unsigned short> expected;
        int clamped;
    } cases[] = {
        {{0, 2047.5, 2048.5, 4095, 4096, -1, 1e9}, false, codes, {0, 2048, 2048, 4095, 4095, 0, 4095}, 3},
        {{0, 5, -5, 2.5, 6, -6}, false, volts, {2048, 4095, 1, 3072, 4095, 0}, 2},
        {{0, 1, -32768 / 32767.0, 0.5}, true, codes, {2048, 4095, 1, 3072}, 0},
    };
    for (const auto& c : cases) {
        int clamped = -1;
        EXPECT_EQ(ToCodes(c.values, c.wave, c.options, 4096, &clamped), c.expected);
        EXPECT_EQ(clamped, c.clamped);
    }
    volts.FullScaleVpp = 0;
    EXPECT_EQ(ToCodes({1, -1}, false, volts, 4096), (std::vector<unsigned short>{4095, 0}));
    EXPECT_EQ(ToCodes({300}, false, codes, 256), (std::vector<unsigned short>{255}));
}

TEST(ImportReader, ReadsFilesAndRefusesMissingOnes)
{
    const std::filesystem::path path = std::filesystem::path(testing::TempDir()) / "import-reader-test.csv";
    std::ofstream(path, std::ios::binary) << "1\n2\n";
    std::string content;
    std::string error;
    EXPECT_TRUE(ReadImportFile(path, content, error));
    EXPECT_EQ(content, "1\n2\n");
    std::filesystem::resize_file(path, kMaxImportBytes + 1); // sparse: nothing is written
    EXPECT_FALSE(ReadImportFile(path, content, error));
    EXPECT_EQ(error, "The file is larger than 16 MB.");
    std::filesystem::remove(path);
    EXPECT_FALSE(ReadImportFile(path, content, error));
    EXPECT_EQ(error, "The file cannot be opened.");
    EXPECT_FALSE(ReadImportFile(path.parent_path(), content, error));
}

} // namespace
