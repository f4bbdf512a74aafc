// SPDX-License-Identifier: MIT
#include "data/SimpleFFT.h"

#include "data/DataTypesTarn.h"

#include <algorithm>
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

// One stage's butterflies over a block: u and v are its two halves, apart
// in memory, so the loop runs in vector registers.
void Butterflies(double* __restrict uRe, double* __restrict uIm, double* __restrict vRe, double* __restrict vIm,
                 const double* __restrict c, const double* __restrict s, std::size_t count) noexcept
{
    for (std::size_t k = 0; k < count; ++k) {
        const double dRe = uRe[k] - vRe[k];
        const double dIm = uIm[k] - vIm[k];
        uRe[k] += vRe[k];
        uIm[k] += vIm[k];
        vRe[k] = dRe * c[k] + dIm * s[k];
        vIm[k] = dIm * c[k] - dRe * s[k];
    }
}

} // namespace

void TSimpleFFT::Transform()
{
    const std::int32_t N = FCount;
    const auto n = static_cast<std::size_t>(N);
    const std::shared_ptr<const TTwiddles> twiddles = TwiddlesFor(N);
    // Real and imaginary parts apart, and each stage's twiddles side by side.
    // Every butterfly does the same operations as one over the bins would,
    // so the results are the same to the last bit.
    std::vector<double> re(n);
    std::vector<double> im(n);
    for (std::size_t i = 0; i < n; ++i) {
        re[i] = FBins[i].Re;
        im[i] = FBins[i].Im;
    }
    std::vector<double> c(std::max<std::size_t>(n / 2, 1));
    std::vector<double> s(c.size());
    for (std::size_t a = n; a >= 2; a /= 2) {
        const std::size_t half = a / 2;
        const std::size_t step = n / a;
        for (std::size_t k = 0; k < half; ++k) {
            c[k] = twiddles->Cos[k * step];
            s[k] = twiddles->Sin[k * step];
        }
        if (half >= 8) {
            for (std::size_t b = 0; b < n; b += a)
                Butterflies(&re[b], &im[b], &re[b + half], &im[b + half], c.data(), s.data(), half);
            continue;
        }
        // Short blocks: one twiddle at a time across all of them.
        for (std::size_t k = 0; k < half; ++k) {
            const double ck = c[k];
            const double sk = s[k];
            for (std::size_t u = k; u < n; u += a) {
                const std::size_t v = u + half;
                const double dRe = re[u] - re[v];
                const double dIm = im[u] - im[v];
                re[u] += re[v];
                im[u] += im[v];
                re[v] = dRe * ck + dIm * sk;
                im[v] = dIm * ck - dRe * sk;
            }
        }
    }
    // Bit reversal of the indices, counting j in reversed order alongside i.
    const double scale = 2.0 / N;
    for (std::size_t i = 0, j = 0; i < n; ++i) {
        if (i < j) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
        std::size_t bit = n >> 1;
        while (bit > 0 && (j & bit)) {
            j ^= bit;
            bit >>= 1;
        }
        j |= bit;
    }
    for (std::size_t i = 0; i < n; ++i) {
        FBins[i].Re = re[i] * scale;
        FBins[i].Im = im[i] * scale;
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
