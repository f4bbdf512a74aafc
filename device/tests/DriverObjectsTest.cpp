// SPDX-License-Identifier: MIT
// The two driver objects: the binding of the driver library and the
// demonstration device.
#include "device/DaoTarn.h"
#include "device/DriverAbstraction.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <vector>

namespace tarn {
namespace {

TEST(DemoDevice, AcceptsEverythingAndReportsPowerAndNoFailure)
{
    TDAO_DEMO demo;
    EXPECT_EQ(demo.LoadDriver(), 0);
    EXPECT_EQ(demo.InitDevice(), 0);
    EXPECT_EQ(demo.ApplyFrequency(), 0.0);
    demo.SetFrequencyMode(1);
    EXPECT_EQ(demo.SetFrequency(15000.0), 15000.0);
    EXPECT_EQ(demo.ApplyFrequency(), 15000.0);
    demo.SetFrequencyMode(0);
    EXPECT_EQ(demo.SetFrequency(2.5), 2.5);
    EXPECT_EQ(demo.ApplyFrequency(), 2.5);
    std::uint8_t version[2] = {9, 9};
    demo.GetDriverVersion(version);
    EXPECT_EQ(version[0], 0);
    EXPECT_EQ(version[1], 0);
    EXPECT_EQ(demo.GetSerialNumber(), 0);
    EXPECT_TRUE(demo.GetPowerState());
    EXPECT_TRUE(demo.CommunicationOK());
}

// Bits of Call::pointers: which of InData, OutData, ValuePtr were passed.
constexpr int kIn = 1, kOut = 2, kValuePtr = 4;

struct Call {
    std::int32_t code, inSize, outSize;
    std::intptr_t value;
    double in;
    std::int32_t pointers;
};

// Reaches the fake library through its own handle (same file, same instance).
class FakeLibrary {
public:
    explicit FakeLibrary(const char* path) : handle_(dlopen(path, RTLD_NOW)) {}
    ~FakeLibrary()
    {
        if (handle_)
            dlclose(handle_);
    }
    FakeLibrary(const FakeLibrary&) = delete;
    FakeLibrary& operator=(const FakeLibrary&) = delete;
    template <class F> F Fn(const char* name) { return reinterpret_cast<F>(dlsym(handle_, name)); }
    std::vector<Call> Calls()
    {
        std::vector<Call> out;
        const int n = Fn<std::int32_t (*)()>("FakeCallCount")();
        for (int i = 0; i < n; ++i) {
            Call c{};
            Fn<void (*)(std::int32_t, std::int32_t*, std::int32_t*, std::int32_t*, std::intptr_t*, double*)>(
                "FakeGetCall")(i, &c.code, &c.inSize, &c.outSize, &c.value, &c.in);
            c.pointers = Fn<std::int32_t (*)(std::int32_t)>("FakeGetPointers")(i);
            out.push_back(c);
        }
        return out;
    }
    void Clear() { Fn<void (*)()>("FakeClear")(); }
    void SetInitResult(int r) { Fn<void (*)(std::int32_t)>("FakeSetInitResult")(r); }
    int InitCalls() { return Fn<std::int32_t (*)()>("FakeInitCalls")(); }
    int DeinitCalls() { return Fn<std::int32_t (*)()>("FakeDeinitCalls")(); }
    void FailTransfer() { Fn<void (*)()>("FakeFailTransfer")(); }
    std::uint8_t* Flag() { return Fn<std::uint8_t* (*)()>("FakeFlag")(); }
    bool Loaded() const { return handle_ != nullptr; }

private:
    void* handle_;
};

TEST(DriverBinding, MissingLibraryAndMissingEntry)
{
    TDAO_Tarn absent("/nonexistent/folder/libtarndrv.so");
    EXPECT_EQ(absent.LoadDriver(), kLoadLibraryFailed);

    FakeLibrary incomplete(FAKE_INCOMPLETE_DRIVER);
    ASSERT_TRUE(incomplete.Loaded());
    {
        TDAO_Tarn dao(FAKE_INCOMPLETE_DRIVER);
        EXPECT_EQ(dao.LoadDriver(), kLoadEntryMissing);
    }
    // The discarded object did not de-initialise anything.
    EXPECT_EQ(incomplete.DeinitCalls(), 0);
}

TEST(DriverBinding, InitResultsAreMappedAndTheFlagIsRegisteredEachTime)
{
    const std::vector<std::pair<int, int>> mapping = {{0, 0}, {1, 3}, {2, 4}, {3, 5}, {4, 6}, {5, 8}, {9, 5}, {-1, 5}};
    for (const auto& [in, out] : mapping)
        EXPECT_EQ(TDAO_Tarn::MapInitResult(in), out) << in;

    FakeLibrary fake(FAKE_DRIVER);
    TDAO_Tarn dao(FAKE_DRIVER);
    ASSERT_EQ(dao.LoadDriver(), kLoadOk);
    fake.Clear();
    fake.SetInitResult(3);
    EXPECT_EQ(dao.InitDevice(), kInitNoDevice);
    fake.SetInitResult(5);
    EXPECT_EQ(dao.InitDevice(), kInitCalibrationBroken);
    const auto calls = fake.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].code, 64);
    EXPECT_NE(calls[0].value, 0);
    EXPECT_EQ(calls[0].pointers, 0);
    EXPECT_EQ(calls[0].inSize + calls[0].outSize, 0);
    EXPECT_EQ(calls[1].value, calls[0].value);
    EXPECT_EQ(fake.InitCalls(), 2);
}

TEST(DriverBinding, FailureFlagDrivesCommunicationOK)
{
    FakeLibrary fake(FAKE_DRIVER);
    TDAO_Tarn dao(FAKE_DRIVER);
    ASSERT_EQ(dao.LoadDriver(), kLoadOk);
    fake.SetInitResult(0);
    dao.InitDevice();
    EXPECT_TRUE(dao.CommunicationOK());
    fake.FailTransfer();
    EXPECT_FALSE(dao.CommunicationOK());
    dao.InitDevice(); // a successful initialisation clears it
    EXPECT_TRUE(dao.CommunicationOK());
}

TEST(DriverBinding, DestructionUnregistersTheFlagAndDeInitialises)
{
    FakeLibrary fake(FAKE_DRIVER);
    const int before = fake.DeinitCalls();
    {
        TDAO_Tarn dao(FAKE_DRIVER);
        ASSERT_EQ(dao.LoadDriver(), kLoadOk);
        dao.InitDevice();
        ASSERT_NE(fake.Flag(), nullptr);
        fake.Clear();
    }
    EXPECT_EQ(fake.DeinitCalls(), before + 1);
    EXPECT_EQ(fake.Flag(), nullptr);
    const auto calls = fake.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].code, 64);
    EXPECT_EQ(calls[0].value, 0);
    // A late failure in the library writes nowhere.
    fake.FailTransfer();
}

TEST(DriverBinding, OperationsUseTheirCodesAndArguments)
{
    FakeLibrary fake(FAKE_DRIVER);
    TDAO_Tarn dao(FAKE_DRIVER);
    ASSERT_EQ(dao.LoadDriver(), kLoadOk);
    dao.InitDevice();
    fake.Clear();

    EXPECT_DOUBLE_EQ(dao.SetFrequency(1000.0), 1000.5); // mode 0: full switch
    dao.SetFrequencyMode(1);
    EXPECT_DOUBLE_EQ(dao.SetFrequency(300.0), 150.0); // preload
    EXPECT_DOUBLE_EQ(dao.ApplyFrequency(), 300.5);    // the last request, full switch
    dao.SetFrequencyMode(2);
    dao.SetFrequency(77.0); // no call
    const std::uint16_t samples[3] = {1, 2, 3};
    dao.LoadWaveform(samples, 3, true);
    dao.LoadWaveform(samples, 3, false);
    dao.SetLevel(4000);
    dao.SetOutputAttenuator(1);
    dao.SetFilter(2);
    dao.SetShift(2100);
    dao.SetOutputOnOff(1);
    dao.SetTriggerMode(1);
    dao.SetArmOnOff(1);
    dao.SetArmStopLevel(0);
    dao.SetRunOnOff(1);
    dao.TriggerPulse();
    dao.SetTriggerOnOff(1);
    dao.SetTriggerLeading(0);
    EXPECT_TRUE(dao.GetPowerState());
    std::uint8_t version[2] = {0, 0};
    dao.GetDriverVersion(version);
    EXPECT_EQ(version[0], 2);
    EXPECT_EQ(version[1], 7);
    EXPECT_EQ(dao.GetSerialNumber(), 123456);
    dao.SetKeepPowerAtExit(1);

    // Every operation's code, sizes, value and which pointers it passes.
    struct Row {
        int code, inSize, outSize;
        std::intptr_t value;
        int pointers;
    };
    const std::vector<Row> expected = {
        {5, 8, 8, 0, kIn | kOut},  // SetFrequency, mode 0
        {16, 8, 8, 0, kIn | kOut}, // SetFrequency, mode 1
        {5, 8, 8, 0, kIn | kOut},  // ApplyFrequency
        {1, 3, 0, 1, kIn},         // LoadWaveform, standard
        {1, 3, 0, 0, kIn},         // LoadWaveform, arbitrary
        {2, 0, 0, 4000, 0},        {3, 0, 0, 1, 0},  {4, 0, 0, 2, 0},     {6, 0, 0, 2100, 0}, {7, 0, 0, 1, 0},
        {8, 0, 0, 1, 0},           {9, 0, 0, 1, 0},  {10, 0, 0, 0, 0},    {11, 0, 0, 1, 0},   {12, 0, 0, 0, 0},
        {13, 0, 0, 1, 0},          {14, 0, 0, 0, 0}, {15, 0, 4, 0, kOut}, // GetPowerState
        {66, 0, 2, 0, kOut},                                              // GetDriverVersion
        {69, 0, 0, 0, kValuePtr},                                         // GetSerialNumber
        {21, 0, 0, 1, 0}};                                                // SetKeepPowerAtExit
    const auto calls = fake.Calls();
    ASSERT_EQ(calls.size(), expected.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].code, expected[i].code) << i;
        EXPECT_EQ(calls[i].inSize, expected[i].inSize) << i;
        EXPECT_EQ(calls[i].outSize, expected[i].outSize) << i;
        EXPECT_EQ(calls[i].value, expected[i].value) << i;
        EXPECT_EQ(calls[i].pointers, expected[i].pointers) << i;
    }
    EXPECT_EQ(calls[0].in, 1000.0);
    EXPECT_EQ(calls[1].in, 300.0);
    EXPECT_EQ(calls[2].in, 300.0);
}

} // namespace
} // namespace tarn
