// SPDX-License-Identifier: MIT
// Run-time binding of libvireo.so: guarded wrappers that fall back to fixed
// values whenever the library or one of its functions is missing.
#pragma once
#include "driver/VireoPort.h"
#include "usb/VireoApi.h"

#include <string>

namespace tarn::drv {

// Owns one dlopen handle; released on destruction.
class TVireoDLL final : public TVireoPort {
public:
    // Loads libvireo.so from the folder of the driver library itself, or by
    // name through the library search path when that folder has none.
    TVireoDLL();
    // Loads the library at the given path (tests).
    explicit TVireoDLL(std::string libraryPath);
    ~TVireoDLL() override;
    TVireoDLL(const TVireoDLL&) = delete;
    TVireoDLL& operator=(const TVireoDLL&) = delete;

    std::int32_t Bind() override;
    bool Loaded() const { return Handle_ != nullptr; }

    std::int32_t InitDevice() override;
    std::int32_t ConfigureFPGA(const std::uint8_t* data, std::int32_t length) override;
    void SingleWrite(std::uint8_t address, std::int32_t value) override;
    void SingleWriteWithoutFlush(std::uint8_t address, std::int32_t value) override;
    void FIFOWrite(std::uint8_t address, const void* data, std::uint32_t byteCount) override;
    std::int32_t ReadFromEEPROM(std::int32_t address) override;
    std::int32_t GetPowerState() override;
    void SetPowerOnOff(std::int32_t on) override;
    void GetDriverVersion(std::uint8_t* buffer) override;
    bool DescribeTransport(vireo::Description& out) override;

    // Folder-qualified path of libvireo.so beside the driver library.
    static std::string DefaultLibraryPath();

private:
    void Release();

    std::string Path_;
    bool SearchByName_ = false;
    void* Handle_ = nullptr;
    decltype(&::USBInitDevice) InitDevice_ = nullptr;
    decltype(&::USBFlushBuffer) FlushBuffer_ = nullptr;
    decltype(&::USBConfigureFPGA) ConfigureFPGA_ = nullptr;
    decltype(&::USBSingleRead) SingleRead_ = nullptr;
    decltype(&::USBSingleWrite) SingleWrite_ = nullptr;
    decltype(&::USBSingleWriteWithoutFlush) SingleWriteWithoutFlush_ = nullptr;
    decltype(&::USBFIFORead) FIFORead_ = nullptr;
    decltype(&::USBFIFOWrite) FIFOWrite_ = nullptr;
    decltype(&::USBReadFromEEPROM) ReadFromEEPROM_ = nullptr;
    decltype(&::USBGetDeviceID) GetDeviceID_ = nullptr;
    decltype(&::USBWriteToEEPROM) WriteToEEPROM_ = nullptr;
    decltype(&::USBGetPowerState) GetPowerState_ = nullptr;
    decltype(&::GetDriverVersion) GetDriverVersion_ = nullptr;
    decltype(&::USBSetPowerOnOff) SetPowerOnOff_ = nullptr;
    decltype(&::USBDescribeTransport) DescribeTransport_ = nullptr;
};

} // namespace tarn::drv
