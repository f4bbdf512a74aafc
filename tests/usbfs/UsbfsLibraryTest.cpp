// The hardware libvireo.so, unchanged, through the real libusb and usbfs
// ioctls answered by the emulated generator.
#include "tests/usbfs/HardwareLibrary.h"
#include "tests/usbfs/UsbfsGenerator.h"
#include "usb/Transport.h"

#include <gtest/gtest.h>

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>

#include <memory>

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
        generator = std::make_unique<TUsbfsGenerator>();
        library = std::make_unique<THardwareLibrary>();
        ASSERT_TRUE(library->Loaded()) << dlerror();
        g_failures = 0;
        library->USBSetCallBackFunction(&CountFailure);
    }
    void TearDown() override
    {
        library.reset();
        generator.reset();
    }
    vg::VirtualGenerator& Model() { return generator->Model(); }

    std::unique_ptr<TUsbfsGenerator> generator;
    std::unique_ptr<THardwareLibrary> library;
};

TEST_F(UsbfsLibrary, Smoke)
{
    generator->Plug();
    ASSERT_EQ(library->USBInitDevice(), vireo::kInitOk);
    library->USBSingleWrite(7, 0x1234);
    EXPECT_EQ(Model().Register(7), 0x1234);
    EXPECT_EQ(library->USBSingleRead(7), 0x1234);
    EXPECT_EQ(library->DeviceReady(), 1);
    EXPECT_EQ(library->USBGetPacketSize(), 64);
    EXPECT_EQ(g_failures, 0);
    EXPECT_EQ(generator->UnknownIoctls(), 0);
    library.reset();
    for (auto [r, n] : generator->Ioctls())
        std::printf("%lx %d\n", r, n);
}

} // namespace
} // namespace tarn::usbfs
