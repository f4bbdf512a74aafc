// The defects the fault soak found, each replayed as the short sequence that
// showed it: a fault at one moment of one user action.
#include "data/SettingsTarn.h"
#include "device/DeviceAbstractionTarn.h"
#include "panels/ChannelWrapperTarn.h"
#include "panels/HLEditTarn.h"
#include "shell/Main.h"
#include "tests/program/ProgramHarness.h"
#include "tests/soak/ProgramSoak.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QToolButton>

namespace tarn::test {
namespace {

class SoakFindings : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(run.started);
        Form().SetCommBrokenRetryInterval(1);
        calibration = ReadCalibration(*run.vg);
    }
    TMainForm& Form() { return run.Form(); }
    TSettingsTarn& S() { return Form().SettingsTarn1(); }
    const TChannelControls& L() { return Form().ChannelWrapperTarn1().Controls(); }
    static void Enter(THLEditTarn* edit, const QString& text)
    {
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    TStartedProgram run{false, [](const TVirtualGenerator& vg) { WriteCalibration(vg, SoakCalibration()); }};
    TCalibration calibration{};
};

// The packets of a failed register write were dropped without a sign: the
// generator kept its old level while the panel showed the new one.
TEST_F(SoakFindings, AFailedRegisterWriteOpensTheWindowAndTheReconnectionSendsItAgain)
{
    run.vg->FailNextRequests(1);
    L().Output0Btn->click(); // the attenuator relay write fails
    EXPECT_EQ(S().Device.OutputAtn[0], 0);
    EXPECT_EQ(Form().CommBrokenCount(), 1);
    EXPECT_FALSE(Form().DeviceAbstractionTarn1().CommBrokenReported());
    ExpectDeviceHolds(*run.vg, S(), calibration);
}

// A reconnection sent the pending step-mode shift, not the one in the device:
// the generator's offset moved without "OUT" while the panel kept showing the old one.
TEST_F(SoakFindings, AReconnectionInStepModeRestoresTheShiftInTheDeviceNotThePendingOne)
{
    L().ShiftStepBtn->click();
    Enter(L().ShiftEdit, "1.5");
    ASSERT_NE(S().Device.Shift[0], S().Device.DevShift[0]);
    const QString shown = L().DevShiftEdit->text();
    // Replaced behind the program's back: the poll finds the old handle gone.
    run.vg->SetPlugged(false);
    run.vg->SetPlugged(true);
    Form().DeviceAbstractionTarn1().PollDevice();
    EXPECT_EQ(Form().CommBrokenCount(), 1);
    EXPECT_EQ(L().DevShiftEdit->text(), shown);
    ExpectDeviceHolds(*run.vg, S(), calibration);
}

} // namespace
} // namespace tarn::test
