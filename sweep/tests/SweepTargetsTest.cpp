// SPDX-License-Identifier: MIT
// A level sweep's values: what the panel shows for each one, and the
// broadcasts each step makes.
#include "data/SettingsTarn.h"
#include "panels/ChannelMathTarn.h"
#include "sweep/SweepTargetsTarn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace tarn {
namespace {

struct THeard {
    std::vector<std::pair<TObjMasterCode, std::int32_t>> codes;
    void On(TObjMasterCode code, std::int32_t index, void*) { codes.emplace_back(code, index); }
    int Count(TObjMasterCode code) const
    {
        return static_cast<int>(std::count_if(codes.begin(), codes.end(), [code](const auto& c) { return c.first == code; }));
    }
};

TEST(SweepTargets, ALevelSweepShowsEachValueAndMovesTheRelayOnlyWhereItMust)
{
    TSettingsTarn s;
    s.SetDefaults();
    s.ResetDeviceValues();
    s.RecoverWaveforms();
    // Declared first: the master tells its listeners when it goes.
    THeard heard;
    TObjMasterTarn master;
    master.RegisterListener(TObjMasterNotifyEvent::Bind<&THeard::On>(&heard));

    const auto l = LevelRangeOf(s, 0);
    const auto h = LevelRangeOf(s, 1);
    ASSERT_TRUE(l && h);
    // "Output H" has 5.5556 times the gain and no attenuator, so its lowest
    // level is fifty-odd times "Output L"'s, which has the relay in.
    EXPECT_NEAR(h->Hi / l->Hi, 5.5556, 1e-9);
    EXPECT_NEAR(h->Lo / l->Lo, 55.556, 1e-6);
    EXPECT_FALSE(LevelRangeOf(s, 2));

    for (const TSweepTarget target : {TSweepTarget::LevelL, TSweepTarget::LevelH}) {
        const std::int32_t output = SweepOutput(target);
        TSweepSetup setup;
        setup.Target = target;
        setup.Start = 1e3; // clamped to full scale
        setup.Stop = 0.001;
        setup.Spacing = TSweepSpacing::Logarithmic;
        setup.Points = 40;
        const TSweepPlanResult plan = MakeSweepPlan(setup, SweepLimitsOf(s, target));
        ASSERT_TRUE(plan.Plan) << plan.Error;
        heard.codes.clear();
        std::int32_t lastLevel = s.LevelSteps;
        for (const TSweepPoint& p : plan.Plan->Points) {
            ApplySweepPoint(s, master, target, p);
            const double shown =
                ComputeReadings(*ChannelSetup(s, output), StatsOf(ChannelWaveform(s, output)), TPeakSide::Plus).Vpp;
            EXPECT_NEAR(shown, p.Value, p.Value * 1e-12) << "the plan's value is what the panel shows";
            if (s.Device.OutputAtn[0] == 0) {
                EXPECT_LE(s.Device.Level[0], lastLevel) << "downward without the relay";
            }
            lastLevel = s.Device.Level[0];
        }
        EXPECT_EQ(heard.Count(TObjMasterCode::omLevelChanged), static_cast<int>(plan.Plan->Points.size()));
        // Only "Output L" goes below a tenth of its full scale with the relay: in once.
        EXPECT_EQ(heard.Count(TObjMasterCode::omAttenuatorChanged), target == TSweepTarget::LevelL ? 1 : 0);
        EXPECT_EQ(s.Device.OutputAtn[0], target == TSweepTarget::LevelL ? 1 : 0);
        s.Device.OutputAtn[0] = 0;
    }
}

} // namespace
} // namespace tarn
