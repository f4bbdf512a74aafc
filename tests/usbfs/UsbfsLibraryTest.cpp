// SPDX-License-Identifier: MIT
// The hardware libvireo.so, unchanged, through the real libusb and usbfs
// ioctls answered by the emulated generator.
#include "data/ConfigurationImage.h"
#include "tests/usbfs/HardwareLibrary.h"
#include "tests/usbfs/UsbfsGenerator.h"
#include "usb/Transport.h"

#include <gtest/gtest.h>

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>

#include <chrono>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <thread>
#include <vector>

namespace tarn::usbfs {
namespace {

int g_failures = 0;
void CountFailure(int32_t)
{
    ++g_failures;
}

class UsbfsLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!TUsbfsGenerator::InMockEnvironment())
            GTEST_SKIP() << "needs umockdev's preload library: run under umockdev-wrapper";
        FreshBed();
        ASSERT_TRUE(library->Loaded()) << dlerror();
    }
    // A new test bed and a newly loaded library, so a new libusb scans it.
    void FreshBed()
    {
        // One test bed at a time: the old one's end clears the new one's environment.
        library.reset();
        generator.reset();
        generator = std::make_unique<TUsbfsGenerator>();
        library = std::make_unique<THardwareLibrary>();
        g_failures = 0;
        library->USBSetCallBackFunction(&CountFailure);
    }
    void TearDown() override
    {
        // Unloading releases the interface and ends libusb before the test bed goes.
        library.reset();
        if (generator) {
            EXPECT_EQ(generator->UnknownIoctls(), 0);
        }
        generator.reset();
    }
    vg::VirtualGenerator& Model() { return generator->Model(); }
    // Bytes of every request of this function the model received, in order.
    std::vector<std::vector<std::uint8_t>> Received(int function) const
    {
        std::vector<std::vector<std::uint8_t>> all;
        const vg::VirtualGenerator& model = generator->Model();
        for (int i = 0; i < model.RequestCount(); ++i) {
            int f = 0, ok = 0;
            const int size = model.Request(i, &f, &ok, nullptr, 0);
            std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
            model.Request(i, &f, &ok, bytes.data(), size);
            if (f == function && ok != 0)
                all.push_back(bytes);
        }
        return all;
    }

    std::unique_ptr<TUsbfsGenerator> generator;
    std::unique_ptr<THardwareLibrary> library;
};

TEST_F(UsbfsLibrary, OpeningFindsTheDeviceOrSaysWhyNot)
{
    struct Case {
        const char* name;
        std::function<void(TUsbfsGenerator&)> bed;
        std::int32_t result;
        // What libusb asks of the device node from opening to unloading.
        std::set<unsigned long> requests;
    };
    const std::set<unsigned long> openClaimUseRelease = {USBDEVFS_GET_CAPABILITIES, USBDEVFS_DISCONNECT_CLAIM,
                                                         USBDEVFS_SUBMITURB,        USBDEVFS_REAPURBNDELAY,
                                                         USBDEVFS_RELEASEINTERFACE, USBDEVFS_IOCTL};
    const std::vector<Case> cases = {
        {"empty test bed", [](TUsbfsGenerator&) {}, vireo::kInitNoDevice, {}},
        {"device present", [](TUsbfsGenerator& g) { g.Plug(); }, vireo::kInitOk, openClaimUseRelease},
        {"device node refused",
         [](TUsbfsGenerator& g) {
             g.Plug();
             g.RefuseOpening();
         },
         vireo::kInitOpenFailed,
         {}},
        {"interface held elsewhere",
         [](TUsbfsGenerator& g) {
             g.Plug();
             g.RefuseClaiming();
         },
         vireo::kInitNoHandle,
         {USBDEVFS_GET_CAPABILITIES, USBDEVFS_DISCONNECT_CLAIM}},
        {"no bulk IN endpoint", [](TUsbfsGenerator& g) { g.Plug(64, false); }, vireo::kInitDetailUnavailable, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshBed();
        c.bed(*generator);
        EXPECT_EQ(library->USBInitDevice(), c.result);
        EXPECT_EQ(library->DeviceReady(), c.result == vireo::kInitOk ? 1 : 0);
        library.reset();
        std::set<unsigned long> requests;
        for (auto [request, count] : generator->Ioctls())
            requests.insert(request);
        EXPECT_EQ(requests, c.requests);
    }
}

// Everything the program sends, checked in the model byte for byte, at the
// full-speed and the high-speed packet size, and through split URBs.
TEST_F(UsbfsLibrary, TrafficReachesTheModelByteExact)
{
    struct Host {
        std::uint16_t packetSize;
        bool scatterGather; // without it, libusb sends URBs of at most 16 KiB
    };
    for (const Host host : {Host{64, true}, Host{512, true}, Host{64, false}}) {
        const std::uint16_t packetSize = host.packetSize;
        SCOPED_TRACE(packetSize);
        SCOPED_TRACE(host.scatterGather);
        FreshBed();
        generator->SetScatterGather(host.scatterGather);
        generator->Plug(packetSize);
        ASSERT_EQ(library->USBInitDevice(), vireo::kInitOk);
        EXPECT_EQ(library->USBGetPacketSize(), packetSize);
        EXPECT_EQ(library->USBGetDeviceID(), vg::VirtualGenerator::kDefaultDeviceId);

        // Registers, flushed one by one and batched.
        library->USBSingleWrite(7, 0x1234);
        for (int reg = 20; reg < 30; ++reg)
            library->USBSingleWriteWithoutFlush(reg, 0xA000 + reg);
        EXPECT_EQ(Model().RegisterWriteCount(20), 0) << "still in the command buffer";
        library->USBFlushBuffer();
        EXPECT_EQ(Model().Register(7), 0x1234);
        for (int reg = 20; reg < 30; ++reg)
            EXPECT_EQ(library->USBSingleRead(reg), 0xA000 + reg);

        // The whole sample memory, written and read back through the FIFO.
        std::vector<std::uint16_t> samples(vg::VirtualGenerator::kSampleWords);
        std::mt19937 random(packetSize);
        for (auto& s : samples)
            s = static_cast<std::uint16_t>(random());
        const auto bytes = static_cast<std::uint32_t>(samples.size() * 2);
        library->USBSingleWrite(vg::VirtualGenerator::kWriteStart, 0);
        EXPECT_EQ(library->USBFIFOWrite(vg::VirtualGenerator::kSamplePort, samples.data(), bytes), 1);
        std::vector<std::uint16_t> memory(samples.size());
        Model().CopySamples(memory.data(), static_cast<std::int32_t>(memory.size()));
        EXPECT_EQ(memory, samples);
        std::vector<std::uint16_t> back(samples.size());
        EXPECT_EQ(library->USBFIFORead(vg::VirtualGenerator::kSamplePort, back.data(), bytes), 1);
        EXPECT_EQ(back, samples);

        // An EEPROM page.
        for (int a = 0; a < 256; ++a)
            library->USBWriteToEEPROM(a, (a * 7 + packetSize) & 0xFF);
        for (int a = 0; a < 256; a += 17)
            EXPECT_EQ(library->USBReadFromEEPROM(a), (a * 7 + packetSize) & 0xFF) << a;
        for (int a = 0; a < 256; ++a)
            ASSERT_EQ(Model().EepromByte(a), (a * 7 + packetSize) & 0xFF) << a;

        // Power.
        for (const int on : {0, 1, 0}) {
            library->USBSetPowerOnOff(on);
            EXPECT_EQ(Model().Power(), on);
            EXPECT_EQ(library->USBGetPowerState(), on);
        }

        // A whole configuration image in one transfer.
        std::vector<std::uint8_t> image(kConfigurationImageSize);
        for (auto& b : image)
            b = static_cast<std::uint8_t>(random());
        const std::uint32_t crc = Crc32(image.data(), image.size() - 4);
        for (int i = 0; i < 4; ++i)
            image[image.size() - 4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (8 * i));
        EXPECT_EQ(library->USBConfigureFPGA(image.data(), static_cast<std::int32_t>(image.size())), 1);
        EXPECT_EQ(Model().Configured(), 1);
        const auto written = Received(7);
        ASSERT_FALSE(written.empty());
        EXPECT_TRUE(written.back() == image);

        EXPECT_EQ(g_failures, 0);
        EXPECT_EQ(Model().ProtocolErrorCount(), 0);
        EXPECT_EQ(generator->LargestUrb() == int(kConfigurationImageSize), host.scatterGather);
    }
}

// A transfer the bus fails fails the call and reports it; the next call works.
TEST_F(UsbfsLibrary, FailedTransfersAreReportedAndTheLinkRecovers)
{
    struct Case {
        TFault fault;
        const char* call;
        int after;     // transfers of the call that go through first
        bool reported; // the ready test answers without calling back
    };
    const std::vector<Case> cases = {
        {TFault::SubmitRefused, "read", 0, true},
        {TFault::Stall, "read", 1, true},
        {TFault::Error, "read", 1, true},
        {TFault::Stall, "fifo write", 1, true},
        {TFault::NoAnswer, "read", 1, true},
        {TFault::Error, "configuration", 2, true},
        {TFault::SubmitRefused, "fifo write", 0, true},
        {TFault::SubmitRefused, "configuration", 0, true},
        {TFault::Stall, "ready", 0, false},
        {TFault::NoAnswer, "ready", 0, false},
    };
    generator->Plug();
    ASSERT_EQ(library->USBInitDevice(), vireo::kInitOk);
    std::vector<std::uint8_t> image(kConfigurationImageSize, 0x5A);
    // Data that reads as register writes to 0x30 if taken for command packets.
    std::vector<std::uint8_t> samples(512);
    for (std::size_t i = 0; i < samples.size(); i += 4) {
        const std::uint8_t writeRegister[] = {0x26, 0x30, 0xBE, 0xEF};
        std::copy(std::begin(writeRegister), std::end(writeRegister), samples.begin() + static_cast<std::ptrdiff_t>(i));
    }
    std::copy(samples.begin(), samples.end(), image.begin());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        SCOPED_TRACE(static_cast<int>(c.fault));
        g_failures = 0;
        const std::string call = c.call;
        generator->FailNextTransfers(1, c.fault, c.after);
        const auto started = std::chrono::steady_clock::now();
        if (call == "read")
            EXPECT_EQ(library->USBSingleRead(7), 0);
        else if (call == "fifo write")
            EXPECT_EQ(library->USBFIFOWrite(11, samples.data(), 512), 0);
        else if (call == "configuration")
            EXPECT_EQ(library->USBConfigureFPGA(image.data(), static_cast<std::int32_t>(image.size())), 0);
        else
            EXPECT_EQ(library->DeviceReady(), 0);
        if (c.fault == TFault::NoAnswer) {
            EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(900));
        }
        EXPECT_EQ(g_failures > 0, c.reported);
        EXPECT_EQ(generator->UrbsInFlight(), 0) << "every URB reaped or discarded";
        EXPECT_EQ(Model().RegisterWriteCount(0x30), 0) << "data sent without its announcement";

        library->USBSingleWrite(7, 0x0F0F);
        EXPECT_EQ(library->USBSingleRead(7), 0x0F0F);
        EXPECT_EQ(library->DeviceReady(), 1);
    }
}

TEST_F(UsbfsLibrary, UnplugBetweenCallsIsNoticedAndReplugNeedsAnOpen)
{
    generator->Plug();
    ASSERT_EQ(library->USBInitDevice(), vireo::kInitOk);
    library->USBSingleWrite(5, 0x0505);
    ASSERT_EQ(Model().Register(5), 0x0505);

    generator->Unplug();
    EXPECT_EQ(library->USBSingleRead(5), 0);
    EXPECT_EQ(g_failures, 2); // the query's packet, then its reply
    EXPECT_EQ(library->DeviceReady(), 0);
    EXPECT_EQ(library->USBInitDevice(), vireo::kInitNoDevice);

    generator->Plug();
    EXPECT_EQ(library->DeviceReady(), 0) << "the handle from before the unplug stays dead";
    ASSERT_EQ(library->USBInitDevice(), vireo::kInitOk);
    EXPECT_EQ(library->USBSingleRead(5), 0) << "plugging in is a power cycle";
    library->USBSingleWrite(5, 0x0606);
    EXPECT_EQ(Model().Register(5), 0x0606);
    EXPECT_EQ(library->DeviceReady(), 1);

    // Unplugged while a read waits for its reply: it fails at once, not at its timeout.
    g_failures = 0;
    generator->FailNextTransfers(1, TFault::NoAnswer, 1);
    std::thread unplug([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        generator->Unplug();
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(library->USBSingleRead(5), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1500));
    unplug.join();
    EXPECT_EQ(g_failures, 1);
    EXPECT_EQ(library->USBInitDevice(), vireo::kInitNoDevice);
}

} // namespace
} // namespace tarn::usbfs
