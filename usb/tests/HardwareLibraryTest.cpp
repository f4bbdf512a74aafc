// SPDX-License-Identifier: MIT
// The built libraries themselves: exactly the intended exports, and the
// hardware variant's behaviour where no generator is attached.
#include "usb/Transport.h"
#include "usb/VireoApi.h"
#include "usb/tests/ExportedSymbols.h"

#include <dlfcn.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

const std::set<std::string> kUsbExports{
    "DeviceReady",         "USBInitDevice",    "GetDriverVersion", "USBFlushBuffer",
    "USBConfigureFPGA",    "USBSingleRead",    "USBSingleWrite",   "USBSingleWriteWithoutFlush",
    "USBRollFIFORead",     "USBFIFORead",      "USBFIFOWrite",     "USBGetPacketSize",
    "USBReadFromEEPROM",   "USBWriteToEEPROM", "USBGetDeviceID",   "USBSetCallBackFunction",
    "USBGetDriverVersion", "USBGetPowerState", "USBSetPowerOnOff", "USBDescribeTransport"};

const std::set<std::string> kVirtualExtras{"VgReset",
                                           "VgGetRegister",
                                           "VgGetRegisterWriteCount",
                                           "VgGetSampleWord",
                                           "VgCopySamples",
                                           "VgGetEEPROMByte",
                                           "VgSetEEPROMByte",
                                           "VgGetPower",
                                           "VgSetDeviceId",
                                           "VgGetConfigurationCount",
                                           "VgIsConfigured",
                                           "VgSetPacketSize",
                                           "VgSetPlugged",
                                           "VgFailNextRequests",
                                           "VgGetProtocolErrorCount",
                                           "VgGetPendingReadBytes",
                                           "VgGetRequestCount",
                                           "VgGetRequest",
                                           "VgClearRequestLog",
                                           "VgGetPendingFailures",
                                           "VgUnplugAfterRequests",
                                           "VgGetUnplugCountdown",
                                           "VgIsPlugged",
                                           "VgFailRequestsAfter"};

std::string Dir(const char* variable, const char* fallback)
{
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0' ? value : fallback;
}

std::string HardwareLibrary()
{
    return Dir("TARN_PROGRAM_DIR", VIREO_TEST_PROGRAM_DIR) + "/libvireo.so";
}
std::string VirtualLibrary()
{
    return Dir("TARN_VIRTUAL_DIR", VIREO_TEST_VIRTUAL_DIR) + "/libvireo.so";
}

TEST(VireoExports, HardwareVariantExportsExactlyTheUsbFunctions)
{
    const auto symbols = tarn::test::DefinedDynamicSymbols(HardwareLibrary());
    if (!symbols.ok)
        GTEST_SKIP() << "nm is not available";
    EXPECT_EQ(symbols.names, kUsbExports);
}

TEST(VireoExports, VirtualVariantAddsOnlyTheInspectionApi)
{
    const auto symbols = tarn::test::DefinedDynamicSymbols(VirtualLibrary());
    if (!symbols.ok)
        GTEST_SKIP() << "nm is not available";
    std::set<std::string> expected = kUsbExports;
    expected.insert(kVirtualExtras.begin(), kVirtualExtras.end());
    EXPECT_EQ(symbols.names, expected);
}

int g_failures = 0;
void CountFailure(int32_t)
{
    ++g_failures;
}

class HardwareLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        handle = dlopen(HardwareLibrary().c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        g_failures = 0;
        Fn<decltype(USBSetCallBackFunction)>("USBSetCallBackFunction")(&CountFailure);
    }
    void TearDown() override
    {
        if (handle != nullptr) {
            Fn<decltype(USBSetCallBackFunction)>("USBSetCallBackFunction")(nullptr);
            dlclose(handle);
        }
    }
    template <typename F> F* Fn(const char* name) { return reinterpret_cast<F*>(dlsym(handle, name)); }
    void* handle = nullptr;
};

TEST_F(HardwareLibraryTest, WithoutAGeneratorOpeningFindsNoneAndNothingIsReported)
{
    const int32_t result = Fn<decltype(USBInitDevice)>("USBInitDevice")();
    if (result == vireo::kInitOk || result == vireo::kInitOpenFailed || result == vireo::kInitNoHandle)
        GTEST_SKIP() << "a generator with our ids is attached (result " << result << ")";
    EXPECT_TRUE(result == vireo::kInitNoDevice || result == vireo::kInitEnumerationFailed
                || result == vireo::kInitDetailUnavailable)
        << result;
    EXPECT_EQ(g_failures, 0);
}

TEST_F(HardwareLibraryTest, WithNoDeviceOpenEveryRequestButTheReadyTestCallsBack)
{
    Fn<decltype(USBSingleWrite)>("USBSingleWrite")(7, 0x3000);
    EXPECT_EQ(g_failures, 1);
    EXPECT_EQ(Fn<decltype(DeviceReady)>("DeviceReady")(), 0);
    EXPECT_EQ(g_failures, 1);
    EXPECT_EQ(Fn<decltype(USBGetPowerState)>("USBGetPowerState")(), 0); // its query and its reply
    EXPECT_EQ(g_failures, 3);
    EXPECT_EQ(Fn<decltype(USBGetDriverVersion)>("USBGetDriverVersion")(), 100);
    uint8_t version[2] = {7, 7};
    EXPECT_EQ(Fn<decltype(GetDriverVersion)>("GetDriverVersion")(version), version);
    EXPECT_EQ(version[0], 1);
    EXPECT_EQ(version[1], 0);
}

} // namespace
