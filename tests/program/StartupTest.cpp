// SPDX-License-Identifier: MIT
// The program's start-up paths, run in-process through the real start-up code
// with scripted dialogs, in a program folder holding the real driver library
// and the virtual generator.
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "device/DaoTarn.h"
#include "device/DeviceAbstractionTarn.h"
#include "shell/Main.h"
#include "shell/StatusBarTarn.h"
#include "shell/master/ObjMasterTarn.h"
#include "shell/CommBrokenScreen.h"
#include "shell/SplashScreen.h"
#include "shell/TarnProgram.h"
#include "shell/TerminationSignals.h"
#include "shell/master/tests/TestApp.h"
#include "tests/program/DeviceExpectations.h"
#include "tests/program/ProgramHarness.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <csignal>

namespace tarn::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TProgramOptions InFolder(const TProgramFolder& folder)
{
    TProgramOptions options;
    options.programFolder = folder.Path().string();
    options.singleInstanceCheck = false;
    return options;
}

// Ends the program from inside its message loop with "Exit" answered Yes.
std::vector<TStepper::Step> ExitSteps(TTarnProgram& program)
{
    return {TStepper::Wait(50ms), [&program] {
                program.MainForm()->Exit1Click();
                return true;
            }};
}

// What a listener registered behind the device abstraction sees during start-up.
struct TStartupWatch {
    struct Seen {
        TObjMasterCode code;
        std::int32_t index;
        std::string status;
        bool splashShown;
        bool loaded;
        bool defaultsSet;
    };
    TTarnProgram* program = nullptr;
    TMainForm* form = nullptr;
    std::vector<Seen> seen;
    void Handle(TObjMasterCode code, std::int32_t index, void*)
    {
        if (code == TObjMasterCode::omMasterDestroying) {
            // The settings model is gone by now.
            seen.push_back({code, index, {}, false, false, false});
            return;
        }
        const TSettingsTarn& settings = form->SettingsTarn1();
        seen.push_back({code, index, program->LastSplashStatus(),
                        program->Splash() != nullptr && program->Splash()->isVisible(),
                        settings.Device.Level == TIntArray{3000}, settings.FrequencyMax == 100000000.0});
    }
};

// Modal boxes of the shutdown (save errors) must still wait for an answer.
void ExpectModalBoxesWait()
{
    QDialog probe;
    QTimer::singleShot(300, &probe, &QDialog::accept);
    QElapsedTimer shown;
    shown.start();
    probe.exec();
    // A coarse timer fires at most 5 % early; a loaded machine only makes it later.
    EXPECT_GE(shown.elapsed(), 250);
}

// Breaks the link during start-up: once the device was found, and again right
// after the first reconnection, by a transfer that fails at once.
struct TStartupBreaker {
    TVirtualGenerator* vg = nullptr;
    TObjMasterTarn* master = nullptr;
    int reconnections = 0;
    void Handle(TObjMasterCode code, std::int32_t, void* data)
    {
        if (code == TObjMasterCode::omWireControls)
            vg->SetPlugged(false);
        if (code == TObjMasterCode::omReconnect && *static_cast<bool*>(data) && ++reconnections == 1) {
            vg->SetPlugged(false);
            master->Notify(TObjMasterCode::omChannelWaveformChanged);
        }
    }
    // Program options that let this breaker listen from the start.
    TProgramOptions Options(const TProgramFolder& folder)
    {
        TProgramOptions options = InFolder(folder);
        options.mainFormCreated = [this](TMainForm& form) {
            master = &form.ObjMasterTarn1();
            form.ObjMasterTarn1().RegisterListener(TObjMasterNotifyEvent::Bind<&TStartupBreaker::Handle>(this));
        };
        return options;
    }
};

// A program whose generator goes away while it starts.
struct TBrokenStart {
    TProgramFolder folder;
    TVirtualGenerator vg{folder.File("libvireo.so")};
    TScriptedDialogs dialogs;
    TStartupBreaker breaker{&vg};
    TTarnProgram program{dialogs, breaker.Options(folder)};
};

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        QApplication::setQuitOnLastWindowClosed(false);
    }
};

TEST_F(Startup, StepsRunInOrderBehindTheSplash)
{
    TProgramFolder folder;
    WriteDistinctSettings(folder.Path());
    TScriptedDialogs dialogs;
    TStartupWatch watch;
    TProgramOptions options = InFolder(folder);
    options.mainFormCreated = [&watch](TMainForm& form) {
        EXPECT_EQ(watch.program->LastSplashStatus(), Strings::SplashCreatingUserInterface);
        ASSERT_NE(watch.program->Splash(), nullptr);
        EXPECT_TRUE(watch.program->Splash()->isVisible());
        watch.form = &form;
        // Spoiled here, so that the broadcasts show whether SetDefaults ran before them.
        form.SettingsTarn1().FrequencyMax = 1.0;
        form.ObjMasterTarn1().RegisterListener(TObjMasterNotifyEvent::Bind<&TStartupWatch::Handle>(&watch));
    };
    TTarnProgram program(dialogs, options);
    watch.program = &program;
    ASSERT_TRUE(program.Start());
    ASSERT_NE(watch.form, nullptr);
    EXPECT_TRUE(dialogs.shown.empty());

    using C = TObjMasterCode;
    std::vector<std::pair<C, std::int32_t>> expected = {{C::omConnectDevice, 0}, {C::omWireControls, 0}};
    for (std::int32_t phase = 0; phase < 10; ++phase)
        expected.push_back({C::omSettingsApplied, phase});
    // The device abstraction, ahead in the list, announces the power state from inside omStart.
    expected.push_back({C::omPowerStateChanged, 0});
    expected.push_back({C::omStart, 0});
    std::vector<std::pair<C, std::int32_t>> codes;
    for (const auto& s : watch.seen)
        codes.push_back({s.code, s.index});
    ASSERT_EQ(codes, expected);
    for (std::size_t i = 0; i < watch.seen.size(); ++i) {
        const TStartupWatch::Seen& s = watch.seen[i];
        EXPECT_EQ(s.status, Strings::SplashStartingUserInterface) << i;
        EXPECT_TRUE(s.splashShown) << i;
        EXPECT_TRUE(s.defaultsSet) << i;
        // The files are read after the wiring and before the first phase.
        EXPECT_EQ(s.loaded, i >= 2) << i;
    }
    EXPECT_EQ(program.Splash(), nullptr);
    EXPECT_TRUE(program.MainForm()->DeviceAbstractionTarn1().PollActive());

    TStepper stepper(ExitSteps(program), 10s);
    program.Exec();
    program.Finish();
    EXPECT_EQ(watch.seen.back().code, TObjMasterCode::omMasterDestroying);
}

TEST_F(Startup, MissingDriverLibraryRunsInDemonstrationMode)
{
    TProgramFolder folder(false);
    TScriptedDialogs dialogs;
    TTarnProgram program(dialogs, InFolder(folder));
    ASSERT_TRUE(program.Start());
    const std::vector<std::string> texts = {"Unable to load libtarndrv.so. Please reinstall Tarn application.",
                                            Strings::DemonstrationMode};
    EXPECT_EQ(dialogs.Texts(), texts);
    EXPECT_EQ(dialogs.shown[0].kind, TDialogKind::Error);
    EXPECT_EQ(dialogs.shown[1].kind, TDialogKind::Information);
    EXPECT_NE(dynamic_cast<TDAO_DEMO*>(program.MainForm()->DeviceAbstractionTarn1().Driver()), nullptr);
    EXPECT_EQ(program.MainForm()->StatusBarTarn1().Generator(), "demonstration mode");
    EXPECT_EQ(program.Splash(), nullptr);
    EXPECT_EQ(program.LastSplashStatus(), Strings::SplashStartingUserInterface);
    EXPECT_EQ(fs::current_path(), folder.Path());

    TStepper stepper(ExitSteps(program), 10s);
    program.Exec();
    EXPECT_TRUE(stepper.Finished());
    program.Finish();
    EXPECT_TRUE(fs::exists(folder.File("settings.xml")));
    EXPECT_TRUE(fs::exists(folder.File("waveforms.dat")));
}

TEST_F(Startup, DriverLibraryWithoutAnEntryPointCountsAsMissing)
{
    TProgramFolder folder(false);
    fs::copy_file(FAKE_INCOMPLETE_DRIVER, folder.File("libtarndrv.so"));
    TScriptedDialogs dialogs;
    TTarnProgram program(dialogs, InFolder(folder));
    ASSERT_TRUE(program.Start());
    const std::vector<std::string> texts = {Strings::UnableToLoadDriverLibrary, Strings::DemonstrationMode};
    EXPECT_EQ(dialogs.Texts(), texts);
    EXPECT_NE(dynamic_cast<TDAO_DEMO*>(program.MainForm()->DeviceAbstractionTarn1().Driver()), nullptr);
    TStepper stepper(ExitSteps(program), 10s);
    program.Exec();
    program.Finish();
}

TEST_F(Startup, NoDeviceYesYesNoSearchesThreeTimesThenDemonstration)
{
    TProgramFolder folder;
    TVirtualGenerator vg(folder.File("libvireo.so"));
    ASSERT_TRUE(vg.Loaded());
    vg.SetPlugged(false);
    TScriptedDialogs dialogs;
    dialogs.answers = {TDialogResult::Yes, TDialogResult::Yes, TDialogResult::No};
    TTarnProgram program(dialogs, InFolder(folder));
    ASSERT_TRUE(program.Start());
    const std::vector<std::string> texts = {Strings::DeviceNotFound, Strings::DeviceNotFound, Strings::DeviceNotFound,
                                            Strings::DemonstrationMode};
    EXPECT_EQ(dialogs.Texts(), texts);
    EXPECT_EQ(dialogs.shown[0].buttons, TDialogButtons::YesNoAbort);
    EXPECT_NE(dynamic_cast<TDAO_DEMO*>(program.MainForm()->DeviceAbstractionTarn1().Driver()), nullptr);
    EXPECT_FALSE(program.MainForm()->TerminateRequested());
    TStepper stepper(ExitSteps(program), 10s);
    program.Exec();
    program.Finish();
}

TEST_F(Startup, AbortLoadsAndAppliesSettingsThenEndsAtOnceAndSaves)
{
    TProgramFolder folder;
    {
        TSettingsTarn prepared;
        prepared.SetDefaults();
        prepared.Load(folder.Path());
        prepared.Device.Frequency = 4321.0;
        prepared.Device.Level = {1000};
        ASSERT_TRUE(prepared.Save(folder.Path()).Ok());
    }
    fs::remove(folder.File("waveforms.dat"));
    TVirtualGenerator vg(folder.File("libvireo.so"));
    vg.SetPlugged(false);
    TScriptedDialogs dialogs;
    dialogs.answers = {TDialogResult::Abort};
    TTarnProgram program(dialogs, InFolder(folder));
    ASSERT_TRUE(program.Start());
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{Strings::DeviceNotFound});
    TMainForm& form = *program.MainForm();
    EXPECT_TRUE(form.TerminateRequested());
    EXPECT_NE(dynamic_cast<TDAO_DEMO*>(form.DeviceAbstractionTarn1().Driver()), nullptr);
    // Loaded, and applied to the demonstration device on omStart.
    EXPECT_EQ(form.SettingsTarn1().Device.Frequency, 4321.0);
    EXPECT_EQ(form.SettingsTarn1().Device.DeviceFrequency, 4321.0);
    EXPECT_TRUE(form.DeviceAbstractionTarn1().PollActive());

    TStepper stepper({[] { return true; }}, 5s);
    program.Exec();
    EXPECT_EQ(stepper.StepsDone(), 0u); // the message loop never ran
    ExpectModalBoxesWait();
    program.Finish();
    EXPECT_TRUE(fs::exists(folder.File("waveforms.dat")));
    TSettingsTarn saved;
    saved.SetDefaults();
    saved.Load(folder.Path());
    EXPECT_EQ(saved.Device.Frequency, 4321.0);
    EXPECT_EQ(saved.Device.Level, TIntArray{1000});
    EXPECT_EQ(dialogs.shown.size(), 1u);
}

// "Exit" in the second communication-broken window, opened inside the first
// one before the message loop ever ran: start-up ends, and the boxes of the
// shutdown still wait for their answer.
TEST_F(Startup, SecondBreakRightAfterAReconnectionEndsTheProgramAndShutdownStillAsks)
{
    TBrokenStart start;
    ASSERT_TRUE(start.vg.Loaded());
    auto& [folder, vg, dialogs, breaker, program] = start;
    const auto broken = [&program](int count) {
        const TMainForm* form = program.MainForm();
        return form != nullptr && form->CommBrokenCount() == count && form->CommBrokenForm() != nullptr;
    };
    // The steps run inside the windows' own loops.
    TStepper stepper({[&] { return broken(1); },
                      [&] {
                          vg.SetPlugged(true);
                          return true;
                      },
                      [&] { return broken(2); },
                      [&] {
                          program.MainForm()->CommBrokenForm()->ExitButton()->click();
                          return true;
                      }},
                     20s);
    ASSERT_TRUE(program.Start());
    EXPECT_TRUE(stepper.Finished()) << "stopped at step " << stepper.StepsDone();
    TMainForm& form = *program.MainForm();
    EXPECT_EQ(breaker.reconnections, 1);
    EXPECT_EQ(form.CommBrokenCount(), 2);
    EXPECT_TRUE(form.TerminateRequested());
    program.Exec();
    ExpectModalBoxesWait();
    program.Finish();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(fs::exists(folder.File("settings.xml")));
    EXPECT_TRUE(fs::exists(folder.File("waveforms.dat")));
}

// A termination signal while the communication-broken window of the start-up
// waits for the generator ends the program as "Exit" in that window would.
TEST_F(Startup, TerminationSignalInTheStartupBrokenWindowEndsTheProgram)
{
    TBrokenStart start;
    ASSERT_TRUE(start.vg.Loaded());
    auto& [folder, vg, dialogs, breaker, program] = start;
    const TTerminationSignals terminationSignals([&program] { program.RequestExit(); });
    TStepper stepper({[&] { return program.MainForm() != nullptr && program.MainForm()->CommBrokenForm() != nullptr; },
                      [&] { return std::raise(SIGTERM) == 0; },
                      [&] { return program.MainForm()->CommBrokenForm() == nullptr; }},
                     10s);
    ASSERT_TRUE(program.Start());
    EXPECT_FALSE(stepper.TimedOut()) << "stopped at step " << stepper.StepsDone();
    EXPECT_TRUE(program.MainForm()->TerminateRequested());
    EXPECT_EQ(program.Exec(), 0);
    program.Finish();
    EXPECT_TRUE(fs::exists(folder.File("settings.xml")));
}

TEST_F(Startup, BrokenCalibrationWarnsAndKeepsTheRealDevice)
{
    TProgramFolder folder;
    TVirtualGenerator vg(folder.File("libvireo.so"));
    ASSERT_TRUE(vg.Loaded());
    // Spoil the check sum of the calibration page.
    vg.SetEEPROMByte(256 + 255, vg.EEPROMByte(256 + 255) ^ 0x5A);
    TScriptedDialogs dialogs;
    TTarnProgram program(dialogs, InFolder(folder));
    ASSERT_TRUE(program.Start());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, TDialogKind::Warning);
    EXPECT_EQ(dialogs.shown[0].text, std::string(Strings::CalibrationBroken) + "\n" + Strings::ContactManufacturer);
    TMainForm& form = *program.MainForm();
    EXPECT_NE(dynamic_cast<TDAO_Tarn*>(form.DeviceAbstractionTarn1().Driver()), nullptr);
    // The default calibration is in force, and the settings reached the device.
    ExpectDeviceHolds(vg, form.SettingsTarn1(), DefaultCalibration());
    TStepper stepper(ExitSteps(program), 10s);
    program.Exec();
    program.Finish();
}

TEST_F(Startup, WorkingDeviceReceivesEverySetting)
{
    TProgramFolder folder;
    WriteDistinctSettings(folder.Path());
    TVirtualGenerator vg(folder.File("libvireo.so"));
    ASSERT_TRUE(vg.Loaded());
    const TCalibration calibration = ReadCalibration(vg);
    TScriptedDialogs dialogs;
    TTarnProgram program(dialogs, InFolder(folder));
    ASSERT_TRUE(program.Start());
    EXPECT_TRUE(dialogs.shown.empty());
    TMainForm& form = *program.MainForm();
    ASSERT_NE(dynamic_cast<TDAO_Tarn*>(form.DeviceAbstractionTarn1().Driver()), nullptr);
    EXPECT_EQ(form.SettingsTarn1().Device.Level, TIntArray{3000});
    ExpectDeviceHolds(vg, form.SettingsTarn1(), calibration);
    EXPECT_TRUE(form.SettingsTarn1().Device.HOutputActive);
    EXPECT_EQ(vg.Power(), 1);
    TStepper stepper(ExitSteps(program), 10s);
    program.Exec();
    program.Finish();
    // A plain exit switches the device off.
    EXPECT_EQ(vg.Power(), 0);
}

} // namespace
} // namespace tarn::test
