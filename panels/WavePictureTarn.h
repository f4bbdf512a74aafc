// SPDX-License-Identifier: MIT
// The picture of a waveform, without the toolkit: one vertical bar per pixel
// column covering the codes of the samples that fall into it. The waveform
// list's thumbnails and the preview draw the same picture at two sizes.
#pragma once
#include <cstdint>
#include <vector>

namespace tarn {

// Rows First .. Last (inclusive, First <= Last) of one column.
struct TWaveColumn {
    int First = 0;
    int Last = 0;
    bool operator==(const TWaveColumn&) const = default;
};

// Vertical mapping: code c lies at row Nint(Scale - Scale * c / Range) + Offset,
// code Range at the top. The thumbnails use Scale = height - 3 and Offset =
// top + 1, the preview Scale = height - 1 and Offset 0.
struct TWaveMapping {
    double Scale = 0;
    int Offset = 0;
};

// The bars of width columns for count samples of value range range. Each
// column takes the smallest and largest code of its samples (at least its
// first), joined to the column before so that a steep step stays connected.
// No samples, no columns or a range of 0 or less give no bars at all.
std::vector<TWaveColumn> WaveColumns(const std::uint16_t* samples, std::int32_t count, std::int32_t range, int width,
                                     TWaveMapping mapping);

// The thumbnail's picture width for an item of the given height: the next
// power of two at or above 2 * height - 2.
int ThumbnailWidth(int itemHeight);

} // namespace tarn
