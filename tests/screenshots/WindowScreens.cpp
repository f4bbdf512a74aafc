// SPDX-License-Identifier: MIT
// The About window, the Options dialog and a detached window, as pictures at
// the running screen scale, with their controls unsqueezed.
#include "data/SettingsTarn.h"
#include "device/DeviceAbstractionTarn.h"
#include "shell/AboutScreen.h"
#include "shell/DetachedScreen.h"
#include "shell/Main.h"
#include "shell/OptionsScreen.h"
#include "tests/screenshots/ScreenshotSupport.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace tarn::test {
namespace {

class VersionedDriver : public TDAO_DEMO {
public:
    void GetDriverVersion(std::uint8_t version[2]) override
    {
        version[0] = 2;
        version[1] = 5;
    }
    std::int32_t GetSerialNumber() override { return 1234; }
};

void ExpectNothingSqueezed(const QWidget& parent)
{
    EXPECT_EQ(SqueezedControls(parent), std::vector<std::string>{}) << parent.metaObject()->className();
}

TEST(WindowScreens, About)
{
    TScreenWindow window;
    VersionedDriver driver;
    TAboutForm about(&window.Form(), driver);
    about.show();
    window.Settle();
    ExpectNothingSqueezed(about);
    EXPECT_TRUE(std::filesystem::exists(SavePicture(about, "about")));
}

TEST(WindowScreens, OptionsBothPages)
{
    TScreenWindow window;
    TOptionsForm options(&window.Form());
    options.VrmsFromACBox()->setChecked(true);
    options.show();
    for (int page = 0; page < 2; ++page) {
        options.PageControl1()->setCurrentIndex(page);
        window.Settle();
        ExpectNothingSqueezed(*options.PageControl1()->widget(page));
        EXPECT_TRUE(std::filesystem::exists(SavePicture(options, page == 0 ? "options_device" : "options_display")));
    }
}

TEST(WindowScreens, DetachedFrequencyGroup)
{
    TScreenWindow window;
    window.Form().GroupBox2DblClick(window.Form().Group(TMainForm::GroupFrequency));
    auto* detached = qobject_cast<TDetachedForm*>(window.Form().Group(TMainForm::GroupFrequency)->window());
    ASSERT_NE(detached, nullptr);
    window.Settle();
    EXPECT_TRUE(std::filesystem::exists(SavePicture(*detached, "detached_frequency")));
    EXPECT_TRUE(std::filesystem::exists(window.Save("main_without_frequency")));
}

} // namespace
} // namespace tarn::test
