// SPDX-License-Identifier: MIT
#include "sim/CalibrationImage.h"

namespace vg {
namespace {

void Put16(CalibrationImage& image, std::size_t offset, std::uint16_t value)
{
    image[offset] = static_cast<std::uint8_t>(value >> 8);
    image[offset + 1] = static_cast<std::uint8_t>(value);
}

void Put32(CalibrationImage& image, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        image[offset + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

} // namespace

std::uint32_t CalibrationChecksum(const CalibrationImage& image)
{
    std::uint32_t sum = 0;
    for (std::uint32_t i = 0; i < 252; ++i) {
        if (i >= 160 && i <= 163)
            continue;
        sum += (i + 1) * image[i] + i;
    }
    return sum;
}

CalibrationImage MakeCalibrationImage(const Calibration& calibration)
{
    CalibrationImage image{};
    Put16(image, 1, calibration.levelHigh);
    Put16(image, 3, calibration.levelLow);
    Put16(image, 5, calibration.shiftZeroHigh);
    Put16(image, 7, calibration.shiftZeroLow);
    Put16(image, 9, calibration.shiftGain);
    Put16(image, 11, calibration.attenuatorWord);
    Put32(image, 167, calibration.serialNumber);
    Put32(image, 252, CalibrationChecksum(image));
    return image;
}

} // namespace vg
