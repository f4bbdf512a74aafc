// SPDX-License-Identifier: MIT
// The driver object behind the device abstraction: a real driver library
// (TDAO_Tarn) or the demonstration device (TDAO_DEMO).
#pragma once
#include <cstdint>
#include <string>

namespace tarn {

// Start-up codes of InitDevice.
enum : std::int32_t {
    kInitReady = 0,
    kInitUsbLibraryMissing = 3,
    kInitUsbFunctionMissing = 4,
    kInitNoDevice = 5,
    kInitConfigurationFailed = 6,
    kInitCalibrationBroken = 8,
};

// Results of LoadDriver.
enum : std::int32_t {
    kLoadOk = 0,
    kLoadLibraryFailed = 1,
    kLoadEntryMissing = 2,
};

// What carries the requests to the generator, as the driver tells it: Kind
// "usb", "virtual" or "demonstration" (or another a newer library names);
// empty when an older driver cannot tell. Detail: where, for the user.
struct TGeneratorLink {
    std::string Kind;
    std::string Detail;
};

class TDriverAbstraction {
public:
    TDriverAbstraction() = default;
    virtual ~TDriverAbstraction() = default;
    TDriverAbstraction(const TDriverAbstraction&) = delete;
    TDriverAbstraction& operator=(const TDriverAbstraction&) = delete;

    virtual std::int32_t LoadDriver() = 0;
    virtual std::int32_t InitDevice() = 0;
    virtual void SetFrequencyMode(std::int32_t mode) = 0;
    virtual double SetFrequency(double frequency) = 0;
    virtual double ApplyFrequency() = 0;
    virtual void SetLevel(std::int32_t value) = 0;
    virtual void SetOutputAttenuator(std::int32_t value) = 0;
    virtual void SetFilter(std::int32_t value) = 0;
    virtual void SetShift(std::int32_t value) = 0;
    virtual void LoadWaveform(const std::uint16_t* samples, std::int32_t count, bool standard) = 0;
    virtual void SetOutputOnOff(std::int32_t value) = 0;
    virtual void SetTriggerMode(std::int32_t value) = 0;
    virtual void SetArmOnOff(std::int32_t value) = 0;
    virtual void SetArmStopLevel(std::int32_t value) = 0;
    virtual void SetRunOnOff(std::int32_t value) = 0;
    virtual void TriggerPulse() = 0;
    virtual void SetTriggerOnOff(std::int32_t value) = 0;
    virtual void SetTriggerLeading(std::int32_t value) = 0;
    virtual bool GetPowerState() = 0;
    // Writes major then minor into version[0], version[1].
    virtual void GetDriverVersion(std::uint8_t version[2]) = 0;
    virtual std::int32_t GetSerialNumber() = 0;
    virtual void SetKeepPowerAtExit(std::int32_t value) = 0;
    virtual bool CommunicationOK() = 0;
    virtual TGeneratorLink DescribeLink() { return {}; }
};

// The demonstration device: accepts everything, produces nothing, never fails.
// Tests derive from it to watch single operations.
class TDAO_DEMO : public TDriverAbstraction {
public:
    std::int32_t LoadDriver() override { return kLoadOk; }
    std::int32_t InitDevice() override { return kInitReady; }
    void SetFrequencyMode(std::int32_t) override {}
    double SetFrequency(double frequency) override
    {
        lastFrequency_ = frequency;
        return frequency;
    }
    double ApplyFrequency() override { return lastFrequency_; }
    void SetLevel(std::int32_t) override {}
    void SetOutputAttenuator(std::int32_t) override {}
    void SetFilter(std::int32_t) override {}
    void SetShift(std::int32_t) override {}
    void LoadWaveform(const std::uint16_t*, std::int32_t, bool) override {}
    void SetOutputOnOff(std::int32_t) override {}
    void SetTriggerMode(std::int32_t) override {}
    void SetArmOnOff(std::int32_t) override {}
    void SetArmStopLevel(std::int32_t) override {}
    void SetRunOnOff(std::int32_t) override {}
    void TriggerPulse() override {}
    void SetTriggerOnOff(std::int32_t) override {}
    void SetTriggerLeading(std::int32_t) override {}
    bool GetPowerState() override { return true; }
    void GetDriverVersion(std::uint8_t version[2]) override
    {
        version[0] = 0;
        version[1] = 0;
    }
    std::int32_t GetSerialNumber() override { return 0; }
    void SetKeepPowerAtExit(std::int32_t) override {}
    bool CommunicationOK() override { return true; }
    TGeneratorLink DescribeLink() override { return {"demonstration", {}}; }

private:
    double lastFrequency_ = 0.0;
};

} // namespace tarn
