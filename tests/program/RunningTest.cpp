// SPDX-License-Identifier: MIT
// The running program: communication broken and restored, and the ways out.
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "data/WaveformRepositoryFile.h"
#include "device/DeviceAbstractionTarn.h"
#include "shell/CommBrokenScreen.h"
#include "shell/Main.h"
#include "shell/StatusBarTarn.h"
#include "shell/TarnProgram.h"
#include "shell/master/ObjMasterTarn.h"
#include "panels/WaveListBoxTarn.h"
#include "shell/master/tests/TestApp.h"
#include "tests/program/DeviceExpectations.h"
#include "tests/program/ProgramHarness.h"

#include <gtest/gtest.h>

#include <QPushButton>

#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace tarn::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Counts the reconnection attempts of the communication-broken window.
struct TReconnectWatch {
    int attempts = 0;
    int succeeded = 0;
    void Handle(TObjMasterCode code, std::int32_t, void* data)
    {
        if (code == TObjMasterCode::omReconnect) {
            ++attempts;
            succeeded += *static_cast<bool*>(data) ? 1 : 0;
        }
    }
};

std::string ReadText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Running : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        QApplication::setQuitOnLastWindowClosed(false);
        WriteDistinctSettings(folder.Path());
        vg = std::make_unique<TVirtualGenerator>(folder.File("libvireo.so"));
        ASSERT_TRUE(vg->Loaded());
        calibration = ReadCalibration(*vg);
        TProgramOptions options;
        options.programFolder = folder.Path().string();
        options.singleInstanceCheck = false;
        program = std::make_unique<TTarnProgram>(dialogs, options);
        ASSERT_TRUE(program->Start());
        ASSERT_TRUE(dialogs.shown.empty());
        // Whatever the run writes must be new.
        fs::remove(folder.File("settings.xml"));
        fs::remove(folder.File("waveforms.dat"));
    }
    TMainForm& Form() { return *program->MainForm(); }
    TStepper::Step Do(std::function<void()> action)
    {
        return [action] {
            action();
            return true;
        };
    }
    void Run(std::vector<TStepper::Step> steps)
    {
        TStepper stepper(std::move(steps), 20s);
        program->Exec();
        EXPECT_FALSE(stepper.TimedOut()) << "after step " << stepper.StepsDone();
        EXPECT_TRUE(stepper.Finished()) << "stopped at step " << stepper.StepsDone();
    }
    void FinishAndExpectBothFiles()
    {
        program->Finish();
        EXPECT_TRUE(fs::exists(folder.File("settings.xml")));
        EXPECT_TRUE(fs::exists(folder.File("waveforms.dat")));
    }
    std::vector<std::string> MessagesWithout(const char* text) const
    {
        std::vector<std::string> out;
        for (const auto& t : dialogs.Texts())
            if (t != text)
                out.push_back(t);
        return out;
    }

    TProgramFolder folder;
    TScriptedDialogs dialogs;
    std::unique_ptr<TVirtualGenerator> vg;
    TCalibration calibration{};
    TReconnectWatch watch; // outlives the program's master
    std::unique_ptr<TTarnProgram> program;
};

TEST_F(Running, UnpluggedDeviceOpensTheWindowOnceAndPluggingItInRestoresAllSettings)
{
    int levelWrites = 0;
    int attemptsBeforePlugging = 0;
    Run({TStepper::Wait(600ms), Do([&] {
             levelWrites = vg->RegisterWriteCount(1);
             EXPECT_EQ(Form().StatusBarTarn1().Generator(), "virtual generator");
             EXPECT_EQ(Form().StatusBarTarn1().Communication(), "");
             Form().StatusBarTarn1().SetReconnectedMs(400);
             Form().ObjMasterTarn1().RegisterListener(TObjMasterNotifyEvent::Bind<&TReconnectWatch::Handle>(&watch));
             vg->SetPlugged(false);
         }),
         [&] { return Form().CommBrokenForm() != nullptr; },
         // It stays up, retrying, while the device is away; and it opens only once.
         TStepper::Wait(1500ms),
         [&] {
             EXPECT_NE(Form().CommBrokenForm(), nullptr);
             EXPECT_TRUE(Form().CommBrokenForm()->RetryActive());
             EXPECT_EQ(Form().CommBrokenCount(), 1);
             EXPECT_GE(watch.attempts, 1);
             EXPECT_EQ(watch.succeeded, 0);
             EXPECT_EQ(Form().StatusBarTarn1().Communication(), "communication broken, retrying");
             attemptsBeforePlugging = watch.attempts;
             vg->SetPlugged(true);
             return true;
         },
         [&] { return Form().CommBrokenForm() == nullptr; }, Do([&] {
             // Counted in the window's own retry ticks, which a loaded machine
             // only delays: the first attempt after plugging in succeeds.
             EXPECT_EQ(watch.attempts - attemptsBeforePlugging, 1);
             EXPECT_EQ(watch.succeeded, 1);
             EXPECT_EQ(Form().CommBrokenCount(), 1);
             EXPECT_FALSE(Form().DeviceAbstractionTarn1().CommBrokenReported());
             EXPECT_GT(vg->RegisterWriteCount(1), levelWrites);
             ExpectDeviceHolds(*vg, Form().SettingsTarn1(), calibration);
             EXPECT_EQ(Form().StatusBarTarn1().Communication(), "reconnected");
         }),
         TStepper::Wait(700ms), Do([&] {
             EXPECT_EQ(Form().StatusBarTarn1().Communication(), "");
             EXPECT_EQ(Form().CommBrokenCount(), 1);
             Form().Exit1Click();
         })});
    EXPECT_TRUE(Form().ExitConfirmed());
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{Strings::ExitConfirmation});
    FinishAndExpectBothFiles();
}

TEST_F(Running, ExitInTheCommunicationBrokenWindowEndsTheProgramAndSaves)
{
    Run({TStepper::Wait(100ms), Do([&] { vg->SetPlugged(false); }), [&] { return Form().CommBrokenForm() != nullptr; },
         TStepper::Wait(300ms), Do([&] { Form().CommBrokenForm()->ExitButton()->click(); })});
    EXPECT_TRUE(Form().TerminateRequested());
    EXPECT_FALSE(Form().ExitConfirmed());
    EXPECT_TRUE(dialogs.shown.empty()); // no exit question on this way out
    FinishAndExpectBothFiles();
}

TEST_F(Running, ExitAnsweredNoKeepsRunningThenYesSaves)
{
    dialogs.answers = {TDialogResult::No, TDialogResult::Yes};
    Run({TStepper::Wait(50ms), Do([&] { Form().Exit1Click(); }), TStepper::Wait(600ms), Do([&] {
             EXPECT_TRUE(Form().isVisible());
             EXPECT_FALSE(Form().ExitConfirmed());
             EXPECT_FALSE(Form().TerminateRequested());
             EXPECT_TRUE(Form().DeviceAbstractionTarn1().PollActive());
             // The close box asks the same question.
             Form().close();
         })});
    EXPECT_TRUE(Form().ExitConfirmed());
    EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{Strings::ExitConfirmation, Strings::ExitConfirmation}));
    EXPECT_EQ(dialogs.shown[0].kind, TDialogKind::Warning);
    EXPECT_EQ(dialogs.shown[0].buttons, TDialogButtons::YesNo);
    FinishAndExpectBothFiles();
    EXPECT_EQ(vg->Power(), 0);
}

// Run as root too: a file without any write bit is not replaced.
TEST_F(Running, ReadOnlySettingsShowTheirMessageAndTheRepositoryIsStillWritten)
{
    Run({TStepper::Wait(50ms), Do([&] {
             std::ofstream(folder.File("settings.xml")) << "<SETTINGS/>";
             fs::permissions(folder.File("settings.xml"), fs::perms::owner_read | fs::perms::group_read);
             Form().Exit1Click();
         })});
    program->Finish();
    EXPECT_EQ(ReadText(folder.File("settings.xml")), "<SETTINGS/>");
    EXPECT_EQ(MessagesWithout(Strings::ExitConfirmation), std::vector<std::string>{Strings::UnableToSaveSettings});
    EXPECT_EQ(dialogs.shown.back().caption, Strings::ErrorCaption);
    EXPECT_EQ(dialogs.shown.back().kind, TDialogKind::Error);
    EXPECT_TRUE(fs::exists(folder.File("waveforms.dat")));
}

TEST_F(Running, UnwritableRepositoryShowsItsMessage)
{
    Run({TStepper::Wait(50ms), Do([&] {
             fs::create_directory(folder.File("waveforms.dat"));
             fs::create_directory(folder.File("waveforms.dat") / "keep");
             Form().Exit1Click();
         })});
    program->Finish();
    EXPECT_EQ(MessagesWithout(Strings::ExitConfirmation), std::vector<std::string>{Strings::UnableToSaveRepository});
    EXPECT_TRUE(fs::is_regular_file(folder.File("settings.xml")));
}

TEST_F(Running, ExitPreservingHOutputAnsweredNoChangesNothingAndYesKeepsPower)
{
    dialogs.answers = {TDialogResult::No, TDialogResult::Yes};
    Run({TStepper::Wait(50ms), Do([&] { Form().Exit2Click(); }), TStepper::Wait(300ms), Do([&] {
             EXPECT_FALSE(Form().TerminateRequested());
             Form().Exit2Click();
         })});
    program->Finish();
    // De-initialisation left the device powered.
    EXPECT_EQ(vg->Power(), 1);
}

TEST_F(Running, ExitPreservingHOutputAnsweredNoThenPlainExitSwitchesOff)
{
    dialogs.answers = {TDialogResult::No, TDialogResult::Yes};
    Run({TStepper::Wait(50ms), Do([&] { Form().Exit2Click(); }), TStepper::Wait(100ms),
         Do([&] { Form().Exit1Click(); })});
    program->Finish();
    EXPECT_EQ(vg->Power(), 0);
}

// Another program shortens the library file and writes other bytes after the
// cut while the program runs: no crash, and at the next autosave tick the
// waveforms whose samples were still in the file go and the standard ones
// lead the list, as at a start with a damaged file. What is saved then reads
// back whole.
TEST(RunningLibrary, FileShortenedAndRewrittenByAnotherProcessIsRecovered)
{
    TestApp();
    QApplication::setQuitOnLastWindowClosed(false);
    TProgramFolder folder;
    WriteDistinctSettings(folder.Path());
    {
        TSettingsTarn s;
        s.SetDefaults();
        s.Load(folder.Path());
        for (int i = 0; i < 200; ++i) {
            TWaveformTarn w;
            w.Allocate(3000 + i, 4096, false);
            w.Name = "lib" + std::to_string(i);
            s.AddWaveform(w);
        }
        ASSERT_TRUE(s.Save(folder.Path()).Ok());
    }
    const fs::path file = folder.File("waveforms.dat");
    TScriptedDialogs dialogs;
    TProgramOptions options;
    options.programFolder = folder.Path().string();
    options.singleInstanceCheck = false;
    TTarnProgram program(dialogs, options);
    ASSERT_TRUE(program.Start());
    TMainForm& form = *program.MainForm();
    ASSERT_GE(ListRow(form, "lib199"), 0);
    TStepper stepper({TStepper::Wait(200ms),
                      [&] {
                          const pid_t child = ::fork();
                          if (child == 0) {
                              const auto size = fs::file_size(file);
                              fs::resize_file(file, size / 3);
                              std::ofstream(file, std::ios::binary | std::ios::app) << std::string(size, 'x');
                              ::_exit(0);
                          }
                          int status = 0;
                          return child > 0 && ::waitpid(child, &status, 0) == child;
                      },
                      // Scrolled to the end: the rows drawn want samples that are gone.
                      [&] {
                          form.WaveListBoxTarn1().scrollToBottom();
                          form.WaveListBoxTarn1().viewport()->repaint();
                          return true;
                      },
                      [&] { return ListRow(form, "lib199") < 0; },
                      [&] {
                          form.Exit1Click();
                          return true;
                      }},
                     20s);
    program.Exec();
    EXPECT_TRUE(stepper.Finished()) << "stopped at step " << stepper.StepsDone();
    const TWaveListBoxTarn& list = form.WaveListBoxTarn1();
    ASSERT_GE(list.Count(), 4);
    EXPECT_EQ(list.Item(0), "Sine");
    EXPECT_EQ(list.Item(3), "Square");
    program.Finish();
    TWaveformList device, repository;
    EXPECT_TRUE(LoadWaveformRepositoryFile(file, device, repository));
    ASSERT_GE(repository.size(), 4u);
    EXPECT_EQ(repository[0]->Name, "Sine");
    for (const auto& w : repository)
        EXPECT_NE(w->Name, "lib199");
}

} // namespace
} // namespace tarn::test
