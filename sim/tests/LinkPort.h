// SPDX-License-Identifier: MIT
// The driver's USB calls straight into the packet code over any transport,
// for tests that run the driver's device model against a virtual generator.
#pragma once
#include "driver/VireoPort.h"
#include "sim/SimTransport.h"
#include "usb/UsbLink.h"

#include <memory>

namespace vg::test {

class LinkPort final : public tarn::drv::TVireoPort {
public:
    explicit LinkPort(VirtualGenerator& generator) : owned_(std::make_unique<SimTransport>(generator)), link_(*owned_)
    {
    }
    std::int32_t Bind() override { return 0; }
    std::int32_t InitDevice() override { return link_.InitDevice(); }
    std::int32_t ConfigureFPGA(const std::uint8_t* data, std::int32_t length) override
    {
        return link_.ConfigureFPGA(data, length);
    }
    void SingleWrite(std::uint8_t a, std::int32_t v) override { link_.SingleWrite(a, v); }
    void SingleWriteWithoutFlush(std::uint8_t a, std::int32_t v) override { link_.SingleWriteWithoutFlush(a, v); }
    void FIFOWrite(std::uint8_t a, const void* d, std::uint32_t n) override { link_.FIFOWrite(a, d, n); }
    std::int32_t ReadFromEEPROM(std::int32_t a) override { return link_.ReadFromEEPROM(a); }
    std::int32_t GetPowerState() override { return link_.GetPowerState(); }
    void SetPowerOnOff(std::int32_t on) override { link_.SetPowerOnOff(on); }
    void GetDriverVersion(std::uint8_t* b) override { b[0] = 1, b[1] = 0; }

private:
    std::unique_ptr<vireo::Transport> owned_;
    vireo::UsbLink link_;
};

} // namespace vg::test
