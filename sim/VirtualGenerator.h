// SPDX-License-Identifier: MIT
// A model of the generator behind the five USB requests: it decodes the
// command packets into a register file, a sample memory, an EEPROM, power and
// a configuration of the programmable logic, and queues the replies that the
// next bulk reads return. One instance stands for one physical device.
#pragma once
#include "sim/ClockHistory.h"
#include "sim/GeneratorState.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace vg {

class VirtualGenerator {
public:
    static constexpr std::size_t kRegisterCount = 256;
    static constexpr std::size_t kSampleWords = 16384;
    static constexpr std::size_t kEepromSize = 512;
    static constexpr std::uint32_t kDefaultPacketSize = 64;
    static constexpr std::int32_t kDefaultDeviceId = 1;
    static constexpr std::size_t kLogEntries = 65536;
    static constexpr std::size_t kLogBytes = 64u << 20;
    // Most reply bytes waiting at once, as a device's output buffer holds.
    static constexpr std::size_t kMaxPendingReadBytes = 1u << 20;
    // The sample data port and the register holding the first word to write.
    static constexpr std::uint8_t kSamplePort = 11;
    static constexpr std::uint8_t kWriteStart = 13;
    // The control word and its bits the bench reacts to.
    static constexpr std::uint8_t kControl = 10;
    static constexpr std::uint16_t kTriggerOnBit = 1;
    static constexpr std::uint16_t kPulseBit = 8;

    struct LogEntry {
        std::int32_t function;
        bool succeeded;
        std::vector<std::uint8_t> bytes;
    };

    VirtualGenerator();
    VirtualGenerator(const VirtualGenerator&) = delete;
    VirtualGenerator& operator=(const VirtualGenerator&) = delete;

    // Opening: a session id that the requests must carry, 0 when unplugged.
    // Unplugging ends every session, as a real re-enumeration would.
    std::uint64_t Attach();

    bool SendCommands(std::uint64_t session, const std::uint8_t* data, std::size_t size);
    bool BulkWrite(std::uint64_t session, const void* data, std::size_t size);
    bool BulkRead(std::uint64_t session, void* data, std::size_t size);
    bool Ready(std::uint64_t session);
    bool QueryPacketSize(std::uint64_t session, std::uint32_t& size);

    // Inspection and fault injection.
    void Reset();
    std::int32_t Register(std::int32_t reg) const;
    std::int32_t RegisterWriteCount(std::int32_t reg) const;
    std::int32_t SampleWord(std::int32_t index) const;
    std::int32_t CopySamples(std::uint16_t* dest, std::int32_t count) const;
    std::int32_t EepromByte(std::int32_t address) const;
    void SetEepromByte(std::int32_t address, std::int32_t value);
    std::int32_t Power() const;
    void SetDeviceId(std::int32_t id);
    std::int32_t ConfigurationCount() const;
    std::int32_t Configured() const;
    void SetPacketSize(std::int32_t size);
    void SetPlugged(bool plugged);
    void FailNextRequests(std::int32_t n);
    // The n requests that follow the next after ones fail.
    void FailRequestsAfter(std::int32_t after, std::int32_t n);
    std::int32_t PendingFailures() const;
    // n >= 0: the request after the next n finds the device unplugged; n < 0 disarms.
    void UnplugAfterRequests(std::int32_t n);
    std::int32_t UnplugCountdown() const;
    bool Plugged() const;
    std::int32_t ProtocolErrorCount() const;
    std::int32_t PendingReadBytes() const;
    // Whether the next bulk OUT transfer carries announced data (after a 0x20
    // or 0x29 packet) rather than command packets: a device on the bus tells
    // the two apart only this way.
    bool AwaitsBulkData() const;
    std::int32_t RequestCount() const;
    std::int32_t Request(std::int32_t i, std::int32_t* function, std::int32_t* succeeded, std::uint8_t* bytes,
                         std::int32_t capacity) const;
    void ClearRequestLog();

    // The test bench around the device (VirtualGeneratorBench.cpp): a copy of
    // what the analog side reads, and an edge on the trigger input, which
    // fires a shot while external triggering is on.
    GeneratorState State() const;
    void TriggerIn();
    // The sample clock's switches from `from` on (see ClockHistory::Since).
    std::vector<ClockStep> ClockSteps(Clock::time_point from) const;

private:
    enum class Awaiting { Nothing, Configuration, FifoData };

    // Everything a power cycle loses; the EEPROM and the device id survive.
    void PowerCycle();
    bool Admit(std::uint64_t session);
    void Log(std::int32_t function, bool succeeded, const std::uint8_t* bytes, std::size_t size);
    void Decode(const std::uint8_t* packet);
    void Query(std::uint16_t index, std::uint8_t selector);
    void QueueFifoRead(std::uint8_t reg, std::uint16_t count);
    bool Fits(std::size_t replyBytes);
    void QueueReply(std::uint32_t littleEndian);
    void ReceiveConfiguration(const std::uint8_t* data, std::size_t size, bool countMatches);
    void ReceiveSamples(const std::uint8_t* data, std::size_t size);
    void ProtocolError() { ++protocolErrors_; }

    mutable std::mutex mutex_;
    std::array<std::uint16_t, kRegisterCount> registers_{};
    std::array<std::int32_t, kRegisterCount> writeCounts_{};
    std::array<std::uint16_t, kSampleWords> samples_{};
    std::array<std::uint8_t, kEepromSize> eeprom_{};
    std::size_t writePointer_ = 0;
    bool eepromUnlocked_ = false;
    bool power_ = true;
    std::int32_t deviceId_ = kDefaultDeviceId;
    std::uint32_t packetSize_ = kDefaultPacketSize;
    bool plugged_ = true;
    std::uint64_t session_ = 1;
    std::int32_t failNext_ = 0;
    std::int32_t failAfter_ = 0;
    std::int32_t unplugAfter_ = -1;
    std::int32_t configurationCount_ = 0;
    bool configured_ = false;
    Awaiting awaiting_ = Awaiting::Nothing;
    std::uint16_t awaitedPackets_ = 0;
    std::uint8_t awaitedRegister_ = 0;
    std::deque<std::uint8_t> pendingRead_;
    std::int32_t protocolErrors_ = 0;
    std::int32_t shots_ = 0;
    ClockHistory clock_;
    std::deque<LogEntry> log_;
    std::size_t logBytes_ = 0;
};

// The default EEPROM: an erased first page and a valid calibration page.
std::array<std::uint8_t, VirtualGenerator::kEepromSize> DefaultEeprom();

} // namespace vg
