// SPDX-License-Identifier: MIT
// The driver object over the driver library libtarndrv.so.
#pragma once
#include "device/DriverAbstraction.h"
#include "device/DynamicLibrary.h"
#include "driver/tarndrv.h"
#include "driver/tarndrvconstants.h"

#include <string>

namespace tarn {

// The library's file name; it is looked for in the current folder, which is
// the program's folder.
inline constexpr const char* kDriverLibraryName = "libtarndrv.so";

class TDAO_Tarn final : public TDriverAbstraction {
public:
    // libraryPath empty: kDriverLibraryName in the current folder.
    explicit TDAO_Tarn(std::string libraryPath = {});
    ~TDAO_Tarn() override;

    std::int32_t LoadDriver() override;
    std::int32_t InitDevice() override;
    void SetFrequencyMode(std::int32_t mode) override { frequencyMode_ = mode; }
    double SetFrequency(double frequency) override;
    double ApplyFrequency() override;
    void SetLevel(std::int32_t value) override;
    void SetOutputAttenuator(std::int32_t value) override;
    void SetFilter(std::int32_t value) override;
    void SetShift(std::int32_t value) override;
    void LoadWaveform(const std::uint16_t* samples, std::int32_t count, bool standard) override;
    void SetOutputOnOff(std::int32_t value) override;
    void SetTriggerMode(std::int32_t value) override;
    void SetArmOnOff(std::int32_t value) override;
    void SetArmStopLevel(std::int32_t value) override;
    void SetRunOnOff(std::int32_t value) override;
    void TriggerPulse() override;
    void SetTriggerOnOff(std::int32_t value) override;
    void SetTriggerLeading(std::int32_t value) override;
    bool GetPowerState() override;
    void GetDriverVersion(std::uint8_t version[2]) override;
    std::int32_t GetSerialNumber() override;
    void SetKeepPowerAtExit(std::int32_t value) override;
    bool CommunicationOK() override { return *failureFlag_ == 0; }
    TGeneratorLink DescribeLink() override;

    // Maps a result of InitializeDevice to a start-up code.
    static std::int32_t MapInitResult(std::int32_t result);

private:
    // The codes and entry points come from the driver's own headers; they are only included, not linked.
    void Call(drv::TDeviceFunctionCode code, void* inData, std::int32_t inSize, void* outData, std::int32_t outSize,
              std::intptr_t value, std::int32_t* valuePtr);
    void CallValue(drv::TDeviceFunctionCode code, std::int32_t value)
    {
        Call(code, nullptr, 0, nullptr, 0, value, nullptr);
    }

    std::string libraryPath_;
    TDynamicLibrary library_;
    drv::InitializeDeviceFn initializeDevice_ = nullptr;
    drv::DeInitializeDeviceFn deInitializeDevice_ = nullptr;
    drv::DeviceFunctionFn deviceFunction_ = nullptr;
    // Optional: a driver library without it is older.
    drv::DescribeTransportFn describeTransport_ = nullptr;
    std::int32_t frequencyMode_ = 0;
    double lastFrequency_ = 0.0;
    // The driver library keeps this address; the byte lives as long as the process.
    std::uint8_t* failureFlag_;
};

} // namespace tarn
