// SPDX-License-Identifier: MIT
// The sweep plan: a setup (what to step, from where to where, how densely,
// how long on each value, how often) becomes the list of values the program
// steps through on its timer. The generator cannot sweep by itself, so every
// value here is one the device can make, inside the limits of what plays.
// No toolkit here; the runner in sweep/ applies the plan.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class TSettingsTarn;

// What a sweep steps: the frequency, or the level of "Output L" or "Output H"
// (both share one level; the value is in volts peak-to-peak at that output).
enum class TSweepTarget : std::int32_t { Frequency, LevelL, LevelH };
enum class TSweepSpacing : std::int32_t { Linear, Logarithmic };
// UpDown goes from start to stop and back to start in one pass.
enum class TSweepDirection : std::int32_t { Up, Down, UpDown };

// One point of list mode: a frequency, optionally the level of "Output L"
// (volts peak-to-peak), and how long it stays.
struct TSweepListPoint {
    double Frequency = 0.0;
    std::optional<double> Level;
    double Dwell = 0.1;
    bool operator==(const TSweepListPoint&) const = default;
};

struct TSweepSetup {
    TSweepTarget Target = TSweepTarget::Frequency;
    double Start = 1000.0;
    double Stop = 10000.0;
    // Values per pass from start to stop (both included); 0: use Step.
    std::int32_t Points = 11;
    // Linear: the distance of neighbouring values; logarithmic: their ratio (> 1).
    double Step = 0.0;
    TSweepSpacing Spacing = TSweepSpacing::Linear;
    TSweepDirection Direction = TSweepDirection::Up;
    // Seconds on each value; with Time above 0 the dwell is Time spread
    // evenly over the values of one pass instead.
    double Dwell = 0.1;
    double Time = 0.0;
    // Passes; 0 runs until stopped.
    std::int32_t Count = 1;
    // List mode: the points below instead of start, stop and spacing.
    bool ListMode = false;
    std::vector<TSweepListPoint> List;
    bool operator==(const TSweepSetup&) const = default;
};

// The shortest dwell the timer keeps, and the most points a pass may hold.
inline constexpr double kSweepMinDwell = 0.010;
inline constexpr std::size_t kSweepMaxPoints = 100000;

struct TSweepPoint {
    // The target's value: Hz, or volts peak-to-peak for a level.
    double Value = 0.0;
    // Seconds.
    double Dwell = 0.0;
    // List mode: the level of "Output L" to set with the frequency.
    std::optional<double> Level;
};

// The range a target may take and the values the device can make in it.
struct TSweepRange {
    double Lo = 0.0;
    double Hi = 0.0;
    // The nearest value the device makes; identity when empty.
    std::function<double(double)> Round;
};

// What the plan may use: the target's range, and for list points with a
// level the range of the level of "Output L".
struct TSweepLimits {
    TSweepRange Value;
    std::optional<TSweepRange> Level;
};

struct TSweepPlan {
    TSweepTarget Target = TSweepTarget::Frequency;
    // One pass, in order.
    std::vector<TSweepPoint> Points;
    // Passes after the first start here (1 for UpDown, whose pass ends on
    // the value it begins with).
    std::size_t RepeatFrom = 0;
    std::int32_t Count = 1;
    // Steps over all passes; 0 for a continuous sweep.
    std::size_t TotalSteps() const;
    // Seconds of one pass, and of the first pass alone (RepeatFrom counts later).
    double PassTime() const;
};

struct TSweepPlanResult {
    std::optional<TSweepPlan> Plan;
    // Why the setup cannot be swept (empty with a plan).
    std::string Error;
};

// The plan for a setup inside the limits; values outside the range are
// clamped to it, then rounded to what the device makes.
TSweepPlanResult MakeSweepPlan(const TSweepSetup& setup, const TSweepLimits& limits);

// The frequency the generator makes for a wanted one: the sampling rate of
// an arbitrary waveform, or the waveform frequency of a standard one.
double DeviceFrequencyFor(double frequency, bool standard);
// The frequency range and grid of the waveform playing in device channel 0.
TSweepRange FrequencyRangeOf(const TSettingsTarn& settings);

// What runs a sweep, as the remote control and the window see it.
struct TSweepProgress {
    bool Running = false;
    // Step within the pass, 1-based, of Steps; pass 1-based of Count (0: continuous).
    std::size_t Step = 0;
    std::size_t Steps = 0;
    std::int32_t Pass = 0;
    std::int32_t Count = 0;
    double Value = 0.0;
};

class TSweepControl {
public:
    virtual ~TSweepControl() = default;
    virtual const TSweepSetup& Setup() const = 0;
    virtual void SetSetup(const TSweepSetup& setup) = 0;
    // Starts the setup from its first value; false with the reason when it
    // cannot run (a running sweep then goes on).
    virtual bool Start(std::string& error) = 0;
    // Holds the value reached.
    virtual void Stop() = 0;
    virtual TSweepProgress Progress() const = 0;
    bool Running() const { return Progress().Running; }
};
