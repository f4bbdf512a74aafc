// SPDX-License-Identifier: MIT
#include "usb/LibusbTransport.h"

#include "usb/UsbIds.h"

#include <libusb.h>

#include <climits>
#include <cstdio>
#include <memory>

namespace vireo {
namespace {

struct Endpoints {
    unsigned char out = 0; // 0 is the control endpoint, never a bulk one
    unsigned char in = 0;
};

constexpr Endpoints kFixedEndpoints{0x01, 0x81};

// Null when the descriptor cannot be read.
libusb_config_descriptor* ReadConfiguration(libusb_device* device, const ConfigDescriptorCalls& calls)
{
    libusb_config_descriptor* config = nullptr;
    if (calls.active != nullptr && calls.active(device, &config) == 0 && config != nullptr)
        return config;
    config = nullptr;
    if (calls.byIndex != nullptr && calls.byIndex(device, 0, &config) == 0)
        return config;
    return nullptr;
}

// The first bulk endpoint each way of our interface's default setting; false
// when the descriptors cannot be read or do not have both. Without descriptor
// calls the generator's fixed endpoint addresses are taken.
bool FindEndpoints(libusb_device* device, const ConfigDescriptorCalls& calls, Endpoints& found)
{
    if (calls.release == nullptr || (calls.active == nullptr && calls.byIndex == nullptr)) {
        found = kFixedEndpoints;
        return true;
    }
    libusb_config_descriptor* config = ReadConfiguration(device, calls);
    if (config == nullptr)
        return false;
    const std::unique_ptr<libusb_config_descriptor, void (*)(libusb_config_descriptor*)> owner(config, calls.release);
    for (int i = 0; i < config->bNumInterfaces; ++i) {
        const libusb_interface& entry = config->interface[i];
        if (entry.num_altsetting < 1 || entry.altsetting[0].bInterfaceNumber != kInterface)
            continue;
        const libusb_interface_descriptor& setting = entry.altsetting[0];
        for (int e = 0; e < setting.bNumEndpoints; ++e) {
            const libusb_endpoint_descriptor& endpoint = setting.endpoint[e];
            if ((endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK)
                continue;
            unsigned char& slot = (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0 ? found.in : found.out;
            if (slot == 0)
                slot = endpoint.bEndpointAddress;
        }
    }
    return found.out != 0 && found.in != 0;
}

} // namespace

// Only the device list, open, claim and transfer calls are needed to talk to
// the generator. The configuration descriptor calls are referenced weakly, so
// that a libusb without them still loads this library.
#pragma weak libusb_get_active_config_descriptor
#pragma weak libusb_get_config_descriptor
#pragma weak libusb_free_config_descriptor

ConfigDescriptorCalls ConfigDescriptorCalls::Linked()
{
    ConfigDescriptorCalls calls{};
    if (libusb_get_active_config_descriptor != nullptr)
        calls.active = [](libusb_device* d, libusb_config_descriptor** c) {
            return libusb_get_active_config_descriptor(d, c);
        };
    if (libusb_get_config_descriptor != nullptr)
        calls.byIndex = [](libusb_device* d, std::uint8_t i, libusb_config_descriptor** c) {
            return libusb_get_config_descriptor(d, i, c);
        };
    if (libusb_free_config_descriptor != nullptr)
        calls.release = [](libusb_config_descriptor* c) { libusb_free_config_descriptor(c); };
    return calls;
}

LibusbTransport::~LibusbTransport()
{
    Close();
    if (context_ != nullptr)
        libusb_exit(context_);
}

void LibusbTransport::Close()
{
    if (handle_ != nullptr) {
        libusb_release_interface(handle_, kInterface);
        libusb_close(handle_);
    }
    handle_ = nullptr;
    device_ = nullptr;
    endpointOut_ = 0;
    endpointIn_ = 0;
}

std::int32_t LibusbTransport::Open()
{
    Close();
    if (context_ == nullptr && libusb_init(&context_) != 0) {
        context_ = nullptr;
        return kInitEnumerationFailed;
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context_, &list);
    if (count < 0 || list == nullptr)
        return kInitEnumerationFailed;

    libusb_device* found = nullptr;
    bool unreadable = false;
    for (ssize_t i = 0; i < count && found == nullptr; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) != 0)
            unreadable = true; // might have been ours
        else if (descriptor.idVendor == kGeneratorId.vendor && descriptor.idProduct == kGeneratorId.product)
            found = list[i];
    }

    std::int32_t result = kInitOk;
    libusb_device_handle* handle = nullptr;
    Endpoints endpoints;
    if (found == nullptr) {
        result = unreadable ? kInitDetailUnavailable : kInitNoDevice;
    } else if (!FindEndpoints(found, calls_, endpoints)) {
        result = kInitDetailUnavailable;
    } else if (libusb_open(found, &handle) != 0 || handle == nullptr) {
        handle = nullptr;
        result = kInitOpenFailed;
    } else {
        // Not every platform can detach; claiming then tells whether it mattered.
        libusb_set_auto_detach_kernel_driver(handle, 1);
        if (libusb_claim_interface(handle, kInterface) != 0) {
            libusb_close(handle);
            handle = nullptr;
            result = kInitNoHandle;
        }
    }
    libusb_free_device_list(list, 1);
    if (result == kInitOk) {
        handle_ = handle;
        device_ = found;
        endpointOut_ = endpoints.out;
        endpointIn_ = endpoints.in;
    }
    return result;
}

bool LibusbTransport::Bulk(unsigned char endpoint, unsigned char* data, std::size_t size)
{
    if (size == 0)
        return true; // nothing to move; a zero-length packet would mean something else
    if (handle_ == nullptr || data == nullptr || size > static_cast<std::size_t>(INT_MAX))
        return false;
    const auto length = static_cast<int>(size);
    const unsigned int timeout = kBulkTimeoutMs + static_cast<unsigned int>(size / kBulkBytesPerMs);
    int transferred = 0;
    const int rc = libusb_bulk_transfer(handle_, endpoint, data, length, &transferred, timeout);
    // A stalled endpoint stays halted, failing every later transfer, until the
    // halt is cleared; this transfer is lost and still fails.
    if (rc == LIBUSB_ERROR_PIPE)
        libusb_clear_halt(handle_, endpoint);
    return rc == 0 && transferred == length;
}

bool LibusbTransport::SendCommands(const std::uint8_t* data, std::size_t size)
{
    // libusb never writes into an OUT buffer.
    return Bulk(endpointOut_, const_cast<std::uint8_t*>(data), size);
}

bool LibusbTransport::BulkWrite(const void* data, std::size_t size)
{
    return Bulk(endpointOut_, static_cast<unsigned char*>(const_cast<void*>(data)), size);
}

bool LibusbTransport::BulkRead(void* data, std::size_t size)
{
    return Bulk(endpointIn_, static_cast<unsigned char*>(data), size);
}

bool LibusbTransport::Ready()
{
    if (handle_ == nullptr)
        return false;
    unsigned char status[2] = {0, 0};
    constexpr auto kRequestType = static_cast<std::uint8_t>(
        unsigned{LIBUSB_ENDPOINT_IN} | unsigned{LIBUSB_REQUEST_TYPE_STANDARD} | unsigned{LIBUSB_RECIPIENT_DEVICE});
    const int rc = libusb_control_transfer(handle_, kRequestType, LIBUSB_REQUEST_GET_STATUS, 0, 0, status,
                                           sizeof status, kControlTimeoutMs);
    // The request's success is the answer; the status bits themselves do not matter.
    return rc >= 0;
}

bool LibusbTransport::QueryPacketSize(std::uint32_t& size)
{
    if (device_ == nullptr)
        return false;
    const int rc = libusb_get_max_packet_size(device_, endpointOut_);
    if (rc < 0)
        return false;
    size = static_cast<std::uint32_t>(rc);
    return true;
}

Description LibusbTransport::Describe() const
{
    Description description{"usb", {}};
    if (device_ != nullptr) {
        char where[40];
        std::snprintf(where, sizeof where, "bus %03u device %03u", unsigned{libusb_get_bus_number(device_)},
                      unsigned{libusb_get_device_address(device_)});
        description.detail = where;
    }
    return description;
}

} // namespace vireo
