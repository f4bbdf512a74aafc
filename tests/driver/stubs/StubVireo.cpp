// SPDX-License-Identifier: MIT
// A minimal USB library for binding tests: every call succeeds and the
// EEPROM reads erased. Built twice, each time without one export.
#include <cstdint>

#define STUB_EXPORT extern "C" __attribute__((visibility("default")))

STUB_EXPORT std::int32_t USBInitDevice()
{
    return 0;
}
STUB_EXPORT void USBFlushBuffer() {}
STUB_EXPORT std::int32_t USBConfigureFPGA(const void*, std::int32_t)
{
    return 1;
}
STUB_EXPORT std::int32_t USBSingleRead(std::int32_t)
{
    return 0;
}
STUB_EXPORT void USBSingleWrite(std::int32_t, std::int32_t) {}
STUB_EXPORT void USBSingleWriteWithoutFlush(std::int32_t, std::int32_t) {}
STUB_EXPORT std::int32_t USBFIFORead(std::int32_t, void*, std::uint32_t)
{
    return 1;
}
STUB_EXPORT std::int32_t USBFIFOWrite(std::int32_t, const void*, std::uint32_t)
{
    return 1;
}
STUB_EXPORT std::int32_t USBReadFromEEPROM(std::int32_t)
{
    return 0;
}
#ifndef STUB_WITHOUT_DEVICE_ID
STUB_EXPORT std::int32_t USBGetDeviceID()
{
    return 1;
}
#endif
#ifndef STUB_WITHOUT_EEPROM_WRITE
STUB_EXPORT void USBWriteToEEPROM(std::int32_t, std::int32_t) {}
#endif
STUB_EXPORT std::int32_t USBGetPowerState()
{
    return 1;
}
STUB_EXPORT std::uint8_t* GetDriverVersion(std::uint8_t* version)
{
    version[0] = 1;
    version[1] = 0;
    return version;
}
STUB_EXPORT void USBSetPowerOnOff(std::int32_t) {}
STUB_EXPORT void USBSetCallBackFunction(void (*)(std::int32_t)) {}
