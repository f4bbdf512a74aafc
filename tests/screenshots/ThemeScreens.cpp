// SPDX-License-Identifier: MIT
// The coloured texts and pictures of the windows, measured in the rendered
// pixels against what lies behind them (both palettes, both scales), and the
// pictures the program draws checked for device-pixel sharpness.
#include "data/SettingsTarn.h"
#include "panels/ChannelWrapperTarn.h"
#include "panels/FrequencyBarTarn.h"
#include "panels/HLEditTarn.h"
#include "panels/ThemeTarn.h"
#include "panels/TriggerWrapperTarn.h"
#include "panels/WaveListBoxTarn.h"
#include "panels/WaveScreenTarn.h"
#include "device/DriverAbstraction.h"
#include "shell/AboutScreen.h"
#include "shell/Main.h"
#include "tests/screenshots/ScreenshotSupport.h"

#include <QLabel>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace tarn::test {
namespace {

void Click(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

class ThemeScreens : public ::testing::Test {
protected:
    TMainForm& Form() { return window.Form(); }
    const TChannelControls& L() { return Form().ChannelWrapperTarn1().Controls(); }
    QImage Picture(const std::string& state)
    {
        window.Save(state);
        return Form().grab().toImage();
    }
    TScreenWindow window;
};

TEST_F(ThemeScreens, ValueFieldsWarningsScaleAndPreviewAreReadable)
{
    TFrequencyBarTarn& bar = Form().FrequencyBarTarn1();
    // Pending and device values apart, a warning, a field being typed into.
    Click(bar.StepModeBtn);
    for (int i = 0; i < 3; ++i)
        Click(bar.ZoomInBtn);
    bar.FineShiftBar->setValue(100);
    Click(L().ShiftStepBtn);
    L().ShiftBar->setValue(L().ShiftBar->value() - 600);
    L().LevelBar->setValue(4096);
    L().LoadEdit->setFocus();
    L().LoadEdit->selectAll();
    QTest::keyClicks(L().LoadEdit, QStringLiteral("75"));
    ASSERT_TRUE(L().LoadEdit->Highlighted());
    const QImage picture = Picture("contrast_values");
    const struct {
        const char* element;
        const QWidget* widget;
        TColourTest colour;
    } elements[] = {
        {"frequency in software", bar.FrequencyEdit, HueNear(0)},
        {"frequency in device", bar.DevFrequencyEdit, HueNear(120)},
        {"pending shift", L().ShiftEdit, HueNear(0)},
        {"device shift", L().DevShiftEdit, HueNear(120)},
        {"field being typed into", L().LoadEdit, Whitish()},
        {"level warning", L().LevelLabel, Whitish()},
        {"value field", L().VppEdit, {}},
        {"down button", bar.StepModeBtn, {}},
        {"scale", &bar, Whitish()},
        {"frequency marker in software", &bar, HueNear(0)},
        {"frequency marker in device", &bar, HueNear(120)},
        {"preview", &Form().WaveScreenTarn1(), HueNear(120)},
    };
    for (const auto& e : elements)
        ExpectReadable(e.element, MeasureContrast(picture, PictureRect(*e.widget, picture, 3), e.colour));
    // The first item's thumbnail: 2 pixels in, 64 wide, 4 less than the item high.
    TWaveListBoxTarn& list = Form().WaveListBoxTarn1();
    const QRect item = list.visualRect(list.model()->index(0, 0));
    const QRect list1 = PictureRect(*list.viewport(), picture);
    const int scale = ScaleFactor();
    const QRect thumbnail(list1.topLeft() + (item.topLeft() + QPoint(2, 2)) * scale,
                          QSize(64, TWaveListBoxTarn::kItemHeight - 4) * scale);
    ExpectReadable("waveform list thumbnail", MeasureContrast(picture, thumbnail, HueNear(120)));
}

TEST_F(ThemeScreens, EdgePicturesUpAndDownAndTheAboutLinks)
{
    TTriggerWrapperTarn& trigger = Form().TriggerWrapperTarn1();
    Click(trigger.ModeSingleBtn);
    Click(trigger.TrigOnBtn);
    ASSERT_TRUE(trigger.TrigLeadingBtn->isEnabled());
    ASSERT_TRUE(trigger.TrigLeadingBtn->isChecked());
    ASSERT_FALSE(trigger.TrigTrailingBtn->isChecked());
    const QImage picture = Picture("contrast_edges");
    ExpectReadable("edge picture down", MeasureContrast(picture, PictureRect(*trigger.TrigLeadingBtn, picture, 3)));
    ExpectReadable("edge picture up", MeasureContrast(picture, PictureRect(*trigger.TrigTrailingBtn, picture, 3)));

    TDAO_DEMO driver;
    TAboutForm about(&Form(), driver);
    about.show();
    window.Settle();
    const QImage links = about.grab().toImage();
    for (const auto row : {TAboutForm::RowWeb, TAboutForm::RowSupport})
        ExpectReadable("link", MeasureContrast(links, PictureRect(*about.Value(row), links), HueNear(240, 30)));
}

// At scale 2 the program's own pictures have twice the pixels and are drawn
// in them, not enlarged: a line's edge is one device pixel sharp.
TEST_F(ThemeScreens, DrawnPicturesHaveTheScreensPixels)
{
    const int scale = ScaleFactor();
    TFrequencyBarTarn& bar = Form().FrequencyBarTarn1();
    TWaveScreenTarn& preview = Form().WaveScreenTarn1();
    TWaveListBoxTarn& list = Form().WaveListBoxTarn1();
    const QImage picture = Picture("pixels");
    EXPECT_EQ(bar.Bitmap().size(), bar.size() * scale);
    EXPECT_EQ(bar.Bitmap().devicePixelRatio(), scale);
    EXPECT_EQ(preview.Bitmap().size(), preview.size() * scale);
    EXPECT_EQ(preview.Bitmap().devicePixelRatio(), scale);
    const QImage thumbnail = list.Thumbnail(*Form().SettingsTarn1().Repository.front());
    EXPECT_EQ(thumbnail.devicePixelRatio(), scale);
    EXPECT_EQ(thumbnail.deviceIndependentSize().toSize(), QSize(64, TWaveListBoxTarn::kItemHeight - 4));
    const QPixmap edge =
        Form().TriggerWrapperTarn1().TrigLeadingBtn->icon().pixmap(QSize(16, 16), scale, QIcon::Normal, QIcon::Off);
    EXPECT_EQ(edge.size(), QSize(16, 16) * scale);
    // The edge picture's low level: whole pixels of the line's colour, none half covered.
    const QImage edgeImage = edge.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int x = 2 * scale; x < 5 * scale; ++x)
        for (int y = 0; y < edgeImage.height(); ++y) {
            const int alpha = qAlpha(edgeImage.pixel(x, y));
            EXPECT_TRUE(alpha == 0 || alpha == 255) << x << "," << y << " alpha " << alpha;
        }
    // The scale's top line at y = 3: in each column one run of exactly `scale`
    // rows of pure white on pure background, no blended row beside it.
    const QImage scaleImage = bar.Bitmap().convertToFormat(QImage::Format_RGB32);
    const QRgb white = qRgb(255, 255, 255);
    const QRgb ground = ScaleColours().Background.rgb();
    int sharp = 0, columns = 0;
    for (int x = 20 * scale; x < scaleImage.width() - 20 * scale; ++x, ++columns) {
        std::vector<int> rows;
        bool pure = true;
        for (int y = 1 * scale; y < 5 * scale; ++y) {
            const QRgb p = scaleImage.pixel(x, y);
            pure = pure && (p == white || p == ground);
            if (p == white)
                rows.push_back(y);
        }
        sharp += pure && static_cast<int>(rows.size()) == scale && rows.back() - rows.front() == scale - 1 ? 1 : 0;
    }
    EXPECT_GT(sharp, columns * 9 / 10) << "of " << columns << " columns";
    if (scale >= 2) {
        for (const QWidget* drawn : std::initializer_list<const QWidget*>{&bar, &preview, &list}) {
            EXPECT_TRUE(HasDevicePixelDetail(picture, PictureRect(*drawn, picture, 2)))
                << drawn->metaObject()->className() << " is an enlarged picture";
        }
    }
}

} // namespace
} // namespace tarn::test
