// SPDX-License-Identifier: MIT
#pragma once
// Amplitude spectrum of one waveform period. The period is resampled onto the
// next power of two (truncated sinc) and transformed in place (radix 2).

#include <cstdint>
#include <vector>

struct TFFTBin {
    double Re = 0.0;
    double Im = 0.0;
    double Magnitude = 0.0;
};

class TSimpleFFT {
public:
    // inputCount samples are expected in Re of bins 0 .. inputCount - 1.
    // Counts below 1 are treated as one zero sample; counts above 2^30 throw.
    explicit TSimpleFFT(std::int32_t inputCount);

    // Before Compute: the power of two N. After: N / 2 + 1 spectrum bins.
    std::int32_t Count() const noexcept { return FCount; }
    std::int32_t InputCount() const noexcept { return FInputCount; }
    std::int32_t KernelHalfWidth() const noexcept { return FKernelHalfWidth; }

    // All N bins of working storage.
    TFFTBin* Bins() noexcept { return FBins.data(); }
    const TFFTBin* Bins() const noexcept { return FBins.data(); }
    TFFTBin& Bin(std::int32_t index) { return FBins.at(static_cast<std::size_t>(index)); }
    const TFFTBin& Bin(std::int32_t index) const { return FBins.at(static_cast<std::size_t>(index)); }

    // Copies count codes into Re of the first bins (count is cut to InputCount).
    void SetSamples(const std::uint16_t* samples, std::int32_t count);

    // Resample, transform, scale by 2 / N, magnitudes. Run once per object.
    void Compute();

private:
    void Resample();
    void Transform();

    std::vector<TFFTBin> FBins;
    std::int32_t FCount = 0;
    std::int32_t FInputCount = 0;
    std::int32_t FKernelHalfWidth = 5;
    bool FComputed = false;
};
