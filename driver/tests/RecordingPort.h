// SPDX-License-Identifier: MIT
// A stand-in for the USB library binding that records every call as text,
// so tests can compare whole call sequences.
#pragma once
#include "driver/VireoPort.h"
#include "driver/DeviceEEPROM.h"

#include "driver/tarndrvobjs.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarn::drv::test {

struct TRecord {
    std::vector<std::string> Calls;
    // Behaviour of the fake device.
    std::int32_t BindResult = 0;
    std::int32_t InitResult = 0;
    std::int32_t ConfigureResult = 1;
    std::int32_t PowerState = 1;
    TDeviceEEPROM::TImage EEPROM{};
    bool EEPROMReadsFail = false;
    // This EEPROM address fails as a transfer: reported to the flag, read as 0.
    std::int32_t FailingEEPROMAddress = -1;
    TFailureFlag* FailureReports = nullptr;
    // Data handed over in bulk.
    std::vector<std::uint8_t> LastImage;
    std::vector<std::uint16_t> LastFIFOWords;
    int Bindings = 0;
    int Releases = 0;

    std::vector<std::string> Take()
    {
        std::vector<std::string> taken;
        taken.swap(Calls);
        return taken;
    }
};

class TRecordingPort final : public TVireoPort {
public:
    explicit TRecordingPort(TRecord& record) : R_(record) {}
    ~TRecordingPort() override { ++R_.Releases; }

    std::int32_t Bind() override
    {
        ++R_.Bindings;
        R_.Calls.push_back("Bind");
        return R_.BindResult;
    }
    std::int32_t InitDevice() override
    {
        R_.Calls.push_back("InitDevice");
        return R_.InitResult;
    }
    std::int32_t ConfigureFPGA(const std::uint8_t* data, std::int32_t length) override
    {
        R_.Calls.push_back("ConfigureFPGA " + std::to_string(length));
        R_.LastImage.assign(data, data + length);
        return R_.ConfigureResult;
    }
    void SingleWrite(std::uint8_t address, std::int32_t value) override
    {
        R_.Calls.push_back("S" + std::to_string(address) + "=" + std::to_string(value));
    }
    void SingleWriteWithoutFlush(std::uint8_t address, std::int32_t value) override
    {
        R_.Calls.push_back("Q" + std::to_string(address) + "=" + std::to_string(value));
    }
    void FIFOWrite(std::uint8_t address, const void* data, std::uint32_t byteCount) override
    {
        R_.Calls.push_back("FIFO" + std::to_string(address) + " " + std::to_string(byteCount));
        const auto* words = static_cast<const std::uint16_t*>(data);
        R_.LastFIFOWords.assign(words, words + byteCount / 2);
    }
    std::int32_t ReadFromEEPROM(std::int32_t address) override
    {
        if (address == 256)
            R_.Calls.push_back("ReadFromEEPROM 256..");
        if (R_.EEPROMReadsFail)
            return -1;
        if (address == R_.FailingEEPROMAddress && R_.FailureReports != nullptr) {
            R_.FailureReports->Report(1);
            return 0;
        }
        const int i = address - 256;
        // Upper bytes of the reply carry noise the reader must drop.
        return (i >= 0 && i < 256) ? (0x5A00 | R_.EEPROM[static_cast<std::size_t>(i)]) : -1;
    }
    std::int32_t GetPowerState() override
    {
        R_.Calls.push_back("GetPowerState");
        return R_.PowerState;
    }
    void SetPowerOnOff(std::int32_t on) override { R_.Calls.push_back("Power " + std::to_string(on)); }
    void GetDriverVersion(std::uint8_t* buffer) override
    {
        R_.Calls.push_back("GetDriverVersion");
        buffer[0] = 1;
        buffer[1] = 0;
    }

private:
    TRecord& R_;
};

inline TDeviceEEPROM::TImage ValidEEPROM()
{
    TDeviceEEPROM::TImage image{};
    auto put16 = [&](int o, int v) {
        image[static_cast<std::size_t>(o)] = static_cast<std::uint8_t>(v >> 8);
        image[static_cast<std::size_t>(o + 1)] = static_cast<std::uint8_t>(v);
    };
    put16(kOffsetLevelHigh, 1647);
    put16(kOffsetLevelLow, 151);
    put16(kOffsetShiftZeroHigh, 2130);
    put16(kOffsetShiftZeroLow, 2130);
    put16(kOffsetShiftGain, 1064);
    put16(kOffsetAttenuatorWord, 6554);
    SealEEPROMImage(image);
    return image;
}

using Calls = std::vector<std::string>;

class DeviceFixture : public ::testing::Test {
protected:
    // A device initialised over a valid calibration page, call log emptied.
    void Start(const TDeviceEEPROM::TImage& eeprom, std::int32_t expected = 0)
    {
        Rec.EEPROM = eeprom;
        Device = std::make_unique<TVireoDevice>([this] { return std::make_unique<TRecordingPort>(Rec); }, Flag);
        ASSERT_EQ(Device->Initialize(), expected);
        Rec.Take();
    }
    void StartWithDefaults() { Start(ValidEEPROM()); }
    // A broken page: the built-in calibration (attenuator factor 0.1) applies.
    void StartBroken() { Start(TDeviceEEPROM::TImage{}, 5); }

    TRecord Rec;
    TFailureFlag Flag;
    std::unique_ptr<TVireoDevice> Device;
};

} // namespace tarn::drv::test
