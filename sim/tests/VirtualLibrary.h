// SPDX-License-Identifier: MIT
// The virtual libvireo.so, opened with dlopen from TARN_VIRTUAL_DIR, with every
// USB export and the inspection API bound by name.
#pragma once
#include "sim/VirtualGeneratorApi.h"
#include "usb/VireoApi.h"

#include <dlfcn.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace vg::test {

struct VirtualLibrary {
    static VirtualLibrary& Get()
    {
        static VirtualLibrary library; // stays loaded for the whole test run
        return library;
    }

    template <typename F> F* Bind(const char* name)
    {
        void* symbol = dlsym(handle, name);
        if (symbol == nullptr)
            throw std::runtime_error(std::string("missing export ") + name);
        return reinterpret_cast<F*>(symbol);
    }

    void* handle = nullptr;
#define VG_BIND(name) decltype(&::name) name = Bind<decltype(::name)>(#name)
    VirtualLibrary() : handle(Open()) {}
    static void* Open()
    {
        // The build's own location stands in when the environment lacks it.
        const char* dir = std::getenv("TARN_VIRTUAL_DIR");
        if (dir == nullptr || *dir == '\0')
            dir = VG_TEST_VIRTUAL_DIR;
        void* h = dlopen((std::string(dir) + "/libvireo.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (h == nullptr)
            throw std::runtime_error(dlerror());
        return h;
    }

    VG_BIND(DeviceReady);
    VG_BIND(USBInitDevice);
    VG_BIND(GetDriverVersion);
    VG_BIND(USBFlushBuffer);
    VG_BIND(USBConfigureFPGA);
    VG_BIND(USBSingleRead);
    VG_BIND(USBSingleWrite);
    VG_BIND(USBSingleWriteWithoutFlush);
    VG_BIND(USBRollFIFORead);
    VG_BIND(USBFIFORead);
    VG_BIND(USBFIFOWrite);
    VG_BIND(USBGetPacketSize);
    VG_BIND(USBReadFromEEPROM);
    VG_BIND(USBWriteToEEPROM);
    VG_BIND(USBGetDeviceID);
    VG_BIND(USBSetCallBackFunction);
    VG_BIND(USBGetDriverVersion);
    VG_BIND(USBGetPowerState);
    VG_BIND(USBSetPowerOnOff);
    VG_BIND(VgReset);
    VG_BIND(VgGetRegister);
    VG_BIND(VgGetRegisterWriteCount);
    VG_BIND(VgGetSampleWord);
    VG_BIND(VgCopySamples);
    VG_BIND(VgGetEEPROMByte);
    VG_BIND(VgSetEEPROMByte);
    VG_BIND(VgGetPower);
    VG_BIND(VgSetDeviceId);
    VG_BIND(VgGetConfigurationCount);
    VG_BIND(VgIsConfigured);
    VG_BIND(VgSetPacketSize);
    VG_BIND(VgSetPlugged);
    VG_BIND(VgFailNextRequests);
    VG_BIND(VgGetProtocolErrorCount);
    VG_BIND(VgGetPendingReadBytes);
    VG_BIND(VgGetRequestCount);
    VG_BIND(VgGetRequest);
    VG_BIND(VgClearRequestLog);
#undef VG_BIND
};

} // namespace vg::test
