// SPDX-License-Identifier: MIT
#include "sim/VirtualGenerator.h"

#include "data/ConfigurationImage.h"
#include "sim/CalibrationImage.h"

#include <algorithm>

namespace vg {
namespace {

// Longest stretch a FIFO read may prepare; far beyond the sample memory.
constexpr std::size_t kMaxFifoReadBytes = VirtualGenerator::kMaxPendingReadBytes;
constexpr std::size_t kAddressMask = VirtualGenerator::kSampleWords - 1;

} // namespace

std::array<std::uint8_t, VirtualGenerator::kEepromSize> DefaultEeprom()
{
    std::array<std::uint8_t, VirtualGenerator::kEepromSize> eeprom{};
    std::fill(eeprom.begin(), eeprom.begin() + 256, std::uint8_t{0xFF});
    const CalibrationImage page = MakeCalibrationImage(Calibration{});
    std::copy(page.begin(), page.end(), eeprom.begin() + 256);
    return eeprom;
}

VirtualGenerator::VirtualGenerator()
{
    Reset();
}

void VirtualGenerator::PowerCycle()
{
    registers_.fill(0);
    samples_.fill(0);
    writePointer_ = 0;
    eepromUnlocked_ = false;
    power_ = true;
    configured_ = false;
    awaiting_ = Awaiting::Nothing;
    awaitedPackets_ = 0;
    awaitedRegister_ = 0;
    pendingRead_.clear();
    shots_ = 0;
}

void VirtualGenerator::Reset()
{
    std::lock_guard lock(mutex_);
    PowerCycle();
    writeCounts_.fill(0);
    eeprom_ = DefaultEeprom();
    deviceId_ = kDefaultDeviceId;
    packetSize_ = kDefaultPacketSize;
    plugged_ = true;
    failNext_ = 0;
    failAfter_ = 0;
    unplugAfter_ = -1;
    configurationCount_ = 0;
    protocolErrors_ = 0;
    log_.clear();
    logBytes_ = 0;
}

std::uint64_t VirtualGenerator::Attach()
{
    std::lock_guard lock(mutex_);
    return plugged_ ? session_ : 0;
}

bool VirtualGenerator::Admit(std::uint64_t session)
{
    if (unplugAfter_ == 0) {
        // Pulled out between two requests, as a cable is.
        unplugAfter_ = -1;
        plugged_ = false;
        ++session_;
    } else if (unplugAfter_ > 0) {
        --unplugAfter_;
    }
    if (failAfter_ > 0) {
        --failAfter_;
    } else if (failNext_ > 0) {
        --failNext_;
        return false;
    }
    return plugged_ && session != 0 && session == session_;
}

void VirtualGenerator::Log(std::int32_t function, bool succeeded, const std::uint8_t* bytes, std::size_t size)
{
    LogEntry entry{function, succeeded, {}};
    if (bytes != nullptr)
        entry.bytes.assign(bytes, bytes + size);
    logBytes_ += entry.bytes.size();
    log_.push_back(std::move(entry));
    // Keeps a long-running program from growing without bound.
    while (log_.size() > kLogEntries || (logBytes_ > kLogBytes && log_.size() > 1)) {
        logBytes_ -= log_.front().bytes.size();
        log_.pop_front();
    }
}

bool VirtualGenerator::SendCommands(std::uint64_t session, const std::uint8_t* data, std::size_t size)
{
    std::lock_guard lock(mutex_);
    // Only whole packets are understood; a torn request is refused whole.
    const bool ok = Admit(session) && data != nullptr && size % 4 == 0;
    Log(6, ok, data, size);
    if (!ok)
        return false;
    for (std::size_t i = 0; i < size; i += 4)
        Decode(data + i);
    // Once per request: a clock word and the selector sent together are one
    // switch. Before the logic is configured no clock runs.
    if (configured_)
        clock_.Record(Clock::now(), SampleClockRate(registers_));
    return true;
}

void VirtualGenerator::Decode(const std::uint8_t* p)
{
    const auto word = static_cast<std::uint16_t>(p[1] << 8 | p[2]);
    switch (p[0]) {
    case 0x01:
        Query(word, p[3]);
        break;
    case 0x02:
        if (p[1] == 0x13 && p[2] == 0 && p[3] == 0)
            eepromUnlocked_ = true;
        else
            ProtocolError();
        break;
    case 0x03:
        if (!eepromUnlocked_) {
            ProtocolError();
            break;
        }
        eeprom_[word % kEepromSize] = p[3];
        eepromUnlocked_ = false;
        break;
    case 0x20:
        if (p[3] != 0x21) {
            ProtocolError();
            break;
        }
        ++configurationCount_;
        configured_ = false;
        awaiting_ = Awaiting::Configuration;
        awaitedPackets_ = word;
        break;
    case 0x24:
        QueueReply(std::uint32_t(registers_[p[1]] >> 8) | std::uint32_t(registers_[p[1]] & 0xFF) << 8);
        break;
    case 0x26:
        // The control word's pulse bit fires one shot as it rises.
        if (p[1] == kControl && (p[3] & kPulseBit) != 0 && (registers_[kControl] & kPulseBit) == 0)
            ++shots_;
        registers_[p[1]] = static_cast<std::uint16_t>(p[2] << 8 | p[3]);
        ++writeCounts_[p[1]];
        if (p[1] == kWriteStart)
            writePointer_ = registers_[p[1]] & kAddressMask;
        break;
    case 0x27:
    case 0x2B: {
        const auto count = static_cast<std::uint16_t>(p[2] << 8 | p[3]);
        QueueFifoRead(p[1], count);
        break;
    }
    case 0x29:
        awaiting_ = Awaiting::FifoData;
        awaitedRegister_ = p[1];
        awaitedPackets_ = static_cast<std::uint16_t>(p[2] << 8 | p[3]);
        break;
    case 0x2D:
        if (p[1] == 0x20)
            power_ = false;
        else if (p[1] == 0x00)
            power_ = true;
        else
            ProtocolError();
        break;
    default:
        ProtocolError();
        break;
    }
}

bool VirtualGenerator::Fits(std::size_t replyBytes)
{
    // A reply the output buffer cannot take is dropped whole, so the read that
    // expects it fails (as a device's would time out) instead of the memory
    // growing with every packet of one request.
    if (pendingRead_.size() + replyBytes > kMaxPendingReadBytes) {
        ProtocolError();
        return false;
    }
    return true;
}

void VirtualGenerator::QueueReply(std::uint32_t littleEndian)
{
    if (!Fits(4))
        return;
    for (int shift = 0; shift < 32; shift += 8)
        pendingRead_.push_back(static_cast<std::uint8_t>(littleEndian >> shift));
}

void VirtualGenerator::Query(std::uint16_t index, std::uint8_t selector)
{
    switch (selector) {
    case 0x04:
        QueueReply(eeprom_[index % kEepromSize]);
        break;
    case 0x2A:
        QueueReply(static_cast<std::uint32_t>(deviceId_));
        break;
    case 0x2C:
        QueueReply(power_ ? 1u : 0u);
        break;
    default:
        ProtocolError(); // no reply: the host's read will fail
        break;
    }
}

void VirtualGenerator::QueueFifoRead(std::uint8_t reg, std::uint16_t count)
{
    std::size_t bytes = std::size_t{count} * packetSize_;
    if (bytes > kMaxFifoReadBytes) {
        ProtocolError();
        bytes = kMaxFifoReadBytes;
    }
    if (!Fits(bytes))
        return;
    // The sample port reads back from the current write start word; any other
    // register repeats its value, high byte first.
    std::size_t address = registers_[kWriteStart] & kAddressMask;
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        if (reg == kSamplePort) {
            const std::uint16_t word = samples_[address];
            address = (address + 1) & kAddressMask;
            pendingRead_.push_back(static_cast<std::uint8_t>(word));
            pendingRead_.push_back(static_cast<std::uint8_t>(word >> 8));
        } else {
            pendingRead_.push_back(static_cast<std::uint8_t>(registers_[reg] >> 8));
            pendingRead_.push_back(static_cast<std::uint8_t>(registers_[reg]));
        }
    }
}

bool VirtualGenerator::BulkWrite(std::uint64_t session, const void* data, std::size_t size)
{
    std::lock_guard lock(mutex_);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const bool admitted = Admit(session);
    const Awaiting awaiting = awaiting_;
    awaiting_ = Awaiting::Nothing;
    // Data nobody announced, or lost on the way: the transfer fails.
    const bool ok = admitted && awaiting != Awaiting::Nothing && (bytes != nullptr || size == 0);
    Log(7, ok, bytes, size);
    if (!ok) {
        if (admitted)
            ProtocolError();
        return false;
    }
    bool countMatches = true;
    if (packetSize_ > 0) {
        const auto packets = static_cast<std::uint16_t>((size + packetSize_ - 1) / packetSize_);
        countMatches = packets == awaitedPackets_;
    }
    if (!countMatches)
        ProtocolError();
    if (awaiting == Awaiting::Configuration)
        ReceiveConfiguration(bytes, size, countMatches);
    else if (awaitedRegister_ == kSamplePort)
        ReceiveSamples(bytes, size);
    return true;
}

void VirtualGenerator::ReceiveConfiguration(const std::uint8_t* data, std::size_t size, bool countMatches)
{
    configured_ = countMatches && tarn::ConfigurationImageValid(data, size);
    QueueReply(configured_ ? 1u : 0u);
}

void VirtualGenerator::ReceiveSamples(const std::uint8_t* data, std::size_t size)
{
    if (size % 2 != 0)
        ProtocolError();
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        samples_[writePointer_] = static_cast<std::uint16_t>(data[i] | data[i + 1] << 8);
        writePointer_ = (writePointer_ + 1) & kAddressMask;
    }
}

bool VirtualGenerator::BulkRead(std::uint64_t session, void* data, std::size_t size)
{
    std::lock_guard lock(mutex_);
    const bool admitted = Admit(session);
    const bool ok = admitted && (data != nullptr || size == 0) && pendingRead_.size() >= size;
    if (!ok) {
        // A short or lost read takes whatever was waiting with it.
        if (admitted)
            ProtocolError();
        pendingRead_.clear();
        Log(9, false, nullptr, 0);
        return false;
    }
    auto* out = static_cast<std::uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        out[i] = pendingRead_.front();
        pendingRead_.pop_front();
    }
    Log(9, true, out, size);
    return true;
}

bool VirtualGenerator::Ready(std::uint64_t session)
{
    std::lock_guard lock(mutex_);
    const bool ok = Admit(session);
    Log(10, ok, nullptr, 0);
    return ok;
}

bool VirtualGenerator::QueryPacketSize(std::uint64_t session, std::uint32_t& size)
{
    std::lock_guard lock(mutex_);
    const bool ok = Admit(session);
    if (!ok) {
        Log(11, false, nullptr, 0);
        return false;
    }
    size = packetSize_;
    std::uint8_t bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(size >> (8 * i));
    Log(11, true, bytes, sizeof bytes);
    return true;
}

} // namespace vg
