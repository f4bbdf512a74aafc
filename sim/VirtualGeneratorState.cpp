// SPDX-License-Identifier: MIT
// The inspection and fault-injection side of the virtual generator.
#include "sim/VirtualGenerator.h"

#include <algorithm>
#include <cstring>

namespace vg {

std::int32_t VirtualGenerator::Register(std::int32_t reg) const
{
    std::lock_guard lock(mutex_);
    if (reg < 0 || static_cast<std::size_t>(reg) >= kRegisterCount)
        return -1;
    return registers_[static_cast<std::size_t>(reg)];
}

std::int32_t VirtualGenerator::RegisterWriteCount(std::int32_t reg) const
{
    std::lock_guard lock(mutex_);
    if (reg < 0 || static_cast<std::size_t>(reg) >= kRegisterCount)
        return -1;
    return writeCounts_[static_cast<std::size_t>(reg)];
}

std::int32_t VirtualGenerator::SampleWord(std::int32_t index) const
{
    std::lock_guard lock(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= kSampleWords)
        return -1;
    return samples_[static_cast<std::size_t>(index)];
}

std::int32_t VirtualGenerator::CopySamples(std::uint16_t* dest, std::int32_t count) const
{
    std::lock_guard lock(mutex_);
    if (dest == nullptr || count <= 0)
        return 0;
    const auto n = std::min(static_cast<std::size_t>(count), kSampleWords);
    std::copy_n(samples_.begin(), n, dest);
    return static_cast<std::int32_t>(n);
}

std::int32_t VirtualGenerator::EepromByte(std::int32_t address) const
{
    std::lock_guard lock(mutex_);
    if (address < 0 || static_cast<std::size_t>(address) >= kEepromSize)
        return -1;
    return eeprom_[static_cast<std::size_t>(address)];
}

void VirtualGenerator::SetEepromByte(std::int32_t address, std::int32_t value)
{
    std::lock_guard lock(mutex_);
    if (address >= 0 && static_cast<std::size_t>(address) < kEepromSize)
        eeprom_[static_cast<std::size_t>(address)] = static_cast<std::uint8_t>(value);
}

std::int32_t VirtualGenerator::Power() const
{
    std::lock_guard lock(mutex_);
    return power_ ? 1 : 0;
}

void VirtualGenerator::SetDeviceId(std::int32_t id)
{
    std::lock_guard lock(mutex_);
    deviceId_ = id;
}

std::int32_t VirtualGenerator::ConfigurationCount() const
{
    std::lock_guard lock(mutex_);
    return configurationCount_;
}

std::int32_t VirtualGenerator::Configured() const
{
    std::lock_guard lock(mutex_);
    return configured_ ? 1 : 0;
}

void VirtualGenerator::SetPacketSize(std::int32_t size)
{
    std::lock_guard lock(mutex_);
    packetSize_ = size < 0 ? 0u : static_cast<std::uint32_t>(size);
}

void VirtualGenerator::SetPlugged(bool plugged)
{
    std::lock_guard lock(mutex_);
    if (plugged == plugged_)
        return;
    plugged_ = plugged;
    if (plugged)
        PowerCycle();
    else
        ++session_; // every open handle goes stale
}

void VirtualGenerator::FailNextRequests(std::int32_t n)
{
    std::lock_guard lock(mutex_);
    failNext_ = std::max(n, 0);
    failAfter_ = 0;
}

void VirtualGenerator::FailRequestsAfter(std::int32_t after, std::int32_t n)
{
    std::lock_guard lock(mutex_);
    failNext_ = std::max(n, 0);
    failAfter_ = std::max(after, 0);
}

std::int32_t VirtualGenerator::PendingFailures() const
{
    std::lock_guard lock(mutex_);
    return failNext_;
}

void VirtualGenerator::UnplugAfterRequests(std::int32_t n)
{
    std::lock_guard lock(mutex_);
    unplugAfter_ = std::max(n, -1);
}

std::int32_t VirtualGenerator::UnplugCountdown() const
{
    std::lock_guard lock(mutex_);
    return unplugAfter_;
}

bool VirtualGenerator::Plugged() const
{
    std::lock_guard lock(mutex_);
    return plugged_;
}

std::int32_t VirtualGenerator::ProtocolErrorCount() const
{
    std::lock_guard lock(mutex_);
    return protocolErrors_;
}

std::int32_t VirtualGenerator::PendingReadBytes() const
{
    std::lock_guard lock(mutex_);
    return static_cast<std::int32_t>(pendingRead_.size());
}

bool VirtualGenerator::AwaitsBulkData() const
{
    std::lock_guard lock(mutex_);
    return awaiting_ != Awaiting::Nothing;
}

std::int32_t VirtualGenerator::RequestCount() const
{
    std::lock_guard lock(mutex_);
    return static_cast<std::int32_t>(log_.size());
}

std::int32_t VirtualGenerator::Request(std::int32_t i, std::int32_t* function, std::int32_t* succeeded,
                                       std::uint8_t* bytes, std::int32_t capacity) const
{
    std::lock_guard lock(mutex_);
    if (i < 0 || static_cast<std::size_t>(i) >= log_.size())
        return -1;
    const LogEntry& entry = log_[static_cast<std::size_t>(i)];
    if (function != nullptr)
        *function = entry.function;
    if (succeeded != nullptr)
        *succeeded = entry.succeeded ? 1 : 0;
    if (bytes != nullptr && capacity > 0) {
        const auto n = std::min(entry.bytes.size(), static_cast<std::size_t>(capacity));
        std::memcpy(bytes, entry.bytes.data(), n);
    }
    return static_cast<std::int32_t>(entry.bytes.size());
}

void VirtualGenerator::ClearRequestLog()
{
    std::lock_guard lock(mutex_);
    log_.clear();
    logBytes_ = 0;
}

} // namespace vg
