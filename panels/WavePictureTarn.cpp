// SPDX-License-Identifier: MIT
#include "panels/WavePictureTarn.h"

#include <algorithm>
#include <cmath>

namespace tarn {

namespace {

// Halves go to even under the default rounding mode.
int Nint(double value)
{
    return static_cast<int>(std::nearbyint(value));
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b)
{
    const std::int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

} // namespace

std::vector<TWaveColumn> WaveColumns(const std::uint16_t* samples, std::int32_t count, std::int32_t range, int width,
                                     TWaveMapping mapping)
{
    std::vector<TWaveColumn> columns;
    if (samples == nullptr || count <= 0 || range <= 0 || width <= 0) {
        return columns;
    }
    columns.reserve(static_cast<std::size_t>(width));
    const double h = mapping.Scale;
    const double v = range;
    int lastMin = 0;
    int lastMax = 0;
    for (int x = 0; x < width; ++x) {
        const std::int64_t first = FloorDiv(std::int64_t{x} * count, width);
        const std::int64_t last = std::max(first, FloorDiv((std::int64_t{x} + 1) * count - width, width));
        const auto [lo, hi] = std::minmax_element(samples + first, samples + last + 1);
        int smallest = *lo;
        int largest = *hi;
        if (x > 0) {
            if (lastMax < smallest) {
                smallest = lastMax;
            }
            if (lastMin > largest) {
                largest = lastMin;
            }
        }
        lastMin = smallest;
        lastMax = largest;
        // The bar runs from the smallest code's row up to the row before
        // Nint(h - h * largest / V - 1), as a line drawn to but not onto its
        // end point; at least the smallest code's row shows.
        const int bottom = Nint(h - h * smallest / v) + mapping.Offset;
        const int top = Nint(h - h * largest / v - 1) + mapping.Offset + 1;
        columns.push_back({std::min(top, bottom), bottom});
    }
    return columns;
}

int ThumbnailWidth(int itemHeight)
{
    const int want = 2 * itemHeight - 2;
    int width = 1;
    while (width < want) {
        width *= 2;
    }
    return width;
}

} // namespace tarn
