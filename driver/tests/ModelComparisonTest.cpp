// SPDX-License-Identifier: MIT
// The device model against an independent rendering of the register
// behaviour, call by call, over random calibrations and random operations
// with values at and beyond the edges of their ranges.
#include "driver/tests/RecordingPort.h"
#include "driver/tests/ReferenceModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace tarn::drv::test {
namespace {

using reference::TModel;

class ModelComparison : public ::testing::Test {
protected:
    TDeviceEEPROM::TImage RandomPage()
    {
        TDeviceEEPROM::TImage page{};
        for (auto& b : page)
            b = static_cast<std::uint8_t>(Random() % 4 == 0 ? Random() : 0);
        auto put16 = [&](int o, std::uint32_t v) {
            page[static_cast<std::size_t>(o)] = static_cast<std::uint8_t>(v >> 8);
            page[static_cast<std::size_t>(o + 1)] = static_cast<std::uint8_t>(v);
        };
        // Plausible values most of the time, any 16-bit value otherwise.
        auto pick = [&](std::uint32_t typical, std::uint32_t spread) {
            return Random() % 3 == 0 ? Random() & 0xFFFF : typical - spread + Random() % (2 * spread + 1);
        };
        put16(1, pick(1650, 300));
        put16(3, pick(150, 100));
        put16(5, pick(2130, 200));
        put16(7, pick(2130, 200));
        put16(9, pick(1064, 300));
        put16(11, pick(6554, 3000));
        if (Random() % 8 != 0)
            SealEEPROMImage(page);
        return page;
    }

    int RandomInt()
    {
        switch (Random() % 6) {
        case 0:
            return static_cast<int>(Random()); // any 32-bit value
        case 1:
            return static_cast<int>(Random() % 9) - 4;
        case 2:
            return 2048 + static_cast<int>(Random() % 5) - 2;
        default:
            return static_cast<int>(Random() % 5000) - 300;
        }
    }

    double RandomFrequency()
    {
        static const double special[] = {0.0,
                                         -1.0,
                                         std::numeric_limits<double>::quiet_NaN(),
                                         std::numeric_limits<double>::infinity(),
                                         -std::numeric_limits<double>::infinity(),
                                         1.0,
                                         0.999999,
                                         50e6,
                                         100e6,
                                         100e6 / 4096,
                                         100e6 / 3,
                                         3125000.0,
                                         12207.03125,
                                         1e-300,
                                         1e300,
                                         50e6 / 4194304.0};
        if (Random() % 5 == 0)
            return special[Random() % (sizeof special / sizeof special[0])];
        std::uniform_real_distribution<double> exponent(-2.0, 9.0);
        return std::pow(10.0, exponent(Random));
    }

    std::vector<std::uint16_t> RandomSamples(std::size_t n)
    {
        std::vector<std::uint16_t> samples(n);
        const auto base = static_cast<int>(Random() % 4096);
        for (std::size_t i = 0; i < n; ++i)
            samples[i] = static_cast<std::uint16_t>(Random() % 3 == 0 ? Random() % 4096 : (base + i * 7) % 4096);
        return samples;
    }

    std::mt19937 Random{0x5EED};
    TRecord Rec;
    TFailureFlag Flag;
};

TEST_F(ModelComparison, EveryOperationMakesTheSameCallsAndResults)
{
    for (int run = 0; run < 40; ++run) {
        Rec = TRecord{};
        Rec.EEPROM = RandomPage();
        TVireoDevice device([this] { return std::make_unique<TRecordingPort>(Rec); }, Flag);
        TModel model;
        ASSERT_EQ(device.Initialize(), model.Initialize(Rec.EEPROM)) << "run " << run;
        ASSERT_EQ(Rec.Take(), model.Out);
        ASSERT_EQ(device.SerialNumber(), model.Cal.Serial);
        model.Out.clear();

        for (int step = 0; step < 600; ++step) {
            const int op = static_cast<int>(Random() % 18);
            const int value = RandomInt();
            double got = 0;
            long double expected = 0;
            switch (op) {
            case 0: {
                const int count = Random() % 10 == 0 ? RandomInt() : static_cast<int>(Random() % 16385);
                auto samples = RandomSamples(20000);
                device.LoadWaveform(samples.data(), count, false);
                model.Load(samples.data(), count, false);
                break;
            }
            case 1: {
                const int count = Random() % 4 == 0 ? 4096 : 8192;
                auto samples = RandomSamples(8192);
                // Codes beyond the device's range as well: the averages are
                // searched from the range and 0.
                if (Random() % 4 == 0)
                    for (auto& s : samples)
                        s = static_cast<std::uint16_t>(s + 4096 + Random() % 2);
                device.LoadWaveform(samples.data(), count, true);
                model.Load(samples.data(), count, true);
                break;
            }
            case 2:
                device.SetLevel(value), model.Level(value);
                break;
            case 3:
                device.SetAttenuator(value % 3), model.Attenuator(value % 3);
                break;
            case 4:
                device.SetFilter(value % 5), model.SetFilter(value % 5);
                break;
            case 5:
            case 6: {
                const double f = RandomFrequency();
                got = device.SetFrequency(f, op == 6);
                expected = model.Frequency(f, op == 6);
                break;
            }
            case 7:
                device.SetShift(value), model.Shift(value);
                break;
            case 8:
                device.SetOutput(value != 0), model.Output(value != 0);
                break;
            case 9:
                device.SetTriggerMode(value % 3), model.Mode(value % 3);
                break;
            case 10:
                device.SetArm(value != 0), model.Arm(value != 0);
                break;
            case 11:
                device.SetArmStopLevel(value != 0), model.ArmStop(value != 0);
                break;
            case 12:
                device.SetRun(value != 0), model.Run(value != 0);
                break;
            case 13:
                device.TriggerPulse(), model.Pulse();
                break;
            case 14:
                device.SetTrigger(value != 0), model.Trigger(value != 0);
                break;
            case 15:
                device.SetTriggerLeading(value != 0), model.Leading(value != 0);
                break;
            case 16:
                device.SetLevel(value % 4096), model.Level(value % 4096);
                break;
            default:
                device.SetShift(value % 4097), model.Shift(value % 4097);
                break;
            }
            ASSERT_EQ(Rec.Take(), model.Out) << "run " << run << " step " << step << " op " << op << " value " << value;
            model.Out.clear();
            ASSERT_EQ(got, static_cast<double>(expected)) << "run " << run << " step " << step;
            ASSERT_EQ(device.ControlWord(), model.ControlWordNow());
            ASSERT_EQ(device.ActiveClockWord(), model.ActiveWord());
            ASSERT_EQ(Rec.LastFIFOWords, model.LastFIFO) << "run " << run << " step " << step;
        }
        const bool keep = Random() % 2 == 0;
        device.SetKeepPowerAtExit(keep);
        model.KeepPowerAtExit(keep);
        device.Destroy();
        model.Destroy();
        EXPECT_EQ(Rec.Take(), model.Out);
    }
}

} // namespace
} // namespace tarn::drv::test
