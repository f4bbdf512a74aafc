// SPDX-License-Identifier: MIT
// Exceptions stop at the exported functions and turn into their fallbacks.
#include "usb/Guard.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>

namespace vireo {
namespace {

TEST(Guard, ThrowingCallsGiveTheFallbackAndQuietOnesTheirResult)
{
    EXPECT_EQ(Guard([]() -> std::int32_t { throw std::runtime_error("lost"); }, 517), 517);
    EXPECT_EQ(Guard([] { return std::int32_t{7}; }, 0), 7);
    bool ran = false;
    Guard([&] {
        ran = true;
        throw 1;
    });
    EXPECT_TRUE(ran);
}

} // namespace
} // namespace vireo
