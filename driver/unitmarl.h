// SPDX-License-Identifier: MIT
// The configuration image of the generator's programmable logic.
#pragma once
#include <cstdint>
#include <vector>

namespace tarn::drv {

// Expands the stored description into the 131,022 bytes that go to the
// device: a naming header, the generated configuration frames and the
// little-endian CRC-32 trailer.
std::vector<std::uint8_t> RestoreConfigurationImage();

// The text at the start of the image.
const char* ConfigurationImageName();

} // namespace tarn::drv
