// SPDX-License-Identifier: MIT
// The main window's place and size across runs of the program: kept in
// "settings.xml" (during the run and at the end), put back at the next start,
// and brought onto the screen when the file puts it elsewhere.
#include "data/SettingsTarn.h"
#include "data/WindowPlace.h"
#include "data/XMLSettings.h"
#include "shell/Main.h"
#include "shell/TarnProgram.h"
#include "shell/master/tests/TestApp.h"
#include "tests/program/ProgramHarness.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace tarn::test {
namespace {

std::optional<TWindowPlace> StoredPlace(const TProgramFolder& folder)
{
    TXMLSettings store;
    if (!store.LoadFromFile(folder.File("settings.xml")))
        return std::nullopt;
    return ReadWindowPlace(store, "/window");
}

// One run: start, show, let `during` act on the window, finish (saves);
// where the window opened, with its frame.
QRect RunOnce(const TProgramFolder& folder, const std::function<void(TMainForm&)>& during = {})
{
    TScriptedDialogs dialogs;
    TProgramOptions options;
    options.programFolder = folder.Path().string();
    options.singleInstanceCheck = false;
    TTarnProgram program(dialogs, options);
    EXPECT_TRUE(program.Start());
    TMainForm& form = *program.MainForm();
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QRect opened = form.frameGeometry();
    if (during)
        during(form);
    program.Finish();
    return opened;
}

TEST(WindowPlace, KeptAcrossRunsAndBroughtBackOntoTheScreen)
{
    TestApp();
    QApplication::setQuitOnLastWindowClosed(false);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    TProgramFolder folder;

    // A first start (no entries) opens centred and writes nothing while nothing moves.
    const QRect first = RunOnce(folder, [&folder](TMainForm&) {
        QTest::qWait(2 * TSettingsTarn::AutosaveIntervalMs + 300);
        EXPECT_FALSE(StoredPlace(folder)) << "the window was not moved";
    });
    EXPECT_TRUE(screen.contains(first));
    ASSERT_TRUE(StoredPlace(folder)) << "written at the end";

    // Moved and made larger during the run: on disk within two autosaves.
    QRect wanted;
    RunOnce(folder, [&](TMainForm& form) {
        const QSize frame = form.frameGeometry().size() - form.size();
        form.resize(screen.size() - frame - QSize(4, 6));
        form.move(screen.left() + 3, screen.top() + 4);
        wanted = form.frameGeometry();
        QTest::qWait(3 * TSettingsTarn::AutosaveIntervalMs + 300);
        EXPECT_EQ(StoredPlace(folder), form.Place());
        EXPECT_EQ(form.Place().Left, wanted.x());
    });
    EXPECT_EQ(RunOnce(folder), wanted) << "put back at the next start";

    // A file that puts the window off every screen, or makes it tiny.
    const TWindowPlace strange[] = {{screen.right() + 4000, screen.top() - 3000, 900, 650}, {10, 10, 20, 20}};
    for (const TWindowPlace& place : strange) {
        TXMLSettings store;
        ASSERT_TRUE(store.LoadFromFile(folder.File("settings.xml")));
        WriteWindowPlace(store, "/window", place);
        ASSERT_TRUE(store.SaveToFile(folder.File("settings.xml")));
        const QRect opened = RunOnce(folder, [](TMainForm& form) {
            EXPECT_GE(form.centralWidget()->width(), TMainForm::kClientWidth);
            EXPECT_GE(form.centralWidget()->height(), TMainForm::kClientHeight);
        });
        EXPECT_TRUE(screen.contains(opened))
            << place.Left << "," << place.Top << " " << place.Width << " opened at " << opened.x() << "," << opened.y()
            << " " << opened.width() << "x" << opened.height() << " on " << screen.width() << "x" << screen.height();
    }
}

} // namespace
} // namespace tarn::test
