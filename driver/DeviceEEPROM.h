// SPDX-License-Identifier: MIT
// The calibration page of the generator's EEPROM and the values taken from it.
#pragma once
#include "driver/VireoPort.h"
#include "driver/tarndrvconstants.h"

#include <array>
#include <cstdint>

namespace tarn::drv {

struct TCalibration {
    std::int32_t CalLevelHigh = 1647;     // level converter code at level code 3685.5
    std::int32_t CalLevelLow = 151;       // level converter code at level code 368.55
    std::int32_t CalShiftZeroHigh = 2130; // shift code for 0 V at CalLevelHigh
    std::int32_t CalShiftZeroLow = 2130;  // shift code for 0 V at CalLevelLow
    std::int32_t CalShiftGain = 1064;     // shift converter counts per volt
    // Nominal attenuator: the -20 dB relay alone. The word's own scale would give
    // 0.1 here and attenuate a second time by ten.
    double AttenuatorFactor = 1.0;
    std::uint32_t SerialNumber = 0;
};

// Image offsets of the calibration page (big-endian fields).
constexpr int kOffsetLevelHigh = 1;
constexpr int kOffsetLevelLow = 3;
constexpr int kOffsetShiftZeroHigh = 5;
constexpr int kOffsetShiftZeroLow = 7;
constexpr int kOffsetShiftGain = 9;
constexpr int kOffsetAttenuatorWord = 11;
constexpr int kOffsetSerialNumber = 167;
constexpr int kOffsetCheckSum = 252;

class TDeviceEEPROM {
public:
    using TImage = std::array<std::uint8_t, kEEPROMImageSize>;

    TDeviceEEPROM() = default;
    explicit TDeviceEEPROM(const TImage& image) : Image_(image) {}

    // One read per byte, in rising address order; keeps the low byte.
    void Read(TVireoPort& port);

    std::uint8_t Byte(int offset) const { return Image_[static_cast<std::size_t>(offset)]; }
    std::uint32_t Word16(int offset) const;
    std::uint32_t Word32(int offset) const;
    const TImage& Image() const { return Image_; }

    // Weighted sum over bytes 0..251 without 160..163.
    std::uint32_t ComputeCheckSum() const;
    bool CheckSumMatches() const { return Word32(kOffsetCheckSum) == ComputeCheckSum(); }

    // True and the image's values when the page is usable; false and the
    // defaults otherwise. A page whose sum matches but whose values would
    // divide by zero (R = 0, CalLevelHigh = CalLevelLow) is not usable.
    bool Extract(TCalibration& calibration) const;

private:
    TImage Image_{};
};

// Stores the check sum of the image's own bytes at its trailer (tests, tools).
void SealEEPROMImage(TDeviceEEPROM::TImage& image);

} // namespace tarn::drv
