// SPDX-License-Identifier: MIT
// The SDK header compiled as C++ on its own agrees with its C compilation on
// the layout that crosses the library boundary.
#include "tarn/tarnmodule.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <type_traits>

extern "C" int32_t SdkHeaderCLayout(int32_t field);

TEST(SdkHeader, SameLayoutAsCAndTheFixedAbi)
{
    EXPECT_EQ(SdkHeaderCLayout(0), static_cast<int32_t>(sizeof(TWaveformData)));
    EXPECT_EQ(SdkHeaderCLayout(1), static_cast<int32_t>(offsetof(TWaveformData, Count)));
    EXPECT_EQ(SdkHeaderCLayout(2), static_cast<int32_t>(offsetof(TWaveformData, Range)));
    EXPECT_EQ(SdkHeaderCLayout(3), 1);
    EXPECT_EQ(SdkHeaderCLayout(4), 11 + 13 + 4);
    EXPECT_EQ(sizeof(TWaveformData), 16u);
    EXPECT_EQ(offsetof(TWaveformData, Count), 8u);
    static_assert(std::is_same_v<TTarnRequestFunc, int32_t (*)(int32_t, intptr_t, void*, void*)>);
    static_assert(std::is_same_v<TTarnAppRequestFunc, void (*)(int32_t, intptr_t, void*, void*)>);
}
