// SPDX-License-Identifier: MIT
// The main window with both channel panels, rendered offscreen in three
// states, and the panels' layout checked: every control inside its group box,
// no two overlapping, every caption wide enough for its text.
#include "data/SettingsTarn.h"
#include "panels/ChannelWrapperTarn.h"
#include "panels/HLEditTarn.h"
#include "shell/Main.h"
#include "shell/TarnProgram.h"
#include "shell/master/tests/TestApp.h"
#include "tests/program/ProgramHarness.h"
#include "tests/screenshots/Screenshot.h"
#include "tests/screenshots/ScreenshotSupport.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include <memory>

namespace tarn::test {
namespace {

class ChannelPanelScreens : public ::testing::Test {
protected:
    void SetUp() override
    {
        ScreenApp();
        QApplication::setQuitOnLastWindowClosed(false);
        TProgramOptions options;
        options.programFolder = folder.Path().string();
        options.singleInstanceCheck = false;
        program = std::make_unique<TTarnProgram>(dialogs, options);
        ASSERT_TRUE(program->Start());
        Form().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form()));
    }
    void TearDown() override { program->Finish(); }
    TMainForm& Form() { return *program->MainForm(); }
    void Shoot(const char* state)
    {
        const QImage image = SaveScreenshot(Form(), QString::fromLatin1(state));
        ASSERT_FALSE(image.isNull()) << state;
        EXPECT_EQ(image.width(), Form().width() * ScreenshotScale());
    }

    TProgramFolder folder;
    TScriptedDialogs dialogs;
    std::unique_ptr<TTarnProgram> program;
};

// The width a control needs to show its text whole.
int NeededWidth(const QWidget* w)
{
    const QFontMetrics fm = w->fontMetrics();
    if (const auto* button = qobject_cast<const QAbstractButton*>(w))
        return fm.horizontalAdvance(button->text()) + 6;
    if (const auto* label = qobject_cast<const QLabel*>(w))
        return fm.horizontalAdvance(label->text()) + 2;
    if (const auto* box = qobject_cast<const QComboBox*>(w))
        return box->sizeHint().width(); // the longest item with frame and arrow
    if (const auto* edit = qobject_cast<const QLineEdit*>(w))
        return fm.horizontalAdvance(edit->text()) + 8;
    return 0;
}

TEST_F(ChannelPanelScreens, ControlsFitTheirGroupBoxes)
{
    for (const auto group : {TMainForm::GroupOutputL, TMainForm::GroupOutputH}) {
        QGroupBox* box = Form().Group(group);
        EXPECT_EQ(box->size(), QSize(276, 275));
        QList<QWidget*> controls;
        for (QWidget* w : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            controls.append(w);
        EXPECT_EQ(controls.size(), 34);
        // Below the title, inside the frame.
        const int titleBottom = box->fontMetrics().height();
        const QRect inside = box->rect().adjusted(2, titleBottom, -2, -2);
        for (int i = 0; i < controls.size(); ++i) {
            const QWidget* a = controls[i];
            const std::string name = a->accessibleName().toStdString();
            EXPECT_TRUE(a->isVisible()) << name;
            EXPECT_TRUE(inside.contains(a->geometry())) << name;
            EXPECT_LE(NeededWidth(a), a->width()) << name << " is clipped";
            EXPECT_GE(a->height(), a->fontMetrics().height() + 2) << name;
            for (int j = i + 1; j < controls.size(); ++j)
                EXPECT_FALSE(a->geometry().intersects(controls[j]->geometry()))
                    << name << " overlaps " << controls[j]->accessibleName().toStdString();
        }
    }
}

TEST_F(ChannelPanelScreens, Start)
{
    Shoot("start");
}

TEST_F(ChannelPanelScreens, AfterALevelChange)
{
    const TChannelControls& l = Form().ChannelWrapperTarn1().Controls();
    l.LevelBar->setValue(4096 - 3900);
    l.VppEdit->selectAll();
    QTest::keyClicks(l.VppEdit, QStringLiteral("9.5"));
    Shoot("level");
}

TEST_F(ChannelPanelScreens, StepMode)
{
    const TChannelControls& l = Form().ChannelWrapperTarn1().Controls();
    QTest::mouseClick(l.ShiftStepBtn, Qt::LeftButton);
    l.ShiftBar->setValue(l.ShiftBar->value() - 700);
    QTest::mouseClick(Form().ChannelWrapperTarn2().Controls().Load50Btn, Qt::LeftButton);
    Shoot("step");
}

} // namespace
} // namespace tarn::test
