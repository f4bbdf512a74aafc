// SPDX-License-Identifier: MIT
#include "tests/soak/SoakUser.h"

#include "data/CommonFunctionsTarn.h"
#include "data/SettingsTarn.h"
#include "device/DeviceAbstractionTarn.h"
#include "panels/ChannelWrapperTarn.h"
#include "panels/FrequencyBarTarn.h"
#include "panels/HLEditTarn.h"
#include "panels/TriggerWrapperTarn.h"
#include "panels/WaveListBoxTarn.h"
#include "shell/Main.h"
#include "tests/program/ProgramHarness.h"

#include <QAction>
#include <QComboBox>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include <cmath>
#include <vector>

namespace tarn::test {
namespace {

int Uniform(std::mt19937_64& random, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(random);
}

// Log-uniform between low and high.
double Spread(std::mt19937_64& random, double low, double high)
{
    return low * std::pow(high / low, std::uniform_real_distribution<double>(0.0, 1.0)(random));
}

template <typename T> T Pick(std::mt19937_64& random, const std::vector<T>& items)
{
    return items[static_cast<std::size_t>(Uniform(random, 0, static_cast<int>(items.size()) - 1))];
}

// Selects the text, types the new one and presses Enter.
void Type(THLEditTarn* edit, const std::string& text)
{
    edit->selectAll();
    QTest::keyClicks(edit, QString::fromStdString(text));
    QTest::keyClick(edit, Qt::Key_Return);
}

std::string Caption(const QToolButton* button)
{
    const QString text = button->text().isEmpty() ? button->accessibleName() : button->text();
    return "'" + text.toStdString() + "'";
}

} // namespace

TSoakUser::TDone TSoakUser::Act(std::mt19937_64& random)
{
    switch (Uniform(random, 0, 9)) {
    case 0:
    case 1:
    case 2:
    case 3:
        return ActOnChannel(random);
    case 4:
    case 5:
        return ActOnFrequency(random);
    case 6:
    case 7:
        return ActOnTrigger(random);
    default:
        return ActOnList(random);
    }
}

TSoakUser::TDone TSoakUser::ActOnChannel(std::mt19937_64& random)
{
    const int channel = Uniform(random, 0, 1);
    const TChannelControls& c = (channel == 0 ? form_.ChannelWrapperTarn1() : form_.ChannelWrapperTarn2()).Controls();
    const std::string panel = channel == 0 ? "L: " : "H: ";
    switch (Uniform(random, 0, 11)) {
    case 0:
    case 1: {
        QScrollBar* bar = Uniform(random, 0, 1) == 0 ? c.LevelBar : c.ShiftBar;
        const int to = Uniform(random, bar->minimum(), bar->maximum());
        bar->setValue(to);
        return {panel + (bar == c.LevelBar ? "level bar to " : "shift bar to ") + std::to_string(to)};
    }
    case 2: {
        const int index = Uniform(random, 0, c.FilterBox->count() - 1);
        c.FilterBox->setCurrentIndex(index);
        return {panel + "filter " + std::to_string(index)};
    }
    case 3: {
        const std::string text = FormatVoltage(Spread(random, 0.001, 40.0));
        Type(c.VppEdit, text);
        return {panel + "Vpp " + text};
    }
    case 4: {
        THLEditTarn* edit = Uniform(random, 0, 1) == 0 ? c.VpEdit : c.ShiftEdit;
        const std::string text = FormatVoltage(std::uniform_real_distribution<double>(-12.0, 12.0)(random));
        Type(edit, text);
        return {panel + (edit == c.VpEdit ? "Vp " : "shift ") + text};
    }
    case 5: {
        const std::string text = Pick<std::string>(random, {"50", "600", "1k", "75", "10", "Open"});
        Type(c.LoadEdit, text);
        return {panel + "load " + text};
    }
    case 6: {
        const std::string text = std::to_string(Uniform(random, -20, 6));
        Type(c.dBRelEdit, text);
        return {panel + "dB " + text};
    }
    case 7:
        c.dBUnitsBox->setCurrentIndex(Uniform(random, 0, c.dBUnitsBox->count() - 1));
        return {panel + "dB unit"};
    default: {
        QToolButton* button =
            Pick(random,
                 std::vector<QToolButton*>{c.VppOnOffBtn, c.VpOnOffBtn, c.VpPlusOnOffBtn, c.VpMinusOnOffBtn,
                                           c.VrmsOnOffBtn, c.VavgOnOffBtn, c.OutputOffBtn, c.OutputOnBtn, c.Output20Btn,
                                           c.Output0Btn, c.LoadOpenBtn, c.Load50Btn, c.AutodBBtn, c.ManualdBBtn,
                                           c.Set0dBBtn, c.ShiftConBtn, c.ShiftStepBtn, c.ShiftOutBtn, c.ShiftNullBtn});
        button->click();
        return {panel + Caption(button)};
    }
    }
}

TSoakUser::TDone TSoakUser::ActOnFrequency(std::mt19937_64& random)
{
    TFrequencyBarTarn& bar = form_.FrequencyBarTarn1();
    switch (Uniform(random, 0, 6)) {
    case 0:
    case 1:
    case 2: {
        // Now and then beyond either limit.
        const std::string text = FormatFrequency(Spread(random, 0.001, 2e8));
        Type(bar.FrequencyEdit, text);
        return {"frequency " + text};
    }
    case 3: {
        const int to = Uniform(random, 0, 100);
        bar.FineShiftBar->setValue(to);
        return {"fine shift " + std::to_string(to)};
    }
    case 4:
        bar.SetBtn->click();
        return {"frequency 'Set'", true};
    case 5: {
        QToolButton* button = Pick(random, std::vector<QToolButton*>{bar.ZoomInBtn, bar.ZoomOutBtn, bar.ZoomAwayBtn});
        button->click();
        return {"frequency " + Caption(button)};
    }
    default: {
        QToolButton* button = Uniform(random, 0, 1) == 0 ? bar.ConModeBtn.data() : bar.StepModeBtn.data();
        button->click();
        return {"frequency " + Caption(button)};
    }
    }
}

TSoakUser::TDone TSoakUser::ActOnTrigger(std::mt19937_64& random)
{
    TTriggerWrapperTarn& t = form_.TriggerWrapperTarn1();
    QToolButton* button =
        Pick(random, std::vector<QToolButton*>{t.ModeSingleBtn, t.ModePeriodBtn, t.TrigGoBtn, t.TrigStopBtn,
                                               t.TrigLeadingBtn, t.TrigTrailingBtn, t.TrigOnBtn, t.TrigOffBtn,
                                               t.ArmOnBtn, t.ArmOffBtn, t.ArmZeroBtn, t.ArmOneBtn});
    button->click();
    return {"trigger " + Caption(button)};
}

TSoakUser::TDone TSoakUser::LoadOtherWaveform(std::mt19937_64& random)
{
    TWaveListBoxTarn& list = form_.WaveListBoxTarn1();
    const std::string playing = form_.SettingsTarn1().Device.Waveforms[0]->Name;
    std::vector<int> rows;
    for (int row = 0; row < list.Count(); ++row)
        if (list.Item(row).toStdString() != playing)
            rows.push_back(row);
    if (rows.empty())
        return {"no other waveform"};
    const int row = Pick(random, rows);
    const std::string name = list.Item(row).toStdString();
    return {"waveform '" + name + "' onto the preview", DragListItem(form_, row)};
}

TSoakUser::TDone TSoakUser::ActOnList(std::mt19937_64& random)
{
    TWaveListBoxTarn& list = form_.WaveListBoxTarn1();
    switch (Uniform(random, 0, 5)) {
    case 0:
    case 1:
    case 2:
        return LoadOtherWaveform(random);
    case 3: {
        QRadioButton* button = Pick(
            random, std::vector<QRadioButton*>{list.FilterAllBtn, list.FilterStandardBtn, list.FilterArbitraryBtn});
        button->click();
        return {"list filter " + button->text().toStdString()};
    }
    default: {
        if (list.Count() == 0)
            return {"empty list"};
        list.SetItemIndex(Uniform(random, 0, list.Count() - 1));
        // The library keeps between 6 and 24 waveforms.
        const bool remove = form_.SettingsTarn1().Repository.size() > 6
                            && (Uniform(random, 0, 1) == 0 || form_.SettingsTarn1().Repository.size() >= 24);
        // Deleting a standard waveform is asked for: this user says Yes.
        auto* dialogs = dynamic_cast<TScriptedDialogs*>(&form_.Dialogs());
        const auto& repository = form_.SettingsTarn1().Repository;
        if (remove && dialogs != nullptr && repository[list.IndexMap()[list.ItemIndex()]]->IsStandard)
            dialogs->answers.push_back(TDialogResult::Yes);
        (remove ? list.DeleteMenuItem : list.DuplicateMenuItem)->trigger();
        return {remove ? "delete a waveform" : "duplicate a waveform"};
    }
    }
}

} // namespace tarn::test
