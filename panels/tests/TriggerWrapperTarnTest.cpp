// SPDX-License-Identifier: MIT
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "panels/PanelControlsTarn.h"
#include "panels/TriggerWrapperTarn.h"
#include "shell/master/tests/TestApp.h"

#include <QAccessible>
#include <QGroupBox>
#include <QTest>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn {
namespace {

using Code = TObjMasterCode;

struct TRecorder {
    std::vector<Code> codes;
    void Handle(Code code, std::int32_t, void*) { codes.push_back(code); }
};

class TriggerWrapperTarnTest : public ::testing::Test {
protected:
    TriggerWrapperTarnTest()
    {
        settings.SetDefaults();
        panel.CreateControls(arm, trigger, mode);
        for (QGroupBox* box : {&arm, &trigger, &mode})
            box->show();
        panel.SetSettings(&settings);
        panel.SetObjMaster(&master);
        master.RegisterListener(TObjMasterNotifyEvent::Bind<&TRecorder::Handle>(&recorder));
        master.Notify(Code::omWireControls);
        master.Notify(Code::omSettingsApplied, 5);
        recorder.codes.clear();
    }
    void Apply(int t, int a, int l, int r, int o, int e)
    {
        TDeviceSettings& d = settings.Device;
        d.TriggerMode = t, d.ArmOnOff = a, d.ArmStopLevel = l, d.RunOnOff = r, d.TriggerOnOff = o, d.TriggerLeading = e;
        master.Notify(Code::omSettingsApplied, 5);
        recorder.codes.clear();
    }
    std::vector<QToolButton*> Buttons()
    {
        return {panel.ModeSingleBtn,  panel.ModePeriodBtn,   panel.TrigGoBtn,  panel.TrigStopBtn,
                panel.TrigLeadingBtn, panel.TrigTrailingBtn, panel.TrigOnBtn,  panel.TrigOffBtn,
                panel.ArmOnBtn,       panel.ArmOffBtn,       panel.ArmZeroBtn, panel.ArmOneBtn};
    }

    QApplication& app = test::TestApp();
    TRecorder recorder; // outlives the master, which calls it last
    TObjMasterTarn master;
    TSettingsTarn settings;
    QGroupBox arm, trigger, mode;
    TTriggerWrapperTarn panel;
};

// The refresh rules, written out per button: whether it is enabled, and
// whether it is shown down (-1: the refresh leaves it as it was).
struct TWant {
    bool enabled;
    int down;
};

TEST_F(TriggerWrapperTarnTest, EveryCombinationShowsTheRulesStates)
{
    for (int bits = 0; bits < 64; ++bits) {
        const bool T = bits & 1, A = bits & 2, L = bits & 4, R = bits & 8, O = bits & 16, E = bits & 32;
        Apply(T, A, L, R, O, E);
        const bool period = !T;
        const TWant want[] = {
            {true, T},                      // Single
            {true, !T},                     // Period
            {period || !O, period ? R : 0}, // Go: fires one trigger in single mode, so shown up
            {period, period ? !R : -1},     // Stop
            {T && O, E},                    // leading edge
            {T && O, !E},                   // trailing edge
            {bool(T), O},                   // trigger On
            {bool(T), !O},                  // trigger Off
            {period, A},                    // arm On
            {period, !A},                   // arm Off
            {period && A, !L},              // "0" suspends
            {period && A, L},               // "1" suspends
        };
        const std::vector<QToolButton*> buttons = Buttons();
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            SCOPED_TRACE("T A L R O E = " + std::to_string(T) + std::to_string(A) + std::to_string(L)
                         + std::to_string(R) + std::to_string(O) + std::to_string(E) + ", button " + std::to_string(i));
            EXPECT_EQ(buttons[i]->isEnabled(), want[i].enabled);
            if (want[i].down >= 0) {
                EXPECT_EQ(buttons[i]->isChecked(), want[i].down == 1);
            }
        }
    }
}

TEST_F(TriggerWrapperTarnTest, ButtonsCarryTagsTextsAndAccessibleNames)
{
    const int tags[] = {1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 0, 1};
    const char* captions[] = {"Single", "Period", "Go", "Stop", "", "", "On", "Off", "On", "Off", "0", "1"};
    const char* hints[] = {Strings::HintModeSingle, Strings::HintModePeriod,  Strings::HintTrigGo,
                           Strings::HintTrigStop,   Strings::HintTrigLeading, Strings::HintTrigTrailing,
                           Strings::HintTrigOn,     Strings::HintTrigOff,     Strings::HintArmOn,
                           Strings::HintArmOff,     Strings::HintArmZero,     Strings::HintArmOne};
    const std::vector<QToolButton*> buttons = Buttons();
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Tag(*buttons[i]), tags[i]);
        EXPECT_TRUE(buttons[i]->isCheckable());
        EXPECT_EQ(buttons[i]->text().toStdString(), captions[i]);
        EXPECT_EQ(buttons[i]->toolTip().toStdString(), hints[i]);
        EXPECT_EQ(buttons[i]->accessibleDescription().toStdString(), hints[i]);
        QAccessibleInterface* read = QAccessible::queryAccessibleInterface(buttons[i]);
        EXPECT_EQ(read->text(QAccessible::Name).toStdString(), *captions[i] != '\0' ? captions[i] : hints[i]);
        EXPECT_EQ(read->role(), QAccessible::RadioButton);
    }
    EXPECT_FALSE(panel.TrigLeadingBtn->icon().isNull());
    EXPECT_FALSE(panel.TrigTrailingBtn->icon().isNull());
    EXPECT_NE(panel.TrigLeadingBtn->icon().pixmap(16).toImage(), panel.TrigTrailingBtn->icon().pixmap(16).toImage());
}

struct TClickCase {
    const char* name;
    int t, a, l, r, o, e;                                  // before
    QPointer<QToolButton> TTriggerWrapperTarn::*button;    // clicked
    std::int32_t TDeviceSettings::*field;                  // expected to change (or stay)
    std::int32_t after;                                    // its value afterwards
    Code announced;                                        // the one announcement
    QPointer<QToolButton> TTriggerWrapperTarn::*downAfter; // shown down afterwards
    QPointer<QToolButton> TTriggerWrapperTarn::*upAfter;   // shown up afterwards
};

TEST_F(TriggerWrapperTarnTest, ClicksStoreAnnounceAndRefresh)
{
    using P = TTriggerWrapperTarn;
    using D = TDeviceSettings;
    const TClickCase cases[] = {
        {"Period again stays down", 0, 0, 1, 1, 0, 1, &P::ModePeriodBtn, &D::TriggerMode, 0, Code::omTriggerModeChanged,
         &P::ModePeriodBtn, &P::ModeSingleBtn},
        {"Single", 0, 0, 1, 1, 0, 1, &P::ModeSingleBtn, &D::TriggerMode, 1, Code::omTriggerModeChanged,
         &P::ModeSingleBtn, &P::ModePeriodBtn},
        {"Stop in period mode", 0, 0, 1, 1, 0, 1, &P::TrigStopBtn, &D::RunOnOff, 0, Code::omRunOnOffChanged,
         &P::TrigStopBtn, &P::TrigGoBtn},
        {"Go in period mode", 0, 0, 1, 0, 0, 1, &P::TrigGoBtn, &D::RunOnOff, 1, Code::omRunOnOffChanged, &P::TrigGoBtn,
         &P::TrigStopBtn},
        {"Go in single mode only pulses", 1, 0, 1, 0, 0, 1, &P::TrigGoBtn, &D::RunOnOff, 0, Code::omTriggerPulse,
         &P::TrigOffBtn, &P::TrigGoBtn},
        {"Arm on", 0, 0, 1, 1, 0, 1, &P::ArmOnBtn, &D::ArmOnOff, 1, Code::omArmOnOffChanged, &P::ArmOnBtn,
         &P::ArmOffBtn},
        {"Zero suspends", 0, 1, 1, 1, 0, 1, &P::ArmZeroBtn, &D::ArmStopLevel, 0, Code::omArmStopLevelChanged,
         &P::ArmZeroBtn, &P::ArmOneBtn},
        {"Trigger on", 1, 0, 1, 1, 0, 1, &P::TrigOnBtn, &D::TriggerOnOff, 1, Code::omTriggerOnOffChanged, &P::TrigOnBtn,
         &P::TrigOffBtn},
        {"Trailing edge", 1, 0, 1, 1, 1, 1, &P::TrigTrailingBtn, &D::TriggerLeading, 0, Code::omTriggerEdgeChanged,
         &P::TrigTrailingBtn, &P::TrigLeadingBtn},
    };
    for (const TClickCase& c : cases) {
        SCOPED_TRACE(c.name);
        Apply(c.t, c.a, c.l, c.r, c.o, c.e);
        QToolButton* button = panel.*(c.button);
        ASSERT_TRUE(button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(settings.Device.*(c.field), c.after);
        EXPECT_EQ(recorder.codes, std::vector<Code>{c.announced});
        EXPECT_TRUE((panel.*(c.downAfter))->isChecked());
        EXPECT_FALSE((panel.*(c.upAfter))->isChecked());
    }
    // In single mode "Stop" cannot be clicked and "Go" stays usable while triggering is off.
    EXPECT_FALSE(panel.TrigStopBtn->isEnabled());
}

TEST_F(TriggerWrapperTarnTest, WiringTwiceStillAnnouncesOnce)
{
    master.Notify(Code::omWireControls);
    recorder.codes.clear();
    QTest::mouseClick(panel.ModeSingleBtn, Qt::LeftButton);
    EXPECT_EQ(recorder.codes, std::vector<Code>{Code::omTriggerModeChanged});
}

TEST_F(TriggerWrapperTarnTest, OtherCodesAndOtherPhasesLeaveTheButtonsAlone)
{
    settings.Device.TriggerMode = 1;
    for (const Code code : {Code::omFrequencyChanged, Code::omLevelChanged, Code::omStart})
        master.Notify(code);
    master.Notify(Code::omSettingsApplied, 4);
    EXPECT_TRUE(panel.ModePeriodBtn->isChecked());
    master.Notify(Code::omTriggerEdgeChanged);
    EXPECT_TRUE(panel.ModeSingleBtn->isChecked());
}

} // namespace
} // namespace tarn
