// SPDX-License-Identifier: MIT
// The driver library through its exports, over the virtual generator and
// over deliberately incomplete USB libraries.
#include "tests/driver/DriverHarness.h"

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <vector>

extern char** environ;

namespace tarn::e2e {
namespace {

class DriverLifecycle : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Setup.Ready()) << "libtarndrv.so or libvireo.so missing in " << Setup.Folder();
        ASSERT_TRUE(Setup.VirtualReady());
        Setup.Vg.Reset();
    }
    TDriverSetup Setup{VirtualUsbLibrary()};
};

TEST_F(DriverLifecycle, InitialisationConfiguresLogicPowersOnAndReadsCalibration)
{
    WriteCalibration(Setup.Vg, TCalibrationPage{});
    EXPECT_EQ(Setup.Api.InitializeDevice(0), 0);
    EXPECT_EQ(Setup.Vg.GetConfigurationCount(), 1);
    EXPECT_EQ(Setup.Vg.IsConfigured(), 1) << "the restored image must arrive whole with its CRC";
    EXPECT_EQ(Setup.Vg.GetPower(), 1);
    // The whole image in one bulk write, announced as 2048 packets of 64 bytes.
    bool announced = false;
    for (int i = 0; i + 1 < Setup.Vg.GetRequestCount(); ++i) {
        int function = 0, ok = 0, nextFunction = 0;
        std::uint8_t bytes[4] = {};
        const int length = Setup.Vg.GetRequest(i, &function, &ok, bytes, 4);
        if (function == 6 && length == 4 && bytes[0] == 0x20) {
            EXPECT_EQ(bytes[1], 0x08);
            EXPECT_EQ(bytes[2], 0x00);
            EXPECT_EQ(bytes[3], 0x21);
            EXPECT_EQ(Setup.Vg.GetRequest(i + 1, &nextFunction, &ok, bytes, 0), 131022);
            EXPECT_EQ(nextFunction, 7);
            announced = true;
        }
    }
    EXPECT_TRUE(announced);
    for (int reg = 1; reg <= 13; ++reg)
        EXPECT_EQ(Setup.Vg.GetRegisterWriteCount(reg), 0) << "initialisation writes no register " << reg;

    std::int32_t serial = -1;
    EXPECT_EQ(Setup.Api.DeviceFunction(69, nullptr, 0, nullptr, 0, 0, &serial), 1);
    EXPECT_EQ(serial, 300);
    std::uint8_t version[2] = {9, 9};
    EXPECT_EQ(Setup.Api.DeviceFunction(66, nullptr, 0, version, 2, 0, nullptr), 1);
    EXPECT_EQ(version[0], 1);
    EXPECT_EQ(version[1], 0);
    std::int32_t power = -1;
    EXPECT_EQ(Setup.Api.DeviceFunction(15, nullptr, 0, &power, 4, 0, nullptr), 1);
    EXPECT_EQ(power, 1);
    std::int32_t reserved = 77;
    EXPECT_EQ(Setup.Api.DeviceFunction(20, nullptr, 0, nullptr, 0, 0, &reserved), 1);
    EXPECT_EQ(reserved, 0);
    EXPECT_EQ(Setup.Api.DeviceFunction(18, nullptr, 0, nullptr, 0, 0, &reserved), 1);
    EXPECT_EQ(Setup.Api.DeviceFunction(19, nullptr, 0, nullptr, 0, 0, &reserved), 1);
    EXPECT_EQ(Setup.Call(17, 0), 1);
    EXPECT_EQ(Setup.Vg.GetPower(), 0);
    EXPECT_EQ(Setup.Call(17, 3), 1);
    EXPECT_EQ(Setup.Vg.GetPower(), 1);
}

TEST_F(DriverLifecycle, ZeroCalibrationPageGivesFiveAndSerialZero)
{
    for (int i = 256; i < 512; ++i)
        Setup.Vg.SetEEPROMByte(i, 0);
    EXPECT_EQ(Setup.Api.InitializeDevice(0), 5);
    std::int32_t serial = -1;
    Setup.Api.DeviceFunction(69, nullptr, 0, nullptr, 0, 0, &serial);
    EXPECT_EQ(serial, 0);
    // Defaults in force: level 4095 gives converter code 1832.
    Setup.Call(2, 4095);
    EXPECT_EQ(Setup.Vg.GetRegister(1), 1832);
}

TEST_F(DriverLifecycle, NoDeviceGivesThree)
{
    Setup.Vg.SetPlugged(0);
    EXPECT_EQ(Setup.Api.InitializeDevice(0), 3);
}

TEST_F(DriverLifecycle, FailureFlagClearedByInitialisationSetByFailedTransfer)
{
    std::uint8_t flag = 1;
    ASSERT_EQ(Setup.Api.InitializeDevice(0), 0);
    EXPECT_EQ(Setup.Call(64, reinterpret_cast<std::intptr_t>(&flag)), 1);
    EXPECT_EQ(flag, 1) << "registering alone writes nothing";
    ASSERT_EQ(Setup.Api.InitializeDevice(0), 0); // reconnect
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(Setup.Vg.GetConfigurationCount(), 2);

    std::int32_t power = -1;
    Setup.Vg.FailNextRequests(2);
    Setup.Api.DeviceFunction(15, nullptr, 0, &power, 4, 0, nullptr);
    EXPECT_EQ(flag, 1);

    // Unregistered: later failures write nowhere.
    flag = 0;
    EXPECT_EQ(Setup.Call(64, 0), 1);
    Setup.Vg.FailNextRequests(2);
    Setup.Api.DeviceFunction(15, nullptr, 0, &power, 4, 0, nullptr);
    EXPECT_EQ(flag, 0);
}

TEST_F(DriverLifecycle, UnknownCodesReturnZeroAndSendNothing)
{
    ASSERT_EQ(Setup.Api.InitializeDevice(0), 0);
    Setup.Vg.ClearRequestLog();
    std::int32_t word = 5;
    double frequency = 1000;
    for (std::uint32_t code : {0u, 22u, 63u, 65u, 67u, 68u, 70u, 255u, 0x100u, 0xFFFFFF00u})
        EXPECT_EQ(Setup.Api.DeviceFunction(code, &frequency, 8, &word, 4, 1, &word), 0) << code;
    EXPECT_EQ(word, 5);
    EXPECT_EQ(Setup.Vg.GetRequestCount(), 0);
    // Only the low byte of the code counts.
    EXPECT_EQ(Setup.Call(0x1207, 1), 1);
    EXPECT_EQ(Setup.Vg.GetRegisterWriteCount(10), 1);
}

TEST_F(DriverLifecycle, TeardownSwitchesPowerOffUnlessAskedToKeepIt)
{
    ASSERT_EQ(Setup.Api.InitializeDevice(0), 0);
    Setup.Api.DeInitializeDevice();
    EXPECT_EQ(Setup.Vg.GetPower(), 0);
    EXPECT_EQ(Setup.Call(2, 100), 0) << "no device after teardown";

    ASSERT_EQ(Setup.Api.InitializeDevice(0), 0);
    EXPECT_EQ(Setup.Vg.GetPower(), 1);
    EXPECT_EQ(Setup.Call(21, 1), 1);
    Setup.Api.DeInitializeDevice();
    EXPECT_EQ(Setup.Vg.GetPower(), 1);
}

TEST(DriverExports, OnlyTheEntryPointsAreVisible)
{
    TLibrary driver(EnvDir("TARN_PROGRAM_DIR") / "libtarndrv.so");
    ASSERT_TRUE(driver.Loaded());
    EXPECT_NE(driver.Get<void*>("DescribeTransport"), nullptr);
    EXPECT_NE(driver.Get<void*>("InitializeDevice"), nullptr);
    EXPECT_NE(driver.Get<void*>("DeInitializeDevice"), nullptr);
    EXPECT_NE(driver.Get<void*>("DeviceFunction"), nullptr);
    EXPECT_EQ(driver.Get<void*>("TarnDriverFailureCallback"), nullptr);
    EXPECT_EQ(driver.Get<void*>("_ZN4tarn3Crc32EPKhm"), nullptr) << "the static core stays inside";
}

// Folders without the virtual generator.
TEST(DriverBinding, MissingUsbLibraryGivesOneAndOperationsFallBack)
{
    TDriverSetup setup{fs::path()};
    ASSERT_TRUE(setup.Ready());
    EXPECT_EQ(setup.Api.InitializeDevice(0), 1);
    std::uint8_t version[2] = {9, 9};
    EXPECT_EQ(setup.Api.DeviceFunction(66, nullptr, 0, version, 2, 0, nullptr), 1);
    EXPECT_EQ(version[0], 0);
    EXPECT_EQ(version[1], 0);
    std::int32_t power = -1;
    EXPECT_EQ(setup.Api.DeviceFunction(15, nullptr, 0, &power, 4, 0, nullptr), 1);
    EXPECT_EQ(power, 0);
    EXPECT_DOUBLE_EQ(setup.Frequency(5, 100e6), 100e6) << "the frequency is still computed";
    EXPECT_EQ(setup.Call(2, 4095), 1);
}

// The library search path is read at process start, so the test runs itself
// again with one that names a folder holding a USB library.
TEST(DriverBinding, NoUsbLibraryBesideTheDriverIsLookedUpByName)
{
    if (std::getenv("TARN_E2E_BY_NAME_CHILD") != nullptr) {
        TDriverSetup setup{fs::path()};
        ASSERT_TRUE(setup.Ready());
        // The stand-in reads an erased calibration page.
        EXPECT_EQ(setup.Api.InitializeDevice(0), 5);
        return;
    }
    std::vector<std::string> settings = {
        "TARN_E2E_BY_NAME_CHILD=1", "LD_LIBRARY_PATH=" + fs::path(TARN_STUB_NO_EEPROM_WRITE).parent_path().string(),
        "TARN_PROGRAM_DIR=" + EnvDir("TARN_PROGRAM_DIR").string()};
    std::vector<char*> env;
    for (std::string& setting : settings)
        env.push_back(setting.data());
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("LD_LIBRARY_PATH=", 0) != 0 && entry.rfind("TARN_PROGRAM_DIR=", 0) != 0)
            env.push_back(*e);
    }
    env.push_back(nullptr);
    std::string self = fs::read_symlink("/proc/self/exe").string();
    std::string filter = "--gtest_filter=DriverBinding.NoUsbLibraryBesideTheDriverIsLookedUpByName";
    char* argv[] = {self.data(), filter.data(), nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, self.c_str(), nullptr, nullptr, argv, env.data()), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the driver did not find the USB library on the search path";
}

TEST(DriverBinding, LibraryWithoutDeviceIdIsRefusedAndReleased)
{
    TDriverSetup setup{fs::path(TARN_STUB_NO_DEVICE_ID), false};
    ASSERT_TRUE(setup.Ready());
    const fs::path usb = setup.Folder() / "libvireo.so";
    EXPECT_EQ(setup.Api.InitializeDevice(0), 2);
    EXPECT_FALSE(LibraryLoaded(usb));
    EXPECT_EQ(setup.Call(2, 4095), 1) << "operations run on an unbound device";
}

TEST(DriverBinding, LibraryWithoutEEPROMWriteStillBinds)
{
    TDriverSetup setup{fs::path(TARN_STUB_NO_EEPROM_WRITE), false};
    ASSERT_TRUE(setup.Ready());
    const fs::path usb = setup.Folder() / "libvireo.so";
    // The stand-in accepts everything and reads an erased calibration page.
    EXPECT_EQ(setup.Api.InitializeDevice(0), 5);
    EXPECT_TRUE(LibraryLoaded(usb));
    setup.Api.DeInitializeDevice();
    EXPECT_FALSE(LibraryLoaded(usb));
}

// What carries the requests, passed up from the USB library; an older USB
// library (the stand-ins lack the export) or no device leaves it untold.
TEST(DriverBinding, TheTransportIsDescribedOnlyWhileADeviceIsBoundToALibraryThatTells)
{
    struct Case {
        fs::path usb;
        std::int32_t init;
        std::int32_t result;
        const char* kind;
        const char* detail;
    };
    const Case cases[] = {
        {VirtualUsbLibrary(), 0, 1, "virtual", "in this process"},
        {fs::path(TARN_STUB_NO_EEPROM_WRITE), 5, 0, "", ""},
        {fs::path(), 1, 0, "", ""},
    };
    for (const Case& c : cases) {
        TDriverSetup setup{c.usb, false};
        ASSERT_TRUE(setup.Ready() && setup.Api.DescribeTransport != nullptr);
        char kind[8] = "";
        char detail[64] = "";
        EXPECT_EQ(setup.Api.DescribeTransport(kind, sizeof kind, detail, sizeof detail), 0) << "before initialising";
        EXPECT_EQ(setup.Api.InitializeDevice(0), c.init) << c.usb;
        EXPECT_EQ(setup.Api.DescribeTransport(kind, sizeof kind, detail, sizeof detail), c.result) << c.usb;
        EXPECT_STREQ(kind, c.kind);
        EXPECT_STREQ(detail, c.detail);
        EXPECT_EQ(setup.Api.DescribeTransport(kind, 4, nullptr, 0), c.result) << "cut to the buffer";
        EXPECT_EQ(std::string(kind), std::string(c.kind).substr(0, 3));
        setup.Api.DeInitializeDevice();
        EXPECT_EQ(setup.Api.DescribeTransport(kind, sizeof kind, detail, sizeof detail), 0) << "after teardown";
    }
}

} // namespace
} // namespace tarn::e2e
