// SPDX-License-Identifier: MIT
// The virtual backend: the five requests go to a VirtualGenerator in-process.
#pragma once
#include "sim/VirtualGenerator.h"
#include "usb/Transport.h"

namespace vg {

class SimTransport final : public vireo::Transport {
public:
    explicit SimTransport(VirtualGenerator& generator) : generator_(generator) {}

    std::int32_t Open() override
    {
        Close();
        session_ = generator_.Attach();
        return session_ != 0 ? vireo::kInitOk : vireo::kInitNoDevice;
    }
    void Close() override { session_ = 0; }
    bool SendCommands(const std::uint8_t* data, std::size_t size) override
    {
        return generator_.SendCommands(session_, data, size);
    }
    bool BulkWrite(const void* data, std::size_t size) override { return generator_.BulkWrite(session_, data, size); }
    bool BulkRead(void* data, std::size_t size) override { return generator_.BulkRead(session_, data, size); }
    bool Ready() override { return generator_.Ready(session_); }
    bool QueryPacketSize(std::uint32_t& size) override { return generator_.QueryPacketSize(session_, size); }
    vireo::Description Describe() const override { return {"virtual", "in this process"}; }

private:
    VirtualGenerator& generator_;
    std::uint64_t session_ = 0;
};

} // namespace vg
