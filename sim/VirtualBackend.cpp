// SPDX-License-Identifier: MIT
// The process-wide virtual device behind the virtual libvireo.so, and its
// inspection API. It lives as long as the process; only VgReset renews it.
// The inspection API always sees this in-process generator, never a device program.
#include "sim/SocketTransport.h"
#include "sim/VirtualGeneratorApi.h"
#include "usb/Backend.h"
#include "usb/Guard.h"

#define VG_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using vireo::Guard;

vg::VirtualGenerator& Generator()
{
    static vg::VirtualGenerator generator;
    return generator;
}

} // namespace

namespace vireo {

std::unique_ptr<Transport> CreateTransport()
{
    // A device program listening on the user's socket takes the place of the
    // in-process generator, asked anew at every opening.
    return std::make_unique<vg::SwitchingTransport>(Generator(), [] { return vg::DeviceSocketPath(); });
}

} // namespace vireo

VG_EXPORT void VgReset(void)
{
    Guard([] { Generator().Reset(); });
}
VG_EXPORT int32_t VgGetRegister(int32_t reg)
{
    return Guard([&] { return Generator().Register(reg); }, -1);
}
VG_EXPORT int32_t VgGetRegisterWriteCount(int32_t reg)
{
    return Guard([&] { return Generator().RegisterWriteCount(reg); }, -1);
}
VG_EXPORT int32_t VgGetSampleWord(int32_t index)
{
    return Guard([&] { return Generator().SampleWord(index); }, -1);
}
VG_EXPORT int32_t VgCopySamples(uint16_t* dest, int32_t count)
{
    return Guard([&] { return Generator().CopySamples(dest, count); }, 0);
}
VG_EXPORT int32_t VgGetEEPROMByte(int32_t address)
{
    return Guard([&] { return Generator().EepromByte(address); }, -1);
}
VG_EXPORT void VgSetEEPROMByte(int32_t address, int32_t value)
{
    Guard([&] { Generator().SetEepromByte(address, value); });
}
VG_EXPORT int32_t VgGetPower(void)
{
    return Guard([] { return Generator().Power(); }, 0);
}
VG_EXPORT void VgSetDeviceId(int32_t id)
{
    Guard([&] { Generator().SetDeviceId(id); });
}
VG_EXPORT int32_t VgGetConfigurationCount(void)
{
    return Guard([] { return Generator().ConfigurationCount(); }, 0);
}
VG_EXPORT int32_t VgIsConfigured(void)
{
    return Guard([] { return Generator().Configured(); }, 0);
}
VG_EXPORT void VgSetPacketSize(int32_t size)
{
    Guard([&] { Generator().SetPacketSize(size); });
}
VG_EXPORT void VgSetPlugged(int32_t plugged)
{
    Guard([&] { Generator().SetPlugged(plugged != 0); });
}
VG_EXPORT void VgFailNextRequests(int32_t n)
{
    Guard([&] { Generator().FailNextRequests(n); });
}
VG_EXPORT int32_t VgGetProtocolErrorCount(void)
{
    return Guard([] { return Generator().ProtocolErrorCount(); }, 0);
}
VG_EXPORT int32_t VgGetPendingReadBytes(void)
{
    return Guard([] { return Generator().PendingReadBytes(); }, 0);
}
VG_EXPORT int32_t VgGetRequestCount(void)
{
    return Guard([] { return Generator().RequestCount(); }, 0);
}
VG_EXPORT int32_t VgGetRequest(int32_t i, int32_t* function, int32_t* succeeded, uint8_t* bytes, int32_t capacity)
{
    return Guard([&] { return Generator().Request(i, function, succeeded, bytes, capacity); }, -1);
}
VG_EXPORT void VgClearRequestLog(void)
{
    Guard([] { Generator().ClearRequestLog(); });
}
VG_EXPORT int32_t VgGetPendingFailures(void)
{
    return Guard([] { return Generator().PendingFailures(); }, 0);
}
VG_EXPORT void VgUnplugAfterRequests(int32_t n)
{
    Guard([&] { Generator().UnplugAfterRequests(n); });
}
VG_EXPORT int32_t VgGetUnplugCountdown(void)
{
    return Guard([] { return Generator().UnplugCountdown(); }, -1);
}
VG_EXPORT int32_t VgIsPlugged(void)
{
    return Guard([] { return Generator().Plugged() ? 1 : 0; }, 0);
}
VG_EXPORT void VgFailRequestsAfter(int32_t after, int32_t n)
{
    Guard([&] { Generator().FailRequestsAfter(after, n); });
}
