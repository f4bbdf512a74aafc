// SPDX-License-Identifier: MIT
// Runs a sweep plan on the window's thread: each value goes in at its own
// deadline (start + the dwells before it, on the steady clock, so late
// timers never add up) through the settings model and a broadcast, as a
// panel's change does. A sweep runs only in "Con" mode; "Step" mode, a
// communication break or another waveform stop it. The window and the
// remote control share the one setup kept here.
#pragma once
#include "data/SweepTarn.h"
#include "shell/master/ComponentsTarn.h"

#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tarn {

enum class TSweepStopReason { Finished, User, StepMode, CommBroken, Waveform, Exit };

class TSweepRunnerTarn : public TComponentTarn, public TSweepControl {
    Q_OBJECT
public:
    using TClock = std::chrono::steady_clock;

    explicit TSweepRunnerTarn(QObject* parent = nullptr);
    ~TSweepRunnerTarn() override;

    const TSweepSetup& Setup() const override { return setup_; }
    // A running sweep goes on with the plan it started with.
    void SetSetup(const TSweepSetup& setup) override;
    bool Start(std::string& error) override;
    void Stop() override;
    TSweepProgress Progress() const override;
    // The plan of the running or last sweep.
    const std::optional<TSweepPlan>& Plan() const { return plan_; }
    std::optional<TSweepStopReason> LastStop() const { return lastStop_; }

    // The main window: the generator stopped answering. The sweep stops and
    // the start value goes back into the settings.
    void CommBroken();
    // Before the exit save: a running sweep stops and its start value is
    // put back, so the files never keep a value from the middle of a sweep.
    void StopForExit();

    // A sweep stopped by something other than its end or the user; the
    // window shows the text on its status bar.
    std::function<void(const QString&)> OnStopMessage;
    // Each step as it is applied: its number over all passes (0-based), when
    // it was due and when it went in (benchmark, tests).
    std::function<void(std::size_t step, TClock::time_point due, TClock::time_point applied)> OnStepTimed;

signals:
    void SetupChanged();
    // Started or stopped.
    void StateChanged();
    // A value went in.
    void Stepped();

protected:
    void ObjMasterNotify(TObjMasterCode code, std::int32_t index, void* data) override;

private:
    void Tick();
    // Applies the current point and moves on; false when the sweep ended meanwhile.
    bool Step();
    void Arm();
    void End(TSweepStopReason reason);
    // Puts the plan's first value back through the ordinary path.
    void RestoreStart();
    void HoldStart();

    TSweepSetup setup_;
    std::optional<TSweepPlan> plan_;
    std::optional<TSweepStopReason> lastStop_;
    QTimer timer_;
    bool running_ = false;
    // Grows with every start, so a step that outlives its sweep (a nested
    // event loop inside a broadcast) notices.
    std::uint64_t run_ = 0;
    // The next point: its index in the pass, the pass, the step over all passes.
    std::size_t index_ = 0;
    std::int32_t pass_ = 0;
    std::size_t step_ = 0;
    // The point applied last and its pass (1-based).
    std::size_t lastIndex_ = 0;
    std::int32_t lastPass_ = 0;
    TClock::time_point due_;
};

} // namespace tarn
