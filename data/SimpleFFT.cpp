// SPDX-License-Identifier: MIT
#include "data/SimpleFFT.h"

#include "data/DataTypesTarn.h"

#include <cmath>
#include <memory>
#include <mutex>
#include <numbers>
#include <utility>

TSimpleFFT::TSimpleFFT(std::int32_t inputCount)
{
    if (inputCount > (1 << 30))
        throw EDataError("Too many samples for the spectrum");
    FInputCount = inputCount < 0 ? 0 : inputCount;
    // 2^Ceil(Log2(n)), computed exactly; an empty input gets one zero bin.
    std::int32_t n = 1;
    while (n < FInputCount)
        n <<= 1;
    FCount = n;
    FBins.assign(static_cast<std::size_t>(n), TFFTBin{});
}

void TSimpleFFT::SetSamples(const std::uint16_t* samples, std::int32_t count)
{
    const std::int32_t n = count < FInputCount ? count : FInputCount;
    for (std::int32_t i = 0; i < n; ++i)
        FBins[static_cast<std::size_t>(i)].Re = samples[i];
}

void TSimpleFFT::Resample()
{
    const std::int32_t n = FInputCount;
    const std::int32_t N = FCount;
    const double pi = std::numbers::pi;
    for (std::int32_t i = 0; i < N; ++i) {
        const double p = static_cast<double>(i) * n / N;
        const auto first = static_cast<std::int64_t>(std::trunc(p - FKernelHalfWidth));
        const auto last = static_cast<std::int64_t>(std::trunc(p + FKernelHalfWidth + 1));
        double weights = 0.0;
        double acc = 0.0;
        for (std::int64_t j = first; j <= last; ++j) {
            // Wrap both ways, also for windows wider than a short period.
            const std::int64_t k = ((j % N) + N) % N;
            const double x = FBins[static_cast<std::size_t>(k)].Re;
            const auto jd = static_cast<double>(j);
            if (jd != p) {
                const double d = (p - jd) * pi;
                const double w = std::sin(d) / d;
                weights += w;
                acc += w * x;
            } else {
                weights = 1.0;
                acc = x;
            }
        }
        FBins[static_cast<std::size_t>(i)].Im = acc / weights;
    }
    for (auto& bin : FBins) {
        bin.Re = bin.Im;
        bin.Im = 0.0;
    }
}

namespace {

// cos and sin of q x base angle for q = 0 .. N / 2 - 1. The stages use the
// angle k x step x base with the integer product k x step, so looking it up
// gives the very same values. The table of the last size used is shared.
struct TTwiddles {
    std::int32_t Size = 0;
    std::vector<double> Cos;
    std::vector<double> Sin;
};

std::shared_ptr<const TTwiddles> TwiddlesFor(std::int32_t N)
{
    // No thread_local: it would pin a dlopen'ed driver library in memory.
    static std::mutex guard;
    static std::shared_ptr<const TTwiddles> last;
    {
        const std::lock_guard<std::mutex> lock(guard);
        if (last && last->Size == N)
            return last;
    }
    auto table = std::make_shared<TTwiddles>();
    const double base = 2.0 * std::numbers::pi / N;
    const std::size_t half = static_cast<std::size_t>(N / 2 > 0 ? N / 2 : 1);
    table->Size = N;
    table->Cos.resize(half);
    table->Sin.resize(half);
    for (std::size_t q = 0; q < half; ++q) {
        table->Cos[q] = std::cos(static_cast<double>(q) * base);
        table->Sin[q] = std::sin(static_cast<double>(q) * base);
    }
    const std::lock_guard<std::mutex> lock(guard);
    last = table;
    return table;
}

} // namespace

void TSimpleFFT::Transform()
{
    const std::int32_t N = FCount;
    const std::shared_ptr<const TTwiddles> twiddles = TwiddlesFor(N);
    const std::vector<double>& cosTable = twiddles->Cos;
    const std::vector<double>& sinTable = twiddles->Sin;
    for (std::int32_t a = N; a >= 2; a /= 2) {
        const std::int32_t half = a / 2;
        const std::int32_t step = N / a;
        // Block by block, so memory is walked in order; every butterfly is
        // the same as column by column, so the results are too.
        for (std::int32_t b = 0; b < N; b += a) {
            for (std::int32_t k = 0; k < half; ++k) {
                const auto q = static_cast<std::size_t>(k) * static_cast<std::size_t>(step);
                const double c = cosTable[q];
                const double s = sinTable[q];
                TFFTBin& u = FBins[static_cast<std::size_t>(b + k)];
                TFFTBin& v = FBins[static_cast<std::size_t>(b + k + half)];
                const double dRe = u.Re - v.Re;
                const double dIm = u.Im - v.Im;
                u.Re += v.Re;
                u.Im += v.Im;
                v.Re = dRe * c + dIm * s;
                v.Im = dIm * c - dRe * s;
            }
        }
    }
    // Bit reversal of the indices, counting j in reversed order alongside i.
    for (std::int32_t i = 0, j = 0; i < N; ++i) {
        if (i < j)
            std::swap(FBins[static_cast<std::size_t>(i)], FBins[static_cast<std::size_t>(j)]);
        std::int32_t bit = N >> 1;
        while (bit > 0 && (j & bit)) {
            j ^= bit;
            bit >>= 1;
        }
        j |= bit;
    }
    const double scale = 2.0 / N;
    for (auto& bin : FBins) {
        bin.Re *= scale;
        bin.Im *= scale;
    }
}

void TSimpleFFT::Compute()
{
    // A second run would treat the spectrum as samples.
    if (FComputed)
        return;
    FComputed = true;
    if (FCount != FInputCount)
        Resample();
    Transform();
    FCount = FCount / 2 + 1;
    for (std::int32_t i = 0; i < FCount; ++i) {
        TFFTBin& bin = FBins[static_cast<std::size_t>(i)];
        bin.Magnitude = std::sqrt(bin.Re * bin.Re + bin.Im * bin.Im);
    }
}
