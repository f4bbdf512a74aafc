// SPDX-License-Identifier: MIT
// The defects the fault soak found, each replayed as the short sequence that
// showed it: a fault at one moment of one user action.
#include "data/SettingsTarn.h"
#include "device/DeviceAbstractionTarn.h"
#include "panels/ChannelWrapperTarn.h"
#include "panels/HLEditTarn.h"
#include "shell/Main.h"
#include "shell/master/ObjMasterTarn.h"
#include "tests/program/ProgramHarness.h"
#include "tests/soak/ProgramSoak.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
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

// Requests that failed while the re-initialisation read the calibration page
// counted as a device with a broken page: the reconnection succeeded and the
// generator ran on the default calibration (a tenfold level behind -20 dB).
TEST_F(SoakFindings, FailuresWhileReadingTheCalibrationFailTheReconnectionAttempt)
{
    int attempts = 0, succeeded = 0;
    struct TWatch {
        int& attempts;
        int& succeeded;
        void Handle(TObjMasterCode code, std::int32_t, void* data)
        {
            if (code == TObjMasterCode::omReconnect) {
                ++attempts;
                succeeded += *static_cast<bool*>(data) ? 1 : 0;
            }
        }
    } watch{attempts, succeeded};
    Form().ObjMasterTarn1().RegisterListener(TObjMasterNotifyEvent::Bind<&TWatch::Handle>(&watch));
    run.vg->SetPlugged(false);
    // Inside the window: plugged in, and reads of the level fields at the head of the page fail.
    QTimer::singleShot(0, [this] {
        run.vg->SetPlugged(true);
        run.vg->FailRequestsAfter(8, 5);
    });
    Form().DeviceAbstractionTarn1().PollDevice();
    Form().ObjMasterTarn1().UnregisterListener(TObjMasterNotifyEvent::Bind<&TWatch::Handle>(&watch));
    EXPECT_EQ(Form().CommBrokenCount(), 1);
    EXPECT_EQ(succeeded, 1);
    EXPECT_GE(attempts, 2);
    ExpectDeviceHolds(*run.vg, S(), calibration);
}

} // namespace
} // namespace tarn::test
