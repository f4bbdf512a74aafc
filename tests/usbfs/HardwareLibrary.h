// SPDX-License-Identifier: MIT
// The hardware libvireo.so of the build, loaded as the driver library loads it.
#pragma once
#include "usb/VireoApi.h"

#include <dlfcn.h>

#include <cstdlib>
#include <string>

namespace tarn::usbfs {

inline std::string ProgramDir()
{
    const char* dir = std::getenv("TARN_PROGRAM_DIR");
    return dir != nullptr && *dir != '\0' ? dir : TARN_BUILD_PROGRAM_DIR;
}

class THardwareLibrary {
    // First: the calls below are looked up as the object is built.
    void* handle_;

public:
    explicit THardwareLibrary(const std::string& path = ProgramDir() + "/libvireo.so")
        : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
    {
    }
    ~THardwareLibrary()
    {
        if (handle_ != nullptr)
            dlclose(handle_);
    }
    THardwareLibrary(const THardwareLibrary&) = delete;
    THardwareLibrary& operator=(const THardwareLibrary&) = delete;

    bool Loaded() const { return handle_ != nullptr; }
    template <typename F> F* Fn(const char* name) const { return reinterpret_cast<F*>(dlsym(handle_, name)); }

#define TARN_VIREO_CALL(name) decltype(::name)* const name = Fn<decltype(::name)>(#name)
    TARN_VIREO_CALL(USBInitDevice);
    TARN_VIREO_CALL(DeviceReady);
    TARN_VIREO_CALL(USBFlushBuffer);
    TARN_VIREO_CALL(USBConfigureFPGA);
    TARN_VIREO_CALL(USBSingleRead);
    TARN_VIREO_CALL(USBSingleWrite);
    TARN_VIREO_CALL(USBSingleWriteWithoutFlush);
    TARN_VIREO_CALL(USBFIFORead);
    TARN_VIREO_CALL(USBFIFOWrite);
    TARN_VIREO_CALL(USBGetPacketSize);
    TARN_VIREO_CALL(USBReadFromEEPROM);
    TARN_VIREO_CALL(USBWriteToEEPROM);
    TARN_VIREO_CALL(USBGetDeviceID);
    TARN_VIREO_CALL(USBSetCallBackFunction);
    TARN_VIREO_CALL(USBGetPowerState);
    TARN_VIREO_CALL(USBSetPowerOnOff);
#undef TARN_VIREO_CALL
};

} // namespace tarn::usbfs
