// SPDX-License-Identifier: MIT
// The five requests the generator's USB side serves, as one seam with a
// hardware backend (libusb) and a virtual one (sim/).
#pragma once
#include <cstddef>
#include <cstdint>

#include "usb/TransportText.h"

namespace vireo {

// Results of opening the device; USBInitDevice returns them unchanged.
enum InitResult : std::int32_t {
    kInitOk = 0,
    kInitDetailUnavailable = 513, // device descriptors unreadable
    kInitOpenFailed = 514,        // open refused (permission included)
    kInitNoHandle = 515,          // interface could not be claimed
    kInitNoDevice = 516,          // no device with our ids
    kInitEnumerationFailed = 517, // USB stack or device list unavailable
};

class Transport {
public:
    Transport() = default;
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;
    virtual ~Transport() = default;

    // Drops any open device, then finds and opens the first one; an InitResult.
    virtual std::int32_t Open() = 0;
    virtual void Close() = 0;

    // Request 6: the queued command packets.
    virtual bool SendCommands(const std::uint8_t* data, std::size_t size) = 0;
    // Request 7: bulk data to the device.
    virtual bool BulkWrite(const void* data, std::size_t size) = 0;
    // Request 9: exactly size bytes from the device; a short read fails.
    virtual bool BulkRead(void* data, std::size_t size) = 0;
    // Request 10.
    virtual bool Ready() = 0;
    // Request 11.
    virtual bool QueryPacketSize(std::uint32_t& size) = 0;

    // The device the last Open reached; nothing known before.
    virtual Description Describe() const { return {}; }
};

} // namespace vireo
