// SPDX-License-Identifier: MIT
// Initialisation results, teardown and the configuration image.
#include "driver/tests/RecordingPort.h"
#include "driver/unitmarl.h"
#include "driver/vireo.h"

#include "data/ConfigurationImage.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tarn::drv::test {
namespace {

class Initialization : public DeviceFixture {
protected:
    std::int32_t Run()
    {
        Device = std::make_unique<TVireoDevice>([this] { return std::make_unique<TRecordingPort>(Rec); }, Flag);
        return Device->Initialize();
    }
    std::uint8_t FlagByte = 7;
};

TEST_F(Initialization, SuccessfulSequenceConfiguresPowersReadsCalibrationAndClearsFlag)
{
    Rec.EEPROM = ValidEEPROM();
    Flag.Register(&FlagByte);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Rec.Take(), (Calls{"Bind", "InitDevice", "ConfigureFPGA 131022", "Power 1", "ReadFromEEPROM 256.."}));
    EXPECT_EQ(FlagByte, 0);
    EXPECT_TRUE(ConfigurationImageValid(Rec.LastImage.data(), Rec.LastImage.size()));
    EXPECT_EQ(std::memcmp(Rec.LastImage.data(), "TARN LOGIC IMAGE\n", 17), 0);
}

TEST_F(Initialization, FailuresStopTheSequenceWithTheirResult)
{
    Flag.Register(&FlagByte);
    Rec.BindResult = 1;
    EXPECT_EQ(Run(), 1);
    Rec.BindResult = 2;
    EXPECT_EQ(Run(), 2);
    EXPECT_EQ(Rec.Take(), (Calls{"Bind", "Bind"}));
    Rec.BindResult = 0;
    Rec.InitResult = 516;
    EXPECT_EQ(Run(), 3);
    EXPECT_EQ(Rec.Take(), (Calls{"Bind", "InitDevice"}));
    Rec.InitResult = 0;
    Rec.ConfigureResult = 0;
    EXPECT_EQ(Run(), 4);
    EXPECT_EQ(Rec.Take(), (Calls{"Bind", "InitDevice", "ConfigureFPGA 131022"}));
    EXPECT_EQ(FlagByte, 7) << "only a successful initialisation clears the flag";
}

TEST_F(Initialization, BrokenCalibrationGivesFiveWithDefaultsAndStillClearsFlag)
{
    Flag.Register(&FlagByte);
    Rec.EEPROMReadsFail = true; // every byte reads 255
    EXPECT_EQ(Run(), 5);
    EXPECT_EQ(FlagByte, 0);
    EXPECT_EQ(Device->SerialNumber(), 0u);
    EXPECT_EQ(Device->Calibration().CalLevelHigh, 1647);
    EXPECT_DOUBLE_EQ(Device->Calibration().AttenuatorFactor, 1.0);
}

TEST_F(Initialization, AFailedTransferOnTheWayIsNoDeviceAndKeepsTheFlagSet)
{
    Rec.EEPROM = ValidEEPROM();
    Flag.Register(&FlagByte);
    Rec.FailureReports = &Flag;
    Rec.FailingEEPROMAddress = 256 + 2; // inside the level fields
    EXPECT_EQ(Run(), 3);
    EXPECT_EQ(FlagByte, 1);
    Rec.FailingEEPROMAddress = -1;
    EXPECT_EQ(Run(), 0) << "the next attempt reads the page whole";
    EXPECT_EQ(FlagByte, 0);
}

TEST_F(Initialization, ReinitialisingReleasesThePreviousBindingFirst)
{
    Rec.EEPROM = ValidEEPROM();
    Device = std::make_unique<TVireoDevice>([this] { return std::make_unique<TRecordingPort>(Rec); }, Flag);
    EXPECT_EQ(Device->Initialize(), 0);
    EXPECT_EQ(Device->Initialize(), 0);
    EXPECT_EQ(Rec.Bindings, 2);
    EXPECT_EQ(Rec.Releases, 1);
}

TEST_F(Initialization, TeardownSwitchesPowerOffUnlessKeptAndDroppingSendsNothing)
{
    Rec.EEPROM = ValidEEPROM();
    Run();
    Rec.Take();
    Device->Destroy();
    EXPECT_EQ(Rec.Take(), (Calls{"Power 0"}));
    EXPECT_EQ(Rec.Releases, 1);

    Run();
    Device->SetKeepPowerAtExit(true);
    Rec.Take();
    Device->Destroy();
    EXPECT_TRUE(Rec.Take().empty());

    Run();
    Rec.Take();
    Device.reset();
    EXPECT_TRUE(Rec.Take().empty());
    EXPECT_EQ(Rec.Releases, 3);
}

TEST_F(Initialization, QueriesAndPowerSwitch)
{
    Rec.EEPROM = ValidEEPROM();
    Run();
    Rec.Take();
    Rec.PowerState = 5;
    EXPECT_EQ(Device->GetPowerState(), 1);
    Rec.PowerState = 0;
    EXPECT_EQ(Device->GetPowerState(), 0);
    Device->SetPower(true);
    Device->SetPower(false);
    std::uint8_t version[2] = {9, 9};
    Device->GetDriverVersion(version);
    EXPECT_EQ(version[0], 1);
    EXPECT_EQ(version[1], 0);
    EXPECT_EQ(Rec.Take(), (Calls{"GetPowerState", "GetPowerState", "Power 1", "Power 0", "GetDriverVersion"}));
}

TEST(ConfigurationImage, RestoresTheSameValidImageEveryTime)
{
    const auto first = RestoreConfigurationImage();
    const auto second = RestoreConfigurationImage();
    ASSERT_EQ(first.size(), kConfigurationImageSize);
    EXPECT_EQ(first, second);
    EXPECT_TRUE(ConfigurationImageValid(first.data(), first.size()));
    EXPECT_EQ(std::memcmp(first.data(), ConfigurationImageName(), std::strlen(ConfigurationImageName())), 0);
    // Mostly generated frames, not a blank block.
    std::size_t nonZero = 0;
    for (auto byte : first)
        nonZero += byte != 0;
    EXPECT_GT(nonZero, first.size() / 5);
}

TEST(UnboundLibrary, WrappersTakeTheirFallbacks)
{
    TVireoDLL binding("/nonexistent-folder/libvireo.so");
    EXPECT_EQ(binding.Bind(), 1);
    EXPECT_FALSE(binding.Loaded());
    std::uint8_t data[4] = {};
    EXPECT_EQ(binding.InitDevice(), -1);
    EXPECT_EQ(binding.ConfigureFPGA(data, 4), -1);
    EXPECT_EQ(binding.ReadFromEEPROM(256), -1);
    EXPECT_EQ(binding.GetPowerState(), 0);
    std::uint8_t version[2] = {9, 9};
    binding.GetDriverVersion(version);
    EXPECT_EQ(version[0], 0);
    EXPECT_EQ(version[1], 0);
    binding.SingleWrite(1, 2); // nothing to call: must not crash
    binding.SingleWriteWithoutFlush(1, 2);
    binding.FIFOWrite(11, data, 4);
    binding.SetPowerOnOff(1);
}

TEST(UnboundLibrary, DeviceStillComputesFrequencyAndReadsBrokenCalibration)
{
    TFailureFlag flag;
    TVireoDevice device([] { return std::make_unique<TVireoDLL>("/nonexistent-folder/libvireo.so"); }, flag);
    EXPECT_EQ(device.Initialize(), 1);
    EXPECT_FALSE(device.ReadCalibration()) << "255 in every byte fails the check";
    EXPECT_DOUBLE_EQ(device.SetFrequency(100e6, false), 100e6);
    EXPECT_EQ(device.GetPowerState(), 0);
}

} // namespace
} // namespace tarn::drv::test
