// SPDX-License-Identifier: MIT
#include "tests/soak/ProgramSoak.h"

#include "data/SettingsTarn.h"
#include "device/DeviceAbstractionTarn.h"
#include "shell/CommBrokenScreen.h"
#include "shell/Main.h"
#include "shell/master/ObjMasterTarn.h"
#include "tests/program/ProgramHarness.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <iostream>

namespace tarn::test {

namespace {

constexpr int kDay = 24 * 3600 * 1000;
// Attempts in one window beyond which it counts as stuck.
constexpr int kMaxAttempts = 300;

} // namespace

TCalibration SoakCalibration()
{
    return {1702, 139, 2171, 2098, 1093, 32767.5 / 33000};
}

TProgramSoak::TProgramSoak(TStartedProgram& run, std::uint64_t seed)
    : run_(run), user_(run.Form()), random_(seed), calibration_(ReadCalibration(*run.vg))
{
    TMainForm& form = run_.Form();
    form.SetCommBrokenRetryInterval(1);
    // The soak polls at moments of its own choosing, so that a seed replays exactly.
    form.DeviceAbstractionTarn1().SetPollInterval(kDay);
    form.ObjMasterTarn1().RegisterListener(TObjMasterNotifyEvent::Bind<&TProgramSoak::Reconnected>(this));
    qApp->installEventFilter(this);
    applied_ = form.SettingsTarn1().Device.Frequency;
}

TProgramSoak::~TProgramSoak()
{
    qApp->removeEventFilter(this);
    if (run_.program && run_.program->MainForm() != nullptr)
        run_.Form().ObjMasterTarn1().UnregisterListener(TObjMasterNotifyEvent::Bind<&TProgramSoak::Reconnected>(this));
}

int TProgramSoak::Uniform(int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(random_);
}

std::string TProgramSoak::LastStep() const
{
    std::lock_guard lock(lastStepMutex_);
    return lastStep_;
}

void TProgramSoak::Step(const std::string& what)
{
    ++progress_;
    steps_.push_back(what);
    std::lock_guard lock(lastStepMutex_);
    lastStep_ = "fault " + std::to_string(round_ + 1) + ": " + what;
}

int TProgramSoak::Run(int faults)
{
    QTimer::singleShot(0, [this, faults] {
        for (round_ = 0; round_ < faults; ++round_) {
            Round();
            if (::testing::Test::HasFailure() || run_.Form().TerminateRequested()) {
                std::cerr << "soak: fault " << round_ + 1 << " failed after these steps:\n";
                for (const std::string& step : steps_)
                    std::cerr << "  " << step << "\n";
                break;
            }
        }
        if (!run_.Form().TerminateRequested())
            run_.Form().Exit1Click();
    });
    run_.program->Exec();
    return round_;
}

void TProgramSoak::Round()
{
    steps_.clear();
    opened_ = reconnected_ = attempts_ = 0;
    run_.vg->ClearRequests();
    for (int n = Uniform(0, 2); n > 0; --n)
        UserActs(user_.Act(random_));
    Inject();
    Settle();
    CheckRound();
    QApplication::processEvents();
}

void TProgramSoak::UserActs(const TSoakUser::TDone& done)
{
    Step(done.what);
    const TDeviceSettings& d = run_.Form().SettingsTarn1().Device;
    if (d.FrequencyMode == 0 || done.appliesFrequency)
        applied_ = d.Frequency;
}

void TProgramSoak::Inject()
{
    const TVirtualGenerator& vg = *run_.vg;
    replugAfter_ = Uniform(0, 3);
    faultsInWindow_ = Uniform(0, 3) == 0 ? Uniform(1, 2) : 0;
    const int n = Uniform(1, 6);
    switch (Uniform(0, 6)) {
    case 0:
        vg.FailNextRequests(n);
        Step("fail the next " + std::to_string(n) + " requests");
        UserActs(user_.Act(random_));
        break;
    case 1:
        vg.FailNextRequests(n);
        Step("fail the next " + std::to_string(n) + " requests; poll");
        run_.Form().DeviceAbstractionTarn1().PollDevice();
        break;
    case 2:
        vg.SetPlugged(false);
        Step("unplug");
        UserActs(user_.Act(random_));
        break;
    case 3:
        vg.UnplugAfterRequests(n);
        Step("unplug after " + std::to_string(n) + " requests");
        UserActs(user_.LoadOtherWaveform(random_));
        break;
    case 4:
        vg.UnplugAfterRequests(n / 2);
        Step("unplug after " + std::to_string(n / 2) + " requests");
        UserActs(user_.ActOnFrequency(random_));
        break;
    case 5:
        vg.FailNextRequests(n);
        Step("fail the next " + std::to_string(n) + " requests");
        UserActs(Uniform(0, 1) == 0 ? user_.LoadOtherWaveform(random_) : user_.ActOnFrequency(random_));
        break;
    default:
        vg.SetPlugged(false);
        vg.SetPlugged(true);
        Step("unplug and plug in at once");
        UserActs(user_.Act(random_));
        break;
    }
}

bool TProgramSoak::Healthy() const
{
    const TVirtualGenerator& vg = *run_.vg;
    TMainForm& form = run_.Form();
    const TDeviceAbstractionTarn& device = form.DeviceAbstractionTarn1();
    return vg.Plugged() && vg.PendingFailures() == 0 && vg.UnplugCountdown() < 0 && form.CommBrokenForm() == nullptr
           && !device.CommBrokenReported() && device.Driver()->CommunicationOK();
}

void TProgramSoak::Settle()
{
    // The program notices a loss at its next broadcast: the poll's when the
    // power state it reads changes, else the user's next action.
    TDeviceAbstractionTarn& device = run_.Form().DeviceAbstractionTarn1();
    // A device replaced behind the program's back shows at the next poll at the latest.
    Step("poll");
    device.PollDevice();
    for (int i = 0; i < 2000 && !Healthy() && !run_.Form().TerminateRequested(); ++i) {
        if (device.Driver()->CommunicationOK()) {
            Step("poll");
            device.PollDevice();
        } else {
            UserActs(user_.Act(random_));
        }
    }
}

bool TProgramSoak::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && qobject_cast<TCommBrokenForm*>(watched) != nullptr) {
        ++opened_;
        Step("communication-broken window opens");
        FaultInsideWindow(true);
    }
    return false;
}

void TProgramSoak::Reconnected(TObjMasterCode code, std::int32_t, void* data)
{
    if (code != TObjMasterCode::omReconnect || data == nullptr)
        return;
    ++attempts_;
    if (*static_cast<bool*>(data)) {
        ++reconnected_;
        // Every setting went to the device again, the frequency in software too.
        applied_ = run_.Form().SettingsTarn1().Device.Frequency;
        Step("reconnected");
    } else {
        Step("reconnection failed");
    }
    FaultInsideWindow(false);
    if (attempts_ > kMaxAttempts && run_.Form().CommBrokenForm() != nullptr) {
        ADD_FAILURE() << "the communication-broken window stays open after " << attempts_ << " attempts";
        run_.Form().CommBrokenForm()->ExitButton()->click();
    }
}

void TProgramSoak::FaultInsideWindow(bool opening)
{
    // Plugged in again after a few failed attempts, sometimes with a new fault
    // that strikes in the middle of the next re-initialisation.
    const TVirtualGenerator& vg = *run_.vg;
    if (!vg.Plugged()) {
        if (attempts_ < replugAfter_)
            return;
        vg.SetPlugged(true);
        Step("plug in");
    } else if (!opening) {
        return;
    }
    if (faultsInWindow_ == 0)
        return;
    --faultsInWindow_;
    replugAfter_ = attempts_ + Uniform(1, 3);
    if (Uniform(0, 1) == 0) {
        // Anywhere in the re-initialisation and the settings sent after it.
        const int after = Uniform(0, 600), n = Uniform(1, 8);
        vg.FailRequestsAfter(after, n);
        Step("fail " + std::to_string(n) + " requests after the next " + std::to_string(after));
    } else {
        const int n = Uniform(0, 600);
        vg.UnplugAfterRequests(n);
        Step("unplug after " + std::to_string(n) + " requests");
    }
}

void TProgramSoak::CheckRound()
{
    const std::vector<bool> outcomes = run_.vg->RequestOutcomes();
    int failed = 0, losses = 0;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        failed += outcomes[i] ? 0 : 1;
        losses += !outcomes[i] && (i == 0 || outcomes[i - 1]) ? 1 : 0;
    }
    EXPECT_TRUE(Healthy()) << "the device or the program did not recover";
    EXPECT_EQ(failed > 0, opened_ > 0) << failed << " failed requests, " << opened_ << " windows";
    EXPECT_LE(opened_, losses) << "a window for each run of failed requests at most";
    EXPECT_EQ(reconnected_, opened_) << "every window closes by reconnecting";
    ExpectDeviceHolds(*run_.vg, run_.Form().SettingsTarn1(), calibration_, applied_);
}

} // namespace tarn::test
