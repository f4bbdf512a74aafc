// SPDX-License-Identifier: MIT
// Sweeps in the running program: what reaches the virtual generator's wire
// for each step, what stops a sweep, and a sweep run from a script.
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "data/XMLSettings.h"
#include "panels/FrequencyBarTarn.h"
#include "shell/Main.h"
#include "shell/StatusBarTarn.h"
#include "shell/SweepScreen.h"
#include "shell/CommBrokenScreen.h"
#include "sweep/SweepRunnerTarn.h"
#include "tests/program/DeviceExpectations.h"
#include "tests/program/ProgramHarness.h"
#include "tests/program/ScpiClient.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include <charconv>
#include <cmath>

namespace tarn::test {
namespace {

using namespace std::chrono_literals;

constexpr std::uint8_t kWrite = 0x26;
constexpr int kDividerRegister = 9, kClockWord0 = 3, kClockWord1 = 4, kPlaybackStart = 7;

double Number(const std::string& answer)
{
    double value = std::nan("");
    std::from_chars(answer.data(), answer.data() + answer.size(), value);
    return value;
}

// The numbers of an answer to several queries.
std::vector<double> Numbers(const std::string& answer)
{
    std::vector<double> values;
    for (std::size_t at = 0; at <= answer.size(); at = answer.find(';', at) + 1) {
        values.push_back(Number(answer.substr(at)));
        if (answer.find(';', at) == std::string::npos)
            break;
    }
    return values;
}

// Linear, 20 ms a point; count 0 runs until stopped.
TSweepSetup Linear(double start, double stop, std::int32_t points, std::int32_t count)
{
    TSweepSetup s;
    s.Start = start;
    s.Stop = stop;
    s.Points = points;
    s.Dwell = 0.02;
    s.Count = count;
    return s;
}

class Sweep : public ::testing::Test {
protected:
    // An arbitrary waveform of 1000 samples, "Con" mode.
    void SetUp() override { ASSERT_TRUE(run.started); }
    TSweepRunnerTarn& Runner() const { return run.Form().SweepRunnerTarn1(); }
    TSettingsTarn& Settings() const { return run.Form().SettingsTarn1(); }
    void Run(std::vector<TStepper::Step> steps) { RunSteps(*run.program, std::move(steps)); }
    void StartSweep(const TSweepSetup& setup)
    {
        Runner().SetSetup(setup);
        std::string error;
        ASSERT_TRUE(Runner().Start(error)) << error;
    }
    // The sampling rate of each full frequency switch on the wire, in order:
    // the divider, then the clock words, closed by the playback start.
    std::vector<double> Switches() const
    {
        std::vector<double> rates;
        int regs[16] = {};
        bool inSwitch = false;
        for (const auto& p : run.vg->CommandPackets()) {
            if (p[0] != kWrite || p[1] >= 16)
                continue;
            regs[p[1]] = p[2] << 8 | p[3];
            inSwitch = inSwitch || p[1] == kDividerRegister;
            if (p[1] == kPlaybackStart && inSwitch) {
                const int code = regs[kDividerRegister] & 127;
                const int word = regs[(regs[kDividerRegister] & 128) != 0 ? kClockWord1 : kClockWord0];
                rates.push_back((50e6 * (word - 32767) / 32768.0 + 50e6) / std::ldexp(1.0, (code & 7) + (code >> 3)));
                inSwitch = false;
            }
        }
        return rates;
    }

    TStartedProgram run;
};

TEST_F(Sweep, EveryStepIsOneFrequencySwitchInOrderAndTheSweepEndsOnItsLastValue)
{
    TSweepSetup setup = Linear(1000, 7000, 4, 2);
    setup.Direction = TSweepDirection::UpDown;
    run.vg->ClearRequests();
    StartSweep(setup);
    ASSERT_TRUE(Runner().Plan());
    const TSweepPlan plan = *Runner().Plan();
    std::vector<double> expected;
    for (std::size_t i = 0; i < plan.TotalSteps(); ++i) {
        const std::size_t n = plan.Points.size();
        expected.push_back(plan.Points[i < n ? i : plan.RepeatFrom + (i - n) % (n - plan.RepeatFrom)].Value);
    }
    ASSERT_EQ(expected.size(), 13u);
    // While it runs the files would keep where it began.
    EXPECT_EQ(Settings().SweepHold.Frequency, expected.front());
    Run({[&] { return !Runner().Running(); }});
    EXPECT_EQ(Runner().LastStop(), TSweepStopReason::Finished);
    const std::vector<double> rates = Switches();
    ASSERT_EQ(rates.size(), expected.size());
    for (std::size_t i = 0; i < rates.size(); ++i)
        EXPECT_NEAR(rates[i], expected[i], expected[i] * 1e-12) << "step " << i;
    // The plan's values are the device's own: the driver reports them back exactly.
    EXPECT_EQ(Settings().Device.DeviceFrequency, expected.back());
    EXPECT_EQ(Settings().Device.Frequency, expected.back());
    EXPECT_TRUE(Settings().SweepHold.Empty());
    const TSweepProgress done = Runner().Progress();
    EXPECT_EQ(done.Pass, 2);
    EXPECT_EQ(done.Step, plan.Points.size());
}

TEST_F(Sweep, StepModeHoldsTheValueACommunicationBreakPutsTheStartBack)
{
    run.Form().SetCommBrokenRetryInterval(50);
    const TSweepSetup setup = Linear(2000, 9000, 8, 0);
    TFrequencyBarTarn& bar = run.Form().FrequencyBarTarn1();
    const TStatusBarTarn& status = run.Form().StatusBarTarn1();
    double held = 0;
    Run({Do([&] { StartSweep(setup); }), [&] { return Runner().Progress().Step >= 3; }, Do([&] {
             QTest::mouseClick(bar.StepModeBtn, Qt::LeftButton);
             EXPECT_FALSE(Runner().Running());
             EXPECT_EQ(Runner().LastStop(), TSweepStopReason::StepMode);
             EXPECT_EQ(status.Sweep().toStdString(), Strings::SweepStoppedStep);
             held = Settings().Device.Frequency;
             EXPECT_GT(held, 2000.0);
             std::string error;
             EXPECT_FALSE(Runner().Start(error));
             EXPECT_EQ(error, Strings::SweepNeedsConMode);
         }),
         TStepper::Wait(100ms), Do([&] {
             EXPECT_EQ(Settings().Device.Frequency, held);
             QTest::mouseClick(bar.ConModeBtn, Qt::LeftButton);
             StartSweep(setup);
             EXPECT_TRUE(status.Sweep().isEmpty());
         }),
         [&] { return Runner().Progress().Step >= 3; }, Do([&] { run.vg->SetPlugged(false); }),
         [&] { return run.Form().CommBrokenForm() != nullptr; }, Do([&] {
             EXPECT_FALSE(Runner().Running());
             EXPECT_EQ(Runner().LastStop(), TSweepStopReason::CommBroken);
             EXPECT_EQ(Settings().Device.Frequency, Runner().Plan()->Points[0].Value);
             EXPECT_EQ(status.Sweep().toStdString(), Strings::SweepStoppedCommBroken);
         }),
         TStepper::Wait(100ms), Do([&] {
             EXPECT_EQ(Settings().Device.Frequency, Runner().Plan()->Points[0].Value) << "no step goes in while the window is up";
             run.vg->SetPlugged(true);
         }),
         [&] { return run.Form().CommBrokenForm() == nullptr; },
         Do([&] { EXPECT_EQ(GeneratorFrequency(*run.vg, false), Runner().Plan()->Points[0].Value); })});
}

TEST_F(Sweep, AtExitARunningSweepGoesBackToItsStartBeforeTheSave)
{
    const TSweepSetup setup = Linear(3000, 8000, 6, 0);
    Run({Do([&] { StartSweep(setup); }), [&] { return Runner().Progress().Step >= 3; }});
    const double start = Runner().Plan()->Points[0].Value;
    ASSERT_NE(Settings().Device.Frequency, start);
    run.program->Finish();
    TXMLSettings saved;
    ASSERT_TRUE(saved.LoadFromFile(run.program->DataFolder() / SettingsFileName));
    EXPECT_EQ(saved.ReadFloat("/device/frequency", 0), start);
    EXPECT_EQ(GeneratorFrequency(*run.vg, false), start) << "the generator is left at the start too";
}

TEST_F(Sweep, ScriptedSweepsMoveUpwardAndStopWhereTheyAre)
{
    TScpiClient scpi{EnableRemote(run, FreePort())};
    std::vector<double> seen;
    const auto poll = [&](int times) {
        std::vector<TStepper::Step> steps;
        for (int i = 0; i < times; ++i) {
            steps.push_back(scpi.Query("FREQ:DEV?", [&](const std::string& a) { seen.push_back(Number(a)); }));
            steps.push_back(TStepper::Wait(120ms));
        }
        return steps;
    };
    const auto upward = [&](double below, double above) {
        ASSERT_GE(seen.size(), 4u);
        for (std::size_t i = 1; i < seen.size(); ++i)
            EXPECT_GE(seen[i], seen[i - 1]) << "poll " << i;
        EXPECT_LT(seen.front(), below);
        EXPECT_GT(seen.back(), above);
        for (const double f : seen)
            EXPECT_TRUE(f >= 999.9 && f <= 10000.1) << f;
    };
    std::vector<TStepper::Step> steps{
        scpi.Write("FREQ:STAR 1KHZ;STOP 10KHZ;:SWE:TIME 2;SPAC LIN;POIN 41;COUN 1;:FREQ:MODE SWE;:SWE:STAT ON"),
        scpi.Query("SWE:STAT?;:FREQ:MODE?;:STAT:OPER:COND?", [](const std::string& a) {
            EXPECT_EQ(a.substr(0, 6), "1;SWE;");
            EXPECT_EQ(static_cast<int>(Number(a.substr(6))) & 8, 8) << "sweeping";
        })};
    for (auto& s : poll(19))
        steps.push_back(std::move(s));
    steps.push_back([&] { return !Runner().Running(); });
    steps.push_back(scpi.Query("FREQ:DEV?;:SWE:STAT?;:STAT:OPER:COND?;:STAT:OPER?", [&](const std::string& a) {
        const std::vector<double> v = Numbers(a);
        ASSERT_EQ(v.size(), 4u) << a;
        EXPECT_NEAR(v[0], 10000, 0.1);
        EXPECT_EQ(v[1], 0);
        EXPECT_EQ(static_cast<int>(v[2]) & 8, 0) << "no longer sweeping";
        EXPECT_EQ(static_cast<int>(v[3]) & 8, 8) << "it was";
        upward(2500, 8000);
        seen.clear();
    }));
    steps.push_back(scpi.Write("SWE:SPAC LOG;:SWE:STAT ON"));
    for (auto& s : poll(8))
        steps.push_back(std::move(s));
    steps.push_back(scpi.Query("SWE:STAT OFF;:SWE:STAT?;:FREQ:DEV?", [&](const std::string& a) {
        EXPECT_EQ(a.substr(0, 2), "0;");
        seen.push_back(Number(a.substr(2)));
        upward(2000, 2500);
    }));
    steps.push_back(TStepper::Wait(300ms));
    steps.push_back(scpi.Query("FREQ:DEV?;:SYST:ERR?", [&](const std::string& a) {
        EXPECT_EQ(Number(a), seen.back()) << "SWE:STAT OFF holds";
        EXPECT_NE(a.find(";0,"), std::string::npos) << a;
    }));
    Run(std::move(steps));
}

} // namespace
TEST_F(Sweep, TheWindowShowsWhatAScriptSetsAndStartsAndTheScriptSeesTheWindowStopIt)
{
    run.Form().Sweep1()->trigger();
    QApplication::processEvents();
    TSweepForm* form = run.Form().SweepForm();
    ASSERT_NE(form, nullptr);
    TScpiClient scpi{EnableRemote(run, FreePort())};
    Run({scpi.Write("FREQ:STAR 2KHZ;STOP 8KHZ;:SWE:SPAC LIN;POIN 7;TIME 2;COUN 1;:FREQ:MODE SWE"),
         [&] {
             return form->StartEdit->text() == QStringLiteral("2k") && form->StopEdit->text() == QStringLiteral("8k")
                 && form->PointsBox->value() == 7;
         },
         scpi.Write("SWE:STAT ON"),
         [&] { return !form->StartBtn->isEnabled() && form->StepLabel->text().contains(QStringLiteral(" of 7")); },
         [&] {
             form->StopBtn->click();
             return true;
         },
         scpi.Query("SWE:STAT?;:STAT:OPER:COND?", [&](const std::string& a) {
             const std::vector<double> v = Numbers(a);
             ASSERT_EQ(v.size(), 2u) << a;
             EXPECT_EQ(v[0], 0) << "the window's Stop ends the script's sweep";
             EXPECT_EQ(static_cast<int>(v[1]) & 8, 0);
             EXPECT_TRUE(form->StartBtn->isEnabled());
         })});
}

} // namespace tarn::test
