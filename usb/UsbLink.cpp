// SPDX-License-Identifier: MIT
#include "usb/UsbLink.h"

#include <cstring>
#include <vector>

namespace vireo {
namespace {

constexpr std::uint8_t kOpQuery = 0x01;
constexpr std::uint8_t kOpEepromUnlock = 0x02;
constexpr std::uint8_t kOpEepromWrite = 0x03;
constexpr std::uint8_t kOpConfigure = 0x20;
constexpr std::uint8_t kOpRegisterRead = 0x24;
constexpr std::uint8_t kOpRegisterWrite = 0x26;
constexpr std::uint8_t kOpFifoRead = 0x27;
constexpr std::uint8_t kOpFifoWrite = 0x29;
constexpr std::uint8_t kOpRollFifoRead = 0x2B;
constexpr std::uint8_t kOpPower = 0x2D;

constexpr std::uint8_t kSelectEeprom = 0x04;
constexpr std::uint8_t kSelectDeviceId = 0x2A;
constexpr std::uint8_t kSelectPower = 0x2C;

std::uint8_t Byte(std::uint32_t value, int shift)
{
    return static_cast<std::uint8_t>(value >> shift);
}

std::int32_t LittleEndian(const std::array<std::uint8_t, 4>& b)
{
    return static_cast<std::int32_t>(std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16
                                     | std::uint32_t(b[3]) << 24);
}

} // namespace

void UsbLink::Fail()
{
    if (callback_ != nullptr)
        callback_(0);
}

void UsbLink::MakeRoom(std::size_t bytes)
{
    // A full buffer is sent rather than overrun.
    if (length_ + bytes > buffer_.size())
        FlushBuffer();
}

void UsbLink::Queue(const Packet& packet)
{
    MakeRoom(packet.size());
    for (std::uint8_t byte : packet)
        buffer_[length_++] = byte;
}

void UsbLink::FlushBuffer()
{
    // The packets are dropped whatever the outcome. A failure is reported:
    // the device no longer holds what the caller believes it sent.
    if (!Flush())
        Fail();
}

bool UsbLink::Flush()
{
    if (length_ == 0)
        return true;
    const bool sent = transport_.SendCommands(buffer_.data(), length_);
    length_ = 0;
    return sent;
}

std::array<std::uint8_t, 4> UsbLink::ReadReply()
{
    std::array<std::uint8_t, 4> reply{};
    if (!transport_.BulkRead(reply.data(), reply.size())) {
        reply.fill(0);
        Fail();
    }
    return reply;
}

bool UsbLink::Write(const void* data, std::size_t size)
{
    return (data != nullptr || size == 0) && transport_.BulkWrite(data, size);
}

bool UsbLink::Read(void* data, std::size_t size)
{
    return (data != nullptr || size == 0) && transport_.BulkRead(data, size);
}

bool UsbLink::PacketCount(std::uint64_t bytes, std::uint16_t& count) const
{
    // Sending only the low bits would announce fewer packets than follow, and
    // the rest of the data would reach the device as command packets.
    const std::uint64_t packets = (bytes + packetSize_ - 1) / packetSize_;
    if (packets > 0xFFFF)
        return false;
    count = static_cast<std::uint16_t>(packets);
    return true;
}

std::int32_t UsbLink::DeviceReady()
{
    return transport_.Ready() ? 1 : 0;
}

std::int32_t UsbLink::InitDevice()
{
    const std::int32_t result = transport_.Open();
    if (result != kInitOk)
        return result;
    std::uint32_t size = 0;
    if (!transport_.QueryPacketSize(size))
        Fail();
    else if (const auto used = static_cast<std::uint16_t>(size); used != 0) // 0 would leave counts undefined
        packetSize_ = used;
    return kInitOk;
}

std::int32_t UsbLink::ConfigureFPGA(const void* data, std::int32_t length)
{
    if (length < 0) { // no packet count can be announced for it
        Fail();
        return 0;
    }
    std::uint16_t count = 0;
    if (!PacketCount(static_cast<std::uint64_t>(length), count)) {
        Fail();
        return 0;
    }
    Queue({kOpConfigure, Byte(count, 8), Byte(count, 0), 0x21});
    // Unannounced, the image would reach the device as command packets; and
    // no reply would follow.
    if (!Flush()) {
        Fail();
        return 0;
    }
    const bool written = Write(data, static_cast<std::size_t>(length));
    if (!written)
        Fail();
    // The reply is read even after a failed write so that none is left behind.
    const std::int32_t reply = LittleEndian(ReadReply());
    return written ? reply : 0;
}

std::int32_t UsbLink::SingleRead(std::int32_t address)
{
    Queue({kOpRegisterRead, Byte(static_cast<std::uint32_t>(address), 0), 0, 0});
    FlushBuffer();
    const auto reply = ReadReply();
    return reply[0] * 256 + reply[1];
}

void UsbLink::SingleWriteWithoutFlush(std::int32_t address, std::int32_t data)
{
    const auto value = static_cast<std::uint32_t>(data);
    Queue({kOpRegisterWrite, Byte(static_cast<std::uint32_t>(address), 0), Byte(value, 8), Byte(value, 0)});
}

void UsbLink::SingleWrite(std::int32_t address, std::int32_t data)
{
    SingleWriteWithoutFlush(address, data);
    FlushBuffer();
}

std::int32_t UsbLink::FifoRead(std::uint8_t opcode, std::int32_t address, void* data, std::uint32_t amount)
{
    // Reads count the partial last packet as writes do: the device sends whole
    // packets, and the bytes past the asked amount are taken and dropped so
    // that none is left to be mistaken for the next reply.
    std::uint16_t count = 0;
    if (!PacketCount(amount, count)) {
        Fail();
        return 0;
    }
    Queue({opcode, Byte(static_cast<std::uint32_t>(address), 0), Byte(count, 8), Byte(count, 0)});
    if (!Flush()) {
        Fail();
        return 0;
    }
    const std::size_t whole = std::size_t{count} * packetSize_;
    bool read = false;
    if (whole == amount || data == nullptr) {
        read = Read(data, amount);
    } else {
        std::vector<std::uint8_t> packets(whole);
        read = Read(packets.data(), whole);
        if (read)
            std::memcpy(data, packets.data(), amount);
    }
    if (!read) {
        Fail();
        return 0;
    }
    return 1;
}

std::int32_t UsbLink::RollFIFORead(std::int32_t address, void* data, std::uint32_t amount)
{
    return FifoRead(kOpRollFifoRead, address, data, amount);
}

std::int32_t UsbLink::FIFORead(std::int32_t address, void* data, std::uint32_t amount)
{
    return FifoRead(kOpFifoRead, address, data, amount);
}

std::int32_t UsbLink::FIFOWrite(std::int32_t address, const void* data, std::uint32_t amount)
{
    std::uint16_t count = 0;
    if (!PacketCount(amount, count)) {
        Fail();
        return 0;
    }
    Queue({kOpFifoWrite, Byte(static_cast<std::uint32_t>(address), 0), Byte(count, 8), Byte(count, 0)});
    // Unannounced, the data would reach the device as command packets.
    if (!Flush() || !Write(data, amount)) {
        Fail();
        return 0;
    }
    return 1;
}

std::int32_t UsbLink::GetPacketSize()
{
    std::uint32_t size = 0;
    if (!transport_.QueryPacketSize(size)) {
        Fail();
        return 0;
    }
    return static_cast<std::int32_t>(size);
}

std::int32_t UsbLink::Query(std::int32_t index, std::uint8_t selector)
{
    const auto i = static_cast<std::uint32_t>(index);
    Queue({kOpQuery, Byte(i, 8), Byte(i, 0), selector});
    FlushBuffer();
    return LittleEndian(ReadReply());
}

std::int32_t UsbLink::ReadFromEEPROM(std::int32_t address)
{
    return Query(address, kSelectEeprom);
}

void UsbLink::WriteToEEPROM(std::int32_t address, std::int32_t data)
{
    // The unlock and the write must travel in one request.
    MakeRoom(8);
    const auto a = static_cast<std::uint32_t>(address);
    Queue({kOpEepromUnlock, 0x13, 0x00, 0x00});
    Queue({kOpEepromWrite, Byte(a, 8), Byte(a, 0), Byte(static_cast<std::uint32_t>(data), 0)});
    FlushBuffer();
}

std::int32_t UsbLink::GetDeviceID()
{
    return Query(0, kSelectDeviceId);
}

std::int32_t UsbLink::GetPowerState()
{
    return Query(0, kSelectPower) != 0 ? 1 : 0;
}

void UsbLink::SetPowerOnOff(std::int32_t onOff)
{
    Queue({kOpPower, static_cast<std::uint8_t>(onOff == 0 ? 0x20 : 0x00), 0x00, 0x00});
    FlushBuffer();
}

} // namespace vireo
