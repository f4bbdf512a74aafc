// SPDX-License-Identifier: MIT
// The fault soak: the whole program in this process on the virtual generator,
// a seeded random user, and faults injected at random moments; after every
// recovery the communication-broken windows and the generator's registers and
// sample memory are checked against the settings (gtest expectations).
#pragma once
#include "tests/program/DeviceExpectations.h"
#include "tests/soak/SoakUser.h"

#include <QObject>

#include <atomic>
#include <mutex>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace tarn {
enum class TObjMasterCode : std::uint32_t;
}

namespace tarn::test {

struct TStartedProgram;

// A calibration unlike the driver's defaults, so that a device run on the
// defaults by mistake shows in its registers.
TCalibration SoakCalibration();

class TProgramSoak : public QObject {
public:
    TProgramSoak(TStartedProgram& run, std::uint64_t seed);
    ~TProgramSoak() override;
    TProgramSoak(const TProgramSoak&) = delete;
    TProgramSoak& operator=(const TProgramSoak&) = delete;

    // Runs faults rounds inside the program's message loop, then exits through
    // the menu; stops at the first failed check. Returns the rounds completed.
    int Run(int faults);
    // Advanced at every step; a watchdog reads it.
    const std::atomic<std::int64_t>& Progress() const { return progress_; }
    // What the soak did last, for the watchdog's message.
    std::string LastStep() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Round();
    void Inject();
    void Settle();
    void CheckRound();
    void UserActs(const TSoakUser::TDone& done);
    void Step(const std::string& what);
    bool Healthy() const;
    void Reconnected(TObjMasterCode code, std::int32_t index, void* data);
    void FaultInsideWindow(bool opening);
    int Uniform(int low, int high);

    TStartedProgram& run_;
    TSoakUser user_;
    std::mt19937_64 random_;
    TCalibration calibration_;
    int round_ = 0;
    // The frequency the device plays (a step-mode frequency counts once applied).
    double applied_ = 0.0;
    // This round: windows opened, reconnections that succeeded and failed,
    // how many failed attempts to wait before plugging in, faults left to
    // inject inside the window.
    int opened_ = 0;
    int reconnected_ = 0;
    int attempts_ = 0;
    int replugAfter_ = 0;
    int faultsInWindow_ = 0;
    // The steps of this round, printed when a check fails.
    std::vector<std::string> steps_;
    std::atomic<std::int64_t> progress_{0};
    mutable std::mutex lastStepMutex_;
    std::string lastStep_;
};

} // namespace tarn::test
