// SPDX-License-Identifier: MIT
// A stand-in driver library for the binding tests: records every call and
// answers with values the test chose. Its entry points are checked against
// the driver library's declarations like the real ones.
#include "driver/tarndrv.h"

#include <cstdint>
#include <vector>

namespace {

struct Record {
    std::int32_t code, inSize, outSize;
    std::intptr_t value;
    double inDouble;
    // Which of InData, OutData, ValuePtr were given: bits 1, 2, 4.
    std::int32_t pointers;
};

std::vector<Record> calls;
std::int32_t initResult = 0;
std::int32_t initCalls = 0;
std::int32_t deinitCalls = 0;
std::uint8_t* flag = nullptr;
std::int32_t power = 1;

} // namespace

extern "C" {

__attribute__((visibility("default"))) std::int32_t InitializeDevice(std::int32_t)
{
    ++initCalls;
    if (flag != nullptr && (initResult == 0 || initResult == 5))
        *flag = 0;
    return initResult;
}

__attribute__((visibility("default"))) void DeInitializeDevice()
{
    ++deinitCalls;
    flag = nullptr;
}

#ifndef FAKE_WITHOUT_DEVICE_FUNCTION
__attribute__((visibility("default"))) std::uint8_t DeviceFunction(std::uint32_t code, void* inData,
                                                                   std::int32_t inSize, void* outData,
                                                                   std::int32_t outSize, std::intptr_t value,
                                                                   std::int32_t* valuePtr)
{
    const std::int32_t pointers =
        (inData != nullptr ? 1 : 0) | (outData != nullptr ? 2 : 0) | (valuePtr != nullptr ? 4 : 0);
    Record r{static_cast<std::int32_t>(code), inSize, outSize, value, 0.0, pointers};
    switch (code) {
    case 5:
    case 16:
        r.inDouble = *static_cast<double*>(inData);
        // Distinguishable answers: a full switch rounds, a preload halves.
        *static_cast<double*>(outData) = code == 5 ? r.inDouble + 0.5 : r.inDouble / 2;
        break;
    case 15:
        *static_cast<std::int32_t*>(outData) = power;
        break;
    case 64:
        flag = reinterpret_cast<std::uint8_t*>(value);
        break;
    case 66:
        static_cast<std::uint8_t*>(outData)[0] = 2;
        static_cast<std::uint8_t*>(outData)[1] = 7;
        break;
    case 69:
        *valuePtr = 123456;
        break;
    default:
        break;
    }
    calls.push_back(r);
    return 1;
}
#endif

// Inspection for the tests.
__attribute__((visibility("default"))) void FakeSetInitResult(std::int32_t r)
{
    initResult = r;
}
__attribute__((visibility("default"))) void FakeSetPower(std::int32_t p)
{
    power = p;
}
__attribute__((visibility("default"))) std::int32_t FakeInitCalls()
{
    return initCalls;
}
__attribute__((visibility("default"))) std::int32_t FakeDeinitCalls()
{
    return deinitCalls;
}
__attribute__((visibility("default"))) std::int32_t FakeCallCount()
{
    return static_cast<std::int32_t>(calls.size());
}
__attribute__((visibility("default"))) void FakeGetCall(std::int32_t i, std::int32_t* code, std::int32_t* inSize,
                                                        std::int32_t* outSize, std::intptr_t* value, double* in)
{
    const Record& r = calls.at(static_cast<std::size_t>(i));
    *code = r.code;
    *inSize = r.inSize;
    *outSize = r.outSize;
    *value = r.value;
    *in = r.inDouble;
}
__attribute__((visibility("default"))) std::int32_t FakeGetPointers(std::int32_t i)
{
    return calls.at(static_cast<std::size_t>(i)).pointers;
}
__attribute__((visibility("default"))) void FakeClear()
{
    calls.clear();
}
// Plays a failed transfer: the library sets the registered flag.
__attribute__((visibility("default"))) void FakeFailTransfer()
{
    if (flag != nullptr)
        *flag = 1;
}
__attribute__((visibility("default"))) std::uint8_t* FakeFlag()
{
    return flag;
}
}
