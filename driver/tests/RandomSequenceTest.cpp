// SPDX-License-Identifier: MIT
// Thousands of random operations: every operation leaves nothing queued
// (except a preload with the gate open), and every value written stays in
// the range its register takes.
#include "driver/tests/RecordingPort.h"
#include "driver/tarndrvconstants.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace tarn::drv::test {
namespace {

using RandomSequence = DeviceFixture;

struct TWrite {
    bool Queued = false;
    int Reg = 0;
    long long Value = 0;
};

bool ParseWrite(const std::string& call, TWrite& write)
{
    if (call.empty() || (call[0] != 'Q' && call[0] != 'S'))
        return false;
    const auto eq = call.find('=');
    write.Queued = call[0] == 'Q';
    write.Reg = std::stoi(call.substr(1, eq - 1));
    write.Value = std::stoll(call.substr(eq + 1));
    return true;
}

TEST_F(RandomSequence, OperationsFlushWhatTheyQueueAndWriteValuesInRange)
{
    StartWithDefaults();
    std::mt19937 random(20240611);
    std::vector<std::uint16_t> arbitrary(3000, 2048);
    std::vector<std::uint16_t> standard(8192);
    for (std::size_t i = 0; i < standard.size(); ++i)
        standard[i] = static_cast<std::uint16_t>(1 + (i * 4094) / 8191);
    std::uniform_int_distribution<int> op(0, 15);
    std::uniform_real_distribution<double> logFrequency(-1.0, 8.5);

    for (int step = 0; step < 5000; ++step) {
        const int which = op(random);
        const int value = static_cast<int>(random() % 4200);
        bool preload = false;
        switch (which) {
        case 0:
            Device->LoadWaveform(arbitrary.data(), 1 + value % 3000, false);
            break;
        case 1:
            Device->LoadWaveform(standard.data(), 8192, true);
            break;
        case 2:
            Device->SetLevel(value);
            break;
        case 3:
            Device->SetAttenuator(value % 3);
            break;
        case 4:
            Device->SetFilter(value % 4);
            break;
        case 5:
            Device->SetFrequency(std::pow(10.0, logFrequency(random)), false);
            break;
        case 6:
            preload = true;
            Device->SetFrequency(std::pow(10.0, logFrequency(random)), true);
            break;
        case 7:
            Device->SetShift(value);
            break;
        case 8:
            Device->SetOutput(value % 2 != 0);
            break;
        case 9:
            Device->SetTriggerMode(value % 2);
            break;
        case 10:
            Device->SetArm(value % 2 != 0);
            break;
        case 11:
            Device->SetArmStopLevel(value % 2 != 0);
            break;
        case 12:
            Device->SetRun(value % 2 != 0);
            break;
        case 13:
            Device->TriggerPulse();
            break;
        case 14:
            Device->SetTrigger(value % 2 != 0);
            break;
        default:
            Device->SetTriggerLeading(value % 2 != 0);
            break;
        }
        const Calls calls = Rec.Take();
        ASSERT_LE(calls.size(), 8u) << "step " << step;
        TWrite write;
        int queuedSinceSend = 0;
        for (const std::string& call : calls) {
            if (call.rfind("FIFO", 0) == 0) {
                queuedSinceSend = 0;
                continue;
            }
            ASSERT_TRUE(ParseWrite(call, write)) << call;
            queuedSinceSend = write.Queued ? queuedSinceSend + 1 : 0;
            switch (write.Reg) {
            case RegLevel:
                ASSERT_TRUE(write.Value >= 0 && write.Value <= 4095) << call;
                break;
            case RegClockWord0:
            case RegClockWord1:
                ASSERT_TRUE(write.Value >= 32767 && write.Value <= 65535) << call;
                break;
            case RegDivider: {
                const auto code = static_cast<std::uint8_t>(write.Value & 127);
                ASSERT_NE(std::find(kDividerCodes.begin(), kDividerCodes.end(), code), kDividerCodes.end()) << call;
                break;
            }
            case RegPlaybackStart:
                ASSERT_TRUE(write.Value >= 0 && write.Value <= 16384) << call;
                break;
            case RegRelays:
                ASSERT_TRUE(write.Value == (write.Value & 31)) << call;
                break;
            case RegControl:
                ASSERT_TRUE(write.Value >= 0 && write.Value <= 255) << call;
                break;
            default:
                break;
            }
        }
        if (!preload)
            ASSERT_EQ(queuedSinceSend, 0) << "step " << step << " left packets queued";
        else
            ASSERT_LE(queuedSinceSend, 2);
    }
}

} // namespace
} // namespace tarn::drv::test
