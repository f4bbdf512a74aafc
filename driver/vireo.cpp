// SPDX-License-Identifier: MIT
#include "driver/vireo.h"

#include "driver/FailureFlag.h"

#include <dlfcn.h>
#include <unistd.h>

#include <utility>

namespace tarn::drv {

namespace {

constexpr const char* kLibraryName = "libvireo.so";

template <typename F> bool Lookup(void* handle, const char* name, F& target)
{
    target = reinterpret_cast<F>(dlsym(handle, name));
    return target != nullptr;
}

} // namespace

TVireoDLL::TVireoDLL() : TVireoDLL(DefaultLibraryPath())
{
    SearchByName_ = true;
}

TVireoDLL::TVireoDLL(std::string libraryPath) : Path_(std::move(libraryPath)) {}

TVireoDLL::~TVireoDLL()
{
    Release();
}

std::string TVireoDLL::DefaultLibraryPath()
{
    // The USB library lives in the program folder, which is our own folder.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&TarnDriverFailureCallback), &info) == 0 || info.dli_fname == nullptr)
        return kLibraryName;
    std::string self = info.dli_fname;
    const auto slash = self.rfind('/');
    if (slash == std::string::npos)
        return std::string("./") + kLibraryName;
    return self.substr(0, slash + 1) + kLibraryName;
}

void TVireoDLL::Release()
{
    if (Handle_ != nullptr)
        dlclose(Handle_);
    Handle_ = nullptr;
    InitDevice_ = nullptr;
    FlushBuffer_ = nullptr;
    ConfigureFPGA_ = nullptr;
    SingleRead_ = nullptr;
    SingleWrite_ = nullptr;
    SingleWriteWithoutFlush_ = nullptr;
    FIFORead_ = nullptr;
    FIFOWrite_ = nullptr;
    ReadFromEEPROM_ = nullptr;
    GetDeviceID_ = nullptr;
    WriteToEEPROM_ = nullptr;
    GetPowerState_ = nullptr;
    GetDriverVersion_ = nullptr;
    SetPowerOnOff_ = nullptr;
    DescribeTransport_ = nullptr;
}

std::int32_t TVireoDLL::Bind()
{
    Release();
    Handle_ = dlopen(Path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    // None beside us: the rest of the platform's search order by name, as the
    // program folder is only where that search begins.
    if (Handle_ == nullptr && SearchByName_ && access(Path_.c_str(), F_OK) != 0)
        Handle_ = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (Handle_ == nullptr)
        return 1;

    decltype(&::USBSetCallBackFunction) setCallBack = nullptr;
    bool complete = true;
    complete &= Lookup(Handle_, "USBInitDevice", InitDevice_);
    complete &= Lookup(Handle_, "USBFlushBuffer", FlushBuffer_);
    complete &= Lookup(Handle_, "USBConfigureFPGA", ConfigureFPGA_);
    complete &= Lookup(Handle_, "USBSingleRead", SingleRead_);
    complete &= Lookup(Handle_, "USBSingleWrite", SingleWrite_);
    complete &= Lookup(Handle_, "USBSingleWriteWithoutFlush", SingleWriteWithoutFlush_);
    complete &= Lookup(Handle_, "USBFIFORead", FIFORead_);
    complete &= Lookup(Handle_, "USBFIFOWrite", FIFOWrite_);
    complete &= Lookup(Handle_, "USBReadFromEEPROM", ReadFromEEPROM_);
    complete &= Lookup(Handle_, "USBGetDeviceID", GetDeviceID_);
    Lookup(Handle_, "USBWriteToEEPROM", WriteToEEPROM_);         // optional: nothing writes the EEPROM
    Lookup(Handle_, "USBDescribeTransport", DescribeTransport_); // optional: older libraries lack it
    complete &= Lookup(Handle_, "USBGetPowerState", GetPowerState_);
    complete &= Lookup(Handle_, "GetDriverVersion", GetDriverVersion_);
    complete &= Lookup(Handle_, "USBSetPowerOnOff", SetPowerOnOff_);
    complete &= Lookup(Handle_, "USBSetCallBackFunction", setCallBack);
    if (!complete) {
        Release();
        return 2;
    }
    setCallBack(&TarnDriverFailureCallback);
    return 0;
}

std::int32_t TVireoDLL::InitDevice()
{
    return InitDevice_ ? InitDevice_() : -1;
}

std::int32_t TVireoDLL::ConfigureFPGA(const std::uint8_t* data, std::int32_t length)
{
    return ConfigureFPGA_ ? ConfigureFPGA_(data, length) : -1;
}

void TVireoDLL::SingleWrite(std::uint8_t address, std::int32_t value)
{
    if (SingleWrite_)
        SingleWrite_(address, value);
}

void TVireoDLL::SingleWriteWithoutFlush(std::uint8_t address, std::int32_t value)
{
    if (SingleWriteWithoutFlush_)
        SingleWriteWithoutFlush_(address, value);
}

void TVireoDLL::FIFOWrite(std::uint8_t address, const void* data, std::uint32_t byteCount)
{
    if (FIFOWrite_)
        FIFOWrite_(address, data, byteCount);
}

std::int32_t TVireoDLL::ReadFromEEPROM(std::int32_t address)
{
    return ReadFromEEPROM_ ? ReadFromEEPROM_(address) : -1;
}

std::int32_t TVireoDLL::GetPowerState()
{
    return GetPowerState_ ? GetPowerState_() : 0;
}

void TVireoDLL::SetPowerOnOff(std::int32_t on)
{
    if (SetPowerOnOff_)
        SetPowerOnOff_(on);
}

void TVireoDLL::GetDriverVersion(std::uint8_t* buffer)
{
    if (GetDriverVersion_) {
        GetDriverVersion_(buffer);
        return;
    }
    buffer[0] = 0;
    buffer[1] = 0;
}

bool TVireoDLL::DescribeTransport(vireo::Description& out)
{
    return DescribeTransport_ && vireo::ReadDescription(DescribeTransport_, out);
}

} // namespace tarn::drv
