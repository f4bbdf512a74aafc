// SPDX-License-Identifier: MIT
// The device abstraction over a recording driver object: the start-up search
// and its dialogs, what each broadcast sends, the poll and broken communication.
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "device/DeviceAbstractionTarn.h"
#include "shell/master/DialogService.h"
#include "shell/master/ObjMasterTarn.h"
#include "shell/master/tests/TestApp.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>

#include <algorithm>

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace tarn {
namespace {

using Code = TObjMasterCode;

struct Shared {
    std::vector<std::string> calls;
    int created = 0;
    int destroyed = 0;
    std::deque<std::int32_t> loadResults;
    std::deque<std::int32_t> initResults;
    bool communicationOK = true;
    bool power = true;
    double frequencyAnswer = 0.0;
};

class RecordingDriver : public TDriverAbstraction {
public:
    explicit RecordingDriver(Shared& s) : s_(s) { ++s_.created; }
    ~RecordingDriver() override { ++s_.destroyed; }
    std::int32_t LoadDriver() override { return Next(s_.loadResults, "LoadDriver"); }
    std::int32_t InitDevice() override { return Next(s_.initResults, "InitDevice"); }
    void SetFrequencyMode(std::int32_t v) override { Log("SetFrequencyMode", v); }
    double SetFrequency(double f) override
    {
        Log("SetFrequency", static_cast<std::int64_t>(f));
        return s_.frequencyAnswer != 0.0 ? s_.frequencyAnswer : f + 1;
    }
    double ApplyFrequency() override
    {
        Log("ApplyFrequency");
        return 777.0;
    }
    void SetLevel(std::int32_t v) override { Log("SetLevel", v); }
    void SetOutputAttenuator(std::int32_t v) override { Log("SetOutputAttenuator", v); }
    void SetFilter(std::int32_t v) override { Log("SetFilter", v); }
    void SetShift(std::int32_t v) override { Log("SetShift", v); }
    void LoadWaveform(const std::uint16_t*, std::int32_t count, bool standard) override
    {
        Log("LoadWaveform", count * 10 + (standard ? 1 : 0));
    }
    void SetOutputOnOff(std::int32_t v) override { Log("SetOutputOnOff", v); }
    void SetTriggerMode(std::int32_t v) override { Log("SetTriggerMode", v); }
    void SetArmOnOff(std::int32_t v) override { Log("SetArmOnOff", v); }
    void SetArmStopLevel(std::int32_t v) override { Log("SetArmStopLevel", v); }
    void SetRunOnOff(std::int32_t v) override { Log("SetRunOnOff", v); }
    void TriggerPulse() override { Log("TriggerPulse"); }
    void SetTriggerOnOff(std::int32_t v) override { Log("SetTriggerOnOff", v); }
    void SetTriggerLeading(std::int32_t v) override { Log("SetTriggerLeading", v); }
    bool GetPowerState() override
    {
        Log("GetPowerState");
        return s_.power;
    }
    void GetDriverVersion(std::uint8_t v[2]) override { v[0] = v[1] = 1; }
    std::int32_t GetSerialNumber() override { return 1; }
    void SetKeepPowerAtExit(std::int32_t v) override { Log("SetKeepPowerAtExit", v); }
    bool CommunicationOK() override { return s_.communicationOK; }

private:
    std::int32_t Next(std::deque<std::int32_t>& q, const char* name)
    {
        Log(name);
        if (q.empty())
            return 0;
        const std::int32_t r = q.front();
        q.pop_front();
        return r;
    }
    void Log(const char* name) { s_.calls.emplace_back(name); }
    void Log(const char* name, std::int64_t v) { s_.calls.push_back(std::string(name) + " " + std::to_string(v)); }
    Shared& s_;
};

class ScriptedDialogs : public TDialogService {
public:
    std::deque<TDialogResult> answers;
    std::vector<std::string> texts;
    std::vector<TDialogKind> kinds;
    std::vector<TDialogButtons> buttons;
    TDialogResult Message(TDialogKind kind, TDialogButtons b, const std::string& text, const std::string&) override
    {
        texts.push_back(text);
        kinds.push_back(kind);
        buttons.push_back(b);
        if (answers.empty())
            return TDialogResult::Ok;
        const TDialogResult r = answers.front();
        answers.pop_front();
        return r;
    }
};

class DeviceAbstraction : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestApp();
        settings.SetDefaults();
        settings.Device.Waveforms.clear();
        settings.Device.Waveforms.push_back(MakeStandardWaveform(TStandardWaveform::Sine));
        device = std::make_unique<TDeviceAbstractionTarn>(dialogs);
        device->SetDriverFactory([this] { return std::make_unique<RecordingDriver>(shared); });
        device->SetObjMaster(&master);
        device->SetSettings(&settings);
        device->OnCommBroken = [this](TDeviceAbstractionTarn* sender) {
            EXPECT_EQ(sender, device.get());
            ++commBroken;
        };
        device->OnTerminateRequest = [this] { ++terminateRequests; };
    }
    bool UsesDemo() const { return dynamic_cast<TDAO_DEMO*>(device->Driver()) != nullptr; }

    Shared shared;
    ScriptedDialogs dialogs;
    TObjMasterTarn master;
    TSettingsTarn settings;
    std::unique_ptr<TDeviceAbstractionTarn> device;
    int commBroken = 0;
    int terminateRequests = 0;
};

TEST_F(DeviceAbstraction, MissingLibraryGivesOneErrorThenDemonstration)
{
    shared.loadResults = {1};
    master.Notify(Code::omConnectDevice);
    ASSERT_EQ(dialogs.texts.size(), 2u);
    EXPECT_EQ(dialogs.texts[0], "Unable to load libtarndrv.so. Please reinstall Tarn application.");
    EXPECT_EQ(dialogs.kinds[0], TDialogKind::Error);
    EXPECT_EQ(dialogs.texts[1], Strings::DemonstrationMode);
    EXPECT_EQ(dialogs.kinds[1], TDialogKind::Information);
    EXPECT_EQ(dialogs.buttons, (std::vector<TDialogButtons>{TDialogButtons::Ok, TDialogButtons::Ok}));
    EXPECT_TRUE(UsesDemo());
    EXPECT_EQ(shared.destroyed, 1);
    // A library that could not be loaded is not asked to initialise.
    EXPECT_EQ(shared.calls, std::vector<std::string>{"LoadDriver"});
}

TEST_F(DeviceAbstraction, UsbLibraryMissingShowsTwoLinesThenDemonstration)
{
    shared.initResults = {4};
    master.Notify(Code::omConnectDevice);
    ASSERT_EQ(dialogs.texts.size(), 2u);
    EXPECT_EQ(dialogs.texts[0], std::string(Strings::UnableToLoadUsbLibrary) + "\n" + Strings::PlugTheDevice);
    EXPECT_EQ(dialogs.kinds, (std::vector<TDialogKind>{TDialogKind::Error, TDialogKind::Information}));
    EXPECT_EQ(dialogs.buttons, (std::vector<TDialogButtons>{TDialogButtons::Ok, TDialogButtons::Ok}));
    EXPECT_EQ(dialogs.texts[1], Strings::DemonstrationMode);
    EXPECT_TRUE(UsesDemo());
    EXPECT_EQ(shared.created, 1);
}

TEST_F(DeviceAbstraction, NoDeviceYesYesNoSearchesThreeTimesWithNewDrivers)
{
    shared.initResults = {5, 5, 6};
    dialogs.answers = {TDialogResult::Yes, TDialogResult::Yes, TDialogResult::No};
    master.Notify(Code::omConnectDevice);
    EXPECT_EQ(shared.created, 3);
    EXPECT_EQ(shared.destroyed, 3);
    const std::vector<std::string> texts = {Strings::DeviceNotFound, Strings::DeviceNotFound, Strings::DeviceNotFound,
                                            Strings::DemonstrationMode};
    EXPECT_EQ(dialogs.texts, texts);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(dialogs.kinds[i], TDialogKind::Error) << i;
        EXPECT_EQ(dialogs.buttons[i], TDialogButtons::YesNoAbort) << i;
    }
    EXPECT_TRUE(UsesDemo());
    EXPECT_EQ(terminateRequests, 0);
}

TEST_F(DeviceAbstraction, EveryOtherInitResultUsesTheDeviceSilently)
{
    for (std::int32_t result : {0, 7, 42}) {
        shared.initResults = {result};
        dialogs.texts.clear();
        master.Notify(Code::omConnectDevice);
        EXPECT_TRUE(dialogs.texts.empty()) << result;
        EXPECT_NE(dynamic_cast<RecordingDriver*>(device->Driver()), nullptr) << result;
    }
}

TEST_F(DeviceAbstraction, SearchQuestionClosedWithoutAnAnswerMeansDemonstration)
{
    shared.initResults = {6};
    dialogs.answers = {TDialogResult::Closed};
    master.Notify(Code::omConnectDevice);
    EXPECT_EQ(dialogs.texts, (std::vector<std::string>{Strings::DeviceNotFound, Strings::DemonstrationMode}));
    EXPECT_TRUE(UsesDemo());
    EXPECT_EQ(terminateRequests, 0);
}

TEST_F(DeviceAbstraction, AbortTerminatesOnTheDemonstrationDeviceWithoutItsMessage)
{
    shared.initResults = {5};
    dialogs.answers = {TDialogResult::Abort};
    master.Notify(Code::omConnectDevice);
    EXPECT_EQ(dialogs.texts, std::vector<std::string>{Strings::DeviceNotFound});
    EXPECT_TRUE(UsesDemo());
    EXPECT_EQ(terminateRequests, 1);
}

TEST_F(DeviceAbstraction, BrokenCalibrationWarnsAndKeepsTheRealDriver)
{
    shared.initResults = {8};
    master.Notify(Code::omConnectDevice);
    ASSERT_EQ(dialogs.texts.size(), 1u);
    EXPECT_EQ(dialogs.kinds[0], TDialogKind::Warning);
    EXPECT_EQ(dialogs.buttons[0], TDialogButtons::Ok);
    EXPECT_EQ(dialogs.texts[0], std::string(Strings::CalibrationBroken) + "\n" + Strings::ContactManufacturer);
    EXPECT_NE(dynamic_cast<RecordingDriver*>(device->Driver()), nullptr);
}

TEST_F(DeviceAbstraction, StartSendsEverySettingInOrderThenPowerStateAndPolls)
{
    master.Notify(Code::omConnectDevice);
    EXPECT_TRUE(dialogs.texts.empty());
    auto& d = settings.Device;
    d.Frequency = 1234.0;
    d.FrequencyMode = 1;
    d.Level = {100};
    d.Shift = {2100};
    d.DevShift = {2000};
    d.OutputAtn = {1};
    d.OutputOnOff = {0};
    d.Filter = {2};
    d.TriggerMode = 1;
    d.ArmOnOff = 1;
    d.ArmStopLevel = 0;
    d.RunOnOff = 0;
    d.TriggerOnOff = 1;
    d.TriggerLeading = 0;
    shared.power = false;
    shared.calls.clear();
    int powerBroadcasts = 0;
    struct Counter {
        int* n;
        void Handle(Code c, std::int32_t, void*)
        {
            if (c == Code::omPowerStateChanged)
                ++*n;
        }
    } counter{&powerBroadcasts};
    master.RegisterListener(TObjMasterNotifyEvent::Bind<&Counter::Handle>(&counter));
    master.Notify(Code::omStart);
    const std::vector<std::string> expected = {
        "LoadWaveform 81921", "SetFrequencyMode 1", "SetFrequency 1234",     "ApplyFrequency",
        "SetLevel 100",       "SetShift 2000",      "SetOutputAttenuator 1", "SetOutputOnOff 0",
        "SetFilter 2",        "SetTriggerMode 1",   "SetArmOnOff 1",         "SetArmStopLevel 0",
        "SetRunOnOff 0",      "SetTriggerOnOff 1",  "SetTriggerLeading 0",   "GetPowerState"};
    EXPECT_EQ(shared.calls, expected);
    EXPECT_EQ(d.DeviceFrequency, 777.0);
    EXPECT_FALSE(d.HOutputActive);
    EXPECT_EQ(powerBroadcasts, 1);
    EXPECT_TRUE(device->PollActive());

    // The poll broadcasts only when the power state changes.
    shared.power = true;
    device->PollDevice();
    EXPECT_TRUE(d.HOutputActive);
    device->PollDevice();
    EXPECT_EQ(powerBroadcasts, 2);
    // And does nothing while communication is broken.
    shared.calls.clear();
    shared.communicationOK = false;
    device->PollDevice();
    EXPECT_TRUE(shared.calls.empty());
    master.UnregisterListener(TObjMasterNotifyEvent::Bind<&Counter::Handle>(&counter));
}

TEST_F(DeviceAbstraction, FrequencyModesDecideWhatIsStored)
{
    master.Notify(Code::omConnectDevice);
    auto& d = settings.Device;
    d.Frequency = 500.0;
    d.FrequencyMode = 0;
    master.Notify(Code::omFrequencyChanged);
    EXPECT_EQ(d.DeviceFrequency, 501.0);
    d.FrequencyMode = 1;
    d.Frequency = 900.0;
    master.Notify(Code::omFrequencyChanged);
    EXPECT_EQ(d.DeviceFrequency, 501.0);
    master.Notify(Code::omApplyFrequency);
    EXPECT_EQ(d.DeviceFrequency, 777.0);
    shared.calls.clear();
    d.FrequencyMode = 2;
    master.Notify(Code::omFrequencyChanged);
    master.Notify(Code::omFrequencyModeChanged);
    EXPECT_EQ(shared.calls, std::vector<std::string>{"SetFrequencyMode 2"});
}

TEST_F(DeviceAbstraction, EachCodeSendsItsSetting)
{
    master.Notify(Code::omConnectDevice);
    auto& d = settings.Device;
    d.Level = {11};
    d.OutputAtn = {1};
    d.Filter = {2};
    d.OutputOnOff = {0};
    d.Shift = {99};
    d.DevShift = {33};
    d.TriggerMode = 1;
    d.ArmOnOff = 1;
    d.ArmStopLevel = 0;
    d.RunOnOff = 0;
    d.TriggerOnOff = 1;
    d.TriggerLeading = 0;
    shared.calls.clear();
    for (Code c :
         {Code::omLevelChanged, Code::omAttenuatorChanged, Code::omFilterChanged, Code::omOutputOnOffChanged,
          Code::omDeviceShiftChanged, Code::omShiftChanged, Code::omShiftModeChanged, Code::omTriggerModeChanged,
          Code::omArmOnOffChanged, Code::omArmStopLevelChanged, Code::omRunOnOffChanged, Code::omTriggerPulse,
          Code::omTriggerOnOffChanged, Code::omTriggerEdgeChanged, static_cast<Code>(3)}) {
        master.Notify(c, 0);
    }
    // A real channel that does not exist sends nothing.
    master.Notify(Code::omLevelChanged, 1);
    master.Notify(Code::omLevelChanged, -1);
    const std::vector<std::string> expected = {"SetLevel 11",      "SetOutputAttenuator 1", "SetFilter 2",
                                               "SetOutputOnOff 0", "SetShift 33",           "SetTriggerMode 1",
                                               "SetArmOnOff 1",    "SetArmStopLevel 0",     "SetRunOnOff 0",
                                               "TriggerPulse",     "SetTriggerOnOff 1",     "SetTriggerLeading 0"};
    EXPECT_EQ(shared.calls, expected);
}

TEST_F(DeviceAbstraction, ChannelWaveformChangeLoadsChannelZeroAndAnnouncesIt)
{
    master.Notify(Code::omConnectDevice);
    settings.Device.Waveforms[0] = std::make_unique<TWaveformTarn>();
    settings.Device.Waveforms[0]->Allocate(1000, 4096, false);
    std::vector<Code> seen;
    struct Watch {
        std::vector<Code>* seen;
        void Handle(Code c, std::int32_t, void*) { seen->push_back(c); }
    } watch{&seen};
    master.RegisterListener(TObjMasterNotifyEvent::Bind<&Watch::Handle>(&watch));
    shared.calls.clear();
    master.Notify(Code::omChannelWaveformChanged, 1);
    EXPECT_EQ(shared.calls, std::vector<std::string>{"LoadWaveform 10000"});
    EXPECT_EQ(seen, (std::vector<Code>{Code::omWaveformLoaded, Code::omChannelWaveformChanged}));
    master.UnregisterListener(TObjMasterNotifyEvent::Bind<&Watch::Handle>(&watch));
}

TEST_F(DeviceAbstraction, BrokenCommunicationIsReportedOnceUntilReconnected)
{
    master.Notify(Code::omConnectDevice);
    master.Notify(Code::omStart);
    EXPECT_EQ(commBroken, 0);
    shared.communicationOK = false;
    master.Notify(Code::omLevelChanged, 0);
    master.Notify(Code::omFilterChanged, 0);
    EXPECT_EQ(commBroken, 1);
    EXPECT_TRUE(device->CommBrokenReported());

    // A failed attempt changes nothing.
    shared.initResults = {5};
    bool r = true;
    shared.calls.clear();
    master.Notify(Code::omReconnect, 0, &r);
    EXPECT_FALSE(r);
    EXPECT_EQ(shared.calls, std::vector<std::string>{"InitDevice"});
    EXPECT_EQ(commBroken, 1);

    // Success with broken calibration counts; every setting goes out again.
    shared.initResults = {8};
    shared.communicationOK = true;
    r = false;
    shared.calls.clear();
    master.Notify(Code::omReconnect, 0, &r);
    EXPECT_TRUE(r);
    EXPECT_FALSE(device->CommBrokenReported());
    ASSERT_EQ(shared.calls.size(), 16u); // InitDevice, then the fifteen settings of frequency mode 0
    EXPECT_EQ(shared.calls[1], "LoadWaveform 81921");
    EXPECT_EQ(shared.calls.back(), "GetPowerState");

    // The next failure raises it again.
    shared.communicationOK = false;
    master.Notify(Code::omLevelChanged, 0);
    EXPECT_EQ(commBroken, 2);
}

TEST_F(DeviceAbstraction, DemonstrationNeverBreaks)
{
    shared.loadResults = {2};
    master.Notify(Code::omConnectDevice);
    master.Notify(Code::omStart);
    settings.Device.Frequency = 15000.0;
    settings.Device.FrequencyMode = 1;
    master.Notify(Code::omFrequencyModeChanged);
    master.Notify(Code::omFrequencyChanged);
    master.Notify(Code::omApplyFrequency);
    EXPECT_EQ(settings.Device.DeviceFrequency, 15000.0);
    EXPECT_TRUE(settings.Device.HOutputActive);
    EXPECT_EQ(commBroken, 0);
}

// Timed by lower bounds only: a loaded machine delays timers, and a coarse
// 500 ms timer fires at most 5 % early.
TEST_F(DeviceAbstraction, PollRunsEveryHalfSecondFromStart)
{
    struct PowerWatch {
        QElapsedTimer clock;
        qint64 changedAt = -1;
        void Handle(Code code, std::int32_t, void*)
        {
            if (code == Code::omPowerStateChanged && changedAt < 0)
                changedAt = clock.elapsed();
        }
    } watch;
    master.Notify(Code::omConnectDevice);
    EXPECT_FALSE(device->PollActive());
    shared.power = false;
    // Started before the poll timer, so that it never shows less time than passed.
    watch.clock.start();
    master.Notify(Code::omStart);
    EXPECT_FALSE(settings.Device.HOutputActive);
    master.RegisterListener(TObjMasterNotifyEvent::Bind<&PowerWatch::Handle>(&watch));
    shared.calls.clear();
    shared.power = true;
    const auto polls = [this] { return std::count(shared.calls.begin(), shared.calls.end(), "GetPowerState"); };
    EXPECT_TRUE(QTest::qWaitFor([&] { return polls() >= 3; }, 20000));
    EXPECT_TRUE(settings.Device.HOutputActive);
    EXPECT_GE(watch.changedAt, 475) << "polled before the interval";
    // A coarse timer may fire 5 % early, counted in whole milliseconds: under
    // load three polls were seen at 1424 ms.
    EXPECT_LE(polls() * 474, watch.clock.elapsed()) << "polled more often than every interval";
    master.UnregisterListener(TObjMasterNotifyEvent::Bind<&PowerWatch::Handle>(&watch));
}

} // namespace
} // namespace tarn
