// SPDX-License-Identifier: MIT
// A transport that records every request and answers from a script, so the
// packet logic can be checked byte for byte.
#pragma once
#include "usb/Transport.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace vireo::test {

struct Request {
    int function; // 6, 7, 9, 10, 11
    std::vector<std::uint8_t> bytes;
    std::size_t size; // as asked (reads)
};

class RecordingTransport : public Transport {
public:
    std::int32_t Open() override
    {
        ++opens;
        return openResult;
    }
    void Close() override { ++closes; }
    bool SendCommands(const std::uint8_t* data, std::size_t size) override
    {
        requests.push_back({6, {data, data + size}, size});
        return Outcome();
    }
    bool BulkWrite(const void* data, std::size_t size) override
    {
        const auto* b = static_cast<const std::uint8_t*>(data);
        requests.push_back(
            {7, b != nullptr ? std::vector<std::uint8_t>(b, b + size) : std::vector<std::uint8_t>{}, size});
        return Outcome();
    }
    bool BulkRead(void* data, std::size_t size) override
    {
        requests.push_back({9, {}, size});
        if (!Outcome())
            return false;
        auto* out = static_cast<std::uint8_t*>(data);
        for (std::size_t i = 0; i < size; ++i) {
            out[i] = readData.empty() ? 0xEE : readData.front();
            if (!readData.empty())
                readData.pop_front();
        }
        return true;
    }
    bool Ready() override
    {
        requests.push_back({10, {}, 0});
        return Outcome();
    }
    bool QueryPacketSize(std::uint32_t& size) override
    {
        requests.push_back({11, {}, 4});
        if (!Outcome())
            return false;
        size = packetSize;
        return true;
    }

    // Fails the requests whose functions are listed (6, 7, 9, 10, 11).
    std::vector<int> failing;
    std::deque<std::uint8_t> readData;
    std::vector<Request> requests;
    std::int32_t openResult = kInitOk;
    std::uint32_t packetSize = 64;
    int opens = 0;
    int closes = 0;

private:
    bool Outcome() const
    {
        for (int f : failing)
            if (f == requests.back().function)
                return false;
        return true;
    }
};

} // namespace vireo::test
