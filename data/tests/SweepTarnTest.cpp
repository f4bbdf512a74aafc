// SPDX-License-Identifier: MIT
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "data/SweepTarn.h"
#include "data/tests/SettingsTestSupport.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

TSweepLimits Plain(double lo, double hi)
{
    return {{lo, hi, {}}, TSweepRange{0.01, 10.0, {}}};
}

TSweepSetup Lin(double start, double stop, std::int32_t points)
{
    TSweepSetup s;
    s.Start = start;
    s.Stop = stop;
    s.Points = points;
    return s;
}

template <class F> TSweepSetup With(TSweepSetup s, F change)
{
    change(s);
    return s;
}

std::vector<double> Values(const TSweepPlan& plan)
{
    std::vector<double> v;
    for (const TSweepPoint& p : plan.Points)
        v.push_back(p.Value);
    return v;
}

TEST(SweepPlan, PointsForEverySpacingAndDirection)
{
    const auto log = [](TSweepSetup& s) { s.Spacing = TSweepSpacing::Logarithmic; };
    struct Case {
        const char* name;
        TSweepSetup setup;
        TSweepLimits limits;
        std::vector<double> values;
        std::size_t repeatFrom;
        double dwell;
    } cases[] = {
        {"lin up", Lin(1000, 2000, 3), Plain(1, 1e6), {1000, 1500, 2000}, 0, 0.1},
        {"lin down", With(Lin(1000, 2000, 3), [](auto& s) { s.Direction = TSweepDirection::Down; }), Plain(1, 1e6),
         {2000, 1500, 1000}, 0, 0.1},
        {"lin up-down ends at its start",
         With(Lin(1000, 2000, 3), [](auto& s) { s.Direction = TSweepDirection::UpDown; }), Plain(1, 1e6),
         {1000, 1500, 2000, 1500, 1000}, 1, 0.1},
        {"start above stop runs downward", Lin(2000, 1000, 3), Plain(1, 1e6), {2000, 1500, 1000}, 0, 0.1},
        {"log up", With(Lin(10, 1000, 3), log), Plain(1, 1e6), {10, 100, 1000}, 0, 0.1},
        {"log up-down", With(Lin(10, 1000, 3), [&](auto& s) { log(s), s.Direction = TSweepDirection::UpDown; }),
         Plain(1, 1e6), {10, 100, 1000, 100, 10}, 1, 0.1},
        {"lin step, stop always last", With(Lin(0, 1000, 0), [](auto& s) { s.Step = 300; }), Plain(0, 1e6),
         {0, 300, 600, 900, 1000}, 0, 0.1},
        {"log ratio step", With(Lin(1, 500, 0), [&](auto& s) { log(s), s.Step = 10; }), Plain(1, 1e6),
         {1, 10, 100, 500}, 0, 0.1},
        {"log ratio step down", With(Lin(1000, 1, 0), [&](auto& s) { log(s), s.Step = 10; }), Plain(1, 1e6),
         {1000, 100, 10, 1}, 0, 0.1},
        {"sweep time spread over a pass", With(Lin(1, 5, 5), [](auto& s) { s.Time = 2.0; }), Plain(0, 10),
         {1, 2, 3, 4, 5}, 0, 0.4},
        {"clamped to the limits", Lin(1, 1e9, 3), Plain(10, 1000), {10, 505, 1000}, 0, 0.1},
        {"rounded to the grid",
         Lin(0, 10, 5), {{0, 10, [](double v) { return std::round(v); }}, std::nullopt}, {0, 3, 5, 8, 10}, 0, 0.1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TSweepPlanResult r = MakeSweepPlan(c.setup, c.limits);
        ASSERT_TRUE(r.Plan) << r.Error;
        const std::vector<double> got = Values(*r.Plan);
        ASSERT_EQ(got.size(), c.values.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], c.values[i], 1e-9 * std::max(1.0, c.values[i])) << "point " << i;
        EXPECT_EQ(r.Plan->RepeatFrom, c.repeatFrom);
        for (const TSweepPoint& p : r.Plan->Points)
            EXPECT_DOUBLE_EQ(p.Dwell, c.dwell);
    }
}

TEST(SweepPlan, ListAndCounts)
{
    TSweepSetup s;
    s.ListMode = true;
    s.Count = 3;
    s.List = {{5e8, 20.0, 0.5}, {100, std::nullopt, 0.01}, {200, 0.005, 0.02}};
    const TSweepPlanResult r = MakeSweepPlan(s, Plain(1, 1e6));
    ASSERT_TRUE(r.Plan) << r.Error;
    ASSERT_EQ(r.Plan->Points.size(), 3u);
    // Frequency and level each clamped to their own range; a point without a level keeps none.
    EXPECT_EQ(r.Plan->Points[0].Value, 1e6);
    EXPECT_EQ(r.Plan->Points[0].Level, 10.0);
    EXPECT_FALSE(r.Plan->Points[1].Level);
    EXPECT_EQ(r.Plan->Points[2].Level, 0.01);
    EXPECT_DOUBLE_EQ(r.Plan->PassTime(), 0.53);
    EXPECT_EQ(r.Plan->TotalSteps(), 9u);

    // An up-down pass does not repeat its start: 5 + 2 x 4 steps for three passes; continuous has no end.
    auto updown = MakeSweepPlan(With(Lin(1, 3, 3), [](auto& x) { x.Direction = TSweepDirection::UpDown, x.Count = 3; }),
                                Plain(0, 10));
    ASSERT_TRUE(updown.Plan);
    EXPECT_EQ(updown.Plan->TotalSteps(), 13u);
    updown.Plan->Count = 0;
    EXPECT_EQ(updown.Plan->TotalSteps(), 0u);
}

TEST(SweepPlan, SetupsThatCannotBeSwept)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const auto log = [](TSweepSetup& s) { s.Spacing = TSweepSpacing::Logarithmic; };
    const auto list = [](std::vector<TSweepListPoint> points) {
        TSweepSetup s;
        s.ListMode = true;
        s.List = std::move(points);
        return s;
    };
    struct Case {
        TSweepSetup setup;
        TSweepLimits limits;
        const char* error;
    } cases[] = {
        {Lin(1000, 1000, 11), Plain(1, 1e6), Strings::SweepStartIsStop},
        {Lin(2e6, 3e6, 11), Plain(1, 1e6), Strings::SweepStartIsStopInLimits},
        {Lin(1000, 2000, 1), Plain(1, 1e6), Strings::SweepTooFewPoints},
        {Lin(1000, 2000, -5), Plain(1, 1e6), Strings::SweepTooFewPoints},
        {Lin(1000, 2000, 100001), Plain(1, 1e6), Strings::SweepTooManyPoints},
        {With(Lin(0, 1e6, 0), [](auto& s) { s.Step = 1e-3; }), Plain(0, 1e6), Strings::SweepTooManyPoints},
        {With(Lin(0, 1e6, 0), [](auto& s) { s.Step = 0; }), Plain(0, 1e6), Strings::SweepBadStep},
        {With(Lin(1, 1e6, 0), [&](auto& s) { log(s), s.Step = 1.0; }), Plain(0, 1e6), Strings::SweepBadStep},
        {With(Lin(1, 2, 2), [](auto& s) { s.Dwell = 0.009; }), Plain(0, 10), Strings::SweepDwellTooShort},
        {With(Lin(1, 2, 11), [](auto& s) { s.Time = 0.1; }), Plain(0, 10), Strings::SweepDwellTooShort},
        {With(Lin(1, 2, 2), [](auto& s) { s.Count = -1; }), Plain(0, 10), Strings::SweepBadCount},
        {Lin(nan, 2, 2), Plain(0, 10), Strings::SweepNotFinite},
        {Lin(1, inf, 2), Plain(0, 10), Strings::SweepNotFinite},
        {With(Lin(1, 2, 2), [&](auto& s) { s.Dwell = nan; }), Plain(0, 10), Strings::SweepNotFinite},
        {With(Lin(0, 100, 3), log), Plain(0, 1e6), Strings::SweepLogNeedsPositive},
        {Lin(1, 2, 2), Plain(5, 5), Strings::SweepEmptyLimits},
        {Lin(1, 2, 2), Plain(nan, 5), Strings::SweepEmptyLimits},
        {list({}), Plain(1, 1e6), Strings::SweepEmptyList},
        {list({{0.0, std::nullopt, 0.1}}), Plain(1, 1e6), Strings::SweepListBadFrequency},
        {list({{100.0, std::nullopt, 0.001}}), Plain(1, 1e6), Strings::SweepDwellTooShort},
        {list({{100.0, nan, 0.1}}), Plain(1, 1e6), Strings::SweepNotFinite},
        {list({{100.0, 1.0, 0.1}}), {{1, 1e6, {}}, std::nullopt}, Strings::SweepListNoLevel},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const TSweepPlanResult r = MakeSweepPlan(cases[i].setup, cases[i].limits);
        EXPECT_FALSE(r.Plan) << "case " << i;
        EXPECT_EQ(r.Error, cases[i].error) << "case " << i;
    }
}

TEST(SweepPlan, DeviceFrequencyGrid)
{
    struct Case {
        double wanted;
        bool standard;
        double made;
    } cases[] = {
        // The clock word's ends, and the divider's floor.
        {50e6, false, 50e6},
        {75e6, false, 75e6},
        {2e8, false, 1e8},
        {0, false, 50e6 / 4194304.0},
        // 1 kHz sine: 8192 samples per period, 8.192 MHz doubled three times to word 42949.
        {1000, true, (50e6 * 10182 / 32768 + 50e6) / 8 / 8192},
        {50e6, true, 50e6},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(DeviceFrequencyFor(c.wanted, c.standard), c.made) << c.wanted;
    // Everywhere else within half a clock word of what was asked, and a made value stays.
    for (double f = 0.01; f < 5e7; f *= 1.37) {
        for (const bool standard : {false, true}) {
            if (!standard && f < 16.384)
                continue;
            const double made = DeviceFrequencyFor(f, standard);
            EXPECT_NEAR(made / f, 1.0, 1.0 / 32768) << f;
            EXPECT_DOUBLE_EQ(DeviceFrequencyFor(made, standard), made) << f;
        }
    }
}

TEST(SweepPlan, FrequencyLimitsFollowTheWaveformAndSavesKeepTheStart)
{
    TTempFolder folder;
    TSettingsTarn settings;
    settings.SetDefaults();
    settings.Load(folder.Path());
    const TSweepRange range = FrequencyRangeOf(settings);
    EXPECT_DOUBLE_EQ(range.Lo, 16.384 / 8192);
    EXPECT_EQ(range.Hi, 50e6);
    const auto plan = MakeSweepPlan(Lin(1000, 10000, 10), {range, std::nullopt});
    ASSERT_TRUE(plan.Plan);
    for (const TSweepPoint& p : plan.Plan->Points)
        EXPECT_EQ(p.Value, DeviceFrequencyFor(p.Value, true));

    // A sweep in progress: the file keeps where it began, not where it is.
    settings.Device.Frequency = 5432.0;
    settings.Device.Level = {100};
    settings.SweepHold.Frequency = 1000.0;
    settings.SweepHold.Level = TIntArray{3000};
    ASSERT_TRUE(settings.Save(folder.Path()).Ok());
    TSettingsTarn loaded;
    loaded.SetDefaults();
    loaded.Load(folder.Path());
    EXPECT_EQ(loaded.Device.Frequency, 1000.0);
    EXPECT_EQ(loaded.Device.Level, TIntArray{3000});
}

} // namespace
