// SPDX-License-Identifier: MIT
// The bytes a host may send to the virtual generator: command packets, bulk
// writes (sample data and configuration images) and reads, in any order.
#include "fuzz/FuzzInput.h"
#include "sim/VirtualGenerator.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tarn::fuzz::TFuzzInput input(data, size);
    vg::VirtualGenerator generator;
    const std::uint64_t session = generator.Attach();
    std::vector<std::uint8_t> buffer;
    while (!input.Empty()) {
        const std::uint8_t op = input.Take<std::uint8_t>();
        const std::size_t length = input.Take<std::uint16_t>() % 4096;
        switch (op % 6) {
        case 0: {
            const std::string_view bytes = input.Bytes(length);
            generator.SendCommands(session, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            break;
        }
        case 1: {
            const std::string_view bytes = input.Bytes(length);
            generator.BulkWrite(session, bytes.data(), bytes.size());
            break;
        }
        case 2:
            buffer.assign(length, 0);
            generator.BulkRead(session, buffer.data(), buffer.size());
            break;
        case 3:
            generator.Ready(session);
            break;
        case 4: {
            std::uint32_t packetSize = 0;
            generator.QueryPacketSize(session, packetSize);
            break;
        }
        case 5:
            // A large configuration image: announce it, then stream it in pieces.
            buffer.assign(length * 32, static_cast<std::uint8_t>(op));
            generator.BulkWrite(session, buffer.data(), buffer.size());
            break;
        }
    }
    return 0;
}
