// SPDX-License-Identifier: MIT
#include "sweep/SweepRunnerTarn.h"

#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "sweep/SweepTargetsTarn.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tarn {

namespace {

// A timer that wakes this much before its deadline is taken as on time;
// whole milliseconds are all the timer knows.
constexpr auto kEarlyTolerance = std::chrono::microseconds(500);

} // namespace

TSweepRunnerTarn::TSweepRunnerTarn(QObject* parent) : TComponentTarn(parent)
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &TSweepRunnerTarn::Tick);
}

TSweepRunnerTarn::~TSweepRunnerTarn()
{
    DetachFromMaster();
}

void TSweepRunnerTarn::SetSetup(const TSweepSetup& setup)
{
    if (setup == setup_)
        return;
    setup_ = setup;
    emit SetupChanged();
}

bool TSweepRunnerTarn::Start(std::string& error)
{
    TSettingsTarn* settings = Settings();
    if (settings == nullptr || ObjMaster() == nullptr) {
        error = Strings::SweepEmptyLimits;
        return false;
    }
    if (settings->Device.FrequencyMode != 0) {
        error = Strings::SweepNeedsConMode;
        return false;
    }
    TSweepPlanResult made = MakeSweepPlan(setup_, SweepLimitsOf(*settings, setup_.Target));
    if (!made.Plan) {
        error = made.Error;
        return false;
    }
    // A running sweep gives way to the new one.
    timer_.stop();
    plan_ = std::move(made.Plan);
    running_ = true;
    ++run_;
    index_ = 0;
    pass_ = 0;
    step_ = 0;
    lastIndex_ = 0;
    lastPass_ = 0;
    lastStop_.reset();
    due_ = TClock::now();
    emit StateChanged();
    const std::uint64_t run = run_;
    if (!Step())
        return true;
    if (run != run_)
        return true;
    HoldStart();
    Arm();
    return true;
}

void TSweepRunnerTarn::HoldStart()
{
    TSettingsTarn& settings = *Settings();
    TSweepHold hold;
    const bool levels = plan_->Target != TSweepTarget::Frequency ||
                        std::any_of(plan_->Points.begin(), plan_->Points.end(),
                                    [](const TSweepPoint& p) { return p.Level.has_value(); });
    if (plan_->Target == TSweepTarget::Frequency)
        hold.Frequency = settings.Device.Frequency;
    if (levels) {
        hold.Level = settings.Device.Level;
        hold.OutputAtn = settings.Device.OutputAtn;
    }
    settings.SweepHold = std::move(hold);
}

void TSweepRunnerTarn::Stop()
{
    End(TSweepStopReason::User);
}

void TSweepRunnerTarn::CommBroken()
{
    End(TSweepStopReason::CommBroken);
}

void TSweepRunnerTarn::StopForExit()
{
    End(TSweepStopReason::Exit);
}

TSweepProgress TSweepRunnerTarn::Progress() const
{
    TSweepProgress p;
    p.Running = running_;
    if (!plan_)
        return p;
    p.Steps = plan_->Points.size();
    p.Count = plan_->Count;
    if (step_ > 0) {
        p.Step = lastIndex_ + 1;
        p.Value = plan_->Points[lastIndex_].Value;
        p.Pass = lastPass_;
    }
    return p;
}

void TSweepRunnerTarn::Tick()
{
    if (!running_)
        return;
    if (TClock::now() + kEarlyTolerance < due_) {
        Arm();
        return;
    }
    if (plan_->Count > 0 && pass_ >= plan_->Count) {
        End(TSweepStopReason::Finished);
        return;
    }
    if (Step())
        Arm();
}

bool TSweepRunnerTarn::Step()
{
    const std::uint64_t run = run_;
    const TSweepPoint point = plan_->Points[index_];
    const TClock::time_point due = due_;
    const std::size_t step = step_;
    lastIndex_ = index_;
    lastPass_ = pass_ + 1;
    // Moved on before the value goes in: a broadcast may run a nested event
    // loop (the communication-broken window) that ends this sweep.
    due_ += std::chrono::duration_cast<TClock::duration>(std::chrono::duration<double>(point.Dwell));
    ++step_;
    if (++index_ == plan_->Points.size()) {
        index_ = plan_->RepeatFrom;
        ++pass_;
    }
    const TClock::time_point applied = TClock::now();
    ApplySweepPoint(*Settings(), *ObjMaster(), plan_->Target, point);
    if (run != run_ || !running_)
        return false;
    if (OnStepTimed)
        OnStepTimed(step, due, applied);
    emit Stepped();
    return run == run_ && running_;
}

void TSweepRunnerTarn::Arm()
{
    const auto left = std::chrono::duration<double, std::milli>(due_ - TClock::now()).count();
    timer_.start(static_cast<int>(std::clamp(std::lround(left), 0L, 24L * 3600 * 1000)));
}

void TSweepRunnerTarn::End(TSweepStopReason reason)
{
    if (!running_)
        return;
    running_ = false;
    timer_.stop();
    lastStop_ = reason;
    if (reason == TSweepStopReason::CommBroken || reason == TSweepStopReason::Exit)
        RestoreStart();
    if (Settings() != nullptr)
        Settings()->SweepHold = {};
    const char* message = reason == TSweepStopReason::StepMode     ? Strings::SweepStoppedStep
                          : reason == TSweepStopReason::CommBroken ? Strings::SweepStoppedCommBroken
                          : reason == TSweepStopReason::Waveform   ? Strings::SweepStoppedWaveform
                                                                   : nullptr;
    if (message != nullptr && OnStopMessage)
        OnStopMessage(QString::fromUtf8(message));
    emit StateChanged();
}

void TSweepRunnerTarn::RestoreStart()
{
    TSettingsTarn* settings = Settings();
    TObjMasterTarn* master = ObjMaster();
    if (settings == nullptr || master == nullptr)
        return;
    const TSweepHold hold = std::exchange(settings->SweepHold, {});
    if (hold.Frequency)
        ApplySweepFrequency(*settings, *master, *hold.Frequency);
    if (!hold.Level || !hold.OutputAtn)
        return;
    TDeviceSettings& device = settings->Device;
    const std::size_t reals = std::min({hold.Level->size(), hold.OutputAtn->size(), device.Level.size(),
                                        device.OutputAtn.size()});
    for (std::size_t r = 0; r < reals; ++r) {
        const bool atnMoves = device.OutputAtn[r] != (*hold.OutputAtn)[r];
        device.Level[r] = (*hold.Level)[r];
        device.OutputAtn[r] = (*hold.OutputAtn)[r];
        master->Notify(TObjMasterCode::omLevelChanged, static_cast<std::int32_t>(r));
        if (atnMoves)
            master->Notify(TObjMasterCode::omAttenuatorChanged, static_cast<std::int32_t>(r));
    }
}

void TSweepRunnerTarn::ObjMasterNotify(TObjMasterCode code, std::int32_t, void*)
{
    switch (code) {
    case TObjMasterCode::omMasterDestroying:
        running_ = false;
        timer_.stop();
        break;
    case TObjMasterCode::omFrequencyModeChanged:
        if (Settings() != nullptr && Settings()->Device.FrequencyMode != 0)
            End(TSweepStopReason::StepMode);
        break;
    case TObjMasterCode::omWaveformLoaded:
        // The limits, and what a frequency means, may have changed.
        End(TSweepStopReason::Waveform);
        break;
    default:
        break;
    }
}

} // namespace tarn
