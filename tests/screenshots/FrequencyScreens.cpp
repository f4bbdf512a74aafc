// SPDX-License-Identifier: MIT
// The "ARM", "Trigger", "Mode" and "Frequency" groups of the main window in
// their main states, full window pictures at the running screen scale.
#include "data/SettingsTarn.h"
#include "panels/FrequencyBarTarn.h"
#include "panels/TriggerWrapperTarn.h"
#include "shell/Main.h"
#include "tests/screenshots/ScreenshotSupport.h"

#include <QGroupBox>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace tarn::test {
namespace {

class FrequencyScreens : public ::testing::Test {
protected:
    FrequencyScreens() : bar(window.Form().FrequencyBarTarn1()), trigger(window.Form().TriggerWrapperTarn1()) {}
    TDeviceSettings& Device() { return window.Form().SettingsTarn1().Device; }
    void Click(QToolButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    void ExpectNothingSqueezed()
    {
        for (const auto group :
             {TMainForm::GroupArm, TMainForm::GroupTrigger, TMainForm::GroupMode, TMainForm::GroupFrequency}) {
            QGroupBox* box = window.Form().Group(group);
            EXPECT_EQ(SqueezedControls(*box), std::vector<std::string>{}) << box->title().toStdString();
        }
    }

    TScreenWindow window;
    TFrequencyBarTarn& bar;
    TTriggerWrapperTarn& trigger;
};

TEST_F(FrequencyScreens, PeriodModeFullRange)
{
    EXPECT_TRUE(trigger.ModePeriodBtn->isChecked());
    ExpectNothingSqueezed();
    EXPECT_TRUE(std::filesystem::exists(window.Save("frequency_full_period")));
}

TEST_F(FrequencyScreens, SingleModeZoomedInStepMode)
{
    Click(trigger.ModeSingleBtn);
    Click(trigger.TrigOnBtn);
    Click(trigger.TrigTrailingBtn);
    Click(bar.StepModeBtn);
    for (int i = 0; i < 5; ++i)
        Click(bar.ZoomInBtn);
    bar.FineShiftBar->setValue(100);
    bar.FineShiftBar->setValue(80);
    ASSERT_NE(Device().Frequency, Device().DeviceFrequency);
    EXPECT_TRUE(trigger.TrigTrailingBtn->isChecked());
    ExpectNothingSqueezed();
    EXPECT_TRUE(std::filesystem::exists(window.Save("frequency_zoomed_single_step")));
}

TEST_F(FrequencyScreens, MarkerBeyondTheRightEndWithArming)
{
    Click(trigger.ArmOnBtn);
    Click(trigger.ArmZeroBtn);
    for (int i = 0; i < 3; ++i)
        Click(bar.ZoomInBtn);
    const int x = PixelOf(bar.Model().View, bar.width(), Device().Frequency);
    QTest::mousePress(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(x, 10));
    QMouseEvent move(QEvent::MouseMove, QPointF(bar.width() + 40, 10), bar.mapToGlobal(QPointF(bar.width() + 40, 10)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&bar, &move);
    QTest::mouseRelease(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(bar.width() + 40, 10));
    EXPECT_EQ(bar.Model().MarkerHit.Left, bar.width() - 14);
    ExpectNothingSqueezed();
    EXPECT_TRUE(std::filesystem::exists(window.Save("frequency_beyond_right_arm")));
}

} // namespace
} // namespace tarn::test
