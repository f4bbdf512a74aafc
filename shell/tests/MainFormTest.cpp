// SPDX-License-Identifier: MIT
// The main window frame, its wiring and its exit handlers, over a recording driver.
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "device/DeviceAbstractionTarn.h"
#include "modules/ModuleManagerTarn.h"
#include "panels/ChannelWrapperTarn.h"
#include "shell/master/DialogService.h"
#include "panels/FrequencyBarTarn.h"
#include "panels/TriggerWrapperTarn.h"
#include "panels/WaveListBoxTarn.h"
#include "panels/WaveScreenTarn.h"
#include "remote/RemoteControlTarn.h"
#include "shell/HelpScreen.h"
#include "shell/Main.h"
#include "shell/UndoTarn.h"
#include "sweep/SweepRunnerTarn.h"
#include "shell/master/ObjMasterTarn.h"
#include "shell/master/tests/TestApp.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QTextBrowser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QUrl>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace tarn {
namespace {

class KeepPowerDriver : public TDAO_DEMO {
public:
    explicit KeepPowerDriver(std::vector<std::int32_t>& keepCalls, std::function<void()> onDestroyed = {})
        : keepCalls_(keepCalls), onDestroyed_(std::move(onDestroyed))
    {
    }
    ~KeepPowerDriver() override
    {
        if (onDestroyed_)
            onDestroyed_();
    }
    void SetKeepPowerAtExit(std::int32_t v) override { keepCalls_.push_back(v); }

private:
    std::vector<std::int32_t>& keepCalls_;
    std::function<void()> onDestroyed_;
};

class Answers : public TDialogService {
public:
    std::deque<TDialogResult> answers;
    int asked = 0;
    TDialogResult Message(TDialogKind, TDialogButtons, const std::string& text, const std::string&) override
    {
        ++asked;
        EXPECT_EQ(text, Strings::ExitConfirmation);
        const TDialogResult r = answers.empty() ? TDialogResult::Yes : answers.front();
        if (!answers.empty())
            answers.pop_front();
        return r;
    }
};

// Takes the addresses the program asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void Open(const QUrl& url) { urls << url; }
};

class MainForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestApp();
        QApplication::setQuitOnLastWindowClosed(false);
        form = std::make_unique<TMainForm>(dialogs);
        form->DeviceAbstractionTarn1().SetDriverFactory(
            [this] { return std::make_unique<KeepPowerDriver>(keepCalls); });
        form->ObjMasterTarn1().Notify(TObjMasterCode::omConnectDevice);
        form->show();
    }
    Answers dialogs;
    std::vector<std::int32_t> keepCalls;
    std::unique_ptr<TMainForm> form;
};

TEST_F(MainForm, FrameHasItsSizeCaptionGroupsAndMenus)
{
    EXPECT_EQ(form->centralWidget()->size(), QSize(792, 554));
    // It opens at the layout's size and may grow, never shrink below it.
    EXPECT_EQ(form->centralWidget()->minimumSize(), QSize(792, 554));
    EXPECT_GT(form->maximumSize().width(), form->width());
    EXPECT_GT(form->maximumSize().height(), form->height());
    EXPECT_EQ(form->windowTitle(), QString::fromUtf8(Strings::MainCaption));
    struct Expected {
        TMainForm::TGroup group;
        const char* title;
        QRect place;
    };
    const Expected groups[] = {{TMainForm::GroupOutputL, "Output L", {0, 0, 276, 275}},
                               {TMainForm::GroupOutputH, "Output H", {0, 278, 276, 275}},
                               {TMainForm::GroupWaveform, "Waveform", {279, 2, 513, 367}},
                               {TMainForm::GroupArm, "ARM", {279, 368, 191, 55}},
                               {TMainForm::GroupTrigger, "Trigger", {471, 368, 226, 55}},
                               {TMainForm::GroupMode, "Mode", {698, 368, 94, 55}},
                               {TMainForm::GroupFrequency, "Frequency", {279, 421, 513, 133}}};
    for (const Expected& e : groups) {
        EXPECT_EQ(form->Group(e.group)->title(), QString::fromUtf8(e.title));
        EXPECT_EQ(form->Group(e.group)->geometry(), e.place) << e.title;
    }
    QStringList menus;
    for (QAction* a : form->menuBar()->actions()) {
        menus << QString(a->text()).remove(QLatin1Char('&')); // mnemonics aside
        for (QAction* item : a->menu()->actions())
            menus << (item->isSeparator() ? QStringLiteral("-") : QString(item->text()).remove(QLatin1Char('&')));
    }
    EXPECT_EQ(menus.join(QLatin1Char('|')),
              QStringLiteral("Files|Undo|Redo|-|Exit (preserve H output)|Exit|Settings|Options|Sweep...|Help|Help|-|About"));
}

TEST_F(MainForm, ComponentsAreWiredToTheOneMasterAndSettings)
{
    EXPECT_EQ(form->DeviceAbstractionTarn1().ObjMaster(), &form->ObjMasterTarn1());
    EXPECT_EQ(form->DeviceAbstractionTarn1().Settings(), &form->SettingsTarn1());
    for (TChannelWrapperTarn* panel : {&form->ChannelWrapperTarn1(), &form->ChannelWrapperTarn2()}) {
        EXPECT_EQ(panel->ObjMaster(), &form->ObjMasterTarn1());
        EXPECT_EQ(panel->Settings(), &form->SettingsTarn1());
    }
    EXPECT_EQ(form->ChannelWrapperTarn1().ChannelIndex(), 0);
    EXPECT_EQ(form->ChannelWrapperTarn2().ChannelIndex(), 1);
    // Frequency bar, waveform preview and list, device abstraction, channel
    // panels L and H, trigger panel, module manager.
    EXPECT_EQ(form->FrequencyBarTarn1().ObjMaster(), &form->ObjMasterTarn1());
    EXPECT_EQ(form->FrequencyBarTarn1().Settings(), &form->SettingsTarn1());
    EXPECT_EQ(form->TriggerWrapperTarn1().ObjMaster(), &form->ObjMasterTarn1());
    EXPECT_EQ(form->TriggerWrapperTarn1().Settings(), &form->SettingsTarn1());
    EXPECT_EQ(form->WaveScreenTarn1().ObjMaster(), &form->ObjMasterTarn1());
    EXPECT_EQ(form->WaveListBoxTarn1().Settings(), &form->SettingsTarn1());
    TModuleManagerTarn& modules = form->ModuleManagerTarn1();
    EXPECT_EQ(modules.ObjMaster(), &form->ObjMasterTarn1());
    EXPECT_EQ(modules.Settings(), &form->SettingsTarn1());
    ASSERT_NE(modules.EditorMenuItem, nullptr);
    ASSERT_NE(modules.CreatorMenuItem, nullptr);
    EXPECT_EQ(modules.EditorMenuItem->title(), QStringLiteral("&Edit by"));
    EXPECT_TRUE(form->PopupMenu1()->actions().contains(modules.EditorMenuItem->menuAction()));
    EXPECT_EQ(modules.CreatorMenuItem->title(), QStringLiteral("&Create by"));
    EXPECT_TRUE(form->PopupMenu2()->actions().contains(modules.CreatorMenuItem->menuAction()));
    EXPECT_EQ(modules.MainWindow, form.get());
    EXPECT_EQ(form->RemoteControlTarn1().ObjMaster(), &form->ObjMasterTarn1());
    EXPECT_EQ(form->RemoteControlTarn1().Settings(), &form->SettingsTarn1());
    EXPECT_EQ(form->UndoTarn1().ObjMaster(), &form->ObjMasterTarn1());
    EXPECT_EQ(form->UndoTarn1().Settings(), &form->SettingsTarn1());
    EXPECT_EQ(form->SweepRunnerTarn1().ObjMaster(), &form->ObjMasterTarn1());
    EXPECT_EQ(form->SweepRunnerTarn1().Settings(), &form->SettingsTarn1());
    EXPECT_EQ(form->ObjMasterTarn1().ListenerCount(), 12u); // with the status bar, undo and the sweep runner
}

TEST_F(MainForm, ExitPreservingHOutputTellsTheDriverOnlyWhenConfirmed)
{
    dialogs.answers = {TDialogResult::No, TDialogResult::Yes};
    form->Exit2Click();
    EXPECT_TRUE(keepCalls.empty());
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->ExitConfirmed());
    form->Exit2Click();
    EXPECT_EQ(keepCalls, std::vector<std::int32_t>{1});
    EXPECT_TRUE(form->ExitConfirmed());
    EXPECT_TRUE(form->TerminateRequested());
    EXPECT_EQ(dialogs.asked, 2);
}

TEST_F(MainForm, PlainExitLeavesThePowerFlagAlone)
{
    form->Exit1Click();
    EXPECT_TRUE(form->ExitConfirmed());
    EXPECT_TRUE(keepCalls.empty());
}

TEST_F(MainForm, AnyAnswerButNoConfirms)
{
    dialogs.answers = {TDialogResult::Closed};
    form->close();
    EXPECT_TRUE(form->ExitConfirmed());
    EXPECT_FALSE(form->isVisible());
}

TEST_F(MainForm, EndsWithTheControlsThenTheDriverAndTheMasterLast)
{
    std::vector<std::string> order;
    form->DeviceAbstractionTarn1().SetDriverFactory(
        [&] { return std::make_unique<KeepPowerDriver>(keepCalls, [&order] { order.push_back("driver"); }); });
    form->ObjMasterTarn1().Notify(TObjMasterCode::omConnectDevice);
    QObject::connect(form->Group(TMainForm::GroupFrequency), &QObject::destroyed,
                     [&order] { order.push_back("controls"); });
    struct Late {
        std::vector<std::string>* order;
        void Handle(TObjMasterCode code, std::int32_t, void*)
        {
            order->push_back(code == TObjMasterCode::omMasterDestroying ? "master" : "broadcast");
        }
    } late{&order};
    form->ObjMasterTarn1().RegisterListener(TObjMasterNotifyEvent::Bind<&Late::Handle>(&late));
    form.reset();
    // Whatever is still registered hears the master go, after everything else.
    EXPECT_EQ(order, (std::vector<std::string>{"controls", "driver", "master"}));
}

TEST_F(MainForm, HelpOpensTheHelpPageOfTheProgramFolder)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("help")));
    QFile page(folder.path() + QStringLiteral("/help/help.htm"));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write("<html><body><h2 id=\"window\">The page of this folder</h2></body></html>");
    page.close();
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "Open");
    form->Help2()->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QDir::setCurrent(previous);
    // Shown by the program itself, not handed to the desktop.
    EXPECT_TRUE(catcher.urls.isEmpty());
    ASSERT_NE(form->HelpWindow(), nullptr);
    EXPECT_EQ(QFileInfo(form->HelpWindow()->Browser()->source().toLocalFile()).canonicalFilePath(),
              QFileInfo(QDir(folder.path()).canonicalPath() + QStringLiteral("/help/help.htm")).canonicalFilePath());
    EXPECT_TRUE(form->HelpWindow()->Browser()->toPlainText().contains(QStringLiteral("The page of this folder")));
    EXPECT_EQ(dialogs.asked, 0);
}

} // namespace
} // namespace tarn

#include "MainFormTest.moc"
