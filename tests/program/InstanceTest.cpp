// The built program as separate processes: a second start while one runs.
#include "data/StringsTarn.h"
#include "shell/master/tests/TestApp.h"
#include "tests/program/ProgramHarness.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <filesystem>

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

TEST(SingleInstance, SecondStartShowsTheMessageAndEndsWhileTheFirstRuns)
{
    TestApp();
    TProgramFolder folder;
    fs::copy_file(fs::path(TARN_BIN_DIR) / "tarn", folder.File("tarn"));

    ProgramProcess first(folder.File("tarn"));
    ASSERT_TRUE(first.Process().waitForStarted(5000));
    // Up and running: it is still there after start-up had time to finish.
    EXPECT_FALSE(first.Process().waitForFinished(2500));
    ASSERT_EQ(first.Process().state(), QProcess::Running);

    ProgramProcess second(folder.File("tarn"));
    ASSERT_TRUE(second.Process().waitForStarted(5000));
    ASSERT_TRUE(second.Process().waitForFinished(10000));
    EXPECT_EQ(second.Process().exitStatus(), QProcess::NormalExit);
    const QString errors = QString::fromUtf8(second.Process().readAllStandardError());
    EXPECT_TRUE(errors.contains(QString::fromUtf8(Strings::OtherInstanceRunning))) << errors.toStdString();

    // The first one is untouched, and nothing was saved by the second.
    EXPECT_FALSE(first.Process().waitForFinished(500));
    EXPECT_EQ(first.Process().state(), QProcess::Running);
    EXPECT_FALSE(fs::exists(folder.File("settings.xml")));
}

TEST(SingleInstance, CopyUnderAnotherNameIsNotDetected)
{
    TestApp();
    TProgramFolder folder;
    fs::copy_file(fs::path(TARN_BIN_DIR) / "tarn", folder.File("tarn"));
    fs::copy_file(fs::path(TARN_BIN_DIR) / "tarn", folder.File("tarn-copy"));
    ProgramProcess first(folder.File("tarn"));
    ASSERT_TRUE(first.Process().waitForStarted(5000));
    ProgramProcess second(folder.File("tarn-copy"));
    ASSERT_TRUE(second.Process().waitForStarted(5000));
    EXPECT_FALSE(second.Process().waitForFinished(2500));
    const QString errors = QString::fromUtf8(second.Process().readAllStandardError());
    EXPECT_FALSE(errors.contains(QString::fromUtf8(Strings::OtherInstanceRunning)));
}

} // namespace
} // namespace tarn::test
