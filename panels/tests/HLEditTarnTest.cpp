// SPDX-License-Identifier: MIT
#include "panels/HLEditTarn.h"
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
    EXPECT_EQ(BaseColor(), QColor(Qt::red));
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

} // namespace
} // namespace tarn
