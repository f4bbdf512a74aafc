// SPDX-License-Identifier: MIT
// The splash window, the communication-broken window and the process count
// behind the single-instance test.
#include "data/StringsTarn.h"
#include "shell/CommBrokenScreen.h"
#include "shell/master/ObjMasterTarn.h"
#include "shell/SingleInstance.h"
#include "shell/SplashScreen.h"
#include "shell/master/tests/TestApp.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#include <unistd.h>

namespace tarn {
namespace {

namespace fs = std::filesystem;

TEST(Splash, HasItsSizeThePictureAndTheStatusLine)
{
    test::TestApp();
    TSplashForm splash;
    EXPECT_EQ(splash.size(), QSize(390, 268));
    EXPECT_TRUE(splash.PictureLoaded());
    splash.SetStatus(QString::fromUtf8(Strings::SplashCreatingDeviceContext));
    EXPECT_EQ(splash.Status(), QString::fromUtf8(Strings::SplashCreatingDeviceContext));
    EXPECT_TRUE(splash.windowFlags().testFlag(Qt::FramelessWindowHint));
    // The picture on top, the status line of 20 pixels at the bottom, centred, 16-pixel font.
    const QLabel* picture = nullptr;
    const QLabel* status = nullptr;
    for (const QLabel* label : splash.findChildren<QLabel*>()) {
        (label->text().isEmpty() ? picture : status) = label;
    }
    ASSERT_NE(picture, nullptr);
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(picture->geometry(), QRect(0, 0, 390, 249));
    EXPECT_EQ(picture->pixmap().size(), QSize(390, 249));
    EXPECT_EQ(status->height(), 20);
    EXPECT_EQ(status->width(), 390);
    EXPECT_EQ(status->geometry().bottom(), 267);
    EXPECT_EQ(status->alignment(), Qt::AlignCenter);
    EXPECT_EQ(status->font().pixelSize(), 16);
}

// Answers omReconnect with failure until the given attempt.
struct Reconnector {
    int attempts = 0;
    int succeedAt = 3;
    std::function<void(int attempt)> onAttempt;
    void Handle(TObjMasterCode code, std::int32_t index, void* data)
    {
        if (code != TObjMasterCode::omReconnect)
            return;
        EXPECT_EQ(index, 0);
        ASSERT_NE(data, nullptr);
        EXPECT_FALSE(*static_cast<bool*>(data));
        *static_cast<bool*>(data) = ++attempts >= succeedAt;
        if (onAttempt)
            onAttempt(attempts);
    }
};

class CommBroken : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestApp();
        master.RegisterListener(TObjMasterNotifyEvent::Bind<&Reconnector::Handle>(&reconnector));
    }
    TObjMasterTarn master;
    Reconnector reconnector;
    QWidget owner;
};

TEST_F(CommBroken, RetriesEveryHalfSecondAndClosesItselfOnSuccess)
{
    // Started before the retry timer, so that it never shows less time than passed.
    QElapsedTimer clock;
    clock.start();
    TCommBrokenForm form(master, &owner);
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8(Strings::CommBrokenCaption));
    EXPECT_EQ(form.size(), QSize(273, 130));
    EXPECT_EQ(form.ExitButton()->text(), QString::fromUtf8(Strings::CommBrokenExit));
    // The window's own timer sets the pace; a loaded machine can only delay
    // its ticks, and a coarse timer fires at most 5 % early.
    const auto timers = form.findChildren<QTimer*>();
    ASSERT_EQ(timers.size(), 1);
    EXPECT_EQ(timers[0]->interval(), 500);
    EXPECT_TRUE(form.Execute());
    EXPECT_EQ(reconnector.attempts, 3);
    EXPECT_GE(clock.elapsed(), 3 * 475);
    EXPECT_FALSE(form.RetryActive());
}

TEST_F(CommBroken, LayoutAndMessage)
{
    TCommBrokenForm form(master, &owner);
    EXPECT_EQ(form.ExitButton()->geometry(), QRect(198, 104, 75, 25));
    // The message: a word-wrapped label, as tall as its text needs (at least the usual 86).
    ASSERT_NE(form.Message(), nullptr);
    EXPECT_EQ(form.Message()->text(), QString::fromUtf8(Strings::CommBrokenMessage));
    EXPECT_EQ(form.Message()->geometry(), QRect(56, 16, 201, 86));
    EXPECT_TRUE(form.Message()->wordWrap());
    const auto labels = form.findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 2);
    EXPECT_EQ(labels[0]->geometry(), QRect(11, 25, 31, 31));
    EXPECT_FALSE(labels[0]->pixmap().isNull());
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    // Retrying from creation on, before the window is shown.
    EXPECT_TRUE(form.RetryActive());
}

TEST_F(CommBroken, ExitEndsItWithoutReconnection)
{
    reconnector.succeedAt = 1000;
    TCommBrokenForm form(master, &owner);
    // Clicked as the second attempt fails, not at a wall-clock time.
    reconnector.onAttempt = [&form](int attempt) {
        if (attempt == 2)
            form.ExitButton()->click();
    };
    EXPECT_FALSE(form.Execute());
    EXPECT_EQ(reconnector.attempts, 2);
}

TEST_F(CommBroken, CloseBoxEndsItWithoutReconnection)
{
    reconnector.succeedAt = 1000;
    TCommBrokenForm form(master, &owner);
    QTimer::singleShot(100, &form, [&form] { form.close(); });
    EXPECT_FALSE(form.Execute());
}

class FakeProc : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device random;
        root = fs::temp_directory_path() / ("tarn-proc-" + std::to_string(random()));
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }
    void Process(const std::string& pid, const fs::path& exe, uid_t uid = kUser)
    {
        fs::create_directories(root / pid);
        fs::create_symlink(exe, root / pid / "exe");
        std::ofstream(root / pid / "status") << "Name:\tx\nUmask:\t0022\nUid:\t" << uid << "\t" << uid << "\t" << uid
                                              << "\t" << uid << "\nGid:\t0\t0\t0\t0\n";
    }
    void CommandLine(const std::string& pid, const std::string& arguments)
    {
        fs::create_directories(root / pid);
        std::ofstream(root / pid / "cmdline", std::ios::binary) << arguments;
    }
    static constexpr uid_t kUser = 1000;
    fs::path root;
};

// Only numbered entries of this user whose program file is exactly this one:
// not another folder's copy, another name, another user's process, nor one
// whose link cannot be read (its command line proves nothing).
TEST_F(FakeProc, CountsThisUsersProcessesOfThisProgramFileOnly)
{
    Process("101", "/opt/a/tarn");
    Process("102", "/home/b/tarn");
    Process("103", "/opt/a/Tarn");
    Process("104", "/opt/a/tarn-copy");
    Process("105", "/opt/a/tarn", 1001);
    Process("106", "/opt/a/tarn", 0);
    Process("self", "/opt/a/tarn");
    fs::create_directories(root / "107"); // no readable link
    CommandLine("108", std::string("/opt/a/tarn\0--flag\0", 19));
    Process("109", "/usr/bin/sleep");
    CommandLine("109", std::string("/opt/a/tarn\0", 12));
    fs::create_directories(root / "110");
    fs::create_symlink("/opt/a/tarn", root / "110" / "exe"); // no status: ended meanwhile
    EXPECT_EQ(CountInstances(root, "/opt/a/tarn", kUser), 1);
    EXPECT_EQ(CountInstances(root, "/opt/a/tarn", 1001), 1);
    EXPECT_EQ(CountInstances(root, "/home/b/tarn", kUser), 1);
    EXPECT_EQ(CountInstances(root, "/opt/a/other", kUser), 0);
}

// A program file replaced while it runs (an upgrade, cp -f) leaves its
// processes' links marked deleted.
TEST_F(FakeProc, ReplacedProgramsCount)
{
    Process("201", "/opt/a/tarn (deleted)");
    Process("202", "/opt/a/tarn-copy (deleted)");
    Process("203", "/opt/a/tarn");
    EXPECT_EQ(CountInstances(root, "/opt/a/tarn", kUser), 2);
    EXPECT_EQ(CountInstances(root, "/opt/a/tarn-copy", kUser), 1);
    EXPECT_EQ(ExecutablePath("/opt/a/tarn (deleted)"), fs::path("/opt/a/tarn"));
    EXPECT_EQ(ExecutablePath("/opt/a/tarn"), fs::path("/opt/a/tarn"));
}

TEST_F(FakeProc, UnreadableListPassesAndTheRealListHoldsThisProcess)
{
    EXPECT_EQ(CountInstances(root / "missing", "/opt/a/tarn", kUser), std::nullopt);
    EXPECT_FALSE(OwnExecutable().empty());
    EXPECT_EQ(CountInstances("/proc", OwnExecutable(), ::getuid()).value_or(0), 1);
}

} // namespace
} // namespace tarn
