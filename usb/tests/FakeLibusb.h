// SPDX-License-Identifier: MIT
// A scriptable stand-in for the part of libusb-1.0 the hardware backend uses,
// linked into the test in place of the real library.
#pragma once
#include <cstdint>
#include <vector>

namespace fakeusb {

struct Endpoint {
    std::uint8_t address;
    std::uint8_t attributes; // transfer type in bits 1..0
};

struct Interface {
    std::uint8_t number;
    std::vector<Endpoint> endpoints; // of its first alternate setting
};

// Interface 0 with an interrupt endpoint ahead of its bulk pair, so a backend
// that guesses endpoint numbers gets them wrong.
inline std::vector<Interface> GeneratorInterfaces()
{
    return {{0, {{0x83, 3}, {0x86, 2}, {0x02, 2}}}};
}

struct Device {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    bool descriptorFails = false;
    bool configFails = false;
    std::vector<Interface> interfaces = GeneratorInterfaces();
    int openResult = 0;
    int claimResult = 0;
    int maxPacketSize = 64;
    std::uint8_t bus = 3;
    std::uint8_t address = 117;
};

struct Transfer {
    unsigned char endpoint;
    std::vector<std::uint8_t> bytes; // OUT: what was sent
    int length;
    unsigned int timeout;
};

struct Control {
    std::uint8_t requestType;
    std::uint8_t request;
    std::uint16_t value;
    std::uint16_t index;
    std::uint16_t length;
};

struct State {
    int initResult = 0;
    long listResult = 0; // negative: the list cannot be read; else the devices below
    std::vector<Device> devices;
    int bulkResult = 0;
    int bulkShortBy = 0;
    std::uint8_t inFill = 0x5A;
    int controlResult = 2;
    int maxPacketQueryEndpoint = -1;
    // The next bulk transfers stall (LIBUSB_ERROR_PIPE); a stalled endpoint
    // stays halted, failing every transfer, until libusb_clear_halt.
    int stallNext = 0;
    std::vector<unsigned char> halted;
    std::vector<unsigned char> clearedHalts;

    int inits = 0, exits = 0, lists = 0, freedLists = 0, lastUnref = -1;
    int configs = 0, freedConfigs = 0;
    int opens = 0, closes = 0, claims = 0, releases = 0, autoDetach = -1;
    int claimedInterface = -1, releasedInterface = -1;
    std::vector<Transfer> transfers;
    std::vector<Control> controls;
};

// Cleared to defaults: no devices, every call succeeds.
State& Fake();
void Reset();

} // namespace fakeusb
