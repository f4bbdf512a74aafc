// SPDX-License-Identifier: MIT
#include "usb/tests/FakeLibusb.h"

#include <libusb.h>

#include <algorithm>
#include <deque>
#include <map>
#include <memory>

struct libusb_context {
    int unused;
};
struct libusb_device {
    std::size_t index;
};
struct libusb_device_handle {
    std::size_t index;
};

namespace fakeusb {
namespace {

// A configuration descriptor with the storage its pointers refer to.
struct OwnedConfig {
    libusb_config_descriptor config{};
    std::vector<libusb_interface> interfaces;
    std::deque<libusb_interface_descriptor> settings;
    std::deque<std::vector<libusb_endpoint_descriptor>> endpoints;
};

struct Store {
    State state;
    std::map<const libusb_config_descriptor*, std::unique_ptr<OwnedConfig>> configs;
    libusb_context context{};
    std::deque<libusb_device> devices;
    std::deque<libusb_device_handle> handles;
    std::vector<std::vector<libusb_device*>> lists;
};

Store& TheStore()
{
    static Store store;
    return store;
}

} // namespace

State& Fake()
{
    return TheStore().state;
}

void Reset()
{
    Store& s = TheStore();
    s.state = State{};
    s.devices.clear();
    s.handles.clear();
    s.lists.clear();
    s.configs.clear();
}

} // namespace fakeusb

using fakeusb::Fake;
using fakeusb::OwnedConfig;
using fakeusb::TheStore;

extern "C" {

int libusb_init(libusb_context** context)
{
    ++Fake().inits;
    if (Fake().initResult != 0)
        return Fake().initResult;
    *context = &TheStore().context;
    return 0;
}

void libusb_exit(libusb_context*)
{
    ++Fake().exits;
}

ssize_t libusb_get_device_list(libusb_context*, libusb_device*** list)
{
    ++Fake().lists;
    if (Fake().listResult < 0)
        return Fake().listResult;
    auto& store = TheStore();
    std::vector<libusb_device*> entries;
    for (std::size_t i = 0; i < Fake().devices.size(); ++i)
        entries.push_back(&store.devices.emplace_back(libusb_device{i}));
    entries.push_back(nullptr);
    store.lists.push_back(std::move(entries));
    *list = store.lists.back().data();
    return static_cast<ssize_t>(Fake().devices.size());
}

void libusb_free_device_list(libusb_device**, int unref)
{
    ++Fake().freedLists;
    Fake().lastUnref = unref;
}

int libusb_get_device_descriptor(libusb_device* device, libusb_device_descriptor* descriptor)
{
    const fakeusb::Device& d = Fake().devices.at(device->index);
    if (d.descriptorFails)
        return LIBUSB_ERROR_IO;
    *descriptor = libusb_device_descriptor{};
    descriptor->idVendor = d.vendor;
    descriptor->idProduct = d.product;
    return 0;
}

int libusb_get_active_config_descriptor(libusb_device* device, libusb_config_descriptor** config)
{
    ++Fake().configs;
    const fakeusb::Device& d = Fake().devices.at(device->index);
    if (d.configFails)
        return LIBUSB_ERROR_IO;
    auto owned = std::make_unique<OwnedConfig>();
    for (const fakeusb::Interface& i : d.interfaces) {
        auto& endpoints = owned->endpoints.emplace_back();
        for (const fakeusb::Endpoint& e : i.endpoints) {
            libusb_endpoint_descriptor endpoint{};
            endpoint.bEndpointAddress = e.address;
            endpoint.bmAttributes = e.attributes;
            endpoint.wMaxPacketSize = static_cast<std::uint16_t>(d.maxPacketSize);
            endpoints.push_back(endpoint);
        }
        libusb_interface_descriptor& setting = owned->settings.emplace_back();
        setting = libusb_interface_descriptor{};
        setting.bInterfaceNumber = i.number;
        setting.bNumEndpoints = static_cast<std::uint8_t>(endpoints.size());
        setting.endpoint = endpoints.data();
        owned->interfaces.push_back(libusb_interface{&setting, 1});
    }
    owned->config.bNumInterfaces = static_cast<std::uint8_t>(owned->interfaces.size());
    owned->config.interface = owned->interfaces.data();
    *config = &owned->config;
    TheStore().configs.emplace(&owned->config, std::move(owned));
    return 0;
}

int libusb_get_config_descriptor(libusb_device* device, std::uint8_t index, libusb_config_descriptor** config)
{
    if (index != 0)
        return LIBUSB_ERROR_NOT_FOUND;
    return libusb_get_active_config_descriptor(device, config);
}

void libusb_free_config_descriptor(libusb_config_descriptor* config)
{
    if (config != nullptr && TheStore().configs.erase(config) == 1)
        ++Fake().freedConfigs;
}

int libusb_open(libusb_device* device, libusb_device_handle** handle)
{
    ++Fake().opens;
    const fakeusb::Device& d = Fake().devices.at(device->index);
    if (d.openResult != 0)
        return d.openResult;
    *handle = &TheStore().handles.emplace_back(libusb_device_handle{device->index});
    return 0;
}

void libusb_close(libusb_device_handle*)
{
    ++Fake().closes;
}

int libusb_set_auto_detach_kernel_driver(libusb_device_handle*, int enable)
{
    Fake().autoDetach = enable;
    return 0;
}

int libusb_claim_interface(libusb_device_handle* handle, int interface)
{
    ++Fake().claims;
    Fake().claimedInterface = interface;
    return Fake().devices.at(handle->index).claimResult;
}

int libusb_release_interface(libusb_device_handle*, int interface)
{
    ++Fake().releases;
    Fake().releasedInterface = interface;
    return 0;
}

int libusb_bulk_transfer(libusb_device_handle*, unsigned char endpoint, unsigned char* data, int length,
                         int* transferred, unsigned int timeout)
{
    fakeusb::Transfer t{endpoint, {}, length, timeout};
    if ((endpoint & LIBUSB_ENDPOINT_IN) == 0)
        t.bytes.assign(data, data + length);
    else
        std::fill(data, data + length, Fake().inFill);
    Fake().transfers.push_back(std::move(t));
    auto& halted = Fake().halted;
    if (Fake().stallNext > 0 && std::find(halted.begin(), halted.end(), endpoint) == halted.end()) {
        --Fake().stallNext;
        halted.push_back(endpoint);
    }
    if (std::find(halted.begin(), halted.end(), endpoint) != halted.end()) {
        *transferred = 0;
        return LIBUSB_ERROR_PIPE;
    }
    *transferred = Fake().bulkResult == 0 ? length - Fake().bulkShortBy : 0;
    return Fake().bulkResult;
}

int libusb_clear_halt(libusb_device_handle*, unsigned char endpoint)
{
    Fake().clearedHalts.push_back(endpoint);
    auto& halted = Fake().halted;
    halted.erase(std::remove(halted.begin(), halted.end(), endpoint), halted.end());
    return 0;
}

int libusb_control_transfer(libusb_device_handle*, uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                            unsigned char*, uint16_t length, unsigned int)
{
    Fake().controls.push_back({requestType, request, value, index, length});
    return Fake().controlResult;
}

int libusb_get_max_packet_size(libusb_device* device, unsigned char endpoint)
{
    Fake().maxPacketQueryEndpoint = endpoint;
    return Fake().devices.at(device->index).maxPacketSize;
}

uint8_t libusb_get_bus_number(libusb_device* device)
{
    return Fake().devices.at(device->index).bus;
}

uint8_t libusb_get_device_address(libusb_device* device)
{
    return Fake().devices.at(device->index).address;
}

} // extern "C"
