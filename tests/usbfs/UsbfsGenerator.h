// SPDX-License-Identifier: MIT
// The generator emulated at the Linux usbfs level: a umockdev test bed with
// one USB device carrying the generator's ids and descriptors, and an ioctl
// handler that serves the usbfs requests libusb issues. Bulk and control
// traffic is answered by a VirtualGenerator model. Works only in a process
// started under umockdev-wrapper (libumockdev-preload.so.0 preloaded).
#pragma once
#include "sim/VirtualGenerator.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace tarn::usbfs {

// How the next transfers go wrong at the bus.
enum class TFault {
    SubmitRefused, // the submit ioctl itself fails (EIO)
    Stall,         // reaped with -EPIPE
    Error,         // reaped with -EPROTO
    NoAnswer,      // never completes; the host's timeout discards it
};

class TUsbfsGenerator {
public:
    // Bulk endpoints 0x01 (OUT) and 0x81 (IN) on interface 0.
    static constexpr unsigned char kEndpointOut = 0x01;
    static constexpr unsigned char kEndpointIn = 0x81;
    static constexpr const char* kDevNode = "/dev/bus/usb/001/001";

    // An empty test bed; nothing is plugged in.
    TUsbfsGenerator();
    ~TUsbfsGenerator();
    TUsbfsGenerator(const TUsbfsGenerator&) = delete;
    TUsbfsGenerator& operator=(const TUsbfsGenerator&) = delete;

    // True when this process runs with umockdev's preload library.
    static bool InMockEnvironment();

    // Adds the device with both bulk endpoints of this packet size; the model
    // reports the same size. Plugging in is a power cycle of the model.
    // Without bulkIn the IN endpoint is an interrupt one.
    void Plug(std::uint16_t packetSize = 64, bool bulkIn = true);
    // Removes the device (with its uevent); every later request fails with ENODEV.
    void Unplug();
    // Whether the host controller does scatter-gather (as xHCI does); without
    // it libusb splits bulk transfers into URBs of 16 KiB. Before opening.
    void SetScatterGather(bool on);
    // The device node is replaced by something opening refuses.
    void RefuseOpening();
    // Claiming interface 0 fails as when another program holds it (EBUSY).
    void RefuseClaiming();
    // After `after` more transfers have gone through, the next count bulk or
    // control transfers fail this way. Data the device sent on a failed IN
    // transfer is lost, as on the wire.
    void FailNextTransfers(int count, TFault fault, int after = 0);

    vg::VirtualGenerator& Model() { return model_; }
    // How often each ioctl request arrived, whether handled or not.
    std::map<unsigned long, int> Ioctls() const;
    // Requests this handler does not know (answered ENOTTY).
    int UnknownIoctls() const;
    // URBs submitted and not yet reaped or discarded.
    int UrbsInFlight() const;
    // The longest bulk URB so far, in bytes.
    int LargestUrb() const;

private:
    struct TUrb {
        UMockdevIoctlData* data = nullptr; // our reference to the client's usbdevfs_urb
        UMockdevIoctlClient* client = nullptr;
        bool complete = false;
        bool outPending = false; // part of the OUT transfer being gathered
        int status = 0;
        int actualLength = 0;
    };

    static int HandleIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
    bool Handle(UMockdevIoctlClient* client);
    void Submit(UMockdevIoctlClient* client);
    void Reap(UMockdevIoctlClient* client);
    void Discard(UMockdevIoctlClient* client);
    // Runs the transfer against the model; fills status and length.
    void Transfer(TUrb& urb, unsigned char* buffer);
    // Hands the gathered OUT transfer to the model and completes its URBs.
    void DeliverOut();

    vg::VirtualGenerator model_;
    UMockdevTestbed* testbed_ = nullptr;
    UMockdevIoctlBase* handler_ = nullptr;
    std::string sysPath_;

    mutable std::mutex mutex_;
    bool plugged_ = false;
    // The model's session of each open handle; 0 or stale after an unplug.
    std::map<UMockdevIoctlClient*, std::uint64_t> clients_;
    std::uint64_t session_ = 0; // of the request being handled
    std::deque<TUrb> urbs_;
    // The device sees one byte stream; the model takes transfers whole. URBs
    // of one transfer are gathered until the host reaps or starts another.
    std::vector<std::uint8_t> out_;
    bool scatterGather_ = true;
    bool claimRefused_ = false;
    int largestUrb_ = 0;
    int faultAfter_ = 0;
    int faultCount_ = 0;
    TFault fault_ = TFault::Error;
    std::map<unsigned long, int> ioctls_;
    int unknown_ = 0;
};

} // namespace tarn::usbfs
