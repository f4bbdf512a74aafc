// SPDX-License-Identifier: MIT
#include "HarmonicsMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using tarnplugin::THarmonics;

TEST(HarmonicsMath, SumsHarmonicsAndScalesDownOnlyPastFullScale)
{
    THarmonics h;
    h.Amplitude[0] = 0.5;
    // Half scale, not stretched: 2048 + 0.5 * 2047 at the quarter period.
    EXPECT_EQ(h.Sample(4, 4096), (std::vector<unsigned short>{2048, 3072, 2048, 1024}));
    h.Amplitude[0] = 1.0;
    h.Amplitude[2] = 1.0;
    h.Phase[2] = 90.0;
    const std::vector<unsigned short> samples = h.Sample(1000, 4096);
    double peak = 0;
    for (int i = 0; i < 1000; ++i) {
        const double t = i / 1000.0;
        peak = std::max(peak, std::fabs(std::sin(2 * std::numbers::pi * t) + std::cos(6 * std::numbers::pi * t)));
    }
    for (int i = 0; i < 1000; i += 37) {
        const double t = i / 1000.0;
        const double v = (std::sin(2 * std::numbers::pi * t) + std::cos(6 * std::numbers::pi * t)) / peak;
        EXPECT_NEAR(samples[i], 2048 + 2047 * v, 0.5) << i;
    }
    EXPECT_EQ(*std::max_element(samples.begin(), samples.end()), 4095);
    EXPECT_EQ(THarmonics{}.Sample(3, 4096), (std::vector<unsigned short>{2048, 2048, 2048}));
}

TEST(HarmonicsMath, BlockRoundTripsAndRejectsDamagedText)
{
    THarmonics h;
    h.Amplitude[31] = 0.125;
    h.Phase[4] = -45.5;
    const auto back = THarmonics::Load(h.Save());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->Amplitude, h.Amplitude);
    EXPECT_EQ(back->Phase, h.Phase);
    const std::string good = h.Save();
    for (const std::string& bad : {std::string(), good.substr(0, good.rfind(' ')), good + " 1", good + "x",
                                   "nan" + good.substr(good.find(' '))}) {
        EXPECT_FALSE(THarmonics::Load(bad).has_value()) << bad;
    }
}

} // namespace
