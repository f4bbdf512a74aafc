// SPDX-License-Identifier: MIT
// The main window's mnemonics and shortcuts, pressed as keys.
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "panels/FrequencyBarTarn.h"
#include "panels/WaveListBoxTarn.h"
#include "shell/HelpScreen.h"
#include "shell/KeyboardTarn.h"
#include "shell/Main.h"
#include "shell/master/DialogService.h"
#include "shell/master/ObjMasterTarn.h"
#include "shell/master/tests/ModalKeys.h"
#include "shell/master/tests/TestApp.h"
#include "shell/tests/ShownForm.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <set>
#include <string>

namespace tarn {
namespace {

class Exits : public TDialogService {
public:
    int asked = 0;
    TDialogResult Message(TDialogKind, TDialogButtons buttons, const std::string& text, const std::string&) override
    {
        asked += text == Strings::ExitConfirmation ? 1 : 0;
        // Deleting a standard waveform is asked for.
        return buttons == TDialogButtons::YesNoDefaultNo ? TDialogResult::Yes : TDialogResult::No;
    }
};

class Opened : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void Open(const QUrl& url) { urls << url; }
};

class KeyboardShortcuts : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = test::ShownForm(dialogs);
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    // The class of the modal window the key opened (closed again with Escape), or "".
    std::string Press(const QKeySequence& keys)
    {
        test::RefocusAfterModal(*form);
        return test::ModalClosedByEscape(
            [&keys] { QTest::keyClick(QGuiApplication::focusWindow(), keys[0].key(), keys[0].keyboardModifiers()); });
    }

    Exits dialogs;
    std::unique_ptr<TMainForm> form;
};

TEST(Mnemonic, GoesBeforeTheFirstLetterOfEitherCase)
{
    const struct {
        const char* caption;
        char letter;
        const char* shown;
    } cases[] = {
        {"Exit", 'x', "E&xit"},      {"Exit (preserve H output)", 'p', "Exit (&preserve H output)"},
        {"Help", 'h', "&Help"},      {"Delete", 'l', "De&lete"},
        {"Options", 'z', "Options"}, {"", 'a', ""},
        {"R&D", 'd', "R&&&D"},       {"A&B", 'x', "A&&B"}, // the caption's own ampersand stays one
    };
    for (const auto& c : cases)
        EXPECT_EQ(WithMnemonic(QString::fromUtf8(c.caption), QLatin1Char(c.letter)), QString::fromUtf8(c.shown));
}

TEST_F(KeyboardShortcuts, EveryMenuItemHasAMnemonicOfItsOwnAndKeepsItsCaption)
{
    std::vector<QList<QAction*>> menus{form->menuBar()->actions()};
    for (QAction* menu : form->menuBar()->actions())
        menus.push_back(menu->menu()->actions());
    menus.push_back(form->PopupMenu1()->actions());
    menus.push_back(form->PopupMenu2()->actions());
    QStringList captions;
    for (const QList<QAction*>& items : menus) {
        std::set<QChar> letters;
        for (const QAction* item : items) {
            if (item->isSeparator())
                continue;
            const QString text = item->text();
            const qsizetype at = text.indexOf(QLatin1Char('&'));
            ASSERT_GE(at, 0) << text.toStdString();
            EXPECT_EQ(text.count(QLatin1Char('&')), 1) << text.toStdString();
            EXPECT_TRUE(letters.insert(text.at(at + 1).toLower()).second) << "twice in a menu: " << text.toStdString();
            captions << QString(text).remove(QLatin1Char('&'));
        }
    }
    EXPECT_EQ(captions.join('|'), "Files|Settings|Help|Undo|Redo|Exit (preserve H output)|Exit|Options|Sweep...|Help|About|"
                                  "Send to generator|New|Duplicate|Delete|Edit by|Properties|New|Create by");
}

TEST_F(KeyboardShortcuts, CommonShortcutsDoWhatTheirItemsDo)
{
    Opened opened;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "Open");
    EXPECT_EQ(Press(Qt::Key_F1), "");
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    EXPECT_TRUE(opened.urls.isEmpty()) << "the manual has a window of its own";
    ASSERT_NE(form->HelpWindow(), nullptr);
    EXPECT_TRUE(form->HelpWindow()->isVisible());
    form->HelpWindow()->close();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));

    EXPECT_EQ(Press(QKeySequence(Qt::CTRL | Qt::Key_Comma)), "tarn::TOptionsForm");
    EXPECT_EQ(Press(QKeySequence(Qt::CTRL | Qt::Key_N)), "tarn::TNewWaveForm");
    EXPECT_EQ(dialogs.asked, 0);
    EXPECT_EQ(Press(QKeySequence(Qt::CTRL | Qt::Key_Q)), "");
    EXPECT_EQ(dialogs.asked, 1) << "the exit question";
    EXPECT_TRUE(form->isVisible()) << "answered No";

    // Delete acts on the list's item only while the list has the focus.
    TWaveListBoxTarn& list = form->WaveListBoxTarn1();
    list.SetItemIndex(1);
    form->FrequencyBarTarn1().setFocus();
    Press(Qt::Key_Delete);
    EXPECT_EQ(list.Count(), 4);
    list.setFocus();
    Press(Qt::Key_Delete);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Item(1), "Triangle");
    list.SetItemIndex(-1);
    Press(Qt::Key_Delete);
    EXPECT_EQ(list.Count(), 3) << "nothing selected";

    // Undo and redo it.
    EXPECT_EQ(Press(QKeySequence(Qt::CTRL | Qt::Key_Z)), "");
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Item(list.ItemIndex()), "Saw");
    EXPECT_EQ(Press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)), "");
    EXPECT_EQ(list.Count(), 3);
}

TEST_F(KeyboardShortcuts, ArrowsPickTheListFilterAmongItsThreeButtons)
{
    TWaveListBoxTarn& list = form->WaveListBoxTarn1();
    list.FilterAllBtn->setFocus(Qt::TabFocusReason);
    const struct {
        int key;
        int filter;
        int count;
    } steps[] = {{Qt::Key_Down, 1, 4}, {Qt::Key_Down, 2, 0}, {Qt::Key_Up, 1, 4}, {Qt::Key_Up, 0, 4}};
    for (const auto& step : steps) {
        Press(QKeySequence(step.key));
        EXPECT_EQ(list.Filter(), step.filter);
        EXPECT_EQ(list.Count(), step.count);
    }
}

} // namespace
} // namespace tarn

#include "KeyboardTest.moc"
