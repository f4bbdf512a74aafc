// SPDX-License-Identifier: MIT
// Exported C functions must never let an exception cross the library boundary.
#pragma once

namespace vireo {

template <typename F> auto Guard(F&& f, decltype(f()) fallback) noexcept -> decltype(f())
{
    try {
        return f();
    } catch (...) {
        return fallback;
    }
}

template <typename F> void Guard(F&& f) noexcept
{
    try {
        f();
    } catch (...) {
    }
}

} // namespace vireo
