// SPDX-License-Identifier: MIT
// Shape of the configuration image of the programmable logic, shared by the
// driver library that sends it and the virtual generator that checks it.
// The image is 131,022 bytes; its last four bytes hold, little-endian, the
// CRC-32 (reflected, polynomial 0xEDB88320, initial and final XOR 0xFFFFFFFF)
// of all bytes before them.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tarn {

constexpr std::size_t kConfigurationImageSize = 131022;

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);

// True when the image is whole and its trailing check sum matches.
bool ConfigurationImageValid(const std::uint8_t* data, std::size_t size);

} // namespace tarn
