// SPDX-License-Identifier: MIT
// A USB library that records every call the driver library makes, in the
// notation of the driver's unit tests ("Q<reg>=<v>", "S<reg>=<v>", ...), so a
// test can compare the whole call sequence through the exports.
#include <cstdint>
#include <cstring>
#include <string>

#define STUB_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::string calls;
std::uint8_t eeprom[512] = {};
std::int32_t powerState = 1;
std::int32_t nextEEPROMAddress = -1;
void (*callback)(std::int32_t) = nullptr;

void Log(const std::string& call)
{
    calls += call + "\n";
}

} // namespace

STUB_EXPORT std::int32_t USBInitDevice()
{
    Log("InitDevice");
    return 0;
}
STUB_EXPORT void USBFlushBuffer()
{
    Log("FlushBuffer");
}
STUB_EXPORT std::int32_t USBConfigureFPGA(const void*, std::int32_t length)
{
    Log("ConfigureFPGA " + std::to_string(length));
    return 1;
}
STUB_EXPORT std::int32_t USBSingleRead(std::int32_t address)
{
    Log("SingleRead " + std::to_string(address));
    return 0;
}
STUB_EXPORT void USBSingleWrite(std::int32_t address, std::int32_t data)
{
    Log("S" + std::to_string(address) + "=" + std::to_string(data));
}
STUB_EXPORT void USBSingleWriteWithoutFlush(std::int32_t address, std::int32_t data)
{
    Log("Q" + std::to_string(address) + "=" + std::to_string(data));
}
STUB_EXPORT std::int32_t USBFIFORead(std::int32_t, void*, std::uint32_t)
{
    Log("FIFORead");
    return 1;
}
STUB_EXPORT std::int32_t USBFIFOWrite(std::int32_t address, const void*, std::uint32_t count)
{
    Log("FIFO" + std::to_string(address) + " " + std::to_string(count));
    return 1;
}
// The 256 reads of the calibration page show as one entry when they come in
// rising order from 256; anything else is logged as it is.
STUB_EXPORT std::int32_t USBReadFromEEPROM(std::int32_t address)
{
    if (address == 256)
        Log("ReadFromEEPROM 256..");
    else if (address != nextEEPROMAddress)
        Log("ReadFromEEPROM " + std::to_string(address));
    nextEEPROMAddress = address + 1;
    return 0x3C00 | ((address >= 0 && address < 512) ? eeprom[address] : 0xFF);
}
STUB_EXPORT std::int32_t USBGetDeviceID()
{
    Log("GetDeviceID");
    return 1;
}
STUB_EXPORT void USBWriteToEEPROM(std::int32_t, std::int32_t)
{
    Log("WriteToEEPROM");
}
STUB_EXPORT std::int32_t USBGetPowerState()
{
    Log("GetPowerState");
    return powerState;
}
STUB_EXPORT std::uint8_t* GetDriverVersion(std::uint8_t* version)
{
    Log("GetDriverVersion");
    version[0] = 1;
    version[1] = 0;
    return version;
}
STUB_EXPORT void USBSetPowerOnOff(std::int32_t on)
{
    Log("Power " + std::to_string(on));
}
STUB_EXPORT void USBSetCallBackFunction(void (*function)(std::int32_t))
{
    Log("Bind");
    callback = function;
}

// Inspection by the test.
STUB_EXPORT std::int32_t RecTakeCalls(char* buffer, std::int32_t size)
{
    const auto length = static_cast<std::int32_t>(calls.size());
    if (buffer != nullptr && size > length) {
        std::memcpy(buffer, calls.data(), calls.size());
        buffer[length] = '\0';
        calls.clear();
    }
    return length;
}
STUB_EXPORT void RecSetEEPROMByte(std::int32_t address, std::int32_t value)
{
    eeprom[address & 511] = static_cast<std::uint8_t>(value);
}
STUB_EXPORT void RecSetPowerState(std::int32_t state)
{
    powerState = state;
}
STUB_EXPORT void RecFail()
{
    if (callback != nullptr)
        callback(0);
}
