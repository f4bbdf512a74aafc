// SPDX-License-Identifier: MIT
// The calibration page: check sum, fields and the images that must fail.
#include "driver/tests/RecordingPort.h"

#include <gtest/gtest.h>

namespace tarn::drv::test {
namespace {

TDeviceEEPROM::TImage WithTrailer(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
{
    TDeviceEEPROM::TImage image{};
    image[252] = a;
    image[253] = b;
    image[254] = c;
    image[255] = d;
    return image;
}

TEST(Calibration, CheckSumOfKnownImages)
{
    TCalibration cal;
    TDeviceEEPROM zero{TDeviceEEPROM::TImage{}};
    EXPECT_EQ(zero.ComputeCheckSum(), 30980u);
    EXPECT_FALSE(zero.Extract(cal));

    TDeviceEEPROM sealedZero{WithTrailer(0x00, 0x00, 0x79, 0x04)};
    EXPECT_TRUE(sealedZero.CheckSumMatches());

    TDeviceEEPROM::TImage full;
    full.fill(255);
    TDeviceEEPROM ones{full};
    EXPECT_EQ(ones.ComputeCheckSum(), 7994120u);
    EXPECT_FALSE(ones.CheckSumMatches());

    // Bytes 160..163 lie outside the sum.
    auto skipped = WithTrailer(0x00, 0x00, 0x79, 0x04);
    skipped[160] = 0xFF;
    skipped[163] = 0x12;
    EXPECT_TRUE(TDeviceEEPROM{skipped}.CheckSumMatches());
    skipped[164] = 1;
    EXPECT_FALSE(TDeviceEEPROM{skipped}.CheckSumMatches());
}

TEST(Calibration, FieldsAreBigEndianAndAttenuatorWordGivesFactor)
{
    auto image = WithTrailer(0x00, 0x00, 0x8B, 0xEB);
    image[11] = 0x7F;
    image[12] = 0xFF;
    TCalibration cal;
    // Zero levels make CalLevelHigh = CalLevelLow: sum matches, but unusable.
    EXPECT_TRUE(TDeviceEEPROM{image}.CheckSumMatches());
    EXPECT_FALSE(TDeviceEEPROM{image}.Extract(cal));

    auto good = ValidEEPROM();
    good[11] = 0x7F;
    good[12] = 0xFF;
    good[167] = 0x12;
    good[168] = 0x34;
    good[169] = 0x56;
    good[170] = 0x78;
    SealEEPROMImage(good);
    ASSERT_TRUE(TDeviceEEPROM{good}.Extract(cal));
    EXPECT_EQ(cal.CalLevelHigh, 1647);
    EXPECT_EQ(cal.CalLevelLow, 151);
    EXPECT_EQ(cal.CalShiftZeroHigh, 2130);
    EXPECT_EQ(cal.CalShiftGain, 1064);
    EXPECT_NEAR(cal.AttenuatorFactor, 1.0000153, 1e-7);
    EXPECT_EQ(cal.SerialNumber, 0x12345678u);
}

TEST(Calibration, ImagesThatWouldDivideByZeroFallBackToDefaults)
{
    TCalibration cal;
    cal.CalLevelHigh = 1;
    auto noAttenuatorWord = ValidEEPROM();
    noAttenuatorWord[11] = 0;
    noAttenuatorWord[12] = 0;
    SealEEPROMImage(noAttenuatorWord);
    EXPECT_TRUE(TDeviceEEPROM{noAttenuatorWord}.CheckSumMatches());
    EXPECT_FALSE(TDeviceEEPROM{noAttenuatorWord}.Extract(cal));
    EXPECT_EQ(cal.CalLevelHigh, 1647);
    EXPECT_DOUBLE_EQ(cal.AttenuatorFactor, 1.0);

    auto flatLevels = ValidEEPROM();
    flatLevels[3] = flatLevels[1];
    flatLevels[4] = flatLevels[2];
    SealEEPROMImage(flatLevels);
    EXPECT_FALSE(TDeviceEEPROM{flatLevels}.Extract(cal));
    EXPECT_EQ(cal.SerialNumber, 0u);
}

TEST(Calibration, ReadTakesLowByteOfEachReplyInAddressOrder)
{
    TRecord rec;
    rec.EEPROM = ValidEEPROM();
    TRecordingPort port(rec);
    TDeviceEEPROM eeprom;
    eeprom.Read(port);
    EXPECT_EQ(eeprom.Image(), rec.EEPROM);
}

} // namespace
} // namespace tarn::drv::test
