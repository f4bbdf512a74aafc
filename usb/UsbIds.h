// SPDX-License-Identifier: MIT
// How the generator is found and addressed on the bus. The udev rule in
// packaging/60-tarn-generator.rules must carry the same ids.
#pragma once
#include <cstdint>

namespace vireo {

struct UsbDeviceId {
    std::uint16_t vendor;
    std::uint16_t product;
};

inline constexpr UsbDeviceId kGeneratorId{0x1209, 0x0001};

// Requests 6 and 7 go out on this interface's first bulk OUT endpoint, request 9
// comes in on its first bulk IN one; both are taken from its descriptors.
inline constexpr int kInterface = 0;

// Milliseconds. Bulk transfers get extra time per byte so that a whole
// configuration image still fits on a slow full-speed link.
inline constexpr unsigned int kControlTimeoutMs = 1000;
inline constexpr unsigned int kBulkTimeoutMs = 2000;
inline constexpr unsigned int kBulkBytesPerMs = 100;

} // namespace vireo
