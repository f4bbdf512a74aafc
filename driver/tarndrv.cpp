// SPDX-License-Identifier: MIT
// Exported entry points of libtarndrv.so and the dispatch of device functions.
#include "driver/tarndrv.h"

#include "driver/FailureFlag.h"
#include "driver/tarndrvconstants.h"
#include "driver/tarndrvobjs.h"
#include "driver/vireo.h"
#include "usb/TransportText.h"

#include <cstdint>
#include <cstring>
#include <memory>

namespace tarn::drv {
namespace {

// The library's global state: the current device (none while merely loaded).
std::unique_ptr<TVireoDevice>& CurrentDevice()
{
    static std::unique_ptr<TVireoDevice> device;
    return device;
}

std::unique_ptr<TVireoPort> MakeBinding()
{
    return std::make_unique<TVireoDLL>();
}

bool Dispatch(TVireoDevice& device, TDeviceFunctionCode code, void* inData, std::int32_t inSize, void* outData,
              std::intptr_t wideValue, std::int32_t* valuePtr)
{
    // Every argument but the failure flag address is a 32-bit integer.
    const auto value = static_cast<std::int32_t>(wideValue);
    const bool on = value != 0;
    switch (code) {
    case TDeviceFunctionCode::DF_LOAD_WAVEFORM:
        device.LoadWaveform(static_cast<std::uint16_t*>(inData), inSize, value == 1);
        return true;
    case TDeviceFunctionCode::DF_SET_LEVEL:
        device.SetLevel(value);
        return true;
    case TDeviceFunctionCode::DF_SET_OUTPUT_ATN:
        device.SetAttenuator(value);
        return true;
    case TDeviceFunctionCode::DF_SET_FILTER:
        device.SetFilter(value);
        return true;
    case TDeviceFunctionCode::DF_SET_FREQUENCY:
    case TDeviceFunctionCode::DF_PRELOAD_FREQUENCY: {
        if (inData == nullptr)
            return true;
        double wanted = 0;
        std::memcpy(&wanted, inData, sizeof wanted);
        const double set = device.SetFrequency(wanted, code == TDeviceFunctionCode::DF_PRELOAD_FREQUENCY);
        if (outData != nullptr)
            std::memcpy(outData, &set, sizeof set);
        return true;
    }
    case TDeviceFunctionCode::DF_SET_SHIFT:
        device.SetShift(value);
        return true;
    case TDeviceFunctionCode::DF_SET_OUTPUT_ON_OFF:
        device.SetOutput(on);
        return true;
    case TDeviceFunctionCode::DF_SET_TRIGGER_MODE:
        device.SetTriggerMode(value);
        return true;
    case TDeviceFunctionCode::DF_SET_ARM_ON_OFF:
        device.SetArm(on);
        return true;
    case TDeviceFunctionCode::DF_SET_ARM_STOP_LEVEL:
        device.SetArmStopLevel(on);
        return true;
    case TDeviceFunctionCode::DF_SET_RUN_ON_OFF:
        device.SetRun(on);
        return true;
    case TDeviceFunctionCode::DF_TRIGGER_PULSE:
        device.TriggerPulse();
        return true;
    case TDeviceFunctionCode::DF_SET_TRIGGER_ON_OFF:
        device.SetTrigger(on);
        return true;
    case TDeviceFunctionCode::DF_SET_TRIGGER_LEADING:
        device.SetTriggerLeading(on);
        return true;
    case TDeviceFunctionCode::DF_GET_POWER_STATE: {
        const std::int32_t state = device.GetPowerState();
        if (outData != nullptr)
            std::memcpy(outData, &state, sizeof state);
        return true;
    }
    case TDeviceFunctionCode::DF_SET_POWER:
        device.SetPower(on);
        return true;
    case TDeviceFunctionCode::DF_RESERVED_18:
    case TDeviceFunctionCode::DF_RESERVED_19:
        return true;
    case TDeviceFunctionCode::DF_RESERVED_20:
        if (valuePtr != nullptr)
            *valuePtr = 0;
        return true;
    case TDeviceFunctionCode::DF_KEEP_POWER_AT_EXIT:
        device.SetKeepPowerAtExit(on);
        return true;
    case TDeviceFunctionCode::DF_GET_DRIVER_VERSION:
        if (outData != nullptr)
            device.GetDriverVersion(static_cast<std::uint8_t*>(outData));
        return true;
    case TDeviceFunctionCode::DF_GET_SERIAL_NUMBER:
        if (valuePtr != nullptr)
            *valuePtr = static_cast<std::int32_t>(device.SerialNumber());
        return true;
    default:
        // The failure flag is registered before a device is needed; any
        // other code is unknown.
        return false;
    }
}

} // namespace
} // namespace tarn::drv

using namespace tarn::drv;

extern "C" std::int32_t InitializeDevice(std::int32_t /*reserved*/)
{
    try {
        auto next = std::make_unique<TVireoDevice>(&MakeBinding, DriverFailureFlag());
        const std::int32_t result = next->Initialize();
        // A device being replaced is dropped without its teardown: nothing is
        // sent, and it lets go of the USB library only after the new one holds it.
        CurrentDevice() = std::move(next);
        return result;
    } catch (...) {
        return 1;
    }
}

extern "C" void DeInitializeDevice()
{
    try {
        if (CurrentDevice())
            CurrentDevice()->Destroy();
    } catch (...) {
    }
    CurrentDevice().reset();
    DriverFailureFlag().Register(nullptr);
}

extern "C" std::uint8_t DeviceFunction(std::uint32_t Code, void* InData, std::int32_t InSize, void* OutData,
                                       std::int32_t /*OutSize*/, std::intptr_t Value, std::int32_t* ValuePtr)
{
    try {
        const auto code = static_cast<TDeviceFunctionCode>(Code & 0xFFu);
        if (code == TDeviceFunctionCode::DF_SET_FAILURE_FLAG) {
            DriverFailureFlag().Register(reinterpret_cast<std::uint8_t*>(Value));
            return 1;
        }
        // Before InitializeDevice and after DeInitializeDevice there is nothing to act on.
        if (!CurrentDevice())
            return 0;
        return Dispatch(*CurrentDevice(), code, InData, InSize, OutData, Value, ValuePtr) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

extern "C" std::int32_t DescribeTransport(char* kind, std::int32_t kindCapacity, char* detail,
                                          std::int32_t detailCapacity)
{
    try {
        vireo::Description description;
        if (!CurrentDevice() || !CurrentDevice()->DescribeTransport(description))
            return 0;
        if (!vireo::CopyToBuffer(description.kind, kind, kindCapacity))
            return 0;
        vireo::CopyToBuffer(description.detail, detail, detailCapacity);
        return 1;
    } catch (...) {
        return 0;
    }
}
