// SPDX-License-Identifier: MIT
// Broadcast order, nesting and the life of listeners on the object master.
#include "shell/master/ComponentsTarn.h"
#include "shell/master/ObjMasterTarn.h"
#include "shell/master/tests/TestApp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
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
    const std::string& Name() const { return name_; }
    std::function<void(Code)> onCall;

private:
    std::string name_;
    std::vector<Call>& log_;
};

// Either component base, logging what its dispatcher hands on.
template <class Base> class Logged : public Base {
public:
    Logged(std::string name, std::vector<Call>& log) : name_(std::move(name)), log_(log) {}
    ~Logged() override { this->DetachFromMaster(); }

protected:
    void ObjMasterNotify(Code code, std::int32_t index, void* data) override
    {
        log_.push_back({name_, code, index, data});
    }

private:
    std::string name_;
    std::vector<Call>& log_;
};
using Component = Logged<TComponentTarn>;
using Control = Logged<TGraphicControlTarn>;

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
    Component component("component", log); // outlives the master
    {
        TObjMasterTarn master;
        component.SetObjMaster(&master);
        component.SetObjMaster(nullptr);
        EXPECT_EQ(component.ObjMaster(), nullptr);
        // Neither registered again nor taken from the earlier master.
        EXPECT_EQ(master.ListenerCount(), 1u);
        master.Notify(Code::omStart);
        EXPECT_EQ(Names(log), std::vector<std::string>{"component"});
    }
    EXPECT_EQ(log.back().code, Code::omMasterDestroying);
}

// Who is called when listeners leave (or join) while a broadcast runs: every
// entry still registered when the broadcast reaches its place, exactly once.
TEST(ObjMaster, ListenersLeavingDuringABroadcastDoNotMakeOthersMissIt)
{
    struct Case {
        const char* what;
        std::string remover;              // the listener that unregisters ...
        std::vector<std::string> removed; // ... these, while it is called
        std::vector<std::string> called;
    };
    const Case cases[] = {
        {"itself", "b", {"b"}, {"a", "b", "c", "d"}},
        {"an earlier one", "c", {"a"}, {"a", "b", "c", "d"}},
        {"two earlier ones", "c", {"a", "b"}, {"a", "b", "c", "d"}},
        {"a later one", "b", {"c"}, {"a", "b", "d"}},
        {"itself and a later one", "b", {"b", "c"}, {"a", "b", "d"}},
        {"all", "a", {"a", "b", "c", "d"}, {"a"}},
        {"the last, by itself", "d", {"d"}, {"a", "b", "c", "d"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Call> log;
        std::vector<std::unique_ptr<Recorder>> recorders; // outlive the master
        TObjMasterTarn master;
        for (const char* name : {"a", "b", "c", "d"}) {
            recorders.push_back(std::make_unique<Recorder>(name, log));
            master.RegisterListener(recorders.back()->Listener());
        }
        const auto find = [&](const std::string& name) {
            return std::find_if(recorders.begin(), recorders.end(), [&](const auto& r) { return r->Name() == name; })
                ->get();
        };
        find(c.remover)->onCall = [&](Code code) {
            if (code != Code::omStart)
                return;
            for (const std::string& name : c.removed)
                master.UnregisterListener(find(name)->Listener());
        };
        master.Notify(Code::omStart);
        EXPECT_EQ(Names(log), c.called);
        // The next broadcast reaches the ones left, in order.
        log.clear();
        master.Notify(Code::omLevelChanged);
        std::vector<std::string> left;
        for (const char* name : {"a", "b", "c", "d"})
            if (std::find(c.removed.begin(), c.removed.end(), name) == c.removed.end())
                left.push_back(name);
        EXPECT_EQ(Names(log), left);
    }
}

TEST(ObjMaster, NestedBroadcastsSurviveListenersLeavingAndJoining)
{
    std::vector<Call> log;
    Recorder a("a", log), b("b", log), c("c", log), d("d", log);
    TObjMasterTarn master;
    master.RegisterListener(a.Listener());
    master.RegisterListener(b.Listener());
    master.RegisterListener(c.Listener());
    // b leaves inside the inner broadcast that it started itself, and d joins there.
    b.onCall = [&](Code code) {
        if (code == Code::omStart)
            master.Notify(Code::omWaveformLoaded);
    };
    c.onCall = [&](Code code) {
        if (code == Code::omWaveformLoaded) {
            master.UnregisterListener(b.Listener());
            master.RegisterListener(d.Listener());
        }
    };
    master.Notify(Code::omStart);
    // Outer: a, b (inner: a, b, c, d), c, d.
    EXPECT_EQ(Names(log), (std::vector<std::string>{"a", "b", "a", "b", "c", "d", "c", "d"}));
    EXPECT_EQ(master.ListenerCount(), 3u);
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
