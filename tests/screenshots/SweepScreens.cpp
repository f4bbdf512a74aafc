// SPDX-License-Identifier: MIT
// The "Sweep" window while a sweep runs, and with a list, at the running
// screen scale and palette, its controls unsqueezed and its texts readable.
#include "shell/DetachedScreen.h"
#include "shell/Main.h"
#include "shell/SweepScreen.h"
#include "sweep/SweepRunnerTarn.h"
#include "tests/screenshots/ScreenshotSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace tarn::test {
namespace {

TEST(SweepScreens, RunningAndWithAList)
{
    TScreenWindow screen;
    TMainForm& main = screen.Form();
    main.Sweep1()->trigger();
    TSweepForm* form = main.SweepForm();
    ASSERT_NE(form, nullptr);
    QWidget* window = form->window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    form->StartEdit->setText(QStringLiteral("1k"));
    form->StopEdit->setText(QStringLiteral("10k"));
    form->PointsBox->setValue(21);
    form->SpacingBox->setCurrentIndex(1);
    form->DwellEdit->setText(QStringLiteral("2s"));
    form->ContinuousBox->setChecked(true);
    form->StartBtn->click();
    ASSERT_TRUE(main.SweepRunnerTarn1().Running());
    screen.Settle();
    EXPECT_EQ(SqueezedControls(*form), std::vector<std::string>{});
    EXPECT_TRUE(std::filesystem::exists(SavePicture(*window, "sweep_running")));
    const QImage picture = window->grab().toImage();
    ExpectReadable("sweep step", MeasureContrast(picture, PictureRect(*form->StepLabel, picture)));
    ExpectReadable("sweep value", MeasureContrast(picture, PictureRect(*form->ValueLabel, picture)));
    form->StopBtn->click();

    // A field at fault, its error beside it in the warning colours.
    form->StartEdit->setText(QStringLiteral("abc"));
    form->StartBtn->click();
    ASSERT_TRUE(form->StartError->isVisible());
    screen.Settle();
    const QImage error = window->grab().toImage();
    ExpectReadable("sweep field error", MeasureContrast(error, PictureRect(*form->StartError, error)));
    EXPECT_TRUE(std::filesystem::exists(SavePicture(*window, "sweep_error")));

    form->ListModeBtn->click();
    const char* points[][3] = {{"1k", "", "100ms"}, {"2k", "500m", "100ms"}, {"5k", "1", "250ms"}};
    for (const auto& row : points) {
        form->AddPointBtn->click();
        const int r = form->ListTable->rowCount() - 1;
        for (int c = 0; c < 3; ++c)
            form->ListTable->item(r, c)->setText(QString::fromLatin1(row[c]));
    }
    form->ListTable->clearSelection();
    screen.Settle();
    EXPECT_EQ(SqueezedControls(*form), std::vector<std::string>{});
    EXPECT_TRUE(std::filesystem::exists(SavePicture(*window, "sweep_list")));
}

} // namespace
} // namespace tarn::test
