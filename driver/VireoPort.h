// SPDX-License-Identifier: MIT
// What the device model needs from the USB access library: one call per
// wrapper of the binding, so the model can run over a recorder in tests.
#pragma once
#include "usb/TransportText.h"

#include <cstdint>

namespace tarn::drv {

class TVireoPort {
public:
    virtual ~TVireoPort() = default;

    // 0 bound, 1 library not loadable, 2 a required function missing.
    virtual std::int32_t Bind() = 0;

    virtual std::int32_t InitDevice() = 0;
    virtual std::int32_t ConfigureFPGA(const std::uint8_t* data, std::int32_t length) = 0;
    virtual void SingleWrite(std::uint8_t address, std::int32_t value) = 0;
    virtual void SingleWriteWithoutFlush(std::uint8_t address, std::int32_t value) = 0;
    virtual void FIFOWrite(std::uint8_t address, const void* data, std::uint32_t byteCount) = 0;
    virtual std::int32_t ReadFromEEPROM(std::int32_t address) = 0;
    virtual std::int32_t GetPowerState() = 0;
    virtual void SetPowerOnOff(std::int32_t on) = 0;
    // Writes major then minor version into two bytes.
    virtual void GetDriverVersion(std::uint8_t* buffer) = 0;
    // What the USB library says carries its requests; false when it cannot
    // tell (an older library).
    virtual bool DescribeTransport(vireo::Description& /*out*/) { return false; }
};

} // namespace tarn::drv
