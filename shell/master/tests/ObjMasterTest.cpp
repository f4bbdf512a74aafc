// Broadcast order, nesting and the life of listeners on the object master.
#include "shell/master/ComponentsTarn.h"
#include "shell/master/ObjMasterTarn.h"
#include "shell/master/tests/TestApp.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tarn {
namespace {

using Code = TObjMasterCode;

struct Call {
    std::string who;
    Code code;
    std::int32_t index;
    void* data;
    bool operator==(const Call&) const = default;
};

class Recorder {
public:
    Recorder(std::string name, std::vector<Call>& log) : name_(std::move(name)), log_(log) {}
    void Handle(Code code, std::int32_t index, void* data)
    {
        log_.push_back({name_, code, index, data});
        if (onCall)
            onCall(code);
    }
    TObjMasterNotifyEvent Listener() { return TObjMasterNotifyEvent::Bind<&Recorder::Handle>(this); }
    std::function<void(Code)> onCall;

private:
    std::string name_;
    std::vector<Call>& log_;
};

class Component : public TComponentTarn {
public:
    Component(std::string name, std::vector<Call>& log) : name_(std::move(name)), log_(log) {}
    ~Component() override { DetachFromMaster(); }

protected:
    void ObjMasterNotify(Code code, std::int32_t index, void* data) override
    {
        log_.push_back({name_, code, index, data});
    }

private:
    std::string name_;
    std::vector<Call>& log_;
};

class Control : public TGraphicControlTarn {
public:
    Control(std::string name, std::vector<Call>& log) : name_(std::move(name)), log_(log) {}
    ~Control() override { DetachFromMaster(); }

protected:
    void ObjMasterNotify(Code code, std::int32_t index, void* data) override
    {
        log_.push_back({name_, code, index, data});
    }

private:
    std::string name_;
    std::vector<Call>& log_;
};

std::vector<std::string> Names(const std::vector<Call>& log)
{
    std::vector<std::string> names;
    for (const Call& c : log)
        names.push_back(c.who);
    return names;
}

TEST(ObjMaster, BroadcastWithoutListenersDoesNothing)
{
    TObjMasterTarn master;
    master.Notify(Code::omStart, 3, nullptr);
    EXPECT_EQ(master.ListenerCount(), 0u);
}

TEST(ObjMaster, ListenersRunInRegistrationOrderWithArgumentsUnchanged)
{
    std::vector<Call> log;
    Recorder a("a", log), b("b", log), c("c", log);
    TObjMasterTarn master;
    master.RegisterListener(b.Listener());
    master.RegisterListener(a.Listener());
    master.RegisterListener(c.Listener());
    int value = 0;
    master.Notify(Code::omLevelChanged, -7, &value);
    const std::vector<Call> expected = {{"b", Code::omLevelChanged, -7, &value},
                                        {"a", Code::omLevelChanged, -7, &value},
                                        {"c", Code::omLevelChanged, -7, &value}};
    EXPECT_EQ(log, expected);
}

TEST(ObjMaster, NestedBroadcastCompletesBeforeOuterGoesOn)
{
    std::vector<Call> log;
    Recorder a("a", log), b("b", log), c("c", log);
    TObjMasterTarn master;
    master.RegisterListener(a.Listener());
    master.RegisterListener(b.Listener());
    master.RegisterListener(c.Listener());
    b.onCall = [&](Code code) {
        if (code == Code::omChannelWaveformChanged)
            master.Notify(Code::omWaveformLoaded);
    };
    master.Notify(Code::omChannelWaveformChanged, 1);
    const std::vector<std::string> order = {"a", "b", "a", "b", "c", "c"};
    EXPECT_EQ(Names(log), order);
    EXPECT_EQ(log[2].code, Code::omWaveformLoaded);
    EXPECT_EQ(log[5].code, Code::omChannelWaveformChanged);
}

TEST(ObjMaster, UnknownCodesPassUnchanged)
{
    std::vector<Call> log;
    Recorder a("a", log);
    TObjMasterTarn master;
    master.RegisterListener(a.Listener());
    master.Notify(static_cast<Code>(3), 0, nullptr);
    master.Notify(static_cast<Code>(200), 5, nullptr);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(static_cast<std::uint32_t>(log[0].code), 3u);
    EXPECT_EQ(static_cast<std::uint32_t>(log[1].code), 200u);
}

TEST(ObjMaster, UnregisterRemovesFirstEqualEntryOnly)
{
    std::vector<Call> log;
    Recorder a("a", log), b("b", log);
    TObjMasterTarn master;
    master.RegisterListener(a.Listener());
    master.RegisterListener(b.Listener());
    master.RegisterListener(a.Listener());
    master.UnregisterListener(a.Listener());
    master.Notify(Code::omStart);
    EXPECT_EQ(Names(log), (std::vector<std::string>{"b", "a"}));
    // Same procedure, other instance: no entry, nothing happens.
    Recorder other("x", log);
    master.UnregisterListener(other.Listener());
    EXPECT_EQ(master.ListenerCount(), 2u);
}

TEST(ObjMaster, DestroyingOneOfSeveralComponentsKeepsTheOthers)
{
    std::vector<Call> log;
    TObjMasterTarn master;
    auto first = std::make_unique<Component>("first", log);
    auto second = std::make_unique<Component>("second", log);
    auto third = std::make_unique<Component>("third", log);
    first->SetObjMaster(&master);
    second->SetObjMaster(&master);
    third->SetObjMaster(&master);
    second.reset();
    master.Notify(Code::omStart);
    EXPECT_EQ(Names(log), (std::vector<std::string>{"first", "third"}));
    EXPECT_EQ(master.ListenerCount(), 2u);
}

TEST(ObjMaster, DestroyedMasterTellsRemainingComponentsAndTheyForgetIt)
{
    std::vector<Call> log;
    test::TestApp();
    auto master = std::make_unique<TObjMasterTarn>();
    Component component("component", log);
    Control control("control", log);
    component.SetObjMaster(master.get());
    control.SetObjMaster(master.get());
    master.reset();
    const std::vector<Call> expected = {{"component", Code::omMasterDestroying, 0, nullptr},
                                        {"control", Code::omMasterDestroying, 0, nullptr}};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(component.ObjMaster(), nullptr);
    EXPECT_EQ(control.ObjMaster(), nullptr);
    // Their own destruction now touches no master (ASan would catch it).
}

TEST(ObjMaster, ComponentsDestroyedFirstLeaveNothingForTheMaster)
{
    std::vector<Call> log;
    TObjMasterTarn master;
    {
        Component component("component", log);
        component.SetObjMaster(&master);
    }
    EXPECT_EQ(master.ListenerCount(), 0u);
    master.Notify(Code::omStart);
    EXPECT_TRUE(log.empty());
}

TEST(ObjMaster, SettingNoMasterRegistersNothing)
{
    std::vector<Call> log;
    TObjMasterTarn master;
    Component component("component", log);
    component.SetObjMaster(nullptr);
    master.Notify(Code::omStart);
    EXPECT_TRUE(log.empty());
}

TEST(ObjMaster, ListenerDestroyedDuringBroadcastIsNotCalled)
{
    std::vector<Call> log;
    TObjMasterTarn master;
    auto victim = std::make_unique<Component>("victim", log);
    Recorder killer("killer", log);
    master.RegisterListener(killer.Listener());
    victim->SetObjMaster(&master);
    killer.onCall = [&](Code) { victim.reset(); };
    master.Notify(Code::omStart);
    EXPECT_EQ(Names(log), (std::vector<std::string>{"killer"}));
}

} // namespace
} // namespace tarn
