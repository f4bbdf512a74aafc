// SPDX-License-Identifier: MIT
#include "sim/SocketTransport.h"

#include <cstring>

namespace vg {

std::int32_t SocketTransport::Open()
{
    fd_.Reset(); // the device program serves one connection at a time
    fd_ = ConnectTo(path_);
    listening_ = static_cast<bool>(fd_);
    if (!fd_)
        return vireo::kInitNoDevice;
    const auto reply = Exchange(kFrameOpen, kMagic, sizeof kMagic);
    // A device program that is busy with another client hangs up at once.
    if (!reply || reply->payload.size() != 4) {
        fd_.Reset();
        return vireo::kInitNoHandle;
    }
    std::int32_t result = 0;
    std::memcpy(&result, reply->payload.data(), 4); // both sides are this machine
    if (result != vireo::kInitOk)
        fd_.Reset();
    return result;
}

std::optional<Frame> SocketTransport::Exchange(std::uint8_t type, const void* payload, std::size_t size)
{
    if (!fd_)
        return std::nullopt;
    if (!SendFrame(fd_.Get(), type, payload, size)) {
        fd_.Reset();
        return std::nullopt;
    }
    auto reply = ReceiveFrame(fd_.Get());
    if (!reply || reply->type != type || reply->payload.empty()) {
        fd_.Reset();
        return std::nullopt;
    }
    return reply;
}

bool SocketTransport::Flag(std::uint8_t type, const void* payload, std::size_t size)
{
    const auto reply = Exchange(type, payload, size);
    return reply && reply->payload[0] == 1;
}

bool SocketTransport::SendCommands(const std::uint8_t* data, std::size_t size)
{
    return (data != nullptr || size == 0) && Flag(6, data, size);
}

bool SocketTransport::BulkWrite(const void* data, std::size_t size)
{
    return (data != nullptr || size == 0) && Flag(7, data, size);
}

bool SocketTransport::BulkRead(void* data, std::size_t size)
{
    if ((data == nullptr && size > 0) || size > kMaxPayload - 1)
        return false;
    const auto count = static_cast<std::uint32_t>(size);
    const auto reply = Exchange(9, &count, sizeof count);
    if (!reply || reply->payload[0] != 1)
        return false;
    if (reply->payload.size() != size + 1) {
        fd_.Reset();
        return false;
    }
    if (size > 0)
        std::memcpy(data, reply->payload.data() + 1, size);
    return true;
}

bool SocketTransport::Ready()
{
    return Flag(10, nullptr, 0);
}

bool SocketTransport::QueryPacketSize(std::uint32_t& size)
{
    const auto reply = Exchange(11, nullptr, 0);
    if (!reply || reply->payload[0] != 1 || reply->payload.size() != 5)
        return false;
    std::memcpy(&size, reply->payload.data() + 1, 4);
    return true;
}

std::int32_t SwitchingTransport::Open()
{
    Active().Close();
    auto remote = std::make_unique<SocketTransport>(path_());
    const std::int32_t result = remote->Open();
    if (remote->Listening()) {
        remote_ = std::move(remote);
        return result;
    }
    remote_.reset();
    return local_.Open();
}

} // namespace vg
