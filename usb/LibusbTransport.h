// SPDX-License-Identifier: MIT
// The hardware backend: the generator's interface 0 through libusb-1.0.
#pragma once
#include "usb/Transport.h"

#include <cstdint>

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;
struct libusb_config_descriptor;

namespace vireo {

// The configuration descriptor calls, which only serve to find the bulk
// endpoints. Null members: that call is not available in the libusb at hand.
struct ConfigDescriptorCalls {
    int (*active)(libusb_device*, libusb_config_descriptor**);
    int (*byIndex)(libusb_device*, std::uint8_t, libusb_config_descriptor**);
    void (*release)(libusb_config_descriptor*);

    // The calls of the libusb this library was loaded with.
    static ConfigDescriptorCalls Linked();
};

class LibusbTransport final : public Transport {
public:
    explicit LibusbTransport(ConfigDescriptorCalls calls = ConfigDescriptorCalls::Linked()) : calls_(calls) {}
    ~LibusbTransport() override;

    std::int32_t Open() override;
    void Close() override;
    bool SendCommands(const std::uint8_t* data, std::size_t size) override;
    bool BulkWrite(const void* data, std::size_t size) override;
    bool BulkRead(void* data, std::size_t size) override;
    bool Ready() override;
    bool QueryPacketSize(std::uint32_t& size) override;
    Description Describe() const override;

private:
    bool Bulk(unsigned char endpoint, unsigned char* data, std::size_t size);

    ConfigDescriptorCalls calls_;
    libusb_context* context_ = nullptr;
    // Kept alive by the open handle's own reference.
    libusb_device* device_ = nullptr;
    libusb_device_handle* handle_ = nullptr;
    unsigned char endpointOut_ = 0;
    unsigned char endpointIn_ = 0;
};

} // namespace vireo
