// SPDX-License-Identifier: MIT
#include "driver/DeviceEEPROM.h"

namespace tarn::drv {

namespace {

std::uint32_t SumOf(const TDeviceEEPROM::TImage& image)
{
    std::uint32_t sum = 0;
    for (std::uint32_t i = 0; i < kOffsetCheckSum; ++i) {
        if (i >= 160 && i <= 163)
            continue; // these four bytes were never part of the sum
        sum += (i + 1) * image[i] + i;
    }
    return sum;
}

} // namespace

void TDeviceEEPROM::Read(TVireoPort& port)
{
    for (int i = 0; i < kEEPROMImageSize; ++i)
        Image_[static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(port.ReadFromEEPROM(kEEPROMCalibrationBase + i) & 0xFF);
}

std::uint32_t TDeviceEEPROM::Word16(int offset) const
{
    return std::uint32_t(Byte(offset)) << 8 | Byte(offset + 1);
}

std::uint32_t TDeviceEEPROM::Word32(int offset) const
{
    return std::uint32_t(Byte(offset)) << 24 | std::uint32_t(Byte(offset + 1)) << 16
           | std::uint32_t(Byte(offset + 2)) << 8 | Byte(offset + 3);
}

std::uint32_t TDeviceEEPROM::ComputeCheckSum() const
{
    return SumOf(Image_);
}

bool TDeviceEEPROM::Extract(TCalibration& calibration) const
{
    const std::uint32_t high = Word16(kOffsetLevelHigh);
    const std::uint32_t low = Word16(kOffsetLevelLow);
    const std::uint32_t attenuatorWord = Word16(kOffsetAttenuatorWord);
    if (!CheckSumMatches() || attenuatorWord == 0 || high == low) {
        calibration = TCalibration{};
        return false;
    }
    calibration.CalLevelHigh = static_cast<std::int32_t>(high);
    calibration.CalLevelLow = static_cast<std::int32_t>(low);
    calibration.CalShiftZeroHigh = static_cast<std::int32_t>(Word16(kOffsetShiftZeroHigh));
    calibration.CalShiftZeroLow = static_cast<std::int32_t>(Word16(kOffsetShiftZeroLow));
    calibration.CalShiftGain = static_cast<std::int32_t>(Word16(kOffsetShiftGain));
    calibration.AttenuatorFactor = static_cast<double>(0.1L / (attenuatorWord * 0.2L / 65535.0L));
    calibration.SerialNumber = Word32(kOffsetSerialNumber);
    return true;
}

void SealEEPROMImage(TDeviceEEPROM::TImage& image)
{
    const std::uint32_t sum = SumOf(image);
    image[kOffsetCheckSum] = static_cast<std::uint8_t>(sum >> 24);
    image[kOffsetCheckSum + 1] = static_cast<std::uint8_t>(sum >> 16);
    image[kOffsetCheckSum + 2] = static_cast<std::uint8_t>(sum >> 8);
    image[kOffsetCheckSum + 3] = static_cast<std::uint8_t>(sum);
}

} // namespace tarn::drv
