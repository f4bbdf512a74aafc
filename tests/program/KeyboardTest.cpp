// SPDX-License-Identifier: MIT
// The running program from the keyboard alone: Tab in reading order with the
// focus in sight, the bars' keys, and a whole session without the mouse.
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "panels/ChannelWrapperTarn.h"
#include "panels/FrequencyBarTarn.h"
#include "panels/HLEditTarn.h"
#include "panels/TriggerWrapperTarn.h"
#include "panels/WaveListBoxTarn.h"
#include "shell/Main.h"
#include "shell/TarnProgram.h"
#include "shell/master/ObjMasterTarn.h"
#include "shell/master/tests/ModalKeys.h"
#include "shell/master/tests/TestApp.h"
#include "tests/program/DeviceExpectations.h"
#include "tests/program/ProgramHarness.h"

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarn::test {
namespace {

// Counts what a pointing device delivers to any object.
class TPointerEvents : public QObject {
public:
    int count = 0;
    std::vector<int> types;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseMove:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TabletPress:
        case QEvent::Drop:
            ++count;
            types.push_back(event->type());
            break;
        default:
            break;
        }
        return false;
    }
};

class Keyboard : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        QApplication::setQuitOnLastWindowClosed(false);
        QApplication::instance()->installEventFilter(&pointer);
        run = std::make_unique<TStartedProgram>();
        ASSERT_TRUE(run->started);
        Form().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Form()));
        calibration = ReadCalibration(*run->vg);
    }
    void TearDown() override { QApplication::instance()->removeEventFilter(&pointer); }

    TMainForm& Form() { return run->Form(); }
    TSettingsTarn& S() { return Form().SettingsTarn1(); }
    const TChannelControls& L() { return Form().ChannelWrapperTarn1().Controls(); }
    // A key as the keyboard gives it: to the window with the focus, or to the open menu.
    void Press(int key, Qt::KeyboardModifiers modifiers = {})
    {
        RefocusAfterModal(Form());
        QWidget* popup = QApplication::activePopupWidget();
        QWindow* window = popup != nullptr ? popup->windowHandle() : QGuiApplication::focusWindow();
        ASSERT_NE(window, nullptr);
        QTest::keyClick(window, Qt::Key(key), modifiers);
    }
    void Type(const char* text)
    {
        for (const char* c = text; *c != '\0'; ++c)
            QTest::keyClick(QGuiApplication::focusWindow(), *c);
    }
    // Tab until target has the focus; false after a whole round without it.
    bool TabTo(const QWidget* target, bool back = false)
    {
        for (int i = 0; i < 200 && QApplication::focusWidget() != target; ++i)
            Press(Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier);
        return QApplication::focusWidget() == target;
    }
    // The Tab stops from the focused widget round to it again.
    std::vector<QWidget*> Round(bool back)
    {
        std::vector<QWidget*> stops{QApplication::focusWidget()};
        for (int i = 0; i < 300; ++i) {
            Press(Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier);
            if (QApplication::focusWidget() == stops.front())
                break;
            stops.push_back(QApplication::focusWidget());
        }
        return stops;
    }
    int GroupOf(const QWidget* widget)
    {
        for (int g = 0; g < TMainForm::kGroupCount; ++g)
            if (Form().Group(TMainForm::TGroup(g))->isAncestorOf(widget))
                return g;
        return -1;
    }

    TPointerEvents pointer;
    std::unique_ptr<TStartedProgram> run;
    TCalibration calibration{};
};

TEST_F(Keyboard, TabVisitsEveryControlInReadingOrderAndEachShowsItsFocus)
{
    // Single mode with the external trigger: the edge buttons are enabled.
    S().Device.TriggerMode = 1;
    S().Device.TriggerOnOff = 1;
    Form().ObjMasterTarn1().Notify(TObjMasterCode::omTriggerModeChanged);
    std::vector<QWidget*> reachable;
    for (QWidget* w : Form().findChildren<QWidget*>()) {
        // Of a choice of radio buttons only the chosen one is a Tab stop; the arrows pick another.
        const auto* radio = qobject_cast<QRadioButton*>(w);
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(&Form()) && w->window() == &Form()
            && (radio == nullptr || radio->isChecked()))
            reachable.push_back(w);
    }
    ASSERT_TRUE(TabTo(L().LevelBar));
    const std::vector<QWidget*> forward = Round(false);
    EXPECT_EQ(forward.size(), reachable.size());
    for (QWidget* w : reachable)
        EXPECT_NE(std::find(forward.begin(), forward.end(), w), forward.end())
            << "not reached: " << w->metaObject()->className() << " " << w->accessibleName().toStdString();
    // The custom controls are among them.
    const TFrequencyBarTarn& f = Form().FrequencyBarTarn1();
    const TTriggerWrapperTarn& t = Form().TriggerWrapperTarn1();
    const QWidget* custom[] = {L().LevelBar,
                               L().ShiftBar,
                               &f,
                               f.FineShiftBar.data(),
                               t.TrigLeadingBtn.data(),
                               t.TrigTrailingBtn.data(),
                               &Form().WaveListBoxTarn1()};
    for (const QWidget* w : custom)
        EXPECT_NE(std::find(forward.begin(), forward.end(), w), forward.end()) << w->accessibleName().toStdString();

    // Groups one after another: the left column, then the right one top down;
    // inside a group by rows: the next control is to the right on the same
    // row, or starts lower.
    for (std::size_t i = 1; i < forward.size(); ++i) {
        const QWidget* a = forward[i - 1];
        const QWidget* b = forward[i];
        const std::string names = a->accessibleName().toStdString() + " -> " + b->accessibleName().toStdString();
        ASSERT_LE(GroupOf(a), GroupOf(b)) << names;
        if (GroupOf(a) != GroupOf(b))
            continue;
        const QRect ra(a->mapTo(&Form(), QPoint()), a->size());
        const QRect rb(b->mapTo(&Form(), QPoint()), b->size());
        const bool sameRow = rb.top() < ra.bottom() && ra.top() < rb.bottom();
        EXPECT_TRUE((sameRow && rb.left() > ra.left()) || rb.top() > ra.top()) << names;
    }
    // Shift+Tab goes the same round backwards.
    std::vector<QWidget*> backward = Round(true);
    std::reverse(backward.begin() + 1, backward.end());
    EXPECT_EQ(backward, forward);

    // Each stop looks different with the focus than without it.
    for (std::size_t i = 0; i < forward.size(); ++i) {
        QWidget* w = forward[i];
        ASSERT_TRUE(TabTo(w));
        const QImage focused = w->grab().toImage();
        Press(Qt::Key_Tab);
        ASSERT_NE(QApplication::focusWidget(), w);
        EXPECT_NE(w->grab().toImage(), focused)
            << "no focus shown: " << w->metaObject()->className() << " " << w->accessibleName().toStdString();
    }
    EXPECT_EQ(pointer.count, 0);
}

TEST_F(Keyboard, BarsTakeArrowsPageKeysHomeAndEnd)
{
    TDeviceSettings& d = S().Device;
    TFrequencyBarTarn& f = Form().FrequencyBarTarn1();
    const auto level = [&d] { return double(d.Level[0]); };
    const auto shift = [&d] { return double(d.Shift[0]); };
    const auto frequency = [&d] { return d.Frequency; };
    struct Case {
        QWidget* bar;
        int key;
        std::function<double()> value;
        double change;   // from the value before, or
        double absolute; // when change is NaN
    };
    const double none = std::nan("");
    // The level and shift bars run upwards; a page is 18 steps. The fine
    // shift's 50 steps make one pixel of the scale.
    const Case cases[] = {
        {L().LevelBar, Qt::Key_Up, level, 1, 0},          {L().LevelBar, Qt::Key_Down, level, -1, 0},
        {L().LevelBar, Qt::Key_PageUp, level, 18, 0},     {L().LevelBar, Qt::Key_PageDown, level, -18, 0},
        {L().LevelBar, Qt::Key_Home, level, none, 4095},  {L().LevelBar, Qt::Key_End, level, none, 0},
        {L().ShiftBar, Qt::Key_Up, shift, 1, 0},          {L().ShiftBar, Qt::Key_PageDown, shift, -18, 0},
        {L().ShiftBar, Qt::Key_Home, shift, none, 4096},  {L().ShiftBar, Qt::Key_End, shift, none, 0},
        {f.FineShiftBar, Qt::Key_Right, frequency, 1, 0}, // steps of the bar
        {f.FineShiftBar, Qt::Key_Left, frequency, -1, 0}, {f.FineShiftBar, Qt::Key_PageUp, frequency, 10, 0},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(TabTo(c.bar)) << c.bar->accessibleName().toStdString();
        const double before = c.value();
        const double snapped = f.Model().Snapped;
        const int position = f.FineShiftBar->value();
        Press(c.key);
        if (c.bar == f.FineShiftBar) {
            const double steps = position + c.change - kFineShiftCentre;
            EXPECT_NEAR(frequency() / snapped, std::pow(10.0, steps * f.Model().DecadesPerPixel / 50), 1e-9);
        } else if (std::isnan(c.change)) {
            EXPECT_EQ(c.value(), c.absolute) << c.key;
        } else {
            EXPECT_EQ(c.value(), before + c.change) << c.key;
        }
    }
    ExpectDeviceHolds(*run->vg, S(), calibration);
    EXPECT_EQ(pointer.count, 0);
}

TEST_F(Keyboard, AWholeSessionWithoutTheMouse)
{
    const TFrequencyBarTarn& f = Form().FrequencyBarTarn1();
    TWaveListBoxTarn& list = Form().WaveListBoxTarn1();

    // 1 kHz, typed.
    ASSERT_TRUE(TabTo(f.FrequencyEdit));
    Type("1k");
    Press(Qt::Key_Return);
    EXPECT_DOUBLE_EQ(S().Device.Frequency, 1000);

    // "Square" to the generator: found in the list with the arrows, Enter.
    ASSERT_TRUE(TabTo(&list));
    Press(Qt::Key_Home);
    for (int i = 0; i < list.Count() && list.Item(list.currentIndex().row()) != "Square"; ++i)
        Press(Qt::Key_Down);
    ASSERT_EQ(list.Item(list.currentIndex().row()), "Square");
    Press(Qt::Key_Return);
    ASSERT_EQ(S().Device.Waveforms[0]->Name, "Square");
    EXPECT_EQ(Form().Group(TMainForm::GroupFrequency)->title(), Strings::CaptionWaveformFrequency);
    EXPECT_DOUBLE_EQ(S().Device.Frequency, 1000);
    // 1 Vpp on "Output L", no load: the field shows what the output gives.
    ASSERT_TRUE(TabTo(L().LoadOpenBtn, true));
    Press(Qt::Key_Space);
    EXPECT_EQ(S().Loads[0], -1.0);
    ASSERT_TRUE(TabTo(L().VppEdit, true));
    Type("1");
    Press(Qt::Key_Return);
    // The nearest level code: within half a step (about 1.2 mV) of 1 V.
    const QString vpp = L().VppEdit->text();
    ASSERT_TRUE(vpp.endsWith(QLatin1Char('V'))) << vpp.toStdString();
    EXPECT_NEAR(vpp.chopped(1).toDouble(), 1.0, 0.0015) << vpp.toStdString();
    const std::int32_t level = S().Device.Level[0];

    // Options by its shortcut, About through the menu's mnemonics.
    EXPECT_EQ(ModalClosedByEscape([this] { Press(Qt::Key_Comma, Qt::ControlModifier); }), "tarn::TOptionsForm");
    EXPECT_EQ(ModalClosedByEscape([this] {
                  Press(Qt::Key_H, Qt::AltModifier);
                  ASSERT_NE(QApplication::activePopupWidget(), nullptr) << "the Help menu";
                  Press(Qt::Key_A);
              }),
              "tarn::TAboutForm");
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    // The generator plays it.
    EXPECT_NEAR(GeneratorFrequency(*run->vg, true), 1000, 1000 * 1e-3);
    ExpectDeviceHolds(*run->vg, S(), calibration);

    // Exit with its question, then the files.
    Press(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(Form().ExitConfirmed());
    EXPECT_EQ(run->dialogs.Texts(), std::vector<std::string>{Strings::ExitConfirmation});
    EXPECT_EQ(pointer.count, 0) << "first: " << (pointer.types.empty() ? 0 : pointer.types.front());
    run->program->Finish();
    TSettingsTarn saved;
    saved.SetDefaults();
    saved.Load(run->folder.Path());
    EXPECT_DOUBLE_EQ(saved.Device.Frequency, 1000);
    EXPECT_EQ(saved.Device.Level[0], level);
    EXPECT_EQ(saved.Device.OutputAtn[0], 0);
    ASSERT_FALSE(saved.Device.Waveforms.empty());
    EXPECT_EQ(saved.Device.Waveforms[0]->Name, "Square");
    EXPECT_TRUE(saved.Device.Waveforms[0]->IsStandard);

    // The count would have seen a click.
    QWidget other;
    other.show();
    QTest::mouseClick(&other, Qt::LeftButton);
    EXPECT_GT(pointer.count, 0);
}

} // namespace
} // namespace tarn::test
