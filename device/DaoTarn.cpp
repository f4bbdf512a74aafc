// SPDX-License-Identifier: MIT
#include "device/DaoTarn.h"

#include "usb/TransportText.h"

#include <deque>
#include <filesystem>

namespace tarn {

namespace {

using tarn::drv::TDeviceFunctionCode;

// The driver library may write a registered flag at any later transfer and
// stays loaded until the process ends, so flags are never freed. Each driver
// object takes a new one; the start-up search makes only a few.
std::uint8_t* NewFailureFlag()
{
    static std::deque<std::uint8_t> flags;
    return &flags.emplace_back(0);
}

} // namespace

TDAO_Tarn::TDAO_Tarn(std::string libraryPath) : libraryPath_(std::move(libraryPath)), failureFlag_(NewFailureFlag()) {}

TDAO_Tarn::~TDAO_Tarn()
{
    if (deInitializeDevice_ != nullptr) {
        // Unregister the flag first so that nothing in the library points at it.
        Call(TDeviceFunctionCode::DF_SET_FAILURE_FLAG, nullptr, 0, nullptr, 0, 0, nullptr);
        deInitializeDevice_();
    }
}

std::int32_t TDAO_Tarn::LoadDriver()
{
    std::string path = libraryPath_;
    if (path.empty()) {
        std::error_code ec;
        path = (std::filesystem::current_path(ec) / kDriverLibraryName).string();
    }
    if (!library_.Open(path)) {
        return kLoadLibraryFailed;
    }
    initializeDevice_ = reinterpret_cast<drv::InitializeDeviceFn>(library_.Symbol("InitializeDevice"));
    deInitializeDevice_ = reinterpret_cast<drv::DeInitializeDeviceFn>(library_.Symbol("DeInitializeDevice"));
    deviceFunction_ = reinterpret_cast<drv::DeviceFunctionFn>(library_.Symbol("DeviceFunction"));
    if (initializeDevice_ == nullptr || deInitializeDevice_ == nullptr || deviceFunction_ == nullptr) {
        initializeDevice_ = nullptr;
        deInitializeDevice_ = nullptr;
        deviceFunction_ = nullptr;
        describeTransport_ = nullptr;
        library_.Close();
        return kLoadEntryMissing;
    }
    describeTransport_ = reinterpret_cast<drv::DescribeTransportFn>(library_.Symbol("DescribeTransport"));
    library_.KeepLoaded();
    return kLoadOk;
}

std::int32_t TDAO_Tarn::MapInitResult(std::int32_t result)
{
    switch (result) {
    case 0:
        return kInitReady;
    case 1:
        return kInitUsbLibraryMissing;
    case 2:
        return kInitUsbFunctionMissing;
    case 3:
        return kInitNoDevice;
    case 4:
        return kInitConfigurationFailed;
    case 5:
        return kInitCalibrationBroken;
    default:
        return kInitNoDevice;
    }
}

std::int32_t TDAO_Tarn::InitDevice()
{
    if (initializeDevice_ == nullptr) {
        return kInitNoDevice;
    }
    const std::int32_t mapped = MapInitResult(initializeDevice_(0));
    Call(TDeviceFunctionCode::DF_SET_FAILURE_FLAG, nullptr, 0, nullptr, 0,
         reinterpret_cast<std::intptr_t>(failureFlag_), nullptr);
    return mapped;
}

void TDAO_Tarn::Call(TDeviceFunctionCode code, void* inData, std::int32_t inSize, void* outData, std::int32_t outSize,
                     std::intptr_t value, std::int32_t* valuePtr)
{
    if (deviceFunction_ != nullptr) {
        deviceFunction_(static_cast<std::uint32_t>(code), inData, inSize, outData, outSize, value, valuePtr);
    }
}

double TDAO_Tarn::SetFrequency(double frequency)
{
    lastFrequency_ = frequency;
    double result = 0.0;
    if (frequencyMode_ == 0) {
        Call(TDeviceFunctionCode::DF_SET_FREQUENCY, &frequency, sizeof frequency, &result, sizeof result, 0, nullptr);
    } else if (frequencyMode_ == 1) {
        Call(TDeviceFunctionCode::DF_PRELOAD_FREQUENCY, &frequency, sizeof frequency, &result, sizeof result, 0,
             nullptr);
    }
    return result;
}

double TDAO_Tarn::ApplyFrequency()
{
    double requested = lastFrequency_;
    double result = 0.0;
    Call(TDeviceFunctionCode::DF_SET_FREQUENCY, &requested, sizeof requested, &result, sizeof result, 0, nullptr);
    return result;
}

void TDAO_Tarn::SetLevel(std::int32_t value)
{
    CallValue(TDeviceFunctionCode::DF_SET_LEVEL, value);
}
void TDAO_Tarn::SetOutputAttenuator(std::int32_t value)
{
    CallValue(TDeviceFunctionCode::DF_SET_OUTPUT_ATN, value);
}
void TDAO_Tarn::SetFilter(std::int32_t value)
{
    CallValue(TDeviceFunctionCode::DF_SET_FILTER, value);
}
void TDAO_Tarn::SetShift(std::int32_t value)
{
    CallValue(TDeviceFunctionCode::DF_SET_SHIFT, value);
}

void TDAO_Tarn::LoadWaveform(const std::uint16_t* samples, std::int32_t count, bool standard)
{
    // The library only reads the samples.
    Call(TDeviceFunctionCode::DF_LOAD_WAVEFORM, const_cast<std::uint16_t*>(samples), count, nullptr, 0,
         standard ? 1 : 0, nullptr);
}

void TDAO_Tarn::SetOutputOnOff(std::int32_t value)
{
    CallValue(TDeviceFunctionCode::DF_SET_OUTPUT_ON_OFF, value);
}
void TDAO_Tarn::SetTriggerMode(std::int32_t value)
{
    CallValue(TDeviceFunctionCode::DF_SET_TRIGGER_MODE, value);
}
void TDAO_Tarn::SetArmOnOff(std::int32_t value)
{
    CallValue(TDeviceFunctionCode::DF_SET_ARM_ON_OFF, value);
}
void TDAO_Tarn::SetArmStopLevel(std::int32_t value)
{
    CallValue(TDeviceFunctionCode::DF_SET_ARM_STOP_LEVEL, value);
}
void TDAO_Tarn::SetRunOnOff(std::int32_t value)
{
    CallValue(TDeviceFunctionCode::DF_SET_RUN_ON_OFF, value);
}
void TDAO_Tarn::TriggerPulse()
{
    CallValue(TDeviceFunctionCode::DF_TRIGGER_PULSE, 0);
}
void TDAO_Tarn::SetTriggerOnOff(std::int32_t value)
{
    CallValue(TDeviceFunctionCode::DF_SET_TRIGGER_ON_OFF, value);
}
void TDAO_Tarn::SetTriggerLeading(std::int32_t value)
{
    CallValue(TDeviceFunctionCode::DF_SET_TRIGGER_LEADING, value);
}

bool TDAO_Tarn::GetPowerState()
{
    std::int32_t state = 0;
    Call(TDeviceFunctionCode::DF_GET_POWER_STATE, nullptr, 0, &state, sizeof state, 0, nullptr);
    return state != 0;
}

void TDAO_Tarn::GetDriverVersion(std::uint8_t version[2])
{
    Call(TDeviceFunctionCode::DF_GET_DRIVER_VERSION, nullptr, 0, version, 2, 0, nullptr);
}

std::int32_t TDAO_Tarn::GetSerialNumber()
{
    std::int32_t serial = 0;
    Call(TDeviceFunctionCode::DF_GET_SERIAL_NUMBER, nullptr, 0, nullptr, 0, 0, &serial);
    return serial;
}

void TDAO_Tarn::SetKeepPowerAtExit(std::int32_t value)
{
    CallValue(TDeviceFunctionCode::DF_KEEP_POWER_AT_EXIT, value);
}

TGeneratorLink TDAO_Tarn::DescribeLink()
{
    vireo::Description description;
    if (describeTransport_ == nullptr || !vireo::ReadDescription(describeTransport_, description)) {
        return {};
    }
    return {description.kind, description.detail};
}

} // namespace tarn
