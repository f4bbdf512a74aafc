// SPDX-License-Identifier: MIT
// Command packets, the command buffer and replies over a Transport: the logic
// behind every export of libvireo, kept apart so tests can drive it directly.
#pragma once
#include "usb/Transport.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace vireo {

using FailureCallback = void (*)(std::int32_t);

class UsbLink {
public:
    static constexpr std::size_t kBufferSize = 16384;
    static constexpr std::uint32_t kDefaultPacketSize = 64;

    explicit UsbLink(Transport& transport) : transport_(transport) {}
    UsbLink(const UsbLink&) = delete;
    UsbLink& operator=(const UsbLink&) = delete;

    std::int32_t DeviceReady();
    std::int32_t InitDevice();
    void FlushBuffer();
    std::int32_t ConfigureFPGA(const void* data, std::int32_t length);
    std::int32_t SingleRead(std::int32_t address);
    void SingleWrite(std::int32_t address, std::int32_t data);
    void SingleWriteWithoutFlush(std::int32_t address, std::int32_t data);
    std::int32_t RollFIFORead(std::int32_t address, void* data, std::uint32_t amount);
    std::int32_t FIFORead(std::int32_t address, void* data, std::uint32_t amount);
    std::int32_t FIFOWrite(std::int32_t address, const void* data, std::uint32_t amount);
    std::int32_t GetPacketSize();
    std::int32_t ReadFromEEPROM(std::int32_t address);
    void WriteToEEPROM(std::int32_t address, std::int32_t data);
    std::int32_t GetDeviceID();
    void SetCallback(FailureCallback callback) { callback_ = callback; }
    std::int32_t GetPowerState();
    void SetPowerOnOff(std::int32_t onOff);
    Description Describe() const { return transport_.Describe(); }

    std::size_t BufferLength() const { return length_; }
    std::uint32_t PacketSize() const { return packetSize_; }

private:
    using Packet = std::array<std::uint8_t, 4>;

    void Queue(const Packet& packet);
    void MakeRoom(std::size_t bytes);
    void Fail();
    // Sends the command buffer; false when the transfer failed.
    bool Flush();
    // Request 9 of 4 bytes; zeros when it fails.
    std::array<std::uint8_t, 4> ReadReply();
    // Requests 7 and 9; a null buffer with bytes to move fails as a lost transfer.
    bool Write(const void* data, std::size_t size);
    bool Read(void* data, std::size_t size);
    // Packets announced for a transfer, a partial last one included; false when
    // the count does not fit the packet's 16 bits.
    bool PacketCount(std::uint64_t bytes, std::uint16_t& count) const;
    std::int32_t FifoRead(std::uint8_t opcode, std::int32_t address, void* data, std::uint32_t amount);
    std::int32_t Query(std::int32_t index, std::uint8_t selector);

    Transport& transport_;
    std::array<std::uint8_t, kBufferSize> buffer_{};
    std::size_t length_ = 0;
    std::uint32_t packetSize_ = kDefaultPacketSize;
    FailureCallback callback_ = nullptr;
};

} // namespace vireo
