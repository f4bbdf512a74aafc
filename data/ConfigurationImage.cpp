// SPDX-License-Identifier: MIT
#include "data/ConfigurationImage.h"

namespace tarn {

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

bool ConfigurationImageValid(const std::uint8_t* data, std::size_t size)
{
    if (data == nullptr || size != kConfigurationImageSize)
        return false;
    const std::size_t body = size - 4;
    const std::uint32_t stored = std::uint32_t(data[body]) | std::uint32_t(data[body + 1]) << 8
                                 | std::uint32_t(data[body + 2]) << 16 | std::uint32_t(data[body + 3]) << 24;
    return Crc32(data, body) == stored;
}

} // namespace tarn
