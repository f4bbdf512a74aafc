// SPDX-License-Identifier: MIT
#include "data/WindowPlace.h"
#include "data/XMLSettings.h"
#include "data/tests/SettingsTestSupport.h"

#include <climits>

namespace {

struct FitCase {
    const char* what;
    TWindowPlace wanted;
    TWindowPlace expected;
};

// Two screens side by side; the right one is smaller and lower.
const std::vector<TWindowPlace> kScreens = {{0, 0, 1920, 1050}, {1920, 200, 1280, 800}};

TEST(WindowPlace, FitsOnTheScreensThereAre)
{
    const FitCase cases[] = {
        {"on the primary screen", {100, 80, 900, 700}, {100, 80, 900, 700}},
        {"on the second screen", {2000, 300, 900, 600}, {2000, 300, 900, 600}},
        {"below its least size", {100, 80, 300, 200}, {100, 80, 792, 580}},
        {"hanging over the right edge", {3000, 300, 900, 600}, {2300, 300, 900, 600}},
        {"above the second screen's top", {2000, 0, 900, 600}, {2000, 200, 900, 600}},
        {"left of every screen", {-5000, 100, 900, 700}, {510, 175, 900, 700}},
        {"a screen that is gone", {7000, 3000, 900, 700}, {510, 175, 900, 700}},
        {"larger than its screen", {2000, 250, 4000, 4000}, {1920, 200, 1280, 800}},
        {"numbers at the ends of the range", {INT_MAX, INT_MIN, INT_MAX, INT_MAX}, {0, 0, 1920, 1050}},
        {"a corner on the primary", {1900, 1040, 900, 700}, {1020, 350, 900, 700}},
    };
    for (const FitCase& c : cases)
        EXPECT_EQ(FitWindowPlace(c.wanted, 792, 580, kScreens), c.expected) << c.what;
    // No screens known (no display): left as asked.
    EXPECT_EQ(FitWindowPlace({-5, -5, 10, 10}, 792, 580, {}), (TWindowPlace{-5, -5, 10, 10}));
    // A screen smaller than the least size: the screen's size, on it.
    EXPECT_EQ(FitWindowPlace({0, 0, 900, 700}, 792, 580, {{0, 0, 640, 480}}), (TWindowPlace{0, 0, 640, 480}));
}

TEST(WindowPlace, WrittenAndReadBackAndAbsentOrDamagedIgnored)
{
    TXMLSettings store;
    store.EnsureRoot();
    EXPECT_FALSE(ReadWindowPlace(store, "/window")) << "an older file";
    const TWindowPlace place{-30, 40, 1000, 700};
    WriteWindowPlace(store, "/window", place);
    EXPECT_EQ(ReadWindowPlace(store, "/window"), place);
    EXPECT_NE(store.FormattedText().find("<WIDTH type=\"int\">1000</WIDTH>"), std::string::npos)
        << store.FormattedText();

    const TTempFolder dir;
    const char* damaged[] = {
        "<window><left type=\"int\">1</left><top type=\"int\">2</top><width type=\"int\">3</width></window>",
        "<window><left type=\"int\">1</left><top type=\"int\">x</top><width type=\"int\">3</width>"
        "<height type=\"int\">4</height></window>",
        "<window><left type=\"int\">1</left><top type=\"int\">2</top><width type=\"int\">0</width>"
        "<height type=\"int\">4</height></window>",
        "<window><left type=\"int\">1</left><top type=\"int\">2</top><width type=\"int\">99999999999</width>"
        "<height type=\"int\">4</height></window>",
        "<window><left type=\"float\">1.5</left><top type=\"int\">2</top><width type=\"int\">3</width>"
        "<height type=\"int\">4</height></window>",
    };
    for (const char* inner : damaged) {
        WriteWholeFile(dir / "s.xml", std::string("<SETTINGS>") + inner + "</SETTINGS>");
        TXMLSettings read;
        read.LoadFromFile(dir / "s.xml");
        EXPECT_FALSE(ReadWindowPlace(read, "/window")) << inner;
    }
    WriteWholeFile(dir / "s.xml", "<SETTINGS><WINDOW><LEFT type=\"int\">-7</LEFT><top type=\"int\">8</top>"
                                  "<width type=\"int\">900</width><height type=\"int\">600</height></WINDOW>"
                                  "<device><frequency type=\"float\">1000</frequency></device></SETTINGS>");
    TXMLSettings read;
    read.LoadFromFile(dir / "s.xml");
    EXPECT_EQ(ReadWindowPlace(read, "/window"), (TWindowPlace{-7, 8, 900, 600}));
    EXPECT_EQ(read.ReadFloat("/device/frequency", 0), 1000);
}

} // namespace
