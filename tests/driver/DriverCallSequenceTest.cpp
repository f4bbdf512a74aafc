// SPDX-License-Identifier: MIT
// Every function code through the exports, over a USB library that records
// each call: the sequence must match an independent rendering of the
// generator's behaviour, call by call, over random operations.
#include "tests/driver/DriverHarness.h"
#include "driver/tests/ReferenceModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <sstream>

namespace tarn::e2e {
namespace {

using drv::reference::TCallList;
using drv::reference::TModel;

class DriverCallSequence : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Setup.Ready()) << "libtarndrv.so missing in " << Setup.Folder();
        Take = Setup.UsbSymbol<decltype(Take)>("RecTakeCalls");
        SetByte = Setup.UsbSymbol<decltype(SetByte)>("RecSetEEPROMByte");
        SetPower = Setup.UsbSymbol<decltype(SetPower)>("RecSetPowerState");
        Fail = Setup.UsbSymbol<decltype(Fail)>("RecFail");
        ASSERT_TRUE(Take && SetByte && SetPower && Fail);
        Calls();
    }
    TCallList Calls()
    {
        std::string text(static_cast<std::size_t>(Take(nullptr, 0)) + 1, '\0');
        Take(text.data(), static_cast<std::int32_t>(text.size()));
        TCallList list;
        std::istringstream lines(text.c_str());
        for (std::string line; std::getline(lines, line);)
            list.push_back(line);
        return list;
    }
    std::array<std::uint8_t, 256> Page(bool valid)
    {
        TCalibrationPage values;
        values.LevelHigh = static_cast<int>(1500 + Random() % 400);
        values.LevelLow = static_cast<int>(100 + Random() % 100);
        values.ShiftZeroHigh = static_cast<int>(2000 + Random() % 300);
        values.ShiftZeroLow = static_cast<int>(2000 + Random() % 300);
        values.ShiftGain = static_cast<int>(900 + Random() % 300);
        values.AttenuatorWord = static_cast<int>(3000 + Random() % 60000);
        values.Serial = static_cast<std::uint32_t>(Random());
        auto page = CalibrationImage(values);
        if (!valid)
            page[255] ^= 1;
        for (int i = 0; i < 256; ++i)
            SetByte(256 + i, page[static_cast<std::size_t>(i)]);
        return page;
    }
    std::int32_t Value()
    {
        switch (Random() % 5) {
        case 0:
            return static_cast<std::int32_t>(Random());
        case 1:
            return static_cast<std::int32_t>(Random() % 5) - 1;
        default:
            return static_cast<std::int32_t>(Random() % 4400) - 100;
        }
    }
    double Frequency()
    {
        if (Random() % 8 == 0)
            return std::numeric_limits<double>::quiet_NaN();
        std::uniform_real_distribution<double> exponent(-1.5, 8.5);
        return std::pow(10.0, exponent(Random));
    }

    TDriverSetup Setup{fs::path(TARN_STUB_RECORDING)};
    std::int32_t (*Take)(char*, std::int32_t) = nullptr;
    void (*SetByte)(std::int32_t, std::int32_t) = nullptr;
    void (*SetPower)(std::int32_t) = nullptr;
    void (*Fail)() = nullptr;
    std::mt19937 Random{77};
};

TEST_F(DriverCallSequence, RandomCodesMakeTheSameCallsAsTheReference)
{
    std::vector<std::uint16_t> samples(16384);
    std::uint8_t flag = 9;
    for (int session = 0; session < 6; ++session) {
        const bool valid = session % 3 != 2;
        const auto page = Page(valid);
        TModel model;
        const int expectedResult = model.Initialize(page);
        ASSERT_EQ(expectedResult, valid ? 0 : 5);
        // A further initialisation replaces the device without any teardown.
        ASSERT_EQ(Setup.Api.InitializeDevice(0), expectedResult);
        ASSERT_EQ(flag, session == 0 ? 9 : 0) << "a successful initialisation clears the registered byte";
        ASSERT_EQ(Calls(), model.Out);
        model.Out.clear();
        ASSERT_EQ(Setup.Call(64, reinterpret_cast<std::intptr_t>(&flag)), 1);

        for (int step = 0; step < 400; ++step) {
            const std::uint32_t code = static_cast<std::uint32_t>(Random() % 24) | (Random() % 4 == 0 ? 0x300u : 0u);
            const std::int32_t value = Value();
            std::uint8_t expectedReturn = 1;
            std::int32_t word = 12345;
            double wanted = Frequency(), set = -1;
            std::uint8_t version[2] = {9, 9};
            std::uint8_t result = 0;
            switch (code & 0xFF) {
            case 1: {
                const std::int32_t count = Random() % 3 == 0 ? 8192 : static_cast<std::int32_t>(Random() % 16385);
                for (auto& s : samples)
                    s = static_cast<std::uint16_t>(Random() % 4096);
                const std::int32_t kind = static_cast<std::int32_t>(Random() % 3);
                result = Setup.Api.DeviceFunction(code, samples.data(), count, nullptr, 0, kind, nullptr);
                model.Load(samples.data(), count, kind == 1);
                break;
            }
            case 2:
                result = Setup.Call(code, value), model.Level(value);
                break;
            case 3:
                result = Setup.Call(code, value), model.Attenuator(value);
                break;
            case 4:
                result = Setup.Call(code, value), model.SetFilter(value);
                break;
            case 5:
            case 16: {
                result = Setup.Api.DeviceFunction(code, &wanted, 8, &set, 8, value, nullptr);
                const double expected = static_cast<double>(model.Frequency(wanted, (code & 0xFF) == 16));
                ASSERT_EQ(set, expected) << wanted;
                break;
            }
            case 6:
                result = Setup.Call(code, value), model.Shift(value);
                break;
            case 7:
                result = Setup.Call(code, value), model.Output(value != 0);
                break;
            case 8:
                result = Setup.Call(code, value), model.Mode(value);
                break;
            case 9:
                result = Setup.Call(code, value), model.Arm(value != 0);
                break;
            case 10:
                result = Setup.Call(code, value), model.ArmStop(value != 0);
                break;
            case 11:
                result = Setup.Call(code, value), model.Run(value != 0);
                break;
            case 12:
                result = Setup.Call(code, value), model.Pulse();
                break;
            case 13:
                result = Setup.Call(code, value), model.Trigger(value != 0);
                break;
            case 14:
                result = Setup.Call(code, value), model.Leading(value != 0);
                break;
            case 15: {
                const std::int32_t state = static_cast<std::int32_t>(Random() % 3);
                SetPower(state);
                result = Setup.Api.DeviceFunction(code, nullptr, 0, &word, 4, value, nullptr);
                model.Out.push_back("GetPowerState");
                ASSERT_EQ(word, state != 0 ? 1 : 0);
                break;
            }
            case 17:
                result = Setup.Call(code, value);
                model.Out.push_back(value != 0 ? "Power 1" : "Power 0");
                break;
            case 18:
            case 19:
                result = Setup.Api.DeviceFunction(code, nullptr, 0, nullptr, 0, value, &word);
                ASSERT_EQ(word, 12345);
                break;
            case 20:
                result = Setup.Api.DeviceFunction(code, nullptr, 0, nullptr, 0, value, &word);
                ASSERT_EQ(word, 0);
                break;
            case 21:
                result = Setup.Call(code, value), model.KeepPowerAtExit(value != 0);
                break;
            case 22:
                result = Setup.Api.DeviceFunction(66 | (code & 0x300), nullptr, 0, version, 2, value, nullptr);
                model.Out.push_back("GetDriverVersion");
                ASSERT_EQ(version[0], 1);
                ASSERT_EQ(version[1], 0);
                break;
            case 23:
                result = Setup.Api.DeviceFunction(69 | (code & 0x300), nullptr, 0, nullptr, 0, value, &word);
                ASSERT_EQ(static_cast<std::uint32_t>(word), model.Cal.Serial);
                break;
            default: // code 0: no such function
                result = Setup.Api.DeviceFunction(code, &wanted, 8, &set, 8, value, &word);
                expectedReturn = 0;
                ASSERT_EQ(set, -1);
                ASSERT_EQ(word, 12345);
                break;
            }
            ASSERT_EQ(result, expectedReturn) << "code " << code;
            ASSERT_EQ(Calls(), model.Out)
                << "session " << session << " step " << step << " code " << code << " value " << value;
            model.Out.clear();
        }
        flag = 0;
        Fail();
        EXPECT_EQ(flag, 1) << "a failed transfer sets the registered byte";
        if (session == 5) {
            Setup.Api.DeInitializeDevice();
            model.Destroy();
            EXPECT_EQ(Calls(), model.Out);
        }
    }
}

} // namespace
} // namespace tarn::e2e
