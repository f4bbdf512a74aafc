// The program's start-up paths, run in-process through the real start-up code
// with scripted dialogs, in a program folder holding the real driver library
// and the virtual generator.
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "device/DaoTarn.h"
#include "device/DeviceAbstractionTarn.h"
#include "shell/Main.h"
#include "shell/TarnProgram.h"
#include "shell/tests/TestApp.h"
#include "tests/program/DeviceExpectations.h"
#include "tests/program/ProgramHarness.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>

namespace tarn::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TProgramOptions InFolder(const TProgramFolder& folder) {
  TProgramOptions options;
  options.programFolder = folder.Path().string();
  options.singleInstanceCheck = false;
  return options;
}

// Ends the program from inside its message loop with "Exit" answered Yes.
std::vector<TStepper::Step> ExitSteps(TTarnProgram& program) {
  return {TStepper::Wait(50ms), [&program] {
            program.MainForm()->Exit1Click();
            return true;
          }};
}

class Startup : public ::testing::Test {
protected:
  void SetUp() override {
    TestApp();
    QApplication::setQuitOnLastWindowClosed(false);
  }
};

TEST_F(Startup, MissingDriverLibraryRunsInDemonstrationMode) {
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

TEST_F(Startup, DriverLibraryWithoutAnEntryPointCountsAsMissing) {
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

TEST_F(Startup, NoDeviceYesYesNoSearchesThreeTimesThenDemonstration) {
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

TEST_F(Startup, AbortLoadsAndAppliesSettingsThenEndsAtOnceAndSaves) {
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
  const auto started = std::chrono::steady_clock::now();
  program.Exec();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
  EXPECT_EQ(stepper.StepsDone(), 0u); // the message loop never ran
  // Modal boxes of the shutdown (save errors) must still wait for an answer.
  QDialog probe;
  QTimer::singleShot(300, &probe, &QDialog::accept);
  QElapsedTimer shown;
  shown.start();
  probe.exec();
  EXPECT_GE(shown.elapsed(), 250);
  program.Finish();
  EXPECT_TRUE(fs::exists(folder.File("waveforms.dat")));
  TSettingsTarn saved;
  saved.SetDefaults();
  saved.Load(folder.Path());
  EXPECT_EQ(saved.Device.Frequency, 4321.0);
  EXPECT_EQ(saved.Device.Level, TIntArray{1000});
  EXPECT_EQ(dialogs.shown.size(), 1u);
}

TEST_F(Startup, BrokenCalibrationWarnsAndKeepsTheRealDevice) {
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

TEST_F(Startup, WorkingDeviceReceivesEverySetting) {
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
