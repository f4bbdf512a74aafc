// SPDX-License-Identifier: MIT
// The three entry points of libtarndrv.so, declared once: the library defines
// them against these declarations, and the program binds them by name with
// these pointer types.
#pragma once
#include <cstdint>
#include <type_traits>

namespace tarn::drv {

using InitializeDeviceFn = std::int32_t (*)(std::int32_t reserved);
using DeInitializeDeviceFn = void (*)();
// code: only the low byte counts; value: an integer, or the failure flag's address (code 64).
using DeviceFunctionFn = std::uint8_t (*)(std::uint32_t code, void* inData, std::int32_t inSize, void* outData,
                                          std::int32_t outSize, std::intptr_t value, std::int32_t* valuePtr);
// Added later, so a program binds it optionally: what carries the device's
// requests, as two NUL-terminated texts cut to their buffers (kind: "usb",
// "virtual"; detail: where). 1 when written; 0 without an initialised device
// or when the USB library cannot tell.
using DescribeTransportFn = std::int32_t (*)(char* kind, std::int32_t kindCapacity, char* detail,
                                             std::int32_t detailCapacity);

} // namespace tarn::drv

#define TARN_DRIVER_EXPORT __attribute__((visibility("default")))

// A C function cannot be overloaded: a definition that differs from these
// declarations does not compile.
extern "C" {
TARN_DRIVER_EXPORT std::int32_t InitializeDevice(std::int32_t reserved);
TARN_DRIVER_EXPORT void DeInitializeDevice();
TARN_DRIVER_EXPORT std::uint8_t DeviceFunction(std::uint32_t code, void* inData, std::int32_t inSize, void* outData,
                                               std::int32_t outSize, std::intptr_t value, std::int32_t* valuePtr);
TARN_DRIVER_EXPORT std::int32_t DescribeTransport(char* kind, std::int32_t kindCapacity, char* detail,
                                                  std::int32_t detailCapacity);
}

// The declarations and the pointer types the program binds must agree.
static_assert(std::is_same_v<decltype(&InitializeDevice), tarn::drv::InitializeDeviceFn>);
static_assert(std::is_same_v<decltype(&DeInitializeDevice), tarn::drv::DeInitializeDeviceFn>);
static_assert(std::is_same_v<decltype(&DeviceFunction), tarn::drv::DeviceFunctionFn>);
static_assert(std::is_same_v<decltype(&DescribeTransport), tarn::drv::DescribeTransportFn>);
