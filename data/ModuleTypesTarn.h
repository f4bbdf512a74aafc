// SPDX-License-Identifier: MIT
#pragma once
// Records exchanged with plug-in modules. Their layout crosses a library
// boundary, so field order and sizes are fixed.

#include <cstdint>

// A view of a sample buffer owned by someone else.
struct TWaveformData {
    std::uint16_t* Samples = nullptr;
    std::int32_t Count = 0;
    std::int32_t Range = 0;
};

static_assert(sizeof(TWaveformData) == sizeof(void*) + 8, "TWaveformData must stay packed back to back");
