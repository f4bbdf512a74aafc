// SPDX-License-Identifier: MIT
#include "data/WaveformTarn.h"

#include "data/BinStreamEx.h"
#include "data/DataTypesTarn.h"
#include "WaveTestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

using wavetest::MakeWaveform;
using wavetest::StandardSine;

namespace {

std::string Record(const TWaveformTarn& w)
{
    std::ostringstream out(std::ios::binary);
    w.SaveToStream(out);
    return out.str();
}

std::string ErrorLoading(TWaveformTarn& w, const std::string& bytes)
{
    std::istringstream in(bytes, std::ios::binary);
    try {
        w.LoadFromStream(in);
    } catch (const EDataError& e) {
        return e.what();
    }
    return "no error";
}

std::string Guarded(std::int32_t v)
{
    std::ostringstream out(std::ios::binary);
    TBinStreamEx s(out);
    s.WriteGuardedInt(v);
    return out.str();
}

} // namespace

TEST(WaveformTarn, CreateAllocateClear)
{
    TWaveformTarn w;
    EXPECT_EQ(w.Samples(), nullptr);
    EXPECT_EQ(w.SampleCount(), 0);
    EXPECT_EQ(w.SampleRange(), 0);
    EXPECT_FALSE(w.IsStandard);

    w.Allocate(5, 4096, false);
    ASSERT_EQ(w.SampleCount(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(w.Samples()[i], 2048);
    w.Allocate(3, 7, true);
    ASSERT_EQ(w.SampleCount(), 3);
    EXPECT_EQ(w.SampleRange(), 7);
    EXPECT_TRUE(w.IsStandard);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(w.Samples()[i], 3);

    w.Name = "kept";
    w.Clear();
    EXPECT_EQ(w.Samples(), nullptr);
    EXPECT_EQ(w.SampleCount(), 0);
    EXPECT_EQ(w.Name, "kept");
    EXPECT_THROW(w.Allocate(-1, 4096, false), EDataError);
}

TEST(WaveformTarn, DataViewWritesThroughAndAssignCopiesDeep)
{
    auto w = MakeWaveform("Orig", {10, 20, 30}, true);
    TWaveformData* view = w->DataView();
    EXPECT_EQ(view->Count, 3);
    EXPECT_EQ(view->Range, 4096);
    view->Samples[1] = 99;
    EXPECT_EQ(w->Samples()[1], 99);

    w->ModuleData.Reset(5, "Mod");
    w->ModuleData.AddBlock(5, "Mod", 2, "ab");
    TWaveformTarn copy;
    copy.Assign(*w);
    EXPECT_NE(copy.Samples(), w->Samples());
    EXPECT_EQ(copy.Name, "Orig");
    EXPECT_TRUE(copy.IsStandard);
    EXPECT_EQ(copy.Samples()[1], 99);
    EXPECT_EQ(copy.MaxSample(), 99);
    EXPECT_EQ(copy.ModuleData.Blocks, w->ModuleData.Blocks);
    w->Samples()[0] = 1;
    EXPECT_EQ(copy.Samples()[0], 10);

    // AssignData from the waveform's own view must not read freed memory.
    copy.AssignData(*copy.DataView());
    EXPECT_EQ(copy.SampleCount(), 3);
    EXPECT_EQ(copy.Samples()[2], 30);
    std::uint16_t raw[2] = {7, 8};
    copy.AssignData(TWaveformData{raw, 2, 16});
    EXPECT_EQ(copy.SampleRange(), 16);
    EXPECT_EQ(copy.Samples()[1], 8);
    EXPECT_NE(copy.Samples(), raw);
    EXPECT_THROW(copy.AssignData(TWaveformData{nullptr, 4, 16}), EDataError);

    // The view stays the waveform's own triple across reallocation.
    TWaveformData* before = copy.DataView();
    copy.Allocate(6, 4096, false);
    EXPECT_EQ(before, copy.DataView());
    EXPECT_EQ(before->Count, 6);
    EXPECT_EQ(before->Samples, copy.Samples());
}

TEST(WaveformTarn, SizeAndModeTexts)
{
    TWaveformTarn w;
    w.Allocate(1000, 4096, false);
    EXPECT_EQ(w.SizeText(), "1000 samples");
    EXPECT_EQ(w.ModeText(), "Arbitrary");
    w.Allocate(1024, 4096, true);
    EXPECT_EQ(w.SizeText(), "1k (1024 samples)");
    EXPECT_EQ(w.ModeText(), "Standard");
    w.Allocate(1536, 4096, false);
    EXPECT_EQ(w.SizeText(), "1.5k (1536 samples)");
    w.Allocate(8192, 4096, false);
    EXPECT_EQ(w.SizeText(), "8k (8192 samples)");
}

TEST(ModuleData, BlocksBelongToTheirOwner)
{
    TModuleData m;
    EXPECT_EQ(m.ModuleKey, 0u);
    m.Reset(42, "Editor");
    m.AddBlock(42, "Editor", 3, "xyz");
    m.AddBlock(42, "editor", 2, "no");  // name differs in case
    m.AddBlock(41, "Editor", 2, "no");  // other key
    m.AddBlock(42, "Editor", -1, "no"); // nonsense length
    m.AddBlock(42, "Editor", 0, nullptr);
    ASSERT_EQ(m.Blocks.size(), 2u);

    const char* data = nullptr;
    std::int32_t length = 0;
    m.Rewind();
    ASSERT_TRUE(m.NextBlock(data, length));
    EXPECT_EQ(std::string(data, static_cast<std::size_t>(length)), "xyz");
    ASSERT_TRUE(m.NextBlock(data, length));
    EXPECT_NE(data, nullptr); // an empty block is still a block
    EXPECT_EQ(length, 0);
    EXPECT_FALSE(m.NextBlock(data, length));
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(length, -1);
    EXPECT_FALSE(m.NextBlock(data, length));

    m.Reset(7, "Other");
    EXPECT_TRUE(m.Blocks.empty());
    EXPECT_EQ(m.Cursor, 2); // Reset leaves the cursor
}

TEST(ModuleData, DamagedSectionLeavesTheStoreAsItWas)
{
    TModuleData source;
    source.Reset(9, "Nine");
    source.AddBlock(9, "Nine", 4, "abcd");
    std::ostringstream out(std::ios::binary);
    {
        TBinStreamEx s(out);
        source.SaveToStream(s);
    }
    std::string bytes = out.str();
    bytes.resize(bytes.size() - 1);

    TModuleData target;
    target.Reset(1, "One");
    target.AddBlock(1, "One", 1, "x");
    std::istringstream in(bytes, std::ios::binary);
    TBinStreamEx s(in);
    EXPECT_THROW(target.LoadFromStream(s), EDataError);
    EXPECT_EQ(target.ModuleKey, 1u);
    EXPECT_EQ(target.ModuleName, "One");
    ASSERT_EQ(target.Blocks.size(), 1u);
}

TEST(WaveformRecord, ExactBytes)
{
    auto w = MakeWaveform("A", {1, 4095}, true);
    w->ModuleData.Reset(7, "M");
    w->ModuleData.AddBlock(7, "M", 0, "");
    w->ModuleData.AddBlock(7, "M", 3, "xyz");
    const std::string expected = Guarded(0) + Guarded(1000) + Guarded(1) + "A" + std::string("\x01", 1)
                                 + std::string("\x00\x10\x00\x00", 4) + Guarded(2) + std::string("\x01\x00\xFF\x0F", 4)
                                 + Guarded(7) + Guarded(1) + "M" + Guarded(2) + Guarded(0) + Guarded(3) + "xyz";
    EXPECT_EQ(Record(*w), expected);
}

TEST(WaveformRecord, RoundTripRecomputesStatistics)
{
    auto w = MakeWaveform("Wave", {100, 200, 300, 400, 500, 600, 700, 800}, false);
    w->ModuleData.Reset(0xDEADBEEF, "Creator");
    w->ModuleData.AddBlock(0xDEADBEEF, "Creator", 0, "");
    w->ModuleData.AddBlock(0xDEADBEEF, "Creator", 3, "\x00\x01\x02");
    const std::string bytes = Record(*w);

    TWaveformTarn r;
    r.ModuleData.Cursor = 5;
    std::istringstream in(bytes, std::ios::binary);
    r.LoadFromStream(in);
    EXPECT_EQ(r.Name, "Wave");
    EXPECT_FALSE(r.IsStandard);
    ASSERT_EQ(r.SampleCount(), 8);
    EXPECT_EQ(r.SampleRange(), 4096);
    EXPECT_EQ(r.Samples()[7], 800);
    EXPECT_EQ(r.MaxSample(), 800);
    EXPECT_EQ(r.MinSample(), 100);
    EXPECT_DOUBLE_EQ(r.MeanSample(), 450.0);
    EXPECT_EQ(r.ModuleData.ModuleKey, 0xDEADBEEFu);
    EXPECT_EQ(r.ModuleData.ModuleName, "Creator");
    ASSERT_EQ(r.ModuleData.Blocks.size(), 2u);
    EXPECT_EQ(r.ModuleData.Blocks[0], "");
    EXPECT_EQ(r.ModuleData.Blocks[1], std::string("\x00\x01\x02", 3));
    EXPECT_EQ(r.ModuleData.Cursor, 5);
    EXPECT_EQ(Record(r), bytes);

    // Any nonzero flag byte reads as standard.
    std::string flagged = bytes;
    flagged[8 + 8 + 8 + 4] = '\x05';
    std::istringstream in2(flagged, std::ios::binary);
    r.LoadFromStream(in2);
    EXPECT_TRUE(r.IsStandard);
}

TEST(WaveformRecord, WrongHeaderAndDamage)
{
    TWaveformTarn w;
    // Version 1 fails as soon as the version is read: nothing else follows.
    EXPECT_EQ(ErrorLoading(w, Guarded(1)), "Unsupported file version");
    EXPECT_EQ(ErrorLoading(w, Guarded(0) + Guarded(1001)), "Unsupported file type");

    auto good = MakeWaveform("Named", {1, 2, 3, 4});
    const std::string bytes = Record(*good);
    // A negative sample count and one larger than the data left.
    const std::size_t countAt = 8 + 8 + 8 + 5 + 1 + 4;
    for (std::int32_t bad : {-1, 17, INT32_MAX}) {
        std::string damaged = bytes;
        damaged.replace(countAt, 8, Guarded(bad));
        EXPECT_EQ(ErrorLoading(w, damaged), "Wrong integer in file") << bad;
    }
    // The name is taken before the failure.
    std::string damaged = bytes;
    damaged[countAt + 5] ^= 1;
    EXPECT_EQ(ErrorLoading(w, damaged), "Wrong integer in file");
    EXPECT_EQ(w.Name, "Named");
    // Every truncation fails cleanly.
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        TWaveformTarn t;
        const std::string message = ErrorLoading(t, bytes.substr(0, cut));
        EXPECT_TRUE(message == "Wrong integer in file" || message == "Wrong string in file") << cut << message;
    }
}

TEST(WaveformStatistics, SquareSineConstant)
{
    std::vector<std::uint16_t> square(8192, 1);
    std::fill_n(square.begin(), 4096, 4095);
    auto sq = MakeWaveform("Square", square, true);
    EXPECT_EQ(sq->MaxSample(), 4095);
    EXPECT_EQ(sq->MinSample(), 1);
    EXPECT_DOUBLE_EQ(sq->MeanSample(), 2048.0);
    EXPECT_EQ(sq->HighestHarmonic(), 4095);

    const auto codes = StandardSine();
    EXPECT_EQ(codes[0], 2048);
    EXPECT_EQ(codes[2048], 4095);
    EXPECT_EQ(codes[6144], 1);
    auto sine = MakeWaveform("Sine", codes, true);
    EXPECT_EQ(sine->MaxSample(), 4095);
    EXPECT_EQ(sine->MinSample(), 1);
    EXPECT_EQ(sine->HighestHarmonic(), 4095);

    auto flat = MakeWaveform("Flat", std::vector<std::uint16_t>(8192, 3000));
    EXPECT_EQ(flat->HighestHarmonic(), 1);
    EXPECT_DOUBLE_EQ(flat->MeanSample(), 3000.0);

    // A pure third harmonic of a non-power-of-two period.
    std::vector<std::uint16_t> third(1000);
    for (std::size_t i = 0; i < third.size(); ++i)
        third[i] = static_cast<std::uint16_t>(
            2048 + 2000 * std::sin(2 * std::numbers::pi * 3 * static_cast<double>(i) / 1000.0));
    auto t = MakeWaveform("Third", third);
    EXPECT_GE(t->HighestHarmonic(), 3);

    // Five samples: no bin is examined.
    auto tiny = MakeWaveform("Tiny", {1, 4095, 1, 4095, 1});
    EXPECT_EQ(tiny->HighestHarmonic(), 1);
    EXPECT_EQ(tiny->MaxSample(), 4095);
}

TEST(WaveformStatistics, SearchStartsFromZeroAndTheRange)
{
    // Codes above a small range: the minimum stays at the range.
    TWaveformTarn w;
    w.Allocate(3, 100, false);
    w.Samples()[0] = 4095;
    w.Samples()[1] = 3000;
    w.Samples()[2] = 200;
    w.UpdateStatistics();
    EXPECT_EQ(w.MinSample(), 100);
    EXPECT_EQ(w.MaxSample(), 4095);

    TWaveformTarn negative;
    negative.Allocate(2, -5, false);
    negative.Samples()[0] = 10;
    negative.Samples()[1] = 20;
    negative.UpdateStatistics();
    EXPECT_EQ(negative.MinSample(), -5);
    EXPECT_EQ(negative.MaxSample(), 20);
}

TEST(WaveformStatistics, MeanIsDividedInExtendedPrecision)
{
    // 4201233 / 2051 rounds differently in extended and in double precision.
    std::vector<std::uint16_t> codes(2051, 2048);
    codes[0] = 2048 + 785;
    auto w = MakeWaveform("Mean", codes);
    EXPECT_EQ(w->MeanSample(), 0x1.000c3f6838eaap+11);
}

TEST(WaveformDriver, AttachAndDetachNeverFreeTheCallersBuffer)
{
    std::vector<std::uint16_t> buffer(8192, 2048);
    buffer[10] = 4000;
    {
        TWaveformTarn w;
        w.AttachSamples(buffer.data(), 8192, 4096);
        EXPECT_TRUE(w.IsAttached());
        EXPECT_EQ(w.Samples(), buffer.data());
        EXPECT_EQ(w.MaxSample(), 4000);
        EXPECT_EQ(w.MinSample(), 2048);
        w.DetachSamples();
        EXPECT_EQ(w.Samples(), nullptr);
        EXPECT_EQ(w.SampleCount(), 0);
    }
    {
        // Destroyed while attached: the buffer still belongs to its owner.
        TWaveformTarn w;
        w.AttachSamples(buffer.data(), 8192, 4096);
    }
    EXPECT_EQ(buffer[10], 4000);
    TWaveformTarn owned;
    owned.Allocate(4, 4096, false);
    owned.DetachSamples(); // owned buffers are not let go by DetachSamples
    EXPECT_EQ(owned.SampleCount(), 4);
}

TEST(WaveformDriver, DecimationCountsAndScaling)
{
    TWaveformTarn w;
    std::vector<std::uint16_t> four = {1, 3, 5, 7};
    w.AttachSamples(four.data(), 4, 4096);
    EXPECT_EQ(w.DecimationCount(), 6u);
    std::vector<std::uint16_t> out(6, 0xFFFF);
    ASSERT_EQ(w.BuildDecimations(out.data(), out.size()), 6u);
    // Level 1 shifted to start at 0; level 2 averages 2 and 6 spread to 0..6.
    EXPECT_EQ(out, (std::vector<std::uint16_t>{0, 2, 4, 6, 0, 6}));
    std::vector<std::uint16_t> small(5);
    EXPECT_THROW(w.BuildDecimations(small.data(), small.size()), EDataError);
    w.DetachSamples();

    auto sine = StandardSine();
    w.AttachSamples(sine.data(), 8192, 4096);
    EXPECT_EQ(w.DecimationCount(), 16382u);
    std::vector<std::uint16_t> dest(16384, 0xABCD);
    ASSERT_EQ(w.BuildDecimations(dest.data()), 16382u);
    EXPECT_EQ(dest[16382], 0xABCD);
    EXPECT_EQ(dest[16383], 0xABCD);
    // Every level spans exactly 0 .. Max - Min.
    std::size_t start = 0;
    for (std::size_t len = 8192; len >= 2; len /= 2) {
        const auto [lo, hi] = std::minmax_element(dest.begin() + static_cast<std::ptrdiff_t>(start),
                                                  dest.begin() + static_cast<std::ptrdiff_t>(start + len));
        EXPECT_EQ(*lo, 0) << len;
        EXPECT_EQ(*hi, 4094) << len;
        start += len;
    }
    EXPECT_EQ(dest[0], sine[0] - 1);
    EXPECT_EQ(dest[2048], 4094);
    w.DetachSamples();

    std::vector<std::uint16_t> flat(8, 100);
    w.AttachSamples(flat.data(), 8, 4096);
    std::vector<std::uint16_t> level(w.DecimationCount());
    w.BuildDecimations(level.data());
    for (auto code : level)
        EXPECT_EQ(code, 100); // equal averages: no scaling
    w.DetachSamples();

    // Codes above the range: the smallest average is searched from the range
    // down, so equal averages are still shifted by it.
    std::vector<std::uint16_t> high(4, 5000);
    w.AttachSamples(high.data(), 4, 4096);
    EXPECT_EQ(w.MinSample(), 4096);
    std::vector<std::uint16_t> shifted(w.DecimationCount());
    w.BuildDecimations(shifted.data());
    EXPECT_EQ(shifted, (std::vector<std::uint16_t>(6, 904)));
    w.DetachSamples();
}
