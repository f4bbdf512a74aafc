// SPDX-License-Identifier: MIT
// The frequency bar and the trigger panel of the running program, down to the
// virtual generator's registers.
#include "data/CommonFunctionsTarn.h"
#include "data/SettingsTarn.h"
#include "panels/ChannelWrapperTarn.h"
#include "panels/FrequencyBarTarn.h"
#include "panels/HLEditTarn.h"
#include "panels/TriggerWrapperTarn.h"
#include "shell/Main.h"
#include "shell/StatusBarTarn.h"
#include "tests/program/DeviceExpectations.h"
#include "tests/program/ProgramHarness.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QToolButton>

namespace tarn::test {
namespace {

class FrequencyAndTrigger : public ::testing::Test {
protected:
    // An arbitrary waveform of 1000 samples at 1 MHz, "Con" mode, period mode.
    void SetUp() override
    {
        ASSERT_TRUE(run.started);
        bar = &run.Form().FrequencyBarTarn1();
    }
    void Type(const QString& text)
    {
        bar->FrequencyEdit->selectAll();
        QTest::keyClicks(bar->FrequencyEdit, text);
        QTest::keyClick(bar->FrequencyEdit, Qt::Key_Return);
    }
    double Produced() const { return GeneratorFrequency(*run.vg, false); }
    double DeviceFrequency() const { return run.Form().SettingsTarn1().Device.DeviceFrequency; }

    TStartedProgram run;
    TFrequencyBarTarn* bar = nullptr;
};

TEST_F(FrequencyAndTrigger, ATypedFrequencyInConModeReachesTheClockAtOnce)
{
    EXPECT_NEAR(Produced(), 1e6, 1e6 * 1e-4);
    Type(QStringLiteral("2.5M"));
    EXPECT_NEAR(Produced(), 2.5e6, 2.5e6 * 1e-4);
    EXPECT_NEAR(DeviceFrequency(), Produced(), Produced() * 1e-9);
    EXPECT_EQ(bar->DevFrequencyEdit->Text().toStdString(), FormatFrequency(Produced()));
    EXPECT_EQ(bar->FrequencyEdit->Text(), QStringLiteral("2.5M"));
}

// The status bar: a typed frequency or level the program changed, and the
// waveform frequency a sampling rate gives (1000 samples here).
TEST_F(FrequencyAndTrigger, TheStatusBarSaysWhatTheProgramSetInstead)
{
    const TStatusBarTarn& status = run.Form().StatusBarTarn1();
    const TSettingsTarn& settings = run.Form().SettingsTarn1();
    EXPECT_EQ(status.Generator(), "virtual generator");
    EXPECT_EQ(status.Rate(), "1 MSa/s = 1 kHz waveform");
    EXPECT_EQ(status.Adjustment(), "");
    struct Case {
        const char* typed;
        const char* rate;
    };
    for (const Case& c : {Case{"1k", "1 kSa/s = 1 Hz waveform"}, Case{"50k", "50 kSa/s = 50 Hz waveform"}}) {
        Type(QString::fromUtf8(c.typed));
        EXPECT_EQ(status.Rate().toStdString(), c.rate);
        EXPECT_EQ(status.Adjustment(), "") << "nothing was changed";
    }
    Type(QStringLiteral("900M"));
    ASSERT_LT(settings.Device.Frequency, 900e6);
    EXPECT_EQ(status.Adjustment().toStdString(),
              "900M is above the limit: " + FormatFrequency(settings.Device.Frequency) + " set");
    Type(QStringLiteral("0.000001"));
    EXPECT_EQ(status.Adjustment().toStdString(),
              "1u is below the limit: " + FormatFrequency(settings.Device.Frequency) + " set");

    THLEditTarn* vpp = run.Form().ChannelWrapperTarn1().Controls().VppEdit;
    vpp->selectAll();
    QTest::keyClicks(vpp, QStringLiteral("100"));
    QTest::keyClick(vpp, Qt::Key_Return);
    QString set = vpp->text();
    ASSERT_TRUE(set.endsWith(QLatin1Char('V')));
    set.chop(1);
    ASSERT_LT(set.toDouble(), 100.0);
    EXPECT_EQ(status.Adjustment(), QStringLiteral("100 Vpp exceeds Output L: ") + set + QStringLiteral(" V set"));
    // A status bar under the groups: the client area and its groups stay in place.
    EXPECT_EQ(run.Form().centralWidget()->geometry().topLeft().y() + TMainForm::kClientHeight, status.geometry().top());
}

TEST_F(FrequencyAndTrigger, InStepModeTheClockChangesOnlyOnSet)
{
    QTest::mouseClick(bar->StepModeBtn, Qt::LeftButton);
    const QString shown = bar->DevFrequencyEdit->Text();
    EXPECT_EQ(shown.toStdString(), FormatFrequency(Produced()));
    Type(QStringLiteral("3M"));
    EXPECT_EQ(bar->FrequencyEdit->Text(), QStringLiteral("3M"));
    EXPECT_NEAR(Produced(), 1e6, 1e6 * 1e-4);
    EXPECT_EQ(bar->DevFrequencyEdit->Text(), shown);
    QTest::mouseClick(bar->SetBtn, Qt::LeftButton);
    EXPECT_NEAR(Produced(), 3e6, 3e6 * 1e-4);
    EXPECT_NEAR(DeviceFrequency(), Produced(), Produced() * 1e-9);
    EXPECT_EQ(bar->DevFrequencyEdit->Text().toStdString(), FormatFrequency(Produced()));
}

TEST_F(FrequencyAndTrigger, GoInSingleModeSendsOneTriggerPulse)
{
    TTriggerWrapperTarn& trigger = run.Form().TriggerWrapperTarn1();
    QTest::mouseClick(trigger.ModeSingleBtn, Qt::LeftButton);
    // The settings had external triggering on, which disables "Go".
    EXPECT_FALSE(trigger.TrigGoBtn->isEnabled());
    QTest::mouseClick(trigger.TrigOffBtn, Qt::LeftButton);
    ASSERT_TRUE(trigger.TrigGoBtn->isEnabled());
    constexpr int kControlRegister = 10, kPulseBit = 8;
    const auto pulses = [&] {
        int n = 0;
        for (const auto& p : run.vg->CommandPackets())
            n += p[0] == 0x26 && p[1] == kControlRegister && (p[3] & kPulseBit) != 0;
        return n;
    };
    run.vg->ClearRequests();
    QTest::mouseClick(trigger.TrigGoBtn, Qt::LeftButton);
    EXPECT_EQ(pulses(), 1);
    EXPECT_EQ(run.vg->Register(kControlRegister) & kPulseBit, 0) << "the pulse bit falls again";
    EXPECT_FALSE(trigger.TrigGoBtn->isChecked());
    // In period mode the same button switches generation and pulses nothing.
    QTest::mouseClick(trigger.ModePeriodBtn, Qt::LeftButton);
    run.vg->ClearRequests();
    QTest::mouseClick(trigger.TrigGoBtn, Qt::LeftButton);
    EXPECT_EQ(pulses(), 0);
    EXPECT_TRUE(trigger.TrigGoBtn->isChecked());
}

} // namespace
} // namespace tarn::test
