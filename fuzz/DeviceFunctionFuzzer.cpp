// SPDX-License-Identifier: MIT
// libtarndrv.so as the program drives it, over the virtual generator: codes,
// values and buffers chosen by the fuzzer. Every buffer is allocated at exactly
// the size the call states, so a read or write past it is caught.
#include "fuzz/FuzzInput.h"

#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using InitializeFn = std::int32_t (*)(std::int32_t);
using DeviceFunctionFn = std::uint8_t (*)(std::uint32_t, void*, std::int32_t, void*, std::int32_t, std::intptr_t,
                                          std::int32_t*);
using FailNextFn = void (*)(std::int32_t);
using SetPluggedFn = void (*)(std::int32_t);

struct TDriver {
    InitializeFn initialize = nullptr;
    DeviceFunctionFn function = nullptr;
    FailNextFn failNext = nullptr;
    SetPluggedFn setPlugged = nullptr;
    std::uint8_t failureFlag = 0;

    TDriver()
    {
        // FUZZ_DRIVER_DIR holds the driver library beside the virtual USB library.
        void* driver = dlopen(FUZZ_DRIVER_DIR "/libtarndrv.so", RTLD_NOW | RTLD_LOCAL);
        void* usb = dlopen(FUZZ_DRIVER_DIR "/libvireo.so", RTLD_NOW | RTLD_LOCAL);
        if (driver == nullptr || usb == nullptr) {
            std::fprintf(stderr, "cannot load the driver: %s\n", dlerror());
            std::abort();
        }
        initialize = reinterpret_cast<InitializeFn>(dlsym(driver, "InitializeDevice"));
        function = reinterpret_cast<DeviceFunctionFn>(dlsym(driver, "DeviceFunction"));
        failNext = reinterpret_cast<FailNextFn>(dlsym(usb, "VgFailNextRequests"));
        setPlugged = reinterpret_cast<SetPluggedFn>(dlsym(usb, "VgSetPlugged"));
        if (!initialize || !function || !failNext || !setPlugged || Initialize() != 0) {
            std::abort();
        }
    }
    std::int32_t Initialize()
    {
        const std::int32_t result = initialize(0);
        function(64, nullptr, 0, nullptr, 0, reinterpret_cast<std::intptr_t>(&failureFlag), nullptr);
        return result;
    }
};

template <typename T> std::unique_ptr<T> Owned(T value)
{
    return std::make_unique<T>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static TDriver driver;
    tarn::fuzz::TFuzzInput input(data, size);
    bool reinitialised = false;
    bool unplugged = false;
    while (!input.Empty()) {
        const auto code = input.Take<std::uint32_t>();
        const auto value = input.Take<std::int32_t>();
        switch (code & 0xFFu) {
        case 1: { // samples: exactly the stated count
            const std::int32_t count = input.Take<std::uint16_t>() % 16400;
            std::vector<std::uint16_t> samples(static_cast<std::size_t>(count));
            for (auto& sample : samples) {
                sample = input.Take<std::uint16_t>();
            }
            driver.function(code, samples.empty() ? nullptr : samples.data(), count, nullptr, 0, value, nullptr);
            break;
        }
        case 5:
        case 16: {
            auto wanted = Owned(input.Take<double>());
            auto set = Owned(0.0);
            driver.function(code, wanted.get(), sizeof(double), set.get(), sizeof(double), value, nullptr);
            break;
        }
        case 15: {
            auto state = Owned(std::int32_t{0});
            driver.function(code, nullptr, 0, state.get(), sizeof(std::int32_t), value, nullptr);
            break;
        }
        case 66: {
            auto version = std::make_unique<std::uint8_t[]>(2);
            driver.function(code, nullptr, 0, version.get(), 2, value, nullptr);
            break;
        }
        case 18:
        case 19:
        case 20:
        case 69: {
            auto result = Owned(value);
            driver.function(code, nullptr, 0, nullptr, 0, value, result.get());
            break;
        }
        case 64: // an address is the caller's to give: ours, or none
            driver.function(code, nullptr, 0, nullptr, 0,
                            (value & 1) != 0 ? reinterpret_cast<std::intptr_t>(&driver.failureFlag) : 0, nullptr);
            break;
        case 0xF0: // broken communication, the way the device can break it
            driver.failNext(value & 7);
            break;
        case 0xF1:
            driver.setPlugged(value & 1);
            unplugged = unplugged || (value & 1) == 0;
            break;
        case 0xF2: // reconnection is slow (the logic is configured again): once per input
            if (!reinitialised) {
                reinitialised = true;
                unplugged = false;
                driver.setPlugged(1);
                driver.Initialize();
            }
            break;
        default: // codes outside the table touch nothing
            if (driver.function(code, nullptr, 0, nullptr, 0, value, nullptr) != 0 && (code & 0xFFu) > 21) {
                std::abort();
            }
            break;
        }
    }
    if (unplugged) {
        // Unplugging ended the session: the next input starts on a working device.
        driver.setPlugged(1);
        driver.Initialize();
    }
    return 0;
}
