// SPDX-License-Identifier: MIT
// The five requests over the device program's socket, and the transport of
// the virtual libvireo.so that opens the device program when one listens and
// the in-process generator otherwise.
#pragma once
#include "sim/DeviceSocket.h"
#include "sim/SimTransport.h"
#include "usb/Transport.h"

#include <functional>
#include <memory>
#include <string>

namespace vg {

class SocketTransport final : public vireo::Transport {
public:
    explicit SocketTransport(std::string path) : path_(std::move(path)) {}

    // Connects and opens; kInitNoDevice when nobody listens (see Listening).
    std::int32_t Open() override;
    void Close() override { fd_.Reset(); }
    bool SendCommands(const std::uint8_t* data, std::size_t size) override;
    bool BulkWrite(const void* data, std::size_t size) override;
    bool BulkRead(void* data, std::size_t size) override;
    bool Ready() override;
    bool QueryPacketSize(std::uint32_t& size) override;
    vireo::Description Describe() const override { return {"virtual", "device program at " + path_}; }

    // True when the last Open found a device program listening.
    bool Listening() const { return listening_; }

private:
    // One request and its reply of the same type; a broken exchange drops
    // the connection, so every later request fails until the next Open.
    std::optional<Frame> Exchange(std::uint8_t type, const void* payload, std::size_t size);
    bool Flag(std::uint8_t type, const void* payload, std::size_t size);

    std::string path_;
    UniqueFd fd_;
    bool listening_ = false;
};

class SwitchingTransport final : public vireo::Transport {
public:
    // path: where a device program would listen, asked at every Open.
    SwitchingTransport(VirtualGenerator& local, std::function<std::string()> path)
        : local_(local), path_(std::move(path))
    {
    }

    std::int32_t Open() override;
    void Close() override { Active().Close(); }
    bool SendCommands(const std::uint8_t* data, std::size_t size) override { return Active().SendCommands(data, size); }
    bool BulkWrite(const void* data, std::size_t size) override { return Active().BulkWrite(data, size); }
    bool BulkRead(void* data, std::size_t size) override { return Active().BulkRead(data, size); }
    bool Ready() override { return Active().Ready(); }
    bool QueryPacketSize(std::uint32_t& size) override { return Active().QueryPacketSize(size); }
    vireo::Description Describe() const override { return remote_ ? remote_->Describe() : local_.Describe(); }

    bool UsingDeviceProgram() const { return remote_ != nullptr; }

private:
    vireo::Transport& Active() { return remote_ ? static_cast<vireo::Transport&>(*remote_) : local_; }

    SimTransport local_;
    std::function<std::string()> path_;
    std::unique_ptr<SocketTransport> remote_;
};

} // namespace vg
