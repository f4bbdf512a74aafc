// SPDX-License-Identifier: MIT
#include "data/SweepTarn.h"

#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "data/WaveformTarn.h"

#include <algorithm>
#include <cmath>

namespace {

// The device's sample clock: a 16-bit word between 50 and 100 MHz, then a
// power-of-two divider of up to 2^22.
constexpr long double kClockLow = 50000000.0L;
constexpr long double kClockHigh = 100000000.0L;
constexpr int kMaxDivider = 22;
constexpr long double kWordLow = 32767.0L;

long double ClockFor(long double wanted)
{
    int divider = 0;
    for (; wanted < kClockLow && divider < kMaxDivider; ++divider)
        wanted *= 2;
    wanted = std::clamp(wanted, kClockLow, kClockHigh);
    // Halves to even, as the device's word is computed.
    const long double word = std::nearbyint(32768.0L * (wanted - kClockLow) / kClockLow + kWordLow);
    return (kClockLow * (word - kWordLow) / 32768.0L + kClockLow) / std::ldexp(1.0L, divider);
}

bool Finite(double v)
{
    return std::isfinite(v);
}

double Rounded(const TSweepRange& range, double v)
{
    v = std::clamp(v, range.Lo, range.Hi);
    return range.Round ? range.Round(v) : v;
}

bool UsableRange(const TSweepRange& range)
{
    return Finite(range.Lo) && Finite(range.Hi) && range.Lo < range.Hi;
}

// The values of one run from a to b, both included.
std::optional<std::vector<double>> Values(const TSweepSetup& s, double a, double b, std::string& error)
{
    const bool log = s.Spacing == TSweepSpacing::Logarithmic;
    std::size_t n = 0;
    double step = 0.0;
    if (s.Points != 0) {
        if (s.Points < 2) {
            error = Strings::SweepTooFewPoints;
            return std::nullopt;
        }
        n = static_cast<std::size_t>(s.Points);
    } else {
        if (!(log ? s.Step > 1.0 : s.Step > 0.0)) {
            error = Strings::SweepBadStep;
            return std::nullopt;
        }
        // Steps from a towards b; the last value is b itself.
        const double steps = log ? std::abs(std::log(b / a)) / std::log(s.Step) : std::abs(b - a) / s.Step;
        if (!(steps < static_cast<double>(kSweepMaxPoints))) {
            error = Strings::SweepTooManyPoints;
            return std::nullopt;
        }
        step = s.Step;
        n = static_cast<std::size_t>(std::ceil(steps - 1e-9)) + 1;
        n = std::max<std::size_t>(n, 2);
    }
    if (n > kSweepMaxPoints) {
        error = Strings::SweepTooManyPoints;
        return std::nullopt;
    }
    std::vector<double> values(n);
    const double up = b > a ? 1.0 : -1.0;
    const double last = static_cast<double>(n - 1);
    for (std::size_t i = 0; i < n; ++i) {
        const double x = static_cast<double>(i);
        if (step == 0.0)
            values[i] = log ? a * std::pow(b / a, x / last) : a + (b - a) * (x / last);
        else
            values[i] = log ? a * std::pow(up > 0 ? step : 1.0 / step, x) : a + up * step * x;
        if ((b - values[i]) * up < 0)
            values[i] = b;
    }
    values.back() = b;
    return values;
}

TSweepPlanResult Failure(std::string error)
{
    TSweepPlanResult result;
    result.Error = std::move(error);
    return result;
}

TSweepPlanResult ListPlan(const TSweepSetup& setup, const TSweepLimits& limits)
{
    if (setup.List.empty())
        return Failure(Strings::SweepEmptyList);
    if (setup.List.size() > kSweepMaxPoints)
        return Failure(Strings::SweepTooManyPoints);
    TSweepPlan plan;
    plan.Target = TSweepTarget::Frequency;
    plan.Count = setup.Count;
    for (const TSweepListPoint& p : setup.List) {
        if (!Finite(p.Frequency) || !Finite(p.Dwell) || (p.Level && !Finite(*p.Level)))
            return Failure(Strings::SweepNotFinite);
        if (!(p.Frequency > 0))
            return Failure(Strings::SweepListBadFrequency);
        if (!(p.Dwell >= kSweepMinDwell))
            return Failure(Strings::SweepDwellTooShort);
        TSweepPoint point{Rounded(limits.Value, p.Frequency), p.Dwell, std::nullopt};
        if (p.Level) {
            if (!limits.Level)
                return Failure(Strings::SweepListNoLevel);
            point.Level = Rounded(*limits.Level, *p.Level);
        }
        plan.Points.push_back(point);
    }
    TSweepPlanResult result;
    result.Plan = std::move(plan);
    return result;
}

} // namespace

std::size_t TSweepPlan::TotalSteps() const
{
    if (Count <= 0 || Points.empty())
        return 0;
    return Points.size() + static_cast<std::size_t>(Count - 1) * (Points.size() - RepeatFrom);
}

double TSweepPlan::PassTime() const
{
    double time = 0.0;
    for (const TSweepPoint& p : Points)
        time += p.Dwell;
    return time;
}

TSweepPlanResult MakeSweepPlan(const TSweepSetup& setup, const TSweepLimits& limits)
{
    if (!UsableRange(limits.Value))
        return Failure(Strings::SweepEmptyLimits);
    if (setup.Count < 0)
        return Failure(Strings::SweepBadCount);
    if (setup.ListMode)
        return ListPlan(setup, limits);
    if (!Finite(setup.Start) || !Finite(setup.Stop) || !Finite(setup.Step) || !Finite(setup.Dwell) ||
        !Finite(setup.Time))
        return Failure(Strings::SweepNotFinite);
    const bool log = setup.Spacing == TSweepSpacing::Logarithmic;
    if (log && !(setup.Start > 0 && setup.Stop > 0))
        return Failure(Strings::SweepLogNeedsPositive);
    if (setup.Start == setup.Stop)
        return Failure(Strings::SweepStartIsStop);
    const double start = std::clamp(setup.Start, limits.Value.Lo, limits.Value.Hi);
    const double stop = std::clamp(setup.Stop, limits.Value.Lo, limits.Value.Hi);
    if (start == stop || (log && !(start > 0)))
        return Failure(Strings::SweepStartIsStopInLimits);

    std::string error;
    const bool down = setup.Direction == TSweepDirection::Down;
    auto values = Values(setup, down ? stop : start, down ? start : stop, error);
    if (!values)
        return Failure(error);
    TSweepPlan plan;
    plan.Target = setup.Target;
    plan.Count = setup.Count;
    if (setup.Direction == TSweepDirection::UpDown) {
        // Back down without the turning value twice, ending where it began.
        values->insert(values->end(), values->rbegin() + 1, values->rend());
        plan.RepeatFrom = 1;
        if (values->size() > kSweepMaxPoints)
            return Failure(Strings::SweepTooManyPoints);
    }
    const double dwell = setup.Time > 0 ? setup.Time / static_cast<double>(values->size()) : setup.Dwell;
    if (!(dwell >= kSweepMinDwell))
        return Failure(Strings::SweepDwellTooShort);
    plan.Points.reserve(values->size());
    for (const double v : *values)
        plan.Points.push_back({Rounded(limits.Value, v), dwell, std::nullopt});
    TSweepPlanResult result;
    result.Plan = std::move(plan);
    return result;
}

double DeviceFrequencyFor(double frequency, bool standard)
{
    const long double f = std::isnan(frequency) ? 0.0L : static_cast<long double>(frequency);
    if (!standard)
        return static_cast<double>(ClockFor(f));
    // A standard waveform plays d samples per period, the most that keep
    // the clock at or below its top; d is a power of two from 2 to 8192.
    long double samples = 8192.0L;
    if (f >= 1.0L)
        samples = std::clamp(std::nearbyint(std::exp2(std::floor(std::log2(kClockHigh / f)))), 2.0L, 8192.0L);
    return static_cast<double>(ClockFor(samples * f) / samples);
}

TSweepRange FrequencyRangeOf(const TSettingsTarn& settings)
{
    const TWaveformTarn* wave = settings.Device.Waveforms.empty() ? nullptr : settings.Device.Waveforms.front().get();
    const bool standard = wave != nullptr && wave->IsStandard;
    TSweepRange range;
    range.Lo = settings.MinFrequency();
    range.Hi = settings.MaxFrequency();
    range.Round = [standard](double f) { return DeviceFrequencyFor(f, standard); };
    return range;
}
