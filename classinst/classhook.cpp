// SPDX-License-Identifier: MIT
// Class installer entry point: every installation step is left to the
// device setup's default handling.
#include <cstdint>

namespace {
constexpr std::uint32_t kDoDefault = 0xE000020E;
}

extern "C" __attribute__((visibility("default"))) std::uint32_t
MeasuringClassInstaller(std::uint32_t /*InstallFunction*/, void* /*DeviceInfoSet*/, void* /*DeviceInfoData*/)
{
    return kDoDefault;
}
