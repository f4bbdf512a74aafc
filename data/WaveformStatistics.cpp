// SPDX-License-Identifier: MIT
#include "data/WaveformStatistics.h"

#include "data/SimpleFFT.h"

#include <algorithm>
#include <cstring>

bool ComputeSampleStatistics(const TWaveformData& view, TWaveformStatistics& stats)
{
    if (view.Count <= 0 || view.Range == 0 || view.Samples == nullptr)
        return false;
    // The search starts from 0 and the range, so codes that all lie above the
    // range still report the range as their minimum.
    std::int32_t maxSample = 0;
    std::int32_t minSample = view.Range;
    long double sum = 0.0L;
    for (std::int32_t i = 0; i < view.Count; ++i) {
        const std::int32_t s = view.Samples[i];
        sum += s;
        maxSample = std::max(maxSample, s);
        minSample = std::min(minSample, s);
    }
    stats.MaxSample = maxSample;
    stats.MinSample = minSample;
    // Divided in extended precision, then stored as a double.
    stats.MeanSample = static_cast<double>(sum / view.Count);
    return true;
}

std::int32_t ComputeHighestHarmonic(const TWaveformData& view)
{
    const std::int32_t count = view.Samples == nullptr ? 0 : view.Count;
    const std::int32_t lastBin = count / 2 - 1;
    if (lastBin < 2)
        return 1;
    TSimpleFFT fft(count);
    const double unscale = fft.Count() / 2.0; // undo the transform's 2 / N
    fft.SetSamples(view.Samples, count);
    fft.Compute();
    const TFFTBin* bins = fft.Bins();
    std::int32_t highest = 1;
    for (std::int32_t i = 2; i <= lastBin; ++i)
        if (bins[i].Magnitude * unscale > 5.0)
            highest = i;
    return highest;
}

std::int32_t TStatisticsCache::MaxSample(const TWaveformData& view, bool shared)
{
    EnsureBasic(view, shared);
    return FValues.MaxSample;
}

std::int32_t TStatisticsCache::MinSample(const TWaveformData& view, bool shared)
{
    EnsureBasic(view, shared);
    return FValues.MinSample;
}

double TStatisticsCache::MeanSample(const TWaveformData& view, bool shared)
{
    EnsureBasic(view, shared);
    return FValues.MeanSample;
}

std::int32_t TStatisticsCache::HighestHarmonic(const TWaveformData& view, bool shared)
{
    Check(view, shared);
    if (!FHarmonicValid) {
        const bool hadValues = FBasicValid;
        FValues.HighestHarmonic = ComputeHighestHarmonic(view);
        FHarmonicValid = true;
        Computed(view, shared, hadValues);
    }
    return FValues.HighestHarmonic;
}

void TStatisticsCache::EnsureBasic(const TWaveformData& view, bool shared)
{
    Check(view, shared);
    if (FBasicValid)
        return;
    const bool hadValues = FHarmonicValid;
    // Without samples or range the values stay those of the last samples.
    if (ComputeSampleStatistics(view, FValues)) {
        FBasicValid = true;
        Computed(view, shared, hadValues);
    }
}

void TStatisticsCache::Computed(const TWaveformData& view, bool shared, bool hadValues)
{
    // The values just computed are returned either way; unverifiable ones
    // are not kept.
    if (shared && !hadValues && !TakeSnapshot(view))
        Invalidate();
}

void TStatisticsCache::Invalidate() noexcept
{
    FBasicValid = false;
    FHarmonicValid = false;
    FHasSnapshot = false;
    FSnapshot.clear();
}

void TStatisticsCache::Retire(const TWaveformData& view, bool shared) noexcept
{
    Check(view, shared);
    if (!FBasicValid)
        ComputeSampleStatistics(view, FValues);
    Invalidate();
}

void TStatisticsCache::Share(const TWaveformData& view) noexcept
{
    if ((FBasicValid || FHarmonicValid) && !FHasSnapshot && !TakeSnapshot(view))
        Invalidate();
}

void TStatisticsCache::CopyFrom(TStatisticsCache& source, const TWaveformData& sourceView, bool sourceShared,
                                const TWaveformData& view, bool shared) noexcept
{
    source.Check(sourceView, sourceShared);
    Invalidate();
    if (source.FBasicValid) {
        FValues.MaxSample = source.FValues.MaxSample;
        FValues.MinSample = source.FValues.MinSample;
        FValues.MeanSample = source.FValues.MeanSample;
        FBasicValid = true;
    }
    if (source.FHarmonicValid) {
        FValues.HighestHarmonic = source.FValues.HighestHarmonic;
        FHarmonicValid = true;
    }
    if (shared && (FBasicValid || FHarmonicValid) && !TakeSnapshot(view))
        Invalidate();
}

void TStatisticsCache::Check(const TWaveformData& view, bool shared) noexcept
{
    if (!shared || !(FBasicValid || FHarmonicValid))
        return;
    const bool same =
        FHasSnapshot && FSnapshotView.Samples == view.Samples && FSnapshotView.Count == view.Count
        && FSnapshotView.Range == view.Range
        && (view.Count <= 0 || view.Samples == nullptr
            || std::memcmp(FSnapshot.data(), view.Samples, static_cast<std::size_t>(view.Count) * sizeof(std::uint16_t))
                   == 0);
    if (!same)
        Invalidate();
}

bool TStatisticsCache::TakeSnapshot(const TWaveformData& view) noexcept
{
    try {
        if (view.Count > 0 && view.Samples != nullptr)
            FSnapshot.assign(view.Samples, view.Samples + view.Count);
        else
            FSnapshot.clear();
    } catch (...) {
        return false;
    }
    FSnapshotView = view;
    FHasSnapshot = true;
    return true;
}
