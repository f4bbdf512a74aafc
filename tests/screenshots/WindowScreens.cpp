// SPDX-License-Identifier: MIT
// The About window, the Options dialog and a detached window, as pictures at
// the running screen scale, with their controls unsqueezed.
#include "data/SettingsTarn.h"
#include "device/DeviceAbstractionTarn.h"
#include "shell/AboutScreen.h"
#include "shell/CommBrokenScreen.h"
#include "shell/DetachedScreen.h"
#include "shell/Main.h"
#include "shell/OptionsScreen.h"
#include "shell/master/ObjMasterTarn.h"
#include "tests/screenshots/ScreenshotSupport.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
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

// At the running scale and with a quarter larger font: the whole message
// shows, with nothing to scroll, above the button and inside the window.
TEST(WindowScreens, CommunicationBrokenFitsItsText)
{
    TScreenWindow window;
    const QFont normal = QApplication::font();
    for (const double factor : {1.0, 1.25}) {
        QFont font = normal;
        font.setPointSizeF(normal.pointSizeF() * factor);
        QApplication::setFont(font);
        {
            TCommBrokenForm broken(window.Form().ObjMasterTarn1(), &window.Form());
            broken.show();
            window.Settle();
            const std::string which = "font x" + std::to_string(factor);
            EXPECT_TRUE(broken.findChildren<QAbstractScrollArea*>().isEmpty()) << which;
            ASSERT_NE(broken.Message(), nullptr);
            const QLabel& message = *broken.Message();
            EXPECT_GE(message.height(), message.heightForWidth(message.width())) << which;
            const QRect inside = broken.rect();
            EXPECT_TRUE(inside.contains(message.geometry())) << which;
            EXPECT_TRUE(inside.contains(broken.ExitButton()->geometry())) << which;
            EXPECT_FALSE(message.geometry().intersects(broken.ExitButton()->geometry())) << which;
            ExpectNothingSqueezed(broken);
            EXPECT_TRUE(std::filesystem::exists(
                SavePicture(broken, factor == 1.0 ? "comm_broken" : "comm_broken_large_font")));
        }
        QApplication::setFont(normal);
    }
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
