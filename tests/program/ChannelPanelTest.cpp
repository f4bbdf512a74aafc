// SPDX-License-Identifier: MIT
// The two channel panels on the running program, driven with clicks and keys,
// against the virtual generator's registers.
#include "data/OptionsTarn.h"
#include "data/SettingsTarn.h"
#include "panels/ChannelWrapperTarn.h"
#include "panels/HLEditTarn.h"
#include "panels/ThemeTarn.h"
#include "shell/DetachedScreen.h"
#include "shell/Main.h"
#include "shell/OptionsScreen.h"
#include "shell/master/ObjMasterTarn.h"
#include "shell/TarnProgram.h"
#include "shell/master/tests/TestApp.h"
#include "tests/program/DeviceExpectations.h"
#include "tests/program/ProgramHarness.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <memory>

namespace tarn::test {
namespace {

class ChannelPanels : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        QApplication::setQuitOnLastWindowClosed(false);
        vg = std::make_unique<TVirtualGenerator>(folder.File("libvireo.so"));
        ASSERT_TRUE(vg->Loaded());
        TProgramOptions options;
        options.programFolder = folder.Path().string();
        options.singleInstanceCheck = false;
        program = std::make_unique<TTarnProgram>(dialogs, options);
        ASSERT_TRUE(program->Start());
        calibration = ReadCalibration(*vg);
    }
    void TearDown() override { program->Finish(); }

    TMainForm& Form() { return *program->MainForm(); }
    TSettingsTarn& S() { return Form().SettingsTarn1(); }
    const TChannelControls& L() { return Form().ChannelWrapperTarn1().Controls(); }
    const TChannelControls& H() { return Form().ChannelWrapperTarn2().Controls(); }
    static void Enter(THLEditTarn* edit, const QString& text)
    {
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    static void Click(QToolButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    // Clicks one check box of the Options dialog, then OK.
    void ClickOption(QCheckBox* (TOptionsForm::*box)() const)
    {
        QTimer::singleShot(0, [box] {
            auto* dialog = qobject_cast<TOptionsForm*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            QTest::mouseClick((dialog->*box)(), Qt::LeftButton);
            QTest::mouseClick(dialog->OKBtn(), Qt::LeftButton);
        });
        Form().Options1Click();
    }

    TProgramFolder folder;
    TScriptedDialogs dialogs;
    std::unique_ptr<TVirtualGenerator> vg;
    TCalibration calibration{};
    std::unique_ptr<TTarnProgram> program;
};

TEST_F(ChannelPanels, StartShowsTheDefaultsWithNamesAndHints)
{
    EXPECT_EQ(L().VppEdit->text(), "5.001V"); // level 2048 of a full-scale sine
    EXPECT_EQ(H().VppEdit->text(), "27.785V");
    EXPECT_EQ(L().VpEdit->text(), "2.501V");
    EXPECT_EQ(L().LoadEdit->text(), "Open");
    EXPECT_EQ(L().dBAbsEdit->text(), "N/A") << "dBW with an open load";
    EXPECT_EQ(L().dBRelEdit->text(), "0");
    EXPECT_EQ(L().LevelBar->value(), 4096 - 2048);
    EXPECT_EQ(L().FilterBox->currentIndex(), S().Device.Filter[0]);
    EXPECT_TRUE(L().LoadOpenBtn->isChecked());
    EXPECT_TRUE(L().OutputOnBtn->isChecked());
    EXPECT_TRUE(L().AutodBBtn->isChecked());
    EXPECT_FALSE(L().Set0dBBtn->isEnabled());
    EXPECT_EQ(H().Load50Btn->text(), "600");
    EXPECT_EQ(H().Load50Btn->toolTip(), "The 600 ohm load is connected to output");
    EXPECT_EQ(L().Load50Btn->toolTip(), "The 50 ohm load is connected to output");
    // Readings are named by their value and described by their caption.
    EXPECT_EQ(L().ShiftEdit->accessibleName(), L().ShiftEdit->text());
    EXPECT_EQ(L().ShiftEdit->accessibleDescription(), "Pending shift");
    EXPECT_EQ(L().DevShiftEdit->accessibleDescription(), "Shift in device");
    EXPECT_EQ(L().VrmsEdit->accessibleName(), L().VrmsEdit->text());
    EXPECT_EQ(L().VrmsEdit->accessibleDescription(),
              "Vrms (AC): effective voltage of the alternating part, the mean left out")
        << "\"Vrms from AC\" is on at first";
    EXPECT_EQ(L().VppEdit->accessibleDescription(), "Peak-peak voltage");
    for (const TChannelControls* c : {&L(), &H()}) {
        for (QWidget* w : c->LevelBar->parentWidget()->findChildren<QWidget*>()) {
            if (w->parentWidget() == c->LevelBar->parentWidget()) {
                EXPECT_FALSE(QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).isEmpty())
                    << w->metaObject()->className();
            }
        }
        for (QToolButton* b : {c->VppOnOffBtn, c->VpPlusOnOffBtn, c->OutputOnBtn, c->LoadOpenBtn, c->ShiftStepBtn})
            EXPECT_TRUE(b->isCheckable()) << b->text().toStdString();
        EXPECT_FALSE(c->ShiftOutBtn->isCheckable());
    }
}

TEST_F(ChannelPanels, StepModeHoldsTheShiftUntilOutAndZeroResetsOnlyTheDevice)
{
    const int shiftWrites = vg->RegisterWriteCount(2);
    Click(L().ShiftStepBtn);
    EXPECT_TRUE(L().ShiftStepBtn->isChecked());
    EXPECT_TRUE(H().ShiftStepBtn->isChecked()) << "both outputs share the real channel";
    Enter(L().ShiftEdit, "0.5");
    EXPECT_EQ(S().Device.Shift[0], 2048 + 683);
    EXPECT_EQ(S().Device.DevShift[0], 2048);
    EXPECT_EQ(L().ShiftEdit->text(), "500.244mV"); // code 2731
    EXPECT_EQ(L().DevShiftEdit->text(), "0V");
    EXPECT_EQ(vg->RegisterWriteCount(2), shiftWrites) << "nothing reaches the generator yet";
    ExpectDeviceHolds(*vg, S(), calibration);
    // The bar too changes only the pending shift.
    L().ShiftBar->setValue(L().ShiftBar->value() - 100);
    EXPECT_EQ(S().Device.Shift[0], 2048 + 783);
    EXPECT_EQ(vg->RegisterWriteCount(2), shiftWrites);

    Click(L().ShiftOutBtn);
    EXPECT_EQ(S().Device.DevShift[0], 2048 + 783);
    EXPECT_EQ(L().DevShiftEdit->text(), L().ShiftEdit->text());
    EXPECT_GT(vg->RegisterWriteCount(2), shiftWrites);
    ExpectDeviceHolds(*vg, S(), calibration);

    Click(L().ShiftNullBtn);
    EXPECT_EQ(L().DevShiftEdit->text(), "0V");
    EXPECT_EQ(S().Device.Shift[0], 2048 + 783) << "the pending shift stays";

    Click(L().ShiftConBtn);
    EXPECT_EQ(S().Device.DevShift[0], 2048 + 783) << "back to Con copies the pending shift";
    EXPECT_EQ(H().DevShiftEdit->text(), H().ShiftEdit->text());
    Click(L().ShiftNullBtn);
    EXPECT_EQ(S().Device.Shift[0], 2048);
    EXPECT_EQ(S().Device.DevShift[0], 2048);
    EXPECT_EQ(L().ShiftEdit->text(), "0V");
}

TEST_F(ChannelPanels, LoadsChangeOnlyTheDisplay)
{
    const int writes = vg->RegisterWriteCount(1) + vg->RegisterWriteCount(2) + vg->RegisterWriteCount(10);
    Click(L().Load50Btn);
    EXPECT_EQ(S().Loads[0], 50.0);
    EXPECT_TRUE(L().Load50Btn->isChecked());
    EXPECT_FALSE(L().LoadOpenBtn->isChecked());
    EXPECT_EQ(L().LoadEdit->text(), "50");
    EXPECT_EQ(L().VppEdit->text(), "2.501V");
    EXPECT_NE(L().dBAbsEdit->text(), "N/A");
    EXPECT_EQ(H().VppEdit->text(), "27.785V") << "the other output keeps its load";

    Enter(L().LoadEdit, "1k");
    EXPECT_EQ(S().Loads[0], 1000.0);
    EXPECT_FALSE(L().Load50Btn->isChecked() || L().LoadOpenBtn->isChecked());
    Enter(L().LoadEdit, "0.5");
    EXPECT_EQ(S().Loads[0], 1000.0) << "below 1 ohm is refused";
    EXPECT_TRUE(L().LoadEdit->Highlighted());

    Click(H().Load50Btn);
    EXPECT_EQ(H().VppEdit->text(), "13.892V") << "600 ohm on 600 ohm halves";
    Click(L().LoadOpenBtn);
    EXPECT_EQ(S().Loads[0], -1.0);
    EXPECT_EQ(L().LoadEdit->text(), "Open");
    EXPECT_EQ(vg->RegisterWriteCount(1) + vg->RegisterWriteCount(2) + vg->RegisterWriteCount(10), writes);
}

TEST_F(ChannelPanels, RelativeDecibelsFollowTheirMode)
{
    Click(L().ManualdBBtn);
    EXPECT_FALSE(L().AutodBBtn->isChecked());
    EXPECT_TRUE(L().Set0dBBtn->isEnabled());
    L().LevelBar->setValue(4096 - 1024);
    EXPECT_EQ(L().dBRelEdit->text(), "-6");
    EXPECT_EQ(H().dBRelEdit->text(), "0") << "H stays in Auto dB";
    Click(L().Set0dBBtn);
    EXPECT_EQ(L().dBRelEdit->text(), "0");
    Enter(L().dBRelEdit, "6");
    EXPECT_EQ(S().Device.Level[0], 2043);
    EXPECT_EQ(L().dBRelEdit->text(), "6");
    // Both up: the reference stays, "Set 0 dB" is off.
    Click(L().ManualdBBtn);
    EXPECT_FALSE(L().AutodBBtn->isChecked() || L().ManualdBBtn->isChecked());
    EXPECT_FALSE(L().Set0dBBtn->isEnabled());
    L().LevelBar->setValue(4096 - 4095);
    EXPECT_EQ(L().dBRelEdit->text(), "12");
    Click(L().AutodBBtn);
    EXPECT_EQ(L().dBRelEdit->text(), "0");
    // With a load the typed value is relative to what the load sees too.
    Click(L().Load50Btn);
    Click(L().ManualdBBtn);
    Enter(L().dBRelEdit, "-6");
    EXPECT_EQ(S().Device.Level[0], 2052);
    EXPECT_EQ(L().dBRelEdit->text(), "-6");
}

TEST_F(ChannelPanels, AttenuatorButtonsOnlyOnOutputL)
{
    Click(L().Output20Btn);
    EXPECT_EQ(S().Device.OutputAtn[0], 1);
    EXPECT_TRUE(L().Output20Btn->isChecked());
    EXPECT_FALSE(L().Output0Btn->isChecked());
    EXPECT_EQ(L().VppEdit->text(), "500.122mV");
    ExpectDeviceHolds(*vg, S(), calibration);
    Click(L().Output20Btn); // already down: stays down
    EXPECT_TRUE(L().Output20Btn->isChecked());
    EXPECT_EQ(S().Device.OutputAtn[0], 1);
    Click(L().Output0Btn);
    EXPECT_EQ(S().Device.OutputAtn[0], 0);
    EXPECT_FALSE(H().Output20Btn->isEnabled());

    Click(L().OutputOffBtn);
    EXPECT_EQ(S().Device.OutputOnOff[0], 0);
    EXPECT_TRUE(H().OutputOffBtn->isChecked());
    ExpectDeviceHolds(*vg, S(), calibration);
    Click(L().OutputOnBtn);
    ExpectDeviceHolds(*vg, S(), calibration);
}

TEST_F(ChannelPanels, IndicatorTogglesEmptyAndDisableTheirFields)
{
    struct Row {
        QToolButton* TChannelControls::*button;
        QLineEdit* field;
        TBoolArray TSettingsTarn::*flag;
    };
    const std::vector<Row> rows = {{&TChannelControls::VppOnOffBtn, L().VppEdit, &TSettingsTarn::VppOn},
                                   {&TChannelControls::VpOnOffBtn, L().VpEdit, &TSettingsTarn::VpOn},
                                   {&TChannelControls::VrmsOnOffBtn, L().VrmsEdit, &TSettingsTarn::VrmsOn},
                                   {&TChannelControls::VavgOnOffBtn, L().VavgEdit, &TSettingsTarn::VavgOn}};
    for (const Row& row : rows) {
        const QString shown = row.field->text();
        Click(L().*row.button);
        EXPECT_FALSE((S().*row.flag)[0]);
        EXPECT_TRUE((S().*row.flag)[1]) << "per output";
        EXPECT_TRUE(row.field->text().isEmpty());
        EXPECT_FALSE(row.field->isEnabled());
        Click(L().*row.button);
        EXPECT_TRUE((S().*row.flag)[0]);
        EXPECT_EQ(row.field->text(), shown);
    }
    EXPECT_TRUE(L().VppEdit->isEnabled());
    EXPECT_FALSE(L().VrmsEdit->isEnabled()) << "never typed into";
    // "-" shows the negative peak, and one of the two is always down.
    Click(L().VpMinusOnOffBtn);
    EXPECT_EQ(L().VpEdit->text(), "-2.501V");
    Click(L().VpMinusOnOffBtn);
    EXPECT_TRUE(L().VpMinusOnOffBtn->isChecked());
    EXPECT_FALSE(L().VpPlusOnOffBtn->isChecked());
}

TEST_F(ChannelPanels, OutputHFollowsTheGeneratorsPower)
{
    ASSERT_TRUE(S().Device.HOutputActive);
    vg->SwitchPower(false);
    QTest::qWait(700);
    EXPECT_FALSE(S().Device.HOutputActive);
    EXPECT_FALSE(Form().ChannelWrapperTarn2().PanelEnabled());
    for (QWidget* w : {static_cast<QWidget*>(H().LevelBar), static_cast<QWidget*>(H().VppOnOffBtn),
                       static_cast<QWidget*>(H().FilterBox), static_cast<QWidget*>(H().ShiftNullBtn)})
        EXPECT_FALSE(w->isEnabled());
    for (QLineEdit* e :
         {static_cast<QLineEdit*>(H().VppEdit), static_cast<QLineEdit*>(H().VpEdit), H().VrmsEdit, H().VavgEdit})
        EXPECT_TRUE(e->text().isEmpty());
    EXPECT_TRUE(L().LevelBar->isEnabled());
    EXPECT_EQ(L().VppEdit->text(), "5.001V");

    vg->SwitchPower(true);
    QTest::qWait(700);
    EXPECT_TRUE(H().LevelBar->isEnabled());
    EXPECT_EQ(H().VppEdit->text(), "27.785V");
    EXPECT_FALSE(H().Output20Btn->isEnabled());
    EXPECT_FALSE(H().VrmsEdit->isEnabled());
}

TEST_F(ChannelPanels, TypedTextSurvivesARefreshWithTheSameValue)
{
    L().VppEdit->selectAll();
    QTest::keyClicks(L().VppEdit, "1.2");
    Click(L().LoadOpenBtn); // a refresh that brings the same texts
    EXPECT_EQ(L().VppEdit->text(), "1.2");
    EXPECT_TRUE(L().VppEdit->Highlighted());
    EXPECT_EQ(L().VppEdit->Text(), "5.001V");
    L().LevelBar->setValue(L().LevelBar->value() - 1);
    EXPECT_FALSE(L().VppEdit->Highlighted()) << "a different value replaces it";
}

TEST_F(ChannelPanels, LevelBarReachesTheGenerator)
{
    const int levelWrites = vg->RegisterWriteCount(1);
    L().LevelBar->setFocus();
    QTest::keyClick(L().LevelBar, Qt::Key_PageUp); // toward the top: more level
    EXPECT_EQ(S().Device.Level[0], 2048 + 18);
    EXPECT_GT(vg->RegisterWriteCount(1), levelWrites);
    ExpectDeviceHolds(*vg, S(), calibration);
    // With the pointer resting above the bar a key still moves one page, not to the end.
    QCursor::setPos(L().LevelBar->mapToGlobal(QPoint(5, -40)));
    ASSERT_LT(L().LevelBar->mapFromGlobal(QCursor::pos()).y(), 0);
    QTest::keyClick(L().LevelBar, Qt::Key_PageUp);
    EXPECT_EQ(S().Device.Level[0], 2048 + 36);
    L().LevelBar->setValue(4096);
    EXPECT_EQ(S().Device.Level[0], 0);
    EXPECT_EQ(L().VppEdit->text(), "0V");
    EXPECT_EQ(L().dBAbsEdit->text(), "N/A");
    EXPECT_EQ(L().LevelLabel->palette().color(QPalette::Window), PanelColours(QApplication::palette()).WarningBack);
    EXPECT_EQ(L().LevelLabel->palette().color(QPalette::Window).hslHue(), 0) << "red";
    ExpectDeviceHolds(*vg, S(), calibration); // level 0 clears the output bit
}

TEST_F(ChannelPanels, EveryWarningColourSaysWhatItMeansAndValuesAreGreyedWhileOff)
{
    // The labels: the bounds of the rule always, the reading that broke it when red.
    EXPECT_TRUE(L().LevelLabel->toolTip().startsWith("Turns red when the peak-peak voltage leaves "));
    EXPECT_TRUE(L().ShiftLabel->toolTip().startsWith("Turns red when the signal with its shift passes "));
    L().LevelBar->setValue(4096);
    ASSERT_EQ(L().LevelLabel->palette().color(QPalette::Window), PanelColours(QApplication::palette()).WarningBack);
    EXPECT_TRUE(L().LevelLabel->toolTip().startsWith("Red: the peak-peak voltage 0V is outside "))
        << L().LevelLabel->toolTip().toStdString();
    EXPECT_EQ(H().LevelLabel->toolTip().isEmpty(), false);
    L().LevelBar->setValue(2048);
    EXPECT_TRUE(L().LevelLabel->toolTip().startsWith("Turns red"));

    // The fields: pending red, device green, the typed highlight while it shows.
    const struct {
        THLEditTarn* edit;
        const char* note;
    } fields[] = {{L().ShiftEdit, "Red: the value you set"}, {L().DevShiftEdit, "Green: the value the device has"},
                  {L().VppEdit, nullptr}};
    for (const auto& f : fields) {
        const QString before = f.edit->toolTip();
        if (f.note != nullptr) {
            EXPECT_TRUE(before.contains(QLatin1String(f.note))) << before.toStdString();
        }
        if (f.edit->isReadOnly())
            continue;
        f.edit->setText(f.edit->text() + "1");
        EXPECT_TRUE(f.edit->toolTip().contains("typed, not applied yet")) << f.note;
        f.edit->setText(f.edit->Text());
        EXPECT_EQ(f.edit->toolTip(), before) << "back once the typed text is gone";
    }

    // Off: what the output would give, in the palette's disabled text colour.
    const QColor grey = QApplication::palette().color(QPalette::Disabled, QPalette::Text);
    for (const bool off : {true, false}) {
        Click(off ? L().OutputOffBtn : L().OutputOnBtn);
        ASSERT_EQ(L().OutputOffBtn->isChecked(), off);
        EXPECT_EQ(L().VppEdit->palette().color(QPalette::Active, QPalette::Text) == grey, off);
        EXPECT_EQ(L().VpEdit->palette().color(QPalette::Active, QPalette::Text) == grey, off);
        // Shown while disabled: the disabled group is what the eye sees.
        EXPECT_EQ(L().VrmsEdit->palette().color(QPalette::Disabled, QPalette::Text) == grey, off);
        EXPECT_EQ(L().VavgEdit->palette().color(QPalette::Disabled, QPalette::Text) == grey, off);
        EXPECT_EQ(L().dBAbsEdit->palette().color(QPalette::Active, QPalette::Text) == grey, off);
        EXPECT_NE(L().ShiftEdit->palette().color(QPalette::Active, QPalette::Text), grey) << "a setting, not a reading";
    }
}

TEST_F(ChannelPanels, TypedPeakToPeakVoltageSetsLevelAndAttenuator)
{
    Enter(L().VppEdit, "0.4");
    EXPECT_EQ(S().Device.Level[0], 1638);
    EXPECT_EQ(S().Device.OutputAtn[0], 1);
    EXPECT_EQ(L().VppEdit->text(), "400mV");
    EXPECT_TRUE(L().Output20Btn->isChecked());
    ExpectDeviceHolds(*vg, S(), calibration);
    Enter(L().VppEdit, "abc");
    EXPECT_EQ(S().Device.Level[0], 1638);
    EXPECT_TRUE(L().VppEdit->Highlighted());
}

TEST_F(ChannelPanels, FlatAndEmptyWaveformsShowZeroAndIgnoreTypedVoltages)
{
    auto flat = std::make_unique<TWaveformTarn>();
    flat->Allocate(100, 4096, false);
    std::fill_n(flat->Samples(), 100, std::uint16_t{3000});
    flat->UpdateStatistics();
    std::vector<std::unique_ptr<TWaveformTarn>> waves;
    waves.push_back(std::move(flat));
    waves.push_back(std::make_unique<TWaveformTarn>()); // no samples at all
    for (auto& wave : waves) {
        const bool empty = wave->SampleCount() == 0;
        S().Device.Waveforms[0] = std::move(wave);
        Form().ChannelWrapperTarn1().Refresh();
        EXPECT_EQ(L().VppEdit->Text(), "0V");
        EXPECT_EQ(L().VrmsEdit->text(), "0V");
        EXPECT_EQ(L().VavgEdit->text(), "0V");
        EXPECT_EQ(L().VpEdit->Text(), empty ? "0V" : "1.163V") << "952 codes above zero at level 2048";
        EXPECT_EQ(L().dBAbsEdit->text(), "N/A");
        Enter(L().VppEdit, "1");
        EXPECT_EQ(S().Device.Level[0], 2048) << "no level gives a peak-to-peak voltage here";
        EXPECT_TRUE(L().VppEdit->Highlighted());
        // 1 V peak from 1.163 V: -0.163 V of shift; an empty waveform has no peak to place.
        const std::int32_t shift = S().Device.Shift[0];
        Enter(L().VpEdit, "1");
        EXPECT_EQ(S().Device.Shift[0], empty ? shift : 1826);
    }
}

TEST_F(ChannelPanels, FilterFollowsTheFrequencyUnlessChosenByHand)
{
    const TWaveformTarn& sine = *S().Device.Waveforms[0];
    ASSERT_TRUE(sine.IsStandard);
    const double top = 2e6 / sine.HighestHarmonic(); // highest significant frequency 6 MHz at 3 x top
    auto setFrequency = [&](double hz) {
        S().Device.Frequency = hz;
        Form().ObjMasterTarn1().Notify(TObjMasterCode::omFrequencyChanged);
    };
    setFrequency(3 * top);
    EXPECT_EQ(S().Device.Filter[0], 1);
    EXPECT_EQ(L().FilterBox->currentIndex(), 1);
    EXPECT_EQ(H().FilterBox->currentIndex(), 1) << "the shared filter";
    // Relays: 40 MHz is 10, 20 MHz is 5. (The control word after a divided
    // clock lacks bit 6 until its next write, so only the relays are checked.)
    EXPECT_EQ(vg->Register(8), 10);
    setFrequency(6 * top);
    EXPECT_EQ(S().Device.Filter[0], 0);

    L().FilterBox->setCurrentIndex(2);
    EXPECT_EQ(S().Device.Filter[0], 2);
    EXPECT_EQ(vg->Register(8), 5);
    S().Options->SetBoolValue(optFilterAutoset, false);
    setFrequency(3 * top);
    EXPECT_EQ(S().Device.Filter[0], 2) << "autoset is off";
}

TEST_F(ChannelPanels, FilterAutosetTurnedOnInOptionsSetsTheFilterOfAFastWaveform)
{
    const TWaveformTarn& sine = *S().Device.Waveforms[0];
    ASSERT_TRUE(sine.IsStandard);
    S().Options->SetBoolValue(optFilterAutoset, false);
    L().FilterBox->setCurrentIndex(0);
    // Highest significant frequency 6 MHz: the 40 MHz filter.
    S().Device.Frequency = 6e6 / sine.HighestHarmonic();
    Form().ObjMasterTarn1().Notify(TObjMasterCode::omFrequencyChanged);
    ASSERT_EQ(S().Device.Filter[0], 0) << "the option is off";
    ClickOption(&TOptionsForm::FilterAutosetBox);
    EXPECT_TRUE(S().Options->BoolValue(optFilterAutoset));
    EXPECT_EQ(S().Device.Filter[0], 1);
    EXPECT_EQ(L().FilterBox->currentIndex(), 1);
    EXPECT_EQ(vg->Register(8), 10) << "the 40 MHz relay";
}

TEST_F(ChannelPanels, ReadingsFollowTheAveragedCopyPlayedAndSayWhenTheyLeaveTheMeanOut)
{
    ASSERT_TRUE(S().Device.Waveforms[0]->IsStandard);
    S().Options->SetBoolValue(optFilterAutoset, false); // no filter change to refresh the panels
    if (!L().VrmsOnOffBtn->isChecked())
        Click(L().VrmsOnOffBtn);
    auto frequency = [this](double hz) {
        S().Device.Frequency = hz;
        Form().ObjMasterTarn1().Notify(TObjMasterCode::omFrequencyChanged);
    };
    // Level 2048 of the standard sine: 2047 codes of 1.2216 mV each way.
    frequency(1000);
    EXPECT_EQ(L().VrmsEdit->text(), "1.768V") << "8192 samples: a sine";
    frequency(3e7);
    EXPECT_EQ(L().VrmsEdit->text(), "2.501V") << "two averaged samples: a square";
    EXPECT_EQ(H().VrmsEdit->text(), "13.892V");
    frequency(1000);
    EXPECT_EQ(L().VrmsEdit->text(), "1.768V");

    EXPECT_EQ(L().VavgEdit->toolTip(), "Vavg (AC): average of the rectified alternating part, the mean left out");
    ClickOption(&TOptionsForm::VrmsFromACBox);
    ASSERT_FALSE(S().Options->BoolValue(optVrmsFromAC));
    for (const TChannelControls* c : {&L(), &H()}) {
        EXPECT_EQ(c->VrmsEdit->toolTip(), "Effective voltage");
        EXPECT_EQ(c->VrmsEdit->accessibleDescription(), "Effective voltage");
        EXPECT_EQ(c->VavgEdit->toolTip(), "Average voltage");
    }
}

TEST_F(ChannelPanels, ADetachedChannelPanelStillSetsTheLevel)
{
    QGroupBox* group = Form().Group(TMainForm::GroupOutputL);
    Form().GroupBox2DblClick(group);
    auto* detached = qobject_cast<TDetachedForm*>(group->window());
    ASSERT_NE(detached, nullptr);
    QScrollBar* level = L().LevelBar;
    const int writes = vg->RegisterWriteCount(1);
    level->setFocus();
    QTest::keyClick(level, Qt::Key_PageUp);
    EXPECT_EQ(S().Device.Level[0], 2048 + 18);
    EXPECT_GT(vg->RegisterWriteCount(1), writes);
    ExpectDeviceHolds(*vg, S(), calibration);
    detached->close();
    EXPECT_EQ(group->window(), &Form());
}

} // namespace
} // namespace tarn::test
