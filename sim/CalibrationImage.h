// SPDX-License-Identifier: MIT
// The calibration page of the generator's EEPROM (addresses 256..511):
// big-endian fields and a weighted check sum over the first 252 bytes.
#pragma once
#include <array>
#include <cstdint>

namespace vg {

using CalibrationImage = std::array<std::uint8_t, 256>;

struct Calibration {
    std::uint16_t levelHigh = 1647;
    std::uint16_t levelLow = 151;
    std::uint16_t shiftZeroHigh = 2130;
    std::uint16_t shiftZeroLow = 2130;
    std::uint16_t shiftGain = 1064;
    // 32767.5 / R is the attenuator factor; 32767 stands for an exact -20 dB.
    std::uint16_t attenuatorWord = 32767;
    std::uint32_t serialNumber = 100042;
};

// Sum of (i + 1) * byte[i] + i over i = 0..251 without 160..163.
std::uint32_t CalibrationChecksum(const CalibrationImage& image);

// An image holding the fields, with a matching check sum.
CalibrationImage MakeCalibrationImage(const Calibration& calibration);

} // namespace vg
