// SPDX-License-Identifier: MIT
// The driver library and the program's start-up over the hardware
// libvireo.so and the usbfs-level generator leave the generator exactly as
// they leave the virtual variant.
#include "shell/master/tests/TestApp.h"
#include "tests/driver/DriverHarness.h"
#include "tests/program/DeviceExpectations.h"
#include "shell/TarnProgram.h"
#include "tests/program/ProgramHarness.h"
#include "tests/usbfs/HardwareLibrary.h"
#include "tests/usbfs/UsbfsGenerator.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <functional>
#include <memory>
#include <vector>

namespace tarn::usbfs {
namespace {

// What the generator holds: registers (and how often each was written),
// sample memory, EEPROM, power, logic.
struct TDeviceImage {
    std::vector<int> registers, writes, samples, eeprom;
    int power = -1, configured = -1;
    bool operator==(const TDeviceImage&) const = default;
};

using TReader = std::function<int(int)>;

TDeviceImage Image(const TReader& reg, const TReader& writes, const TReader& sample, const TReader& eeprom, int power,
                   int configured)
{
    TDeviceImage image;
    for (int i = 0; i < int{vg::VirtualGenerator::kRegisterCount}; ++i) {
        image.registers.push_back(reg(i));
        image.writes.push_back(writes(i));
    }
    for (int i = 0; i < int{vg::VirtualGenerator::kSampleWords}; ++i)
        image.samples.push_back(sample(i));
    for (int i = 0; i < int{vg::VirtualGenerator::kEepromSize}; ++i)
        image.eeprom.push_back(eeprom(i));
    image.power = power;
    image.configured = configured;
    return image;
}

TDeviceImage ModelImage(const vg::VirtualGenerator& m)
{
    return Image([&](int i) { return m.Register(i); }, [&](int i) { return m.RegisterWriteCount(i); },
                 [&](int i) { return m.SampleWord(i); }, [&](int i) { return m.EepromByte(i); }, m.Power(),
                 m.Configured());
}

void ExpectSameDevice(const TDeviceImage& hardware, const TDeviceImage& virtualRun)
{
    EXPECT_EQ(hardware.registers, virtualRun.registers);
    EXPECT_EQ(hardware.writes, virtualRun.writes);
    EXPECT_TRUE(hardware.samples == virtualRun.samples) << "sample memory differs";
    EXPECT_EQ(hardware.eeprom, virtualRun.eeprom);
    EXPECT_EQ(hardware.power, virtualRun.power);
    EXPECT_EQ(hardware.configured, virtualRun.configured);
}

class UsbfsProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!TUsbfsGenerator::InMockEnvironment())
            GTEST_SKIP() << "needs umockdev's preload library: run under umockdev-wrapper";
        test::TestApp();
        QApplication::setQuitOnLastWindowClosed(false);
    }
};

// One session of the driver library: open, a run of settings, a waveform of
// each kind, then closing.
void DriveSession(e2e::TDriverSetup& setup)
{
    ASSERT_TRUE(setup.Ready());
    ASSERT_EQ(setup.Api.InitializeDevice(0), 0);
    struct Step {
        std::uint32_t code;
        std::intptr_t value;
    };
    const std::vector<Step> steps = {{2, 3000}, {6, 2500}, {7, 1}, {3, 1}, {4, 2}, {8, 1}, {11, 1}, {2, 1200}};
    for (const Step& s : steps)
        setup.Call(s.code, s.value);
    std::vector<std::uint16_t> ramp(1000);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<std::uint16_t>(i * 13);
    EXPECT_EQ(setup.Load(ramp.data(), 1000, 0), 1);
    EXPECT_GT(setup.Frequency(5, 123456.0), 0.0);
    std::vector<std::uint16_t> square(8192);
    for (std::size_t i = 0; i < square.size(); ++i)
        square[i] = i < 4096 ? 16383 : 0;
    EXPECT_EQ(setup.Load(square.data(), 8192, 1), 1);
    EXPECT_GT(setup.Frequency(16, 2e6), 0.0);
}

TEST_F(UsbfsProgram, DriverLibraryReachesTheSameRegistersAsOverTheVirtualVariant)
{
    TDeviceImage virtualRun;
    {
        e2e::TDriverSetup setup(e2e::VirtualUsbLibrary());
        ASSERT_TRUE(setup.VirtualReady());
        setup.Vg.Reset();
        DriveSession(setup);
        const auto get = [&](const char* name) { return setup.UsbSymbol<std::int32_t (*)(std::int32_t)>(name); };
        virtualRun = Image(get("VgGetRegister"), get("VgGetRegisterWriteCount"), get("VgGetSampleWord"),
                           get("VgGetEEPROMByte"), setup.UsbSymbol<std::int32_t (*)()>("VgGetPower")(),
                           setup.UsbSymbol<std::int32_t (*)()>("VgIsConfigured")());
    }
    TUsbfsGenerator generator;
    generator.Plug();
    {
        e2e::TDriverSetup setup(ProgramDir() + "/libvireo.so", false);
        DriveSession(setup);
        ExpectSameDevice(ModelImage(generator.Model()), virtualRun);
    }
    EXPECT_EQ(generator.Model().ProtocolErrorCount(), 0);
    EXPECT_EQ(generator.UnknownIoctls(), 0);
}

TEST_F(UsbfsProgram, StartUpReachesTheSameRegistersAsOverTheVirtualVariant)
{
    TDeviceImage virtualRun;
    {
        test::TStartedProgram started;
        ASSERT_TRUE(started.started) << "start-up over the virtual variant";
        const test::TVirtualGenerator& vg = *started.vg;
        virtualRun =
            Image([&](int i) { return vg.Register(i); }, [&](int i) { return vg.RegisterWriteCount(i); },
                  [&](int i) { return vg.SampleWord(i); }, [&](int i) { return vg.EEPROMByte(i); }, vg.Power(), -1);
    }
    TUsbfsGenerator generator;
    generator.Plug();
    {
        test::TProgramFolder folder(true, ProgramDir() + "/libvireo.so");
        test::WriteDistinctSettings(folder.Path());
        test::TScriptedDialogs dialogs;
        TProgramOptions options;
        options.programFolder = folder.Path().string();
        options.singleInstanceCheck = false;
        TTarnProgram program(dialogs, options);
        ASSERT_TRUE(program.Start());
        EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown.front().text;
        QApplication::processEvents();
        TDeviceImage hardware = ModelImage(generator.Model());
        hardware.configured = -1; // not reachable through the virtual variant's harness
        ExpectSameDevice(hardware, virtualRun);
        program.Finish();
    }
    EXPECT_EQ(generator.Model().ProtocolErrorCount(), 0);
    EXPECT_EQ(generator.UnknownIoctls(), 0);
}

} // namespace
} // namespace tarn::usbfs
