// SPDX-License-Identifier: MIT
// Call sequences of the device model over a recording stand-in of the USB
// library: which writes are queued (Q) and which are sent (S), in order.
#include "driver/tests/RecordingPort.h"
#include "driver/tarndrvobjs.h"

#include <gtest/gtest.h>

namespace tarn::drv::test {
namespace {

using DeviceModel = DeviceFixture;

TDeviceEEPROM::TImage CustomCalibration()
{
    TDeviceEEPROM::TImage image{};
    auto put16 = [&](int o, int v) {
        image[static_cast<std::size_t>(o)] = static_cast<std::uint8_t>(v >> 8);
        image[static_cast<std::size_t>(o + 1)] = static_cast<std::uint8_t>(v);
    };
    put16(kOffsetLevelHigh, 1700);
    put16(kOffsetLevelLow, 140);
    put16(kOffsetShiftZeroHigh, 2200);
    put16(kOffsetShiftZeroLow, 2100);
    put16(kOffsetShiftGain, 1000);
    put16(kOffsetAttenuatorWord, 32767);
    image[169] = 0x01;
    image[170] = 0x2C;
    SealEEPROMImage(image);
    return image;
}

TEST_F(DeviceModel, LevelQueuesConverterSendsControlWordAndShiftOnlyWhenOutputOn)
{
    StartWithDefaults();
    Device->SetLevel(4095);
    EXPECT_EQ(Rec.Take(), (Calls{"Q1=1832", "S10=64"}));
    Device->SetLevel(2048);
    EXPECT_EQ(Rec.Take(), (Calls{"Q1=908", "S10=64"}));

    Device->SetShift(3000); // stored, output off: nothing sent
    EXPECT_TRUE(Rec.Take().empty());
    Device->SetOutput(true);
    EXPECT_EQ(Rec.Take(), (Calls{"S2=2872", "S10=64"})) << "gate stays shut until a waveform runs";
}

TEST_F(DeviceModel, ShiftFollowsLevelCodeBetweenCalibratedZeroPoints)
{
    Start(CustomCalibration());
    Device->SetOutput(true);
    Device->SetShift(2500);
    Device->SetLevel(3000);
    Rec.Take();
    Device->SetShift(2500);
    EXPECT_EQ(Rec.Take(), (Calls{"S2=2511"}));
    Device->SetShift(2048);
    EXPECT_EQ(Rec.Take(), (Calls{"S2=2179"}));
    Device->SetLevel(1000);
    EXPECT_EQ(Rec.Take(), (Calls{"Q1=437", "S10=64", "S2=2119"}));
    Device->SetShift(0);
    EXPECT_EQ(Rec.Take(), (Calls{"S2=618"}));
    EXPECT_EQ(Device->SerialNumber(), 300u);
}

TEST_F(DeviceModel, ShiftIsNotClampedAndTravelsAsTwosComplement)
{
    StartWithDefaults();
    Device->SetLevel(4095);
    Device->SetOutput(true);
    Rec.Take();
    Device->SetShift(-2000);
    // 1.5 V x (-4048) / 2047 x 1.064 + 2130 = -1026.13
    EXPECT_EQ(Rec.Take(), (Calls{"S2=-1026"}));
}

TEST_F(DeviceModel, LevelZeroIsClampedAndKeepsTheGateShut)
{
    StartWithDefaults();
    Device->SetFrequency(1e6, false);
    Device->SetOutput(true);
    Device->SetLevel(4095);
    EXPECT_EQ(Device->ControlWord() & 128, 128);
    Rec.Take();
    Device->SetLevel(0);
    EXPECT_EQ(Device->LevelCode(), 0);
    EXPECT_EQ(Rec.Take(), (Calls{"Q1=0", "S10=64", "S2=533"}));
}

TEST_F(DeviceModel, AttenuatorRewritesConvertersBeforeRelayRegister)
{
    StartBroken();
    Device->SetFilter(1);
    Device->SetLevel(4095);
    Device->SetShift(3000);
    Device->SetOutput(true);
    Rec.Take();
    Device->SetAttenuator(1);
    // Nominal factor 1.0: the converters keep their codes, the relay alone attenuates.
    EXPECT_EQ(Rec.Take(), (Calls{"Q1=1832", "S10=64", "S2=2872", "S2=2872", "S8=26"}));
    Device->SetAttenuator(2); // only exactly 1 switches it in
    EXPECT_EQ(Rec.Take(), (Calls{"Q1=1832", "S10=64", "S2=2872", "S2=2872", "S8=10"}));
}

TEST_F(DeviceModel, FilterIndexOutsideTableRewritesRelaysUnchanged)
{
    StartWithDefaults();
    Device->SetAttenuator(1);
    Rec.Take();
    Device->SetFilter(2);
    Device->SetFilter(3);
    Device->SetFilter(-1);
    Device->SetFilter(1);
    Device->SetFilter(0);
    EXPECT_EQ(Rec.Take(), (Calls{"S8=21", "S8=21", "S8=21", "S8=26", "S8=16"}));
}

TEST_F(DeviceModel, OutputOffZeroesShiftOnlyWhenItWasOnAndKeepsStoredShift)
{
    StartWithDefaults();
    Device->SetLevel(4095);
    Device->SetShift(3000);
    Rec.Take();
    Device->SetOutput(false); // already off: no shift write
    EXPECT_EQ(Rec.Take(), (Calls{"S10=64"}));
    Device->SetOutput(true);
    EXPECT_EQ(Rec.Take(), (Calls{"S2=2872", "S10=64"}));
    Device->SetOutput(false);
    EXPECT_EQ(Rec.Take(), (Calls{"S2=2130", "S10=64"}));
    Device->SetOutput(true);
    EXPECT_EQ(Rec.Take(), (Calls{"S2=2872", "S10=64"}));
}

TEST_F(DeviceModel, ControlWordBitsDependOnTriggerMode)
{
    StartWithDefaults();
    Device->SetArm(true);
    Device->SetRun(true);
    Device->SetTrigger(true);
    Device->SetTriggerLeading(true);
    Device->SetArmStopLevel(true);
    EXPECT_EQ(Rec.Take(), (Calls{"S10=80", "S10=84", "S10=84", "S10=86", "S10=118"}));
    Device->TriggerPulse(); // period mode: both words equal
    EXPECT_EQ(Rec.Take(), (Calls{"Q10=118", "S10=118"}));
    Device->SetTriggerMode(1);
    EXPECT_EQ(Rec.Take(), (Calls{"S10=99"}));
    Device->TriggerPulse();
    EXPECT_EQ(Rec.Take(), (Calls{"Q10=107", "S10=99"}));
    Device->SetTrigger(false);
    Device->SetTriggerMode(0);
    Device->SetRun(false);
    Device->SetArm(false);
    Device->SetTriggerLeading(false);
    Device->SetArmStopLevel(false);
    EXPECT_EQ(Rec.Take(), (Calls{"S10=98", "S10=118", "S10=114", "S10=98", "S10=96", "S10=64"}));
}

TEST_F(DeviceModel, OutputGateNeedsOutputWaveformAndNonZeroLevel)
{
    StartWithDefaults();
    Device->SetLevel(2048);
    Device->SetOutput(true);
    EXPECT_EQ(Device->ControlWord(), 64);
    Device->SetFrequency(1000.0, false);
    EXPECT_EQ(Device->ControlWord(), 192);
    std::vector<std::uint16_t> samples(100, 2048);
    Rec.Take();
    Device->LoadWaveform(samples.data(), 100, false);
    EXPECT_EQ(Rec.Take(), (Calls{"S10=64", "Q13=16284", "FIFO11 200", "S7=16284"}));
    EXPECT_EQ(Rec.LastFIFOWords, samples);
    Device->SetFrequency(1000.0, false);
    EXPECT_EQ(Rec.Take().back(), "S10=192");
}

} // namespace
} // namespace tarn::drv::test
