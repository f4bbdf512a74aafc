// SPDX-License-Identifier: MIT
#include "shell/KeyboardTarn.h"

#include "panels/ChannelPanelTarn.h"
#include "panels/ChannelWrapperTarn.h"
#include "panels/FrequencyBarTarn.h"
#include "panels/HLEditTarn.h"
#include "panels/TriggerWrapperTarn.h"
#include "panels/WaveListBoxTarn.h"
#include "shell/Main.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QScrollBar>

#include <utility>
#include <vector>

namespace tarn {

namespace {

void Underline(QAction* action, char letter)
{
    if (action != nullptr)
        action->setText(WithMnemonic(action->text(), QLatin1Char(letter)));
}

void Mnemonics(TMainForm& form)
{
    // Unique within each menu and within the bar; "Undo" and "Redo" take U
    // and R whatever step they name (TUndoTarn).
    const std::pair<QAction*, char> items[] = {
        {form.Exit2(), 'p'},  {form.Exit1(), 'x'}, {form.Options1(), 'O'},
        {form.Sweep1(), 'S'}, {form.Help2(), 'H'}, {form.About1(), 'A'},
    };
    for (const auto& [action, letter] : items)
        Underline(action, letter);
    const char bar[] = {'F', 'S', 'H'};
    const QList<QAction*> menus = form.menuBar()->actions();
    for (qsizetype i = 0; i < menus.size() && i < qsizetype(sizeof bar); ++i)
        Underline(menus[i], bar[i]);
    // Pop-up 1: Send to generator, New, Duplicate, Delete, Edit by, Properties;
    // pop-up 2: New, Create by.
    const std::pair<QMenu*, const char*> popups[] = {{form.PopupMenu1(), "SNDlEP"}, {form.PopupMenu2(), "NC"}};
    for (const auto& [menu, letters] : popups) {
        const char* letter = letters;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator() && *letter != '\0')
                Underline(action, *letter++);
        }
    }
}

void Shortcuts(TMainForm& form)
{
    form.Help2()->setShortcut(QKeySequence(Qt::Key_F1));
    form.Exit1()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    form.Options1()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    form.Undo1()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    form.Redo1()->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    // The pop-up menus belong to no menu bar: their shortcuts work through the
    // widget they are added to.
    QAction* newWave = form.New1();
    if (newWave != nullptr) {
        newWave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
        form.addAction(newWave);
    }
    TWaveListBoxTarn& list = form.WaveListBoxTarn1();
    if (QAction* remove = list.DeleteMenuItem) {
        remove->setShortcut(QKeySequence(Qt::Key_Delete));
        remove->setShortcutContext(Qt::WidgetShortcut);
        list.addAction(remove);
    }
}

// Output panels: the two bars under their labels at the top left, then the
// rows of the right column, then the two rows under the bars.
void AddChannel(std::vector<QWidget*>& order, const TChannelControls& c)
{
    order.insert(order.end(),
                 {c.LevelBar,        c.ShiftBar,     c.VppOnOffBtn,  c.VppEdit,     c.VpOnOffBtn,   c.VpPlusOnOffBtn,
                  c.VpMinusOnOffBtn, c.VpEdit,       c.VrmsOnOffBtn, c.VrmsEdit,    c.VavgOnOffBtn, c.VavgEdit,
                  c.dBUnitsBox,      c.dBAbsEdit,    c.AutodBBtn,    c.ManualdBBtn, c.Set0dBBtn,    c.FilterBox,
                  c.dBRelEdit,       c.LoadOpenBtn,  c.Load50Btn,    c.LoadEdit,    c.OutputOffBtn, c.OutputOnBtn,
                  c.ShiftConBtn,     c.ShiftStepBtn, c.ShiftEdit,    c.Output20Btn, c.Output0Btn,   c.ShiftOutBtn,
                  c.ShiftNullBtn,    c.DevShiftEdit});
}

// The groups of the left column, then those of the right one, top to bottom;
// inside a group by rows, left to right.
std::vector<QWidget*> ReadingOrder(TMainForm& form)
{
    std::vector<QWidget*> order;
    AddChannel(order, form.ChannelWrapperTarn1().Controls());
    AddChannel(order, form.ChannelWrapperTarn2().Controls());
    TWaveListBoxTarn& list = form.WaveListBoxTarn1();
    order.insert(order.end(), {&list, list.FilterAllBtn, list.FilterStandardBtn, list.FilterArbitraryBtn});
    TTriggerWrapperTarn& t = form.TriggerWrapperTarn1();
    order.insert(order.end(),
                 {t.ArmOnBtn, t.ArmOffBtn, t.ArmZeroBtn, t.ArmOneBtn, t.TrigGoBtn, t.TrigStopBtn, t.TrigLeadingBtn,
                  t.TrigTrailingBtn, t.TrigOnBtn, t.TrigOffBtn, t.ModeSingleBtn, t.ModePeriodBtn});
    TFrequencyBarTarn& f = form.FrequencyBarTarn1();
    order.insert(order.end(), {&f, f.FineShiftBar, f.ZoomInBtn, f.ZoomOutBtn, f.ZoomAwayBtn, f.FrequencyEdit,
                               f.DevFrequencyEdit, f.ConModeBtn, f.StepModeBtn, f.SetBtn});
    return order;
}

void TabOrder(TMainForm& form)
{
    QWidget* previous = nullptr;
    for (QWidget* widget : ReadingOrder(form)) {
        if (widget == nullptr)
            continue;
        if (previous != nullptr)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

} // namespace

QString WithMnemonic(const QString& caption, QChar letter)
{
    // An ampersand of the caption itself is shown as one.
    QString text = QString(caption).replace(QLatin1Char('&'), QLatin1String("&&"));
    const qsizetype at = text.indexOf(letter, 0, Qt::CaseInsensitive);
    if (at >= 0)
        text.insert(at, QLatin1Char('&'));
    return text;
}

void SetUpKeyboard(TMainForm& form)
{
    Mnemonics(form);
    Shortcuts(form);
    TabOrder(form);
}

} // namespace tarn
