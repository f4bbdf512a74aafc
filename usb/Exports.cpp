// SPDX-License-Identifier: MIT
// The exported C functions: each forwards to the one process-wide UsbLink and
// keeps every exception inside the library.
#include "usb/Backend.h"
#include "usb/Guard.h"
#include "usb/TransportText.h"
#include "usb/UsbLink.h"
#include "usb/VireoApi.h"

#include <memory>

#define VIREO_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using vireo::Guard;

constexpr std::int32_t kDriverVersion = 100;

struct Library {
    std::unique_ptr<vireo::Transport> transport = vireo::CreateTransport();
    vireo::UsbLink link{*transport};
};

vireo::UsbLink& Link()
{
    static Library library;
    return library.link;
}

} // namespace

VIREO_EXPORT int32_t DeviceReady(void)
{
    return Guard([] { return Link().DeviceReady(); }, 0);
}

VIREO_EXPORT int32_t USBInitDevice(void)
{
    return Guard([] { return Link().InitDevice(); }, int32_t{vireo::kInitEnumerationFailed});
}

VIREO_EXPORT uint8_t* GetDriverVersion(uint8_t* DrvVersion)
{
    if (DrvVersion != nullptr) {
        DrvVersion[0] = 1;
        DrvVersion[1] = 0;
    }
    return DrvVersion;
}

VIREO_EXPORT void USBFlushBuffer(void)
{
    Guard([] { Link().FlushBuffer(); });
}

VIREO_EXPORT int32_t USBConfigureFPGA(const void* data, int32_t length)
{
    return Guard([&] { return Link().ConfigureFPGA(data, length); }, 0);
}

VIREO_EXPORT int32_t USBSingleRead(int32_t address)
{
    return Guard([&] { return Link().SingleRead(address); }, 0);
}

VIREO_EXPORT void USBSingleWrite(int32_t address, int32_t data)
{
    Guard([&] { Link().SingleWrite(address, data); });
}

VIREO_EXPORT void USBSingleWriteWithoutFlush(int32_t address, int32_t data)
{
    Guard([&] { Link().SingleWriteWithoutFlush(address, data); });
}

VIREO_EXPORT int32_t USBRollFIFORead(int32_t address, void* data, uint32_t dataamount)
{
    return Guard([&] { return Link().RollFIFORead(address, data, dataamount); }, 0);
}

VIREO_EXPORT int32_t USBFIFORead(int32_t address, void* data, uint32_t dataamount)
{
    return Guard([&] { return Link().FIFORead(address, data, dataamount); }, 0);
}

VIREO_EXPORT int32_t USBFIFOWrite(int32_t address, const void* data, uint32_t dataamount)
{
    return Guard([&] { return Link().FIFOWrite(address, data, dataamount); }, 0);
}

VIREO_EXPORT int32_t USBGetPacketSize(void)
{
    return Guard([] { return Link().GetPacketSize(); }, 0);
}

VIREO_EXPORT int32_t USBReadFromEEPROM(int32_t address)
{
    return Guard([&] { return Link().ReadFromEEPROM(address); }, 0);
}

VIREO_EXPORT void USBWriteToEEPROM(int32_t address, int32_t data)
{
    Guard([&] { Link().WriteToEEPROM(address, data); });
}

VIREO_EXPORT int32_t USBGetDeviceID(void)
{
    return Guard([] { return Link().GetDeviceID(); }, 0);
}

VIREO_EXPORT void USBSetCallBackFunction(void (*callback)(int32_t))
{
    Guard([&] { Link().SetCallback(callback); });
}

VIREO_EXPORT int32_t USBGetDriverVersion(void)
{
    return kDriverVersion;
}

VIREO_EXPORT int32_t USBGetPowerState(void)
{
    return Guard([] { return Link().GetPowerState(); }, 0);
}

VIREO_EXPORT void USBSetPowerOnOff(int32_t OnOff)
{
    Guard([&] { Link().SetPowerOnOff(OnOff); });
}

VIREO_EXPORT int32_t USBDescribeTransport(char* kind, int32_t kindCapacity, char* detail, int32_t detailCapacity)
{
    return Guard(
        [&] {
            const vireo::Description description = Link().Describe();
            const bool wrote = vireo::CopyToBuffer(description.kind, kind, kindCapacity);
            vireo::CopyToBuffer(description.detail, detail, detailCapacity);
            return wrote ? 1 : 0;
        },
        0);
}
