// SPDX-License-Identifier: MIT
#pragma once
// The statistics of a waveform's samples, computed when first read and kept
// until the samples change. A waveform whose buffer may be written behind its
// back (a handed-out sample pointer or module data view, an attached buffer)
// keeps a copy of the samples its values came from and compares it on every
// read, so a raw write is always noticed.

#include "data/ModuleTypesTarn.h"

#include <cstdint>
#include <vector>

struct TWaveformStatistics {
    std::int32_t MaxSample = 0;
    std::int32_t MinSample = 0;
    double MeanSample = 0.0;
    std::int32_t HighestHarmonic = 0;
};

// Max, min and mean of the codes. With no samples or a range of 0 nothing is
// computed and stats stay as they are (false).
bool ComputeSampleStatistics(const TWaveformData& view, TWaveformStatistics& stats);
// The last spectrum bin in 2 .. count div 2 - 1 whose unnormalised magnitude
// exceeds 5.0; 1 if none.
std::int32_t ComputeHighestHarmonic(const TWaveformData& view);

class TStatisticsCache {
public:
    std::int32_t MaxSample(const TWaveformData& view, bool shared);
    std::int32_t MinSample(const TWaveformData& view, bool shared);
    double MeanSample(const TWaveformData& view, bool shared);
    std::int32_t HighestHarmonic(const TWaveformData& view, bool shared);

    // Forgets the values; an empty or rangeless waveform keeps reporting the
    // max, min and mean it had.
    void Invalidate() noexcept;
    // Before the samples go: max, min and mean of the samples that were never
    // read are computed now, as the eager computation would have left them.
    void Retire(const TWaveformData& view, bool shared) noexcept;
    // The buffer has just been handed out for writing.
    void Share(const TWaveformData& view) noexcept;
    // Takes the values source holds for equal samples (nothing is computed).
    void CopyFrom(TStatisticsCache& source, const TWaveformData& sourceView, bool sourceShared,
                  const TWaveformData& view, bool shared) noexcept;

private:
    // Drops values whose samples were written behind the owner's back.
    void Check(const TWaveformData& view, bool shared) noexcept;
    void EnsureBasic(const TWaveformData& view, bool shared);
    void Computed(const TWaveformData& view, bool shared, bool hadValues);
    bool TakeSnapshot(const TWaveformData& view) noexcept;

    bool FBasicValid = false;
    bool FHarmonicValid = false;
    TWaveformStatistics FValues;
    // The samples the values were computed from, kept only while shared.
    bool FHasSnapshot = false;
    TWaveformData FSnapshotView;
    std::vector<std::uint16_t> FSnapshot;
};
