#include "usb/LibusbTransport.h"

#include "usb/UsbIds.h"

#include <libusb.h>

#include <climits>

namespace vireo {

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
    if (found == nullptr) {
        result = unreadable ? kInitDetailUnavailable : kInitNoDevice;
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
    return rc == 0 && transferred == length;
}

bool LibusbTransport::SendCommands(const std::uint8_t* data, std::size_t size)
{
    // libusb never writes into an OUT buffer.
    return Bulk(kEndpointOut, const_cast<std::uint8_t*>(data), size);
}

bool LibusbTransport::BulkWrite(const void* data, std::size_t size)
{
    return Bulk(kEndpointOut, static_cast<unsigned char*>(const_cast<void*>(data)), size);
}

bool LibusbTransport::BulkRead(void* data, std::size_t size)
{
    return Bulk(kEndpointIn, static_cast<unsigned char*>(data), size);
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
    return rc == static_cast<int>(sizeof status);
}

bool LibusbTransport::QueryPacketSize(std::uint32_t& size)
{
    if (device_ == nullptr)
        return false;
    const int rc = libusb_get_max_packet_size(device_, kEndpointOut);
    if (rc < 0)
        return false;
    size = static_cast<std::uint32_t>(rc);
    return true;
}

} // namespace vireo
