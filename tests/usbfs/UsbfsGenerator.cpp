// SPDX-License-Identifier: MIT
#include "tests/usbfs/UsbfsGenerator.h"

#include "usb/UsbIds.h"

#include <umockdev.h>

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tarn::usbfs {
namespace {

constexpr const char* kSysPath = "/sys/devices/usb1";

// Device descriptor, then one configuration: interface 0, vendor class, with
// a bulk OUT and a bulk (or interrupt) IN endpoint of the given packet size.
std::vector<std::uint8_t> Descriptors(std::uint16_t packetSize, bool bulkIn)
{
    const auto lo = [](unsigned v) { return static_cast<std::uint8_t>(v & 0xFF); };
    const auto hi = [](unsigned v) { return static_cast<std::uint8_t>(v >> 8); };
    const unsigned vendor = vireo::kGeneratorId.vendor, product = vireo::kGeneratorId.product;
    return {// device
            18, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 64, lo(vendor), hi(vendor), lo(product), hi(product), 0x00, 0x01, 0,
            0, 0, 1,
            // configuration, 32 bytes in all
            9, 0x02, 32, 0, 1, 1, 0, 0x80, 50,
            // interface 0, two endpoints
            9, 0x04, 0, 0, 2, 0xFF, 0x00, 0x00, 0,
            // endpoints
            7, 0x05, TUsbfsGenerator::kEndpointOut, 0x02, lo(packetSize), hi(packetSize), 0, //
            7, 0x05, TUsbfsGenerator::kEndpointIn, bulkIn ? std::uint8_t{0x02} : std::uint8_t{0x03}, lo(packetSize),
            hi(packetSize), 1};
}

std::string Hex(const std::vector<std::uint8_t>& bytes)
{
    std::string text;
    char digits[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", b);
        text += digits;
    }
    return text;
}

// Resolves a pointer-sized or struct argument into local memory (owned).
UMockdevIoctlData* Resolve(UMockdevIoctlData* data, std::size_t offset, std::size_t length)
{
    return umockdev_ioctl_data_resolve(data, offset, length, nullptr);
}

// Owns one reference to resolved client memory.
struct TDataRef {
    explicit TDataRef(UMockdevIoctlData* owned) : data(owned) {}
    TDataRef(const TDataRef&) = delete;
    TDataRef& operator=(const TDataRef&) = delete;
    ~TDataRef()
    {
        if (data != nullptr)
            g_object_unref(data);
    }
    UMockdevIoctlData* data;
};

} // namespace

TUsbfsGenerator::TUsbfsGenerator() : testbed_(umockdev_testbed_new()), handler_(umockdev_ioctl_base_new())
{
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&TUsbfsGenerator::HandleIoctl), this);
    g_signal_connect(handler_, "client-vanished",
                     G_CALLBACK(+[](UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
                         auto& generator = *static_cast<TUsbfsGenerator*>(self);
                         std::lock_guard lock(generator.mutex_);
                         generator.clients_.erase(client);
                         generator.out_.clear();
                         std::erase_if(generator.urbs_, [client](TUrb& urb) {
                             if (urb.client != client)
                                 return false;
                             g_object_unref(urb.data);
                             return true;
                         });
                     }),
                     this);
    umockdev_testbed_attach_ioctl(testbed_, kDevNode, handler_, nullptr);
}

TUsbfsGenerator::~TUsbfsGenerator()
{
    umockdev_testbed_detach_ioctl(testbed_, kDevNode, nullptr);
    for (TUrb& urb : urbs_)
        g_object_unref(urb.data);
    g_object_unref(handler_);
    g_object_unref(testbed_);
}

bool TUsbfsGenerator::InMockEnvironment()
{
    // umockdev_in_mock_environment() caches its first answer, which is no
    // while no test bed exists; that would silence the uevents for good.
    const char* preload = std::getenv("LD_PRELOAD");
    return preload != nullptr && std::strstr(preload, "libumockdev-preload") != nullptr;
}

void TUsbfsGenerator::Plug(std::uint16_t packetSize, bool bulkIn)
{
    {
        std::lock_guard lock(mutex_);
        if (plugged_)
            return;
        plugged_ = true;
    }
    model_.SetPacketSize(packetSize);
    model_.SetPlugged(true);
    const std::string record = std::string("P: /devices/usb1\n"
                                           "N: bus/usb/001/001\n"
                                           "E: SUBSYSTEM=usb\n"
                                           "E: DRIVER=usb\n"
                                           "E: BUSNUM=001\n"
                                           "E: DEVNUM=001\n"
                                           "E: DEVNAME=/dev/bus/usb/001/001\n"
                                           "E: DEVTYPE=usb_device\n"
                                           "A: bConfigurationValue=1\\n\n"
                                           "A: busnum=1\\n\n"
                                           "A: devnum=1\\n\n"
                                           "A: speed=480\\n\n"
                                           "A: dev=189:0\\n\n"
                                           "H: descriptors=")
                               + Hex(Descriptors(packetSize, bulkIn)) + "\n";
    umockdev_testbed_add_from_string(testbed_, record.c_str(), nullptr);
}

void TUsbfsGenerator::Unplug()
{
    {
        std::lock_guard lock(mutex_);
        if (!plugged_)
            return;
        plugged_ = false;
    }
    model_.SetPlugged(false);
    // This umockdev sends no uevent of its own on removal; libusb learns of
    // the unplug from it. The dev attribute lets the node go with the device.
    umockdev_testbed_uevent(testbed_, kSysPath, "remove");
    umockdev_testbed_remove_device(testbed_, kSysPath);
}

void TUsbfsGenerator::RefuseOpening()
{
    gchar* root = umockdev_testbed_get_root_dir(testbed_);
    const std::string node = std::string(root) + kDevNode;
    g_free(root);
    // Even root cannot open a directory for writing.
    unlink(node.c_str());
    mkdir(node.c_str(), 0700);
}

void TUsbfsGenerator::SetScatterGather(bool on)
{
    std::lock_guard lock(mutex_);
    scatterGather_ = on;
}

int TUsbfsGenerator::LargestUrb() const
{
    std::lock_guard lock(mutex_);
    return largestUrb_;
}

void TUsbfsGenerator::RefuseClaiming()
{
    std::lock_guard lock(mutex_);
    claimRefused_ = true;
}

void TUsbfsGenerator::FailNextTransfers(int count, TFault fault, int after)
{
    std::lock_guard lock(mutex_);
    faultAfter_ = after;
    faultCount_ = count;
    fault_ = fault;
}

std::map<unsigned long, int> TUsbfsGenerator::Ioctls() const
{
    std::lock_guard lock(mutex_);
    return ioctls_;
}

int TUsbfsGenerator::UnknownIoctls() const
{
    std::lock_guard lock(mutex_);
    return unknown_;
}

int TUsbfsGenerator::UrbsInFlight() const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(urbs_.size());
}

int TUsbfsGenerator::HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self)
{
    return static_cast<TUsbfsGenerator*>(self)->Handle(client) ? TRUE : FALSE;
}

bool TUsbfsGenerator::Handle(UMockdevIoctlClient* client)
{
    std::lock_guard lock(mutex_);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    ++ioctls_[request];

    // A handle opened before an unplug stays dead, as a kernel's does.
    const auto known = clients_.try_emplace(client, plugged_ ? model_.Attach() : 0).first;
    if (!plugged_ || known->second == 0 || known->second != model_.Attach()) {
        // Its URBs end with -ESHUTDOWN and can still be reaped. A kernel also
        // signals POLLERR on the node, which a file in the test bed cannot.
        const bool reap = request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY;
        const bool any =
            std::any_of(urbs_.begin(), urbs_.end(), [client](const TUrb& u) { return u.client == client; });
        if (!reap || !any) {
            umockdev_ioctl_client_complete(client, -1, ENODEV);
            return true;
        }
        for (TUrb& urb : urbs_) {
            if (urb.client != client || (urb.complete && !urb.outPending))
                continue;
            urb.outPending = false;
            urb.complete = true;
            urb.status = -ESHUTDOWN;
            urb.actualLength = 0;
        }
        out_.clear();
        Reap(client);
        return true;
    }
    session_ = known->second;

    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        TDataRef caps{Resolve(arg, 0, sizeof(std::uint32_t))};
        // As an xHCI host, or one without scatter-gather.
        const std::uint32_t value = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION
                                    | USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT
                                    | (scatterGather_ ? USBDEVFS_CAP_BULK_SCATTER_GATHER : 0u);
        std::memcpy(caps.data->data, &value, sizeof value);
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_RELEASEINTERFACE:
    case USBDEVFS_DISCONNECT_CLAIM: {
        // Each argument starts with the interface number.
        TDataRef number{Resolve(arg, 0, sizeof(unsigned int))};
        unsigned int interface = 0;
        std::memcpy(&interface, number.data->data, sizeof interface);
        const bool claim = request != USBDEVFS_RELEASEINTERFACE;
        const int error = interface != 0 ? EINVAL : claim && claimRefused_ ? EBUSY : 0;
        umockdev_ioctl_client_complete(client, error == 0 ? 0 : -1, error);
        return true;
    }
    case USBDEVFS_GETDRIVER:
    case USBDEVFS_IOCTL:
        // No kernel driver is bound to the interface: nothing to detach or re-attach.
        umockdev_ioctl_client_complete(client, -1, ENODATA);
        return true;
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
    case USBDEVFS_RESET:
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    case USBDEVFS_SUBMITURB:
        Submit(client);
        return true;
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
        Reap(client);
        return true;
    case USBDEVFS_DISCARDURB:
        Discard(client);
        return true;
    default:
        ++unknown_;
        std::fprintf(stderr, "usbfs emulation: ioctl 0x%lx not handled\n", request);
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
        return true;
    }
}

void TUsbfsGenerator::Submit(UMockdevIoctlClient* client)
{
    UMockdevIoctlData* urbData = Resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(usbdevfs_urb));
    if (urbData == nullptr) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
    const bool known =
        (urb->type == USBDEVFS_URB_TYPE_CONTROL && urb->endpoint == 0)
        || (urb->type == USBDEVFS_URB_TYPE_BULK && (urb->endpoint == kEndpointOut || urb->endpoint == kEndpointIn));
    if (!known || urb->buffer_length < 0) {
        g_object_unref(urbData);
        umockdev_ioctl_client_complete(client, -1, ENOENT);
        return;
    }
    TUrb entry{urbData, client};
    if ((urb->flags & USBDEVFS_URB_BULK_CONTINUATION) == 0)
        DeliverOut(); // the transfer gathered so far is whole
    if (urb->type == USBDEVFS_URB_TYPE_BULK)
        largestUrb_ = std::max(largestUrb_, urb->buffer_length);
    const bool faulty = faultCount_ > 0 && faultAfter_-- <= 0;
    if (faulty && fault_ == TFault::SubmitRefused) {
        --faultCount_;
        g_object_unref(urbData);
        umockdev_ioctl_client_complete(client, -1, EIO);
        return;
    }
    TDataRef buffer{Resolve(urbData, offsetof(usbdevfs_urb, buffer), static_cast<std::size_t>(urb->buffer_length))};
    if (buffer.data == nullptr) {
        g_object_unref(urbData);
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    if (faulty) {
        --faultCount_;
        // The device takes part and loses the exchange as the model does for a
        // failed request: a bulk write its data and announcement, a read the
        // replies waiting, a command request its packets.
        if (fault_ != TFault::NoAnswer) {
            std::vector<unsigned char> scratch(buffer.data->data, buffer.data->data + urb->buffer_length);
            model_.FailNextRequests(1);
            Transfer(entry, scratch.data());
            model_.FailNextRequests(0);
        }
        entry.complete = fault_ != TFault::NoAnswer;
        entry.status = fault_ == TFault::Stall ? -EPIPE : -EPROTO;
        entry.actualLength = 0;
    } else if (urb->endpoint == kEndpointOut) {
        entry.outPending = true;
        out_.insert(out_.end(), buffer.data->data, buffer.data->data + urb->buffer_length);
    } else {
        Transfer(entry, buffer.data->data);
    }
    urbs_.push_back(entry);
    umockdev_ioctl_client_complete(client, 0, 0);
}

void TUsbfsGenerator::Transfer(TUrb& entry, unsigned char* buffer)
{
    const auto* urb = reinterpret_cast<const usbdevfs_urb*>(entry.data->data);
    const auto length = static_cast<std::size_t>(urb->buffer_length);
    entry.complete = true;
    entry.status = -EPIPE; // what the device does not understand, it stalls
    if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
        // Only GET_STATUS to the device: the ready test.
        constexpr std::size_t kSetup = 8;
        const unsigned wLength = buffer[6] | buffer[7] << 8;
        if (length >= kSetup + 2 && buffer[0] == 0x80 && buffer[1] == 0x00 && wLength >= 2 && model_.Ready(session_)) {
            buffer[kSetup] = 0;
            buffer[kSetup + 1] = 0;
            entry.status = 0;
            entry.actualLength = 2;
        }
        return;
    }
    if (urb->endpoint == kEndpointOut) {
        const bool ok = model_.AwaitsBulkData() ? model_.BulkWrite(session_, buffer, length)
                                                : model_.SendCommands(session_, buffer, length);
        if (ok) {
            entry.status = 0;
            entry.actualLength = urb->buffer_length;
        }
        return;
    }
    // Bulk IN: what is waiting, up to the length asked; with nothing waiting
    // the device answers NAK until the host gives up.
    const auto waiting = static_cast<std::size_t>(model_.PendingReadBytes());
    if (waiting == 0) {
        entry.complete = false;
        return;
    }
    const std::size_t count = std::min(length, waiting);
    if (model_.BulkRead(session_, buffer, count)) {
        entry.status = 0;
        entry.actualLength = static_cast<int>(count);
    }
}

void TUsbfsGenerator::DeliverOut()
{
    if (std::none_of(urbs_.begin(), urbs_.end(), [](const TUrb& u) { return u.outPending; }))
        return;
    const bool ok = model_.AwaitsBulkData() ? model_.BulkWrite(session_, out_.data(), out_.size())
                                            : model_.SendCommands(session_, out_.data(), out_.size());
    out_.clear();
    for (TUrb& urb : urbs_) {
        if (!urb.outPending)
            continue;
        urb.outPending = false;
        urb.complete = true;
        urb.status = ok ? 0 : -EPIPE;
        urb.actualLength = ok ? reinterpret_cast<const usbdevfs_urb*>(urb.data->data)->buffer_length : 0;
    }
}

void TUsbfsGenerator::Reap(UMockdevIoctlClient* client)
{
    DeliverOut();
    const auto done =
        std::find_if(urbs_.begin(), urbs_.end(), [client](const TUrb& u) { return u.client == client && u.complete; });
    if (done == urbs_.end()) {
        umockdev_ioctl_client_complete(client, -1, EAGAIN);
        return;
    }
    auto* urb = reinterpret_cast<usbdevfs_urb*>(done->data->data);
    urb->status = done->status;
    urb->actual_length = done->actualLength;
    TDataRef pointer{Resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(void*))};
    umockdev_ioctl_data_set_ptr(pointer.data, 0, done->data);
    g_object_unref(done->data);
    urbs_.erase(done);
    umockdev_ioctl_client_complete(client, 0, 0);
}

void TUsbfsGenerator::Discard(UMockdevIoctlClient* client)
{
    // The argument is the client's URB address itself.
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    gulong address = 0;
    std::memcpy(&address, arg->data, sizeof address);
    const auto found = std::find_if(urbs_.begin(), urbs_.end(), [&](const TUrb& u) {
        return u.client == client && !u.complete && u.data->client_addr == address;
    });
    if (found == urbs_.end()) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    found->complete = true;
    found->status = -ENOENT;
    found->actualLength = 0;
    umockdev_ioctl_client_complete(client, 0, 0);
}

} // namespace tarn::usbfs
