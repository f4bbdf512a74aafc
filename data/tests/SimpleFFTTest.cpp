// SPDX-License-Identifier: MIT
#include "data/SimpleFFT.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>

namespace {

void FillSine(TSimpleFFT& fft, int n, double amplitude, int cycles, double offset = 0.0)
{
    for (int i = 0; i < n; ++i)
        fft.Bin(i).Re = offset + amplitude * std::sin(2 * std::numbers::pi * cycles * i / n);
}

} // namespace

TEST(SimpleFFT, SizesAndCounts)
{
    EXPECT_EQ(TSimpleFFT(1000).Count(), 1024);
    EXPECT_EQ(TSimpleFFT(8192).Count(), 8192);
    EXPECT_EQ(TSimpleFFT(1).Count(), 1);
    EXPECT_EQ(TSimpleFFT(1025).Count(), 2048);
    EXPECT_EQ(TSimpleFFT(0).Count(), 1);
    EXPECT_EQ(TSimpleFFT(1000).InputCount(), 1000);
    EXPECT_EQ(TSimpleFFT(1000).KernelHalfWidth(), 5);
    TSimpleFFT fresh(16);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(fresh.Bin(i).Re, 0.0);
        EXPECT_EQ(fresh.Bin(i).Im, 0.0);
        EXPECT_EQ(fresh.Bin(i).Magnitude, 0.0);
    }
}

TEST(SimpleFFT, SineOfWholeCyclesLandsInItsBin)
{
    TSimpleFFT fft(8192);
    FillSine(fft, 8192, 2000.0, 3);
    fft.Compute();
    EXPECT_EQ(fft.Count(), 4097);
    EXPECT_NEAR(fft.Bin(3).Magnitude, 2000.0, 1e-6);
    for (int k = 0; k < fft.Count(); ++k)
        if (k != 3) {
            EXPECT_LT(fft.Bin(k).Magnitude, 1e-6) << k;
        }
}

TEST(SimpleFFT, ConstantAndSingleSample)
{
    TSimpleFFT flat(64);
    for (int i = 0; i < 64; ++i)
        flat.Bin(i).Re = 5.0;
    flat.Compute();
    EXPECT_EQ(flat.Count(), 33);
    EXPECT_NEAR(flat.Bin(0).Magnitude, 10.0, 1e-12);
    EXPECT_NEAR(flat.Bin(1).Magnitude, 0.0, 1e-12);

    TSimpleFFT one(1);
    one.Bin(0).Re = 21.0;
    one.Compute();
    EXPECT_EQ(one.Count(), 1);
    EXPECT_DOUBLE_EQ(one.Bin(0).Re, 42.0);
    EXPECT_DOUBLE_EQ(one.Bin(0).Magnitude, 42.0);
}

TEST(SimpleFFT, MatchesDirectTransform)
{
    constexpr int N = 64;
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> dist(0.0, 4095.0);
    std::vector<double> x(N);
    TSimpleFFT fft(N);
    for (int i = 0; i < N; ++i)
        fft.Bin(i).Re = x[i] = dist(rng);
    fft.Compute();
    for (int k = 0; k <= N / 2; ++k) {
        std::complex<double> sum;
        for (int t = 0; t < N; ++t)
            sum += x[t] * std::polar(1.0, -2 * std::numbers::pi * k * t / N);
        sum *= 2.0 / N;
        EXPECT_NEAR(fft.Bin(k).Re, sum.real(), 1e-9) << k;
        EXPECT_NEAR(fft.Bin(k).Im, sum.imag(), 1e-9) << k;
        EXPECT_NEAR(fft.Bin(k).Magnitude, std::abs(sum), 1e-9) << k;
    }
}

TEST(SimpleFFT, ResampledPeriodsKeepTheirHarmonic)
{
    // 1000 and 1536 samples are resampled onto 1024 and 2048 points.
    for (const auto& [n, bins] : {std::pair{1000, 513}, std::pair{1536, 1025}, std::pair{6000, 4097}}) {
        TSimpleFFT fft(n);
        FillSine(fft, n, 2000.0, 5, 2048.0);
        fft.Compute();
        EXPECT_EQ(fft.Count(), bins);
        int peak = 1;
        for (int k = 1; k < fft.Count(); ++k)
            if (fft.Bin(k).Magnitude > fft.Bin(peak).Magnitude)
                peak = k;
        EXPECT_EQ(peak, 5) << n;
        // The tail runs into zero bins, so the level is close but not exact.
        EXPECT_NEAR(fft.Bin(5).Magnitude, 2000.0, 200.0) << n;
        EXPECT_NEAR(fft.Bin(0).Magnitude, 4096.0, 400.0) << n;
    }
}
