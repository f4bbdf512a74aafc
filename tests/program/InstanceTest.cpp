// SPDX-License-Identifier: MIT
// The built program as separate processes: a second start while one runs.
#include "data/StringsTarn.h"
#include "shell/master/tests/TestApp.h"
#include "tests/program/ProgramHarness.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <filesystem>
#include <string>

#include <unistd.h>

namespace tarn::test {
namespace {

namespace fs = std::filesystem;

class ProgramProcess {
public:
    explicit ProgramProcess(const fs::path& program)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process_.setProcessEnvironment(env);
        process_.setProgram(QString::fromStdString(program.string()));
        process_.start();
    }
    ~ProgramProcess()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;
    QProcess& Process() { return process_; }

private:
    QProcess process_;
};

// A copy of the program under a name of this test run only: a tarn running
// elsewhere on the machine is not another instance of it.
fs::path CopyProgram(const TProgramFolder& folder, const std::string& suffix = {})
{
    const fs::path copy = folder.Path() / ("tarn-test-" + std::to_string(::getpid()) + suffix);
    fs::copy_file(fs::path(TARN_BIN_DIR) / "tarn", copy, fs::copy_options::overwrite_existing);
    return copy;
}

bool SaysOtherInstanceRuns(QProcess& process)
{
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    return errors.contains(QString::fromUtf8(Strings::OtherInstanceRunning));
}

// Started, and still there after start-up had time to finish.
void ExpectRunning(ProgramProcess& program)
{
    ASSERT_TRUE(program.Process().waitForStarted(5000));
    EXPECT_FALSE(program.Process().waitForFinished(2500));
    ASSERT_EQ(program.Process().state(), QProcess::Running);
}

void ExpectRefusedAtOnce(ProgramProcess& second)
{
    ASSERT_TRUE(second.Process().waitForStarted(5000));
    ASSERT_TRUE(second.Process().waitForFinished(10000)) << "the second instance keeps running";
    EXPECT_EQ(second.Process().exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(SaysOtherInstanceRuns(second.Process()));
}

TEST(SingleInstance, SecondStartShowsTheMessageAndEndsWhileTheFirstRuns)
{
    TestApp();
    TProgramFolder folder;
    const fs::path program = CopyProgram(folder);
    ProgramProcess first(program);
    ExpectRunning(first);
    ProgramProcess second(program);
    ExpectRefusedAtOnce(second);

    // The first one is untouched, and nothing was saved by the second.
    EXPECT_FALSE(first.Process().waitForFinished(500));
    EXPECT_EQ(first.Process().state(), QProcess::Running);
    EXPECT_FALSE(fs::exists(folder.File("settings.xml")));
}

// An upgrade or cp -f replaces the file of the running program.
TEST(SingleInstance, ReplacedProgramFileStillCountsTheRunningInstance)
{
    TestApp();
    TProgramFolder folder;
    const fs::path program = CopyProgram(folder);
    ProgramProcess first(program);
    ExpectRunning(first);
    fs::remove(program);
    CopyProgram(folder);
    ProgramProcess second(program);
    ExpectRefusedAtOnce(second);
    EXPECT_EQ(first.Process().state(), QProcess::Running);
}

TEST(SingleInstance, CopyUnderAnotherNameIsNotDetected)
{
    TestApp();
    TProgramFolder folder;
    ProgramProcess first(CopyProgram(folder));
    ExpectRunning(first);
    ProgramProcess second(CopyProgram(folder, "-copy"));
    ExpectRunning(second);
    EXPECT_FALSE(SaysOtherInstanceRuns(second.Process()));
}

// The same program file in another folder is another installation (another
// driver, other files): it runs beside this one.
TEST(SingleInstance, SameNameInAnotherFolderRunsBeside)
{
    TestApp();
    TProgramFolder one;
    TProgramFolder other;
    ProgramProcess first(CopyProgram(one));
    ExpectRunning(first);
    ProgramProcess second(CopyProgram(other));
    ExpectRunning(second);
    EXPECT_FALSE(SaysOtherInstanceRuns(second.Process()));
}

// Another user's process never blocks: here one under this program's very
// path (exec -a), and one whose program file has this program's name.
TEST(SingleInstance, AnotherUsersProcessesDoNotCount)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can start a process as another user";
    }
    TestApp();
    TProgramFolder folder;
    const fs::path program = CopyProgram(folder);
    const fs::path lookalike = fs::temp_directory_path() / ("tarn-lookalike-" + std::to_string(::getpid()));
    fs::create_directories(lookalike);
    fs::permissions(lookalike, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec
                                   | fs::perms::others_read | fs::perms::others_exec);
    fs::copy_file("/bin/sleep", lookalike / program.filename(), fs::copy_options::overwrite_existing);
    const QStringList asNobody = {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                  QStringLiteral("--clear-groups")};
    QProcess sleeper;
    sleeper.start(QStringLiteral("setpriv"),
                  asNobody + QStringList{QString::fromStdString((lookalike / program.filename()).string()),
                                         QStringLiteral("30")});
    QProcess disguised;
    disguised.start(QStringLiteral("setpriv"),
                    asNobody + QStringList{QStringLiteral("bash"), QStringLiteral("-c"),
                                           QStringLiteral("exec -a \"$0\" sleep 30"),
                                           QString::fromStdString(program.string())});
    ASSERT_TRUE(sleeper.waitForStarted(5000) && disguised.waitForStarted(5000));
    ASSERT_FALSE(sleeper.waitForFinished(300)) << sleeper.readAllStandardError().toStdString();
    ASSERT_FALSE(disguised.waitForFinished(300)) << disguised.readAllStandardError().toStdString();
    {
        ProgramProcess first(program);
        ExpectRunning(first);
        EXPECT_FALSE(SaysOtherInstanceRuns(first.Process()));
    }
    sleeper.kill();
    disguised.kill();
    sleeper.waitForFinished(5000);
    disguised.waitForFinished(5000);
    fs::remove_all(lookalike);
}

} // namespace
} // namespace tarn::test
