// SPDX-License-Identifier: MIT
#include "panels/HLEditTarn.h"
#include "panels/ThemeTarn.h"
#include "shell/master/tests/TestApp.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace tarn {
namespace {

class HLEditTarnTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ApplyStyle(edit, THLEditStyle::Value);
        edit.SetText(QStringLiteral("1.000V"));
    }
    QColor TextColor() const { return edit.palette().color(QPalette::Active, QPalette::Text); }
    QColor BaseColor() const { return edit.palette().color(QPalette::Active, QPalette::Base); }

    QApplication& app = test::TestApp(); // before any widget
    THLEditTarn edit;
};

TEST_F(HLEditTarnTest, TypingHighlightsAndTypingBackRemovesIt)
{
    EXPECT_FALSE(edit.Highlighted());
    EXPECT_EQ(TextColor(), QColor(Qt::black));
    QTest::keyClick(&edit, Qt::Key_End);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_TRUE(edit.Highlighted());
    EXPECT_EQ(TextColor(), QColor(Qt::white));
    // Red, as dark as white on it needs.
    EXPECT_EQ(BaseColor().hslHue(), 0);
    EXPECT_GE(ContrastRatio(BaseColor(), Qt::white), kReadableContrast);
    EXPECT_EQ(edit.Text(), QStringLiteral("1.000V")) << "the committed text is kept while typing";
    QTest::keyClicks(&edit, QStringLiteral("V"));
    EXPECT_FALSE(edit.Highlighted());
    EXPECT_EQ(TextColor(), QColor(Qt::black));
    EXPECT_EQ(BaseColor(), QApplication::palette(&edit).color(QPalette::Base));
}

TEST_F(HLEditTarnTest, EqualRefreshKeepsTypedTextUntilForcedOrChanged)
{
    edit.selectAll();
    QTest::keyClicks(&edit, QStringLiteral("2"));
    edit.SetText(QStringLiteral("1.000V"));
    EXPECT_EQ(edit.text(), QStringLiteral("2"));
    EXPECT_TRUE(edit.Highlighted());

    edit.Force();
    edit.SetText(QStringLiteral("1.000V"));
    EXPECT_EQ(edit.text(), QStringLiteral("1.000V"));
    EXPECT_FALSE(edit.Highlighted());

    // The force is used up by one set.
    QTest::keyClicks(&edit, QStringLiteral("x"));
    edit.SetText(QStringLiteral("1.000V"));
    EXPECT_TRUE(edit.Highlighted());
    edit.SetText(QStringLiteral("2.000V"));
    EXPECT_EQ(edit.text(), QStringLiteral("2.000V"));
    EXPECT_FALSE(edit.Highlighted());
}

TEST_F(HLEditTarnTest, EnterHandsOverVisibleTextAndPassesTheKeyOn)
{
    QKeyEvent withoutHandler(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&edit, &withoutHandler);
    EXPECT_FALSE(withoutHandler.isAccepted());

    std::vector<QString> entered;
    edit.OnUserEnter = [&](THLEditTarn* sender, const QString& text) {
        EXPECT_EQ(sender, &edit);
        entered.push_back(text);
    };
    edit.selectAll();
    QTest::keyClicks(&edit, QStringLiteral("0.4"));
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&edit, &press);
        EXPECT_FALSE(press.isAccepted()) << "the key is not consumed";
    }
    QTest::keyClick(&edit, Qt::Key_A);
    EXPECT_EQ(entered, (std::vector<QString>{QStringLiteral("0.4"), QStringLiteral("0.4")}));
    // An owner that rejects the text leaves it highlighted.
    EXPECT_TRUE(edit.Highlighted());
}

TEST_F(HLEditTarnTest, DeviceStyleIsReadOnlyGreen)
{
    ApplyStyle(edit, THLEditStyle::Device);
    EXPECT_TRUE(edit.isReadOnly());
    EXPECT_EQ(TextColor(), QColor(0, 0x80, 0));
    edit.Force();
    edit.SetText(QStringLiteral("x"));
    EXPECT_EQ(TextColor(), QColor(0, 0x80, 0));
}

// Under a dark application palette each style's colour keeps its hue and
// reads on the dark field, and follows when the palette changes back.
TEST_F(HLEditTarnTest, StylesStayReadableInADarkPalette)
{
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Base, QColor(30, 30, 32));
    dark.setColor(QPalette::Text, QColor(235, 235, 235));
    const struct {
        THLEditStyle style;
        int hue; // -1: the palette's text
    } styles[] = {{THLEditStyle::Value, -1}, {THLEditStyle::Pending, 0}, {THLEditStyle::Device, 120}};
    for (const QPalette& palette : {dark, light}) {
        QApplication::setPalette(palette);
        for (const auto& s : styles) {
            THLEditTarn field;
            ApplyStyle(field, s.style);
            field.SetText(QStringLiteral("1V"));
            const QColor text = field.palette().color(QPalette::Active, QPalette::Text);
            const QColor base = field.palette().color(QPalette::Active, QPalette::Base);
            EXPECT_EQ(base, palette.color(QPalette::Base));
            EXPECT_GE(ContrastRatio(text, base), kReadableContrast) << text.name().toStdString();
            if (s.hue >= 0) {
                EXPECT_EQ(text.hslHue(), s.hue) << text.name().toStdString();
            } else {
                EXPECT_EQ(text, palette.color(QPalette::Text));
            }
            field.setText(QStringLiteral("2V")); // typed: highlighted
            const QColor typed = field.palette().color(QPalette::Active, QPalette::Text);
            EXPECT_GE(ContrastRatio(typed, field.palette().color(QPalette::Active, QPalette::Base)), kReadableContrast);
        }
    }
    // A field in a window, made before the change, follows it.
    QWidget window;
    THLEditTarn& inside = *new THLEditTarn(&window);
    ApplyStyle(inside, THLEditStyle::Pending);
    const auto colour = [&inside](QPalette::ColorRole role) { return inside.palette().color(QPalette::Active, role); };
    QApplication::setPalette(dark);
    EXPECT_GE(ContrastRatio(colour(QPalette::Text), QColor(30, 30, 32)), kReadableContrast);
    EXPECT_EQ(colour(QPalette::Base), QColor(30, 30, 32));
    QApplication::setPalette(light);
    EXPECT_EQ(colour(QPalette::Base), light.color(QPalette::Base));
    EXPECT_EQ(colour(QPalette::Text).hslHue(), 0);
}

} // namespace
} // namespace tarn
