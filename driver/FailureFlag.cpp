// SPDX-License-Identifier: MIT
#include "driver/FailureFlag.h"

namespace tarn::drv {

TFailureFlag& DriverFailureFlag()
{
    static TFailureFlag flag;
    return flag;
}

extern "C" void TarnDriverFailureCallback(std::int32_t code)
{
    // Bit 0 inverted: the library's 0 becomes the caller's 1.
    DriverFailureFlag().Report(static_cast<std::uint8_t>(code) ^ 1u);
}

} // namespace tarn::drv
