// SPDX-License-Identifier: MIT
// The statistics read from a waveform always equal a fresh computation on
// its present samples, whatever wrote them and whenever they were read before.

#include "data/SettingsTarn.h"
#include "data/WaveformStatistics.h"
#include "data/WaveformTarn.h"
#include "data/tests/WaveTestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <utility>

namespace {

// Computed from scratch on the samples as they are now.
TWaveformStatistics Eager(const TWaveformTarn& w, TWaveformStatistics history)
{
    const TWaveformTarn& c = w;
    TWaveformData view{const_cast<std::uint16_t*>(c.Samples()), c.SampleCount(), c.SampleRange()};
    ComputeSampleStatistics(view, history);
    history.HighestHarmonic = ComputeHighestHarmonic(view);
    return history;
}

// Reads the four values in an order of the caller's choice, so that values
// are cached at different moments.
void ExpectEager(const TWaveformTarn& w, const TWaveformStatistics& expected, unsigned order, const char* where)
{
    SCOPED_TRACE(where);
    if (order % 2 == 0) {
        EXPECT_EQ(w.HighestHarmonic(), expected.HighestHarmonic);
    }
    EXPECT_EQ(w.MaxSample(), expected.MaxSample);
    EXPECT_EQ(w.MinSample(), expected.MinSample);
    EXPECT_EQ(w.MeanSample(), expected.MeanSample);
    EXPECT_EQ(w.HighestHarmonic(), expected.HighestHarmonic);
}

std::vector<std::uint16_t> RandomCodes(std::mt19937& random, std::int32_t count)
{
    std::uniform_int_distribution<int> code(0, 4095);
    std::uniform_int_distribution<int> harmonic(1, 300);
    std::vector<std::uint16_t> codes(static_cast<std::size_t>(count));
    // Mostly a few harmonics, sometimes pure noise: both ends of the harmonic search.
    const bool noise = random() % 4 == 0;
    const int h = harmonic(random);
    for (std::int32_t i = 0; i < count; ++i)
        codes[static_cast<std::size_t>(i)] =
            noise ? static_cast<std::uint16_t>(code(random))
                  : static_cast<std::uint16_t>(2048 + 1500 * std::sin(2 * std::numbers::pi * h * i / count));
    return codes;
}

} // namespace

TEST(WaveformStatisticsLazy, StandardWaveformsEqualEagerValues)
{
    for (auto kind :
         {TStandardWaveform::Sine, TStandardWaveform::Saw, TStandardWaveform::Triangle, TStandardWaveform::Square}) {
        auto w = MakeStandardWaveform(kind);
        ExpectEager(*w, Eager(*w, {}), static_cast<unsigned>(kind), "standard");
    }
    // The known values of the square wave, from the eager computation of old.
    auto square = MakeStandardWaveform(TStandardWaveform::Square);
    EXPECT_EQ(square->MinSample(), 1);
    EXPECT_EQ(square->MeanSample(), 2048.0);
    EXPECT_EQ(square->HighestHarmonic(), 4095);
}

TEST(WaveformStatisticsLazy, RandomWaveformsThroughEveryProducer)
{
    std::mt19937 random(14);
    std::uniform_int_distribution<std::int32_t> size(1, 16384);
    for (unsigned round = 0; round < 120; ++round) {
        SCOPED_TRACE(round);
        TWaveformTarn w;
        // Handed out before any samples exist: the view stays valid for good.
        TWaveformData* view = round % 3 == 0 ? w.DataView() : nullptr;
        auto codes = RandomCodes(random, size(random));
        w.AssignData(TWaveformData{codes.data(), static_cast<std::int32_t>(codes.size()), 4096});
        ExpectEager(w, Eager(w, {}), round, "fresh");

        // A module edit through the raw view after the values were cached.
        if (view == nullptr)
            view = w.DataView();
        const auto at = static_cast<std::int32_t>(random() % static_cast<unsigned>(view->Count));
        view->Samples[at] = static_cast<std::uint16_t>(random() % 4096);
        view->Samples[view->Count - 1 - at] = 4095;
        const TWaveformStatistics edited = Eager(w, {});
        ExpectEager(w, edited, round + 1, "after a view edit");

        // Assign takes the values along, then source and copy go their own ways.
        TWaveformTarn copy;
        if (round % 2 == 0)
            copy.DataView(); // a copy whose own view is out
        copy.Assign(w);
        ExpectEager(copy, edited, round, "copy");
        view->Samples[at] = 0;
        ExpectEager(w, Eager(w, {}), round, "source edited after the copy");
        ExpectEager(copy, edited, round + 1, "copy after the source edit");

        // A pointer from the writable Samples, kept while values are cached.
        std::uint16_t* samples = copy.Samples();
        copy.MaxSample();
        samples[0] = 4095;
        const TWaveformStatistics written = Eager(copy, {});
        ExpectEager(copy, written, round, "after a write through Samples");

        // A new buffer under the old view, and a record read into the waveform.
        w.Allocate(size(random) / 8 + 1, 4096, false);
        view->Samples[0] = 1;
        ExpectEager(w, Eager(w, {}), round + 1, "reallocated");
        std::ostringstream record(std::ios::binary);
        copy.SaveToStream(record);
        std::istringstream in(record.str(), std::ios::binary);
        w.LoadFromStream(in);
        ExpectEager(w, written, round, "loaded");
    }
}

TEST(WaveformStatisticsLazy, AttachedBufferFollowsItsOwner)
{
    auto buffer = wavetest::StandardSine();
    TWaveformTarn w;
    w.AttachSamples(buffer.data(), 8192, 4096);
    EXPECT_EQ(w.MaxSample(), 4095);
    EXPECT_EQ(w.HighestHarmonic(), 4095);
    buffer.assign(buffer.size(), 3000);
    EXPECT_EQ(w.MaxSample(), 3000);
    EXPECT_EQ(w.HighestHarmonic(), 1);
    w.DetachSamples();
}

// Without samples or range nothing is computed: the values stay those of the
// samples the waveform last held, read or not, as the eager computation left them.
TEST(WaveformStatisticsLazy, EmptyOrRangelessKeepsTheLastSamplesValues)
{
    auto held = wavetest::MakeWaveform("held", {10, 20, 90});
    const TWaveformStatistics last = Eager(*held, {});
    struct Case {
        const char* name;
        void (*empty)(TWaveformTarn&);
    } cases[] = {
        {"Clear", [](TWaveformTarn& w) { w.Clear(); }},
        {"Allocate 0", [](TWaveformTarn& w) { w.Allocate(0, 4096, false); }},
        {"Assign empty", [](TWaveformTarn& w) { w.Assign(TWaveformTarn()); }},
        {"range 0",
         [](TWaveformTarn& w) {
             std::uint16_t codes[] = {4000, 4000, 4000};
             w.AssignData(TWaveformData{codes, 3, 0});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto w = wavetest::MakeWaveform("w", {10, 20, 90});
        c.empty(*w);
        EXPECT_EQ(w->MaxSample(), last.MaxSample);
        EXPECT_EQ(w->MinSample(), last.MinSample);
        EXPECT_EQ(w->MeanSample(), last.MeanSample);
        EXPECT_EQ(w->HighestHarmonic(), 1);
    }
    TWaveformTarn never;
    EXPECT_EQ(never.MaxSample(), 0);
    EXPECT_EQ(never.MeanSample(), 0.0);
    EXPECT_EQ(never.HighestHarmonic(), 1);
}
