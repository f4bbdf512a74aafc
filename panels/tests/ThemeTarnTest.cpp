// SPDX-License-Identifier: MIT
#include "panels/ThemeTarn.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(ThemeTarn, ContrastRatiosAsTheFormulaGivesThem)
{
    const struct {
        QColor a, b;
        double ratio;
    } pairs[] = {
        {Qt::black, Qt::white, 21.0},          {Qt::white, Qt::white, 1.0},
        {QColor(255, 0, 0), Qt::white, 3.998}, {QColor(0, 0x80, 0), Qt::white, 5.140},
        {QColor(0, 0, 255), Qt::black, 2.444}, {QColor(160, 160, 160), Qt::white, 2.615},
    };
    for (const auto& p : pairs) {
        EXPECT_NEAR(ContrastRatio(p.a, p.b), p.ratio, 0.005) << p.a.name().toStdString();
        EXPECT_NEAR(ContrastRatio(p.b, p.a), p.ratio, 0.005) << "either way round";
    }
}

// The nearest readable lightness of the same hue, away from the background
// first; a colour that reads already is kept.
TEST(ThemeTarn, ReadableMovesTheLightnessOnlyAsFarAsNeeded)
{
    const struct {
        QColor wanted, background;
        bool darker;
    } cases[] = {
        {QColor(255, 0, 0), Qt::white, true},
        {QColor(255, 0, 0), QColor(30, 30, 32), false},
        {QColor(0, 0x80, 0), QColor(45, 45, 48), false},
        {QColor(0, 0, 255), QColor(45, 45, 48), false},
        {QColor(0, 255, 0), QColor(235, 0, 0), false},
        {QColor(255, 255, 0), QColor(200, 200, 200), true},
        {Qt::white, QColor(160, 160, 160), true},
    };
    for (const auto& c : cases) {
        const QColor got = Readable(c.wanted, c.background);
        const std::string name = c.wanted.name().toStdString() + " on " + c.background.name().toStdString();
        EXPECT_GE(ContrastRatio(got, c.background), kReadableContrast) << name;
        EXPECT_EQ(got.hslHue(), c.wanted.hslHue()) << name;
        EXPECT_NEAR(got.hslSaturationF(), c.wanted.hslSaturationF(), 0.02) << name;
        EXPECT_EQ(got.lightness() < c.wanted.lightness(), c.darker) << name;
        // One step less would not do.
        const int back = c.darker ? 1 : -1;
        const QColor less = QColor::fromHsl(got.hslHue(), got.hslSaturation(), got.lightness() + back).toRgb();
        EXPECT_LT(ContrastRatio(less, c.background), kReadableContrast) << name << " moved too far";
    }
    EXPECT_EQ(Readable(QColor(0, 0x80, 0), Qt::white), QColor(0, 0x80, 0)) << "readable already";
    // Unreachable: the best there is.
    EXPECT_EQ(Readable(QColor(128, 128, 128), Qt::white, 22.0), QColor(Qt::black));
}

TEST(ThemeTarn, PanelAndScaleColoursReadInLightAndDarkPalettes)
{
    QPalette light(Qt::black, QColor(239, 239, 239), Qt::white, QColor(160, 160, 160), QColor(200, 200, 200), Qt::black,
                   Qt::white, Qt::white, QColor(239, 239, 239));
    light.setColor(QPalette::Highlight, QColor(48, 140, 198));
    light.setColor(QPalette::HighlightedText, Qt::white);
    QPalette dark(QColor(235, 235, 235), QColor(55, 55, 58), QColor(70, 70, 74), QColor(20, 20, 22),
                  QColor(110, 110, 116), QColor(235, 235, 235), Qt::white, QColor(30, 30, 32), QColor(45, 45, 48));
    dark.setColor(QPalette::Highlight, QColor(80, 160, 240));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    for (const QPalette& palette : {light, dark}) {
        const TPanelColours c = PanelColours(palette);
        const struct {
            const char* what;
            QColor front, back;
            int hue;
        } pairs[] = {
            {"warning", c.WarningText, c.WarningBack, -2},
            {"link", c.Link, palette.color(QPalette::Window), 240},
            {"down button", c.CheckedText, c.CheckedBack, -2},
            {"button", c.ButtonText, palette.color(QPalette::Button), -2},
        };
        for (const auto& p : pairs) {
            EXPECT_GE(ContrastRatio(p.front, p.back), kReadableContrast) << p.what;
            if (p.hue >= 0) {
                EXPECT_EQ(p.front.hslHue(), p.hue) << p.what;
            }
        }
        EXPECT_EQ(c.WarningBack.hslHue(), 0);
        EXPECT_EQ(c.CheckedBack.hslHue(), palette.color(QPalette::Highlight).hslHue());
    }
    const TScaleColours& s = ScaleColours();
    EXPECT_EQ(s.Scale, QColor(Qt::white));
    EXPECT_EQ(s.SoftwareMarker.hslHue(), 0);
    EXPECT_EQ(s.DeviceMarker.hslHue(), 120);
    for (const QColor& front : {s.Scale, s.SoftwareMarker, s.DeviceMarker})
        EXPECT_GE(ContrastRatio(front, s.Background), kReadableContrast) << front.name().toStdString();
}

} // namespace
} // namespace tarn
