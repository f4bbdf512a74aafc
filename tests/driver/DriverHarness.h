// SPDX-License-Identifier: MIT
// A throw-away program folder holding copies of the driver library and a
// USB library, the driver loaded from there, and the virtual generator's
// inspection calls reached through the very USB library the driver loaded.
#pragma once
#include "driver/tarndrv.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace tarn::e2e {

namespace fs = std::filesystem;

// The environment names the folders; the build's own folders stand in when
// the test runner did not pass them.
inline fs::path EnvDir(const char* name)
{
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0')
        return fs::path(value);
    if (std::string(name) == "TARN_PROGRAM_DIR")
        return fs::path(TARN_BUILD_PROGRAM_DIR);
    return fs::path(TARN_BUILD_VIRTUAL_DIR);
}

// Temporary folder, removed with everything in it.
class TProgramFolder {
public:
    TProgramFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "tarndrv-e2e-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            Path_ = pattern;
    }
    ~TProgramFolder()
    {
        std::error_code ignored;
        if (!Path_.empty())
            fs::remove_all(Path_, ignored);
    }
    TProgramFolder(const TProgramFolder&) = delete;
    TProgramFolder& operator=(const TProgramFolder&) = delete;

    const fs::path& Path() const { return Path_; }
    // Copies, not links: each folder must load as a library of its own.
    bool Add(const fs::path& file, const std::string& as)
    {
        std::error_code error;
        fs::copy_file(file, Path_ / as, fs::copy_options::overwrite_existing, error);
        return !error;
    }

private:
    fs::path Path_;
};

// dlopen handle owner.
class TLibrary {
public:
    TLibrary() = default;
    explicit TLibrary(const fs::path& path) : Handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
    ~TLibrary()
    {
        if (Handle_ != nullptr)
            dlclose(Handle_);
    }
    TLibrary(const TLibrary&) = delete;
    TLibrary& operator=(const TLibrary&) = delete;

    bool Loaded() const { return Handle_ != nullptr; }
    template <typename F> F Get(const char* name) const
    {
        return Handle_ != nullptr ? reinterpret_cast<F>(dlsym(Handle_, name)) : nullptr;
    }

private:
    void* Handle_ = nullptr;
};

struct TDriverApi {
    tarn::drv::InitializeDeviceFn InitializeDevice = nullptr;
    tarn::drv::DeInitializeDeviceFn DeInitializeDevice = nullptr;
    tarn::drv::DeviceFunctionFn DeviceFunction = nullptr;
    tarn::drv::DescribeTransportFn DescribeTransport = nullptr; // a later addition
    bool Complete() const { return InitializeDevice && DeInitializeDevice && DeviceFunction; }
};

struct TVirtualApi {
    void (*Reset)() = nullptr;
    std::int32_t (*GetRegister)(std::int32_t) = nullptr;
    std::int32_t (*GetRegisterWriteCount)(std::int32_t) = nullptr;
    std::int32_t (*CopySamples)(std::uint16_t*, std::int32_t) = nullptr;
    void (*SetEEPROMByte)(std::int32_t, std::int32_t) = nullptr;
    std::int32_t (*GetPower)() = nullptr;
    std::int32_t (*GetConfigurationCount)() = nullptr;
    std::int32_t (*IsConfigured)() = nullptr;
    void (*FailNextRequests)(std::int32_t) = nullptr;
    void (*SetPlugged)(std::int32_t) = nullptr;
    std::int32_t (*GetRequestCount)() = nullptr;
    std::int32_t (*GetRequest)(std::int32_t, std::int32_t*, std::int32_t*, std::uint8_t*, std::int32_t) = nullptr;
    void (*ClearRequestLog)() = nullptr;
};

// A program folder with the driver library and the chosen USB library.
class TDriverSetup {
public:
    // usbLibrary empty: the folder has no libvireo.so. Without inspect the
    // test keeps no hold of its own on the USB library.
    explicit TDriverSetup(const fs::path& usbLibrary, bool inspect = true)
    {
        const fs::path driver = EnvDir("TARN_PROGRAM_DIR") / "libtarndrv.so";
        Ready_ = !Folder_.Path().empty() && Folder_.Add(driver, "libtarndrv.so");
        if (!usbLibrary.empty()) {
            Ready_ = Ready_ && Folder_.Add(usbLibrary, "libvireo.so");
            // Opened first, by the same path the driver will use: one instance.
            if (inspect)
                Usb_ = std::make_unique<TLibrary>(Folder_.Path() / "libvireo.so");
        }
        Driver_ = std::make_unique<TLibrary>(Folder_.Path() / "libtarndrv.so");
        Api.InitializeDevice = Driver_->Get<decltype(Api.InitializeDevice)>("InitializeDevice");
        Api.DeInitializeDevice = Driver_->Get<decltype(Api.DeInitializeDevice)>("DeInitializeDevice");
        Api.DeviceFunction = Driver_->Get<decltype(Api.DeviceFunction)>("DeviceFunction");
        Api.DescribeTransport = Driver_->Get<decltype(Api.DescribeTransport)>("DescribeTransport");
        if (Usb_) {
            Vg.Reset = Usb_->Get<decltype(Vg.Reset)>("VgReset");
            Vg.GetRegister = Usb_->Get<decltype(Vg.GetRegister)>("VgGetRegister");
            Vg.GetRegisterWriteCount = Usb_->Get<decltype(Vg.GetRegisterWriteCount)>("VgGetRegisterWriteCount");
            Vg.CopySamples = Usb_->Get<decltype(Vg.CopySamples)>("VgCopySamples");
            Vg.SetEEPROMByte = Usb_->Get<decltype(Vg.SetEEPROMByte)>("VgSetEEPROMByte");
            Vg.GetPower = Usb_->Get<decltype(Vg.GetPower)>("VgGetPower");
            Vg.GetConfigurationCount = Usb_->Get<decltype(Vg.GetConfigurationCount)>("VgGetConfigurationCount");
            Vg.IsConfigured = Usb_->Get<decltype(Vg.IsConfigured)>("VgIsConfigured");
            Vg.FailNextRequests = Usb_->Get<decltype(Vg.FailNextRequests)>("VgFailNextRequests");
            Vg.SetPlugged = Usb_->Get<decltype(Vg.SetPlugged)>("VgSetPlugged");
            Vg.GetRequestCount = Usb_->Get<decltype(Vg.GetRequestCount)>("VgGetRequestCount");
            Vg.GetRequest = Usb_->Get<decltype(Vg.GetRequest)>("VgGetRequest");
            Vg.ClearRequestLog = Usb_->Get<decltype(Vg.ClearRequestLog)>("VgClearRequestLog");
        }
    }
    ~TDriverSetup()
    {
        if (Api.DeInitializeDevice != nullptr)
            Api.DeInitializeDevice();
        Driver_.reset();
        Usb_.reset();
    }
    TDriverSetup(const TDriverSetup&) = delete;
    TDriverSetup& operator=(const TDriverSetup&) = delete;

    bool Ready() const { return Ready_ && Api.Complete(); }
    bool VirtualReady() const { return Vg.Reset && Vg.GetRegister && Vg.GetRequest && Vg.CopySamples; }
    const fs::path& Folder() const { return Folder_.Path(); }
    // A function of the USB library the test opened itself (inspect).
    template <typename F> F UsbSymbol(const char* name) const { return Usb_ ? Usb_->Get<F>(name) : nullptr; }

    // DeviceFunction with only a value.
    std::uint8_t Call(std::uint32_t code, std::intptr_t value = 0)
    {
        return Api.DeviceFunction(code, nullptr, 0, nullptr, 0, value, nullptr);
    }
    // Codes 5 and 16: the frequency actually set.
    double Frequency(std::uint32_t code, double wanted)
    {
        double set = -1;
        Api.DeviceFunction(code, &wanted, sizeof wanted, &set, sizeof set, 0, nullptr);
        return set;
    }
    std::uint8_t Load(std::uint16_t* samples, std::int32_t count, std::intptr_t standard)
    {
        return Api.DeviceFunction(1, samples, count, nullptr, 0, standard, nullptr);
    }

    TDriverApi Api;
    TVirtualApi Vg;

private:
    TProgramFolder Folder_;
    bool Ready_ = false;
    std::unique_ptr<TLibrary> Usb_;
    std::unique_ptr<TLibrary> Driver_;
};

// True while some part of the process holds the library at that path.
inline bool LibraryLoaded(const fs::path& path)
{
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr)
        return false;
    dlclose(handle);
    return true;
}

inline fs::path VirtualUsbLibrary()
{
    return EnvDir("TARN_VIRTUAL_DIR") / "libvireo.so";
}

// Writes a calibration page into the virtual EEPROM (addresses 256..511),
// sealed with the weighted sum the device expects.
struct TCalibrationPage {
    int LevelHigh = 1700, LevelLow = 140, ShiftZeroHigh = 2200, ShiftZeroLow = 2100, ShiftGain = 1000;
    int AttenuatorWord = 32767;
    std::uint32_t Serial = 300;
};

inline std::array<std::uint8_t, 256> CalibrationImage(const TCalibrationPage& page)
{
    std::array<std::uint8_t, 256> image{};
    auto put16 = [&](int o, int v) {
        image[o] = static_cast<std::uint8_t>(v >> 8);
        image[o + 1] = static_cast<std::uint8_t>(v);
    };
    auto put32 = [&](int o, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            image[o + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    };
    put16(1, page.LevelHigh);
    put16(3, page.LevelLow);
    put16(5, page.ShiftZeroHigh);
    put16(7, page.ShiftZeroLow);
    put16(9, page.ShiftGain);
    put16(11, page.AttenuatorWord);
    put32(167, page.Serial);
    std::uint32_t sum = 0;
    for (std::uint32_t i = 0; i < 252; ++i)
        if (i < 160 || i > 163)
            sum += (i + 1) * image[i] + i;
    put32(252, sum);
    return image;
}

inline void WriteCalibration(const TVirtualApi& vg, const TCalibrationPage& page)
{
    const auto image = CalibrationImage(page);
    for (int i = 0; i < 256; ++i)
        vg.SetEEPROMByte(256 + i, image[static_cast<std::size_t>(i)]);
}

} // namespace tarn::e2e
