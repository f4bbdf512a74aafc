// SPDX-License-Identifier: MIT
// The status bar names the generator by what its driver says carries the
// requests, whatever a driver or USB library of another age says.
#include "shell/StatusBarTarn.h"
#include "shell/master/ObjMasterTarn.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

class TDescribedDriver final : public TDAO_DEMO {
public:
    TDescribedDriver(TGeneratorLink link, std::int32_t serial) : link_(std::move(link)), serial_(serial) {}
    TGeneratorLink DescribeLink() override { return link_; }
    std::int32_t GetSerialNumber() override { return serial_; }

private:
    TGeneratorLink link_;
    std::int32_t serial_;
};

TEST(StatusBar, TheGeneratorIsNamedByTheLinkItsDriverDescribes)
{
    struct Case {
        bool driver;
        TGeneratorLink link;
        std::int32_t serial;
        const char* text;
        const char* tip;
    };
    const Case cases[] = {
        {false, {}, 0, "demonstration mode", ""},
        {true, {"demonstration", {}}, 0, "demonstration mode", ""},
        {true, {"virtual", "in this process"}, 100042, "virtual generator", "in this process"},
        {true, {"virtual", "device program at /tmp/s"}, 100042, "virtual generator", "device program at /tmp/s"},
        {true, {"usb", "bus 003 device 117"}, 100042, "generator 00100042", "USB bus 003 device 117"},
        {true, {"usb", {}}, 7, "generator 00000007", ""},
        // An older driver tells nothing, a newer library may name a kind not known here: the serial number.
        {true, {}, 100042, "generator 00100042", ""},
        {true, {"network", "10.0.0.2"}, 100042, "generator 00100042", "10.0.0.2"},
    };
    for (const Case& c : cases) {
        TObjMasterTarn master;
        TStatusBarTarn bar;
        TDescribedDriver driver(c.link, c.serial);
        bar.Driver = [&]() -> TDriverAbstraction* { return c.driver ? &driver : nullptr; };
        bar.SetObjMaster(&master, nullptr);
        master.Notify(TObjMasterCode::omStart, 0, nullptr);
        EXPECT_EQ(bar.Generator(), c.text) << c.link.Kind;
        EXPECT_EQ(bar.GeneratorDetail(), c.tip) << c.link.Kind;
    }
}

} // namespace
} // namespace tarn
