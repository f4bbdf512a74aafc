// SPDX-License-Identifier: MIT
#include "shell/DataFolder.h"
#include "shell/TerminationSignals.h"
#include "shell/master/tests/TestApp.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>

namespace tarn {
namespace {

namespace fs = std::filesystem;

TEST(DataFolder, UserFolderFollowsXdgThenHomeAndKeepsTheVirtualProgramApart)
{
    struct Case {
        const char* program;
        const char* xdg;
        const char* home;
        const char* expected;
    } cases[] = {
        {"/usr/lib/tarn", "/x/data", "/home/u", "/x/data/tarn"},
        {"/usr/lib/tarn/virtual", "/x/data", "/home/u", "/x/data/tarn-virtual"},
        {"/usr/lib/tarn/virtual/", nullptr, "/home/u", "/home/u/.local/share/tarn-virtual"},
        {"/usr/lib/tarn", "", "/home/u", "/home/u/.local/share/tarn"},
        {"/usr/lib/tarn", "relative/data", "/home/u", "/home/u/.local/share/tarn"},
        {"/usr/lib/tarn", nullptr, nullptr, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UserDataFolder(c.program, c.xdg, c.home), fs::path(c.expected)) << c.program;
    }
}

class DataFolderChoice : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::temp_directory_path() / ("tarn-datafolder-" + std::to_string(::getpid()));
        fs::create_directories(root_ / "program" / "virtual");
        ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    }
    void TearDown() override
    {
        fs::permissions(root_ / "program", fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(root_);
        ::unsetenv("XDG_DATA_HOME");
    }
    fs::path root_;
};

TEST_F(DataFolderChoice, WritableProgramFolderKeepsTheFiles)
{
    const TDataFolder choice = ChooseDataFolder(root_ / "program");
    EXPECT_TRUE(choice.inProgramFolder);
    EXPECT_EQ(choice.folder, root_ / "program");
    EXPECT_FALSE(fs::exists(root_ / "data"));
}

TEST_F(DataFolderChoice, ReadOnlyProgramFolderUsesTheUserFolderEvenForRoot)
{
    fs::permissions(root_ / "program", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const TDataFolder choice = ChooseDataFolder(root_ / "program");
    EXPECT_FALSE(choice.inProgramFolder);
    EXPECT_EQ(choice.folder, root_ / "data" / "tarn");
    EXPECT_TRUE(fs::is_directory(choice.folder)) << "made on first use";
}

TEST_F(DataFolderChoice, UnusableUserFolderFallsBackToTheProgramFolder)
{
    std::ofstream(root_ / "data") << "a file where the folder should be";
    fs::permissions(root_ / "program", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const TDataFolder choice = ChooseDataFolder(root_ / "program");
    EXPECT_TRUE(choice.inProgramFolder);
    EXPECT_EQ(choice.folder, root_ / "program");
}

TEST(TerminationSignals, SignalReachesTheCallbackOnTheEventLoopAndHandlersAreRestored)
{
    test::TestApp();
    int calls = 0;
    {
        const TTerminationSignals terminationSignals([&calls] { ++calls; });
        ASSERT_EQ(std::raise(SIGTERM), 0);
        EXPECT_EQ(calls, 0) << "nothing runs inside the signal handler";
        for (int i = 0; i < 50 && calls == 0; ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        EXPECT_EQ(calls, 1);
    }
    struct sigaction current {};
    ::sigaction(SIGTERM, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}

// A signal ignored by whoever started the program (nohup: SIGHUP) stays
// ignored; the others are handled, and everything is as before afterwards.
TEST(TerminationSignals, SignalsIgnoredAtStartStayIgnored)
{
    test::TestApp();
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    struct sigaction before {};
    ASSERT_EQ(::sigaction(SIGHUP, &ignore, &before), 0);
    const auto handler = [](int signal) {
        struct sigaction current {};
        ::sigaction(signal, nullptr, &current);
        return current.sa_handler;
    };
    int calls = 0;
    {
        const TTerminationSignals terminationSignals([&calls] { ++calls; });
        EXPECT_EQ(handler(SIGHUP), SIG_IGN);
        EXPECT_NE(handler(SIGTERM), SIG_DFL);
        EXPECT_NE(handler(SIGTERM), SIG_IGN);
        ASSERT_EQ(std::raise(SIGHUP), 0);
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        EXPECT_EQ(calls, 0);
    }
    EXPECT_EQ(handler(SIGHUP), SIG_IGN);
    EXPECT_EQ(handler(SIGTERM), SIG_DFL);
    ::sigaction(SIGHUP, &before, nullptr);
}

} // namespace
} // namespace tarn
