// SPDX-License-Identifier: MIT
// Runs the built tarnwave program as a subprocess.

#include "data/SettingsTarn.h"
#include "data/WaveformRepositoryFile.h"
#include "data/tests/SettingsTestSupport.h"

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <sstream>
#include <vector>

namespace {

struct TRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

std::string Quoted(const std::string& text)
{
    std::string q = "'";
    for (char c : text) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

class TarnwaveTool : public ::testing::Test {
protected:
    TTempFolder Dir;
    std::string File = (Dir / "waveforms.dat").string();

    // locale: the LC_ALL the tool runs under (the caller's when empty).
    TRun Run(const std::vector<std::string>& args, const std::string& input = "", const std::string& locale = "")
    {
        const char* programDir = std::getenv("TARN_PROGRAM_DIR");
        if (programDir == nullptr) {
            ADD_FAILURE() << "TARN_PROGRAM_DIR is not set";
            return {};
        }
        WriteWholeFile(Dir / "stdin.txt", input);
        std::string command = locale.empty() ? std::string() : "LC_ALL=" + Quoted(locale) + " ";
        command += Quoted(std::string(programDir) + "/tarnwave");
        for (const auto& a : args)
            command += " " + Quoted(a);
        command += " <" + Quoted((Dir / "stdin.txt").string()) + " >" + Quoted((Dir / "stdout.txt").string()) + " 2>"
                   + Quoted((Dir / "stderr.txt").string());
        const int raw = std::system(command.c_str());
        TRun run;
        run.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.Out = ReadWholeFile(Dir / "stdout.txt");
        run.Err = ReadWholeFile(Dir / "stderr.txt");
        return run;
    }

    static std::vector<std::string> Lines(const std::string& text)
    {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    static std::vector<std::string> Fields(const std::string& line)
    {
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (;;) {
            const auto tab = line.find('\t', start);
            fields.push_back(line.substr(start, tab - start));
            if (tab == std::string::npos)
                return fields;
            start = tab + 1;
        }
    }
};

const char Header[] =
    "section\tindex\tname\tmode\tSampleCount\tSampleRange\tMinSample\tMaxSample\tMeanSample\tHighestHarmonic";

std::uint16_t WordAt(const std::string& bytes, std::size_t offset)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[offset])
                                      | (static_cast<unsigned char>(bytes[offset + 1]) << 8));
}

} // namespace

TEST_F(TarnwaveTool, InitWritesTheRecoveredLibrary)
{
    ASSERT_EQ(Run({"init", File}).Status, 0);
    const std::string bytes = ReadWholeFile(File);
    // Header, D = 1, then five records of 16445 bytes plus their names, R = 4.
    ASSERT_EQ(bytes.size(), 24u + 16445u + 8u + 4u * 16445u + 4u + 3u + 8u + 6u);
    EXPECT_EQ(bytes.substr(0, 24), std::string("\x00\x00\x00\x00\xFF\xFF\xFF\xFF\xE9\x03\x00\x00\x16\xFC\xFF\xFF"
                                               "\x01\x00\x00\x00\xFE\xFF\xFF\xFF",
                                               24));
    // Device record: unnamed, standard, range 4096, 8192 sine samples.
    const std::size_t rec = 24;
    EXPECT_EQ(bytes.substr(rec + 16, 8), std::string("\x00\x00\x00\x00\xFF\xFF\xFF\xFF", 8));
    EXPECT_EQ(bytes[rec + 24], 1);
    EXPECT_EQ(bytes.substr(rec + 25, 4), std::string("\x00\x10\x00\x00", 4));
    const std::size_t samples = rec + 37;
    EXPECT_EQ(WordAt(bytes, samples + 0), 2048);
    EXPECT_EQ(WordAt(bytes, samples + 2 * 2048), 4095);
    EXPECT_EQ(WordAt(bytes, samples + 2 * 6144), 1);
    // First library record is named "Sine".
    const std::size_t lib = rec + 16445 + 8;
    EXPECT_EQ(bytes.substr(lib + 16, 12), std::string("\x04\x00\x00\x00\xFB\xFF\xFF\xFFSine", 12));

    const TRun list = Run({"list", File});
    ASSERT_EQ(list.Status, 0) << list.Err;
    const auto lines = Lines(list.Out);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], Header);
    EXPECT_EQ(lines[1], "device\t0\t\tStandard\t8192\t4096\t1\t4095\t2048.000000\t4095");
    const char* names[] = {"Sine", "Saw", "Triangle", "Square"};
    // The saw's drop comes one sample early, so it peaks at 4094.
    const char* maxima[] = {"4095", "4094", "4095", "4095"};
    for (int i = 0; i < 4; ++i) {
        const auto f = Fields(lines[2 + i]);
        ASSERT_EQ(f.size(), 10u);
        EXPECT_EQ(f[0], "library");
        EXPECT_EQ(f[1], std::to_string(i));
        EXPECT_EQ(f[2], names[i]);
        EXPECT_EQ(f[3], "Standard");
        EXPECT_EQ(f[4], "8192");
        EXPECT_EQ(f[5], "4096");
        EXPECT_EQ(f[6], "1");
        EXPECT_EQ(f[7], maxima[i]);
    }
    EXPECT_EQ(lines[5], "library\t3\tSquare\tStandard\t8192\t4096\t1\t4095\t2048.000000\t4095");
}

TEST_F(TarnwaveTool, ExportImportRoundTrip)
{
    ASSERT_EQ(Run({"init", File}).Status, 0);
    const TRun exported = Run({"export", File, "1"});
    ASSERT_EQ(exported.Status, 0) << exported.Err;
    const auto codes = Lines(exported.Out);
    ASSERT_EQ(codes.size(), 8192u);
    EXPECT_EQ(codes[4094], "4094");
    EXPECT_EQ(codes[4095], "1");

    // The exported saw comes back as an arbitrary copy with the same statistics.
    const TRun imported = Run({"import", File, "My saw"}, exported.Out);
    ASSERT_EQ(imported.Status, 0) << imported.Err;
    const TRun small = Run({"import", File, "ramp"}, "0\r\n4095\n 100 \n\n");
    ASSERT_EQ(small.Status, 0) << small.Err;

    const auto lines = Lines(Run({"list", File}).Out);
    ASSERT_EQ(lines.size(), 8u);
    auto saw = Fields(lines[3]);
    auto copy = Fields(lines[6]);
    EXPECT_EQ(copy[0], "library");
    EXPECT_EQ(copy[1], "4");
    EXPECT_EQ(copy[2], "My saw");
    EXPECT_EQ(copy[3], "Arbitrary");
    for (std::size_t i = 4; i < 10; ++i)
        EXPECT_EQ(copy[i], saw[i]) << "field " << i;
    EXPECT_EQ(lines[7], "library\t5\tramp\tArbitrary\t3\t4096\t0\t4095\t1398.333333\t1");
    EXPECT_EQ(Run({"export", File, "5"}).Out, "0\n4095\n100\n");

    ASSERT_EQ(Run({"import", File, "std", "--standard"}, exported.Out).Status, 0);
    EXPECT_EQ(Fields(Lines(Run({"list", File}).Out)[8])[3], "Standard");
}

// Numbers read and printed are the same under a locale with a decimal comma.
TEST_F(TarnwaveTool, NumbersDoNotDependOnTheLocale)
{
    const std::string german = "de_DE.UTF-8";
    ASSERT_EQ(Run({"init", File}, "", german).Status, 0);
    const TRun imported = Run({"import", File, "ramp"}, "0\n4095\n 100 \n", german);
    ASSERT_EQ(imported.Status, 0) << imported.Err;
    EXPECT_EQ(Run({"import", File, "x"}, "1,5\n", german).Status, 1);
    EXPECT_EQ(Run({"import", File, "x"}, "1.5\n", german).Status, 1);
    const TRun list = Run({"list", File}, "", german);
    EXPECT_EQ(list.Out, Run({"list", File}, "", "C").Out);
    const auto lines = Lines(list.Out);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[6], "library\t4\tramp\tArbitrary\t3\t4096\t0\t4095\t1398.333333\t1");
    EXPECT_EQ(Run({"export", File, "4"}, "", german).Out, "0\n4095\n100\n");
}

TEST_F(TarnwaveTool, ImportRejectsBadInputAndKeepsFile)
{
    ASSERT_EQ(Run({"init", File}).Status, 0);
    const std::string before = ReadWholeFile(File);
    std::string tooMany;
    for (int i = 0; i < 16385; ++i)
        tooMany += "1\n";
    const struct {
        const char* What;
        std::string Input;
        std::vector<std::string> Extra;
        const char* Mentions;
    } cases[] = {
        {"code above range", "1\n4096\n", {}, "0..4095"}, {"negative code", "-1\n", {}, "0..4095"},
        {"not a number", "12\nabc\n", {}, "abc"},         {"no codes", "\n\n", {}, "1..16384"},
        {"too many codes", tooMany, {}, "16384"},         {"standard of wrong size", "1\n2\n", {"--standard"}, "8192"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        std::vector<std::string> args{"import", File, "bad"};
        args.insert(args.end(), c.Extra.begin(), c.Extra.end());
        const TRun run = Run(args, c.Input);
        EXPECT_EQ(run.Status, 1);
        EXPECT_NE(run.Err.find(c.Mentions), std::string::npos) << run.Err;
        EXPECT_EQ(ReadWholeFile(File), before);
    }
    EXPECT_EQ(EntryCount(Dir.Path()), 4u); // the library and the three stream files
}

TEST_F(TarnwaveTool, StrictReadingAndUsage)
{
    // A single waveform record is not a library.
    ASSERT_EQ(Run({"init", File}).Status, 0);
    std::string bytes = ReadWholeFile(File);
    bytes[8] = static_cast<char>(0xE8);
    bytes[12] = static_cast<char>(0x17);
    WriteWholeFile(File, bytes);
    TRun run = Run({"list", File});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "Unknown file type\n");
    EXPECT_EQ(run.Out, "");

    WriteWholeFile(File, std::string("\x00\x00\x00\x00\xFF\xFF", 6));
    run = Run({"list", File});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "Wrong integer in file\n");

    EXPECT_EQ(Run({"list", (Dir / "absent.dat").string()}).Status, 1);
    EXPECT_EQ(Run({"import", (Dir / "absent.dat").string(), "x"}, "1\n").Status, 1);
    EXPECT_FALSE(std::filesystem::exists(Dir / "absent.dat"));

    ASSERT_EQ(Run({"init", File}).Status, 0);
    EXPECT_EQ(Run({"export", File, "4"}).Status, 1);
    EXPECT_EQ(Run({"export", File, "-1"}).Status, 1);
    EXPECT_EQ(Run({"export", File, "x"}).Status, 1);
    EXPECT_EQ(Run({}).Status, 1);
    EXPECT_EQ(Run({"list"}).Status, 1);
    EXPECT_EQ(Run({"import", File, "n", "--other"}, "1\n").Status, 1);
    EXPECT_EQ(Run({"init", (Dir / "stdin.txt" / "x.dat").string()}).Status, 1);
}

// Sizes from 1 to 16384, so the threads finish out of order: the lines still
// come in file order, each with the waveform's own statistics.
TEST_F(TarnwaveTool, ListOfManyWaveformsKeepsFileOrder)
{
    TWaveformList device, library;
    device.push_back(MakeStandardWaveform(TStandardWaveform::Sine));
    std::mt19937 random(7);
    for (int i = 0; i < 60; ++i) {
        const auto count = static_cast<std::int32_t>(i % 3 == 0 ? 16384 : 1 + random() % 600);
        std::vector<std::uint16_t> codes(static_cast<std::size_t>(count));
        for (std::int32_t j = 0; j < count; ++j)
            codes[static_cast<std::size_t>(j)] =
                static_cast<std::uint16_t>(2048 + 1800 * std::sin(0.37 * (i + 1) * j) + random() % 7);
        auto w = std::make_unique<TWaveformTarn>();
        w->AssignData(TWaveformData{codes.data(), count, 4096});
        w->Name = "w" + std::to_string(i);
        library.push_back(std::move(w));
    }
    SaveWaveformRepositoryFile(File, device, library);
    const TRun list = Run({"list", File});
    ASSERT_EQ(list.Status, 0) << list.Err;
    const auto lines = Lines(list.Out);
    ASSERT_EQ(lines.size(), 62u);
    for (std::size_t i = 0; i < library.size(); ++i) {
        const TWaveformTarn& w = *library[i];
        char mean[64];
        std::snprintf(mean, sizeof mean, "%.6f", w.MeanSample());
        EXPECT_EQ(lines[2 + i], "library\t" + std::to_string(i) + "\t" + w.Name + "\tArbitrary\t"
                                    + std::to_string(w.SampleCount()) + "\t4096\t" + std::to_string(w.MinSample())
                                    + "\t" + std::to_string(w.MaxSample()) + "\t" + mean + "\t"
                                    + std::to_string(w.HighestHarmonic()));
    }
}

TEST_F(TarnwaveTool, ListJsonEscapesEveryName)
{
    ASSERT_EQ(Run({"init", File}).Status, 0);
    const struct {
        std::string Name;
        std::string Json;
    } cases[] = {
        {"a\"b\\c", R"("a\"b\\c")"},
        {"tab\there\x01\x7f", R"("tab\u0009here\u0001\u007f")"},
        {"caf\xC3\xA9", "\"caf\xC3\xA9\""},        // valid UTF-8 stays
        {"caf\xE9 \xC3", R"("caf\u00e9 \u00c3")"}, // other bytes read as Latin-1
        {"", R"("")"},
    };
    for (const auto& c : cases)
        ASSERT_EQ(Run({"import", File, c.Name}, "1\n2\n3\n").Status, 0) << c.Json;
    const TRun run = Run({"list", "--json", File});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out.rfind("{\"device\": [\n  {\"index\": 0, \"name\": \"\", \"mode\": \"Standard\", "
                            "\"SampleCount\": 8192, \"SampleRange\": 4096, \"MinSample\": 1, \"MaxSample\": 4095, "
                            "\"MeanSample\": 2048.000000, \"HighestHarmonic\": 4095}\n],\n\"library\": [\n",
                            0),
              0u)
        << run.Out;
    const auto lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 4u + 4u + std::size(cases) + 1u);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string& line = lines[8 + i];
        EXPECT_NE(line.find("\"index\": " + std::to_string(4 + i) + ", \"name\": " + cases[i].Json + ", \"mode\": "
                            "\"Arbitrary\", \"SampleCount\": 3, "),
                  std::string::npos)
            << line;
        EXPECT_EQ(line.back(), i + 1 < std::size(cases) ? ',' : '}') << line;
    }
    EXPECT_EQ(lines.back(), "]}");
    // The same library in the table form still works.
    EXPECT_EQ(Lines(Run({"list", File}).Out).size(), 1u + 1u + 4u + std::size(cases));
}
