// SPDX-License-Identifier: MIT
// The "Sweep" window of the running program on the virtual generator: set up
// with the keyboard's fields, started, followed and stopped; field and plan
// errors beside the fields; a list imported from CSV; and the window
// following a sweep set up and started elsewhere (as the remote control does).
#include "data/SettingsTarn.h"
#include "shell/DetachedScreen.h"
#include "shell/HelpScreen.h"
#include "shell/Main.h"
#include "shell/SweepScreen.h"
#include "sweep/SweepRunnerTarn.h"
#include "tests/program/DeviceExpectations.h"
#include "tests/program/ProgramHarness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

namespace tarn::test {
namespace {

class SweepWindow : public ::testing::Test {
protected:
    // An arbitrary waveform at 1 MHz in "Con" mode (DeviceExpectations).
    void SetUp() override
    {
        ASSERT_TRUE(run.started);
        run.Form().Sweep1()->trigger();
        QApplication::processEvents();
        form = run.Form().SweepForm();
        ASSERT_NE(form, nullptr);
        window = qobject_cast<TDetachedForm*>(form->window());
        ASSERT_NE(window, nullptr) << "a detached window like the groups'";
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        QObject::connect(&Runner(), &TSweepRunnerTarn::Stepped, form, [this] {
            produced.push_back(GeneratorFrequency(*run.vg, false));
            steps.push_back(form->StepLabel->text().toStdString());
            bars.push_back(form->ProgressBar->value());
        });
    }
    TSweepRunnerTarn& Runner() { return run.Form().SweepRunnerTarn1(); }
    static void Type(QLineEdit* edit, const QString& text)
    {
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    bool WaitUntil(const std::function<bool()>& done, int ms = 5000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!done() && std::chrono::steady_clock::now() < end)
            QTest::qWait(5);
        return done();
    }
    void SetUpLogSweep(int points, const char* dwell, bool continuous)
    {
        form->SweepModeBtn->click();
        form->TargetBox->setCurrentIndex(0);
        Type(form->StartEdit, QStringLiteral("1k"));
        Type(form->StopEdit, QStringLiteral("10k"));
        form->PointsBox->setValue(points);
        form->StepSizeEdit->clear();
        form->SpacingBox->setCurrentIndex(1);
        form->DirectionBox->setCurrentIndex(0);
        Type(form->DwellEdit, QString::fromLatin1(dwell));
        form->TimeEdit->clear();
        form->CountBox->setValue(1);
        form->ContinuousBox->setChecked(continuous);
    }

    TStartedProgram run;
    TSweepForm* form = nullptr;
    TDetachedForm* window = nullptr;
    std::vector<double> produced;
    std::vector<std::string> steps;
    std::vector<int> bars;
};

TEST_F(SweepWindow, TabGoesThroughTheFieldsInReadingOrderAndTheLettersReachThem)
{
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    form->SweepModeBtn->setFocus(Qt::TabFocusReason);
    const QWidget* expected[] = {form->SweepModeBtn, form->TargetBox,    form->StartEdit,  form->StopEdit,
                                 form->PointsBox,    form->StepSizeEdit, form->SpacingBox, form->DirectionBox,
                                 form->DwellEdit,    form->TimeEdit,     form->CountBox,   form->ContinuousBox,
                                 form->StartBtn};
    std::vector<const QWidget*> visited;
    for (std::size_t i = 0; i < 2 * std::size(expected) && visited.size() < std::size(expected); ++i) {
        const QWidget* at = QApplication::focusWidget();
        if (at != form->ListModeBtn) // the other radio of a pair may or may not be a stop
            visited.push_back(at);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, std::vector<const QWidget*>(std::begin(expected), std::end(expected)));
    const std::pair<Qt::Key, QWidget*> letters[] = {{Qt::Key_R, form->StartEdit}, {Qt::Key_O, form->StopEdit},
                                                    {Qt::Key_E, form->DwellEdit}, {Qt::Key_C, form->CountBox},
                                                    {Qt::Key_T, form->TargetBox}, {Qt::Key_N, form->PointsBox}};
    for (const auto& [key, field] : letters) {
        QTest::keyClick(window, key, Qt::AltModifier);
        EXPECT_EQ(QApplication::focusWidget(), field) << char(key);
    }
    QTest::keyClick(window, Qt::Key_L, Qt::AltModifier);
    QTest::qWait(200); // a button's letter presses it as a click the eye can see
    EXPECT_TRUE(form->ListModeBtn->isChecked());
    EXPECT_TRUE(form->ListTable->isVisible());
}

TEST_F(SweepWindow, DrivesALogarithmicSweepOnTheGeneratorAndShowsItsProgress)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Sweep - Sable Generator"));
    EXPECT_EQ(run.Form().Sweep1()->text(), QStringLiteral("&Sweep..."));
    SetUpLogSweep(4, "30ms", false);
    form->StartBtn->click();
    EXPECT_TRUE(Runner().Running());
    EXPECT_FALSE(form->StartBtn->isEnabled());
    EXPECT_TRUE(form->StopBtn->isEnabled());
    ASSERT_TRUE(WaitUntil([this] { return !Runner().Running(); }));
    // 1k, 2.15k, 4.64k, 10k on the generator's clock, in order, each once.
    const double wanted[] = {1000.0, 2154.43, 4641.59, 10000.0};
    ASSERT_EQ(produced.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(produced[i], wanted[i], wanted[i] * 1e-3) << i;
        EXPECT_EQ(steps[i], "Step " + std::to_string(i + 1) + " of 4, pass 1 of 1") << i;
        EXPECT_EQ(bars[i], int(i + 1)) << i;
    }
    EXPECT_TRUE(form->StartBtn->isEnabled());
    EXPECT_FALSE(form->StopBtn->isEnabled());
    EXPECT_EQ(form->StepLabel->text(), QStringLiteral("Not running"));
    EXPECT_EQ(form->ValueLabel->text(), QStringLiteral("Current value: 10k"));
}

TEST_F(SweepWindow, StopHoldsTheValueReachedAndNothingMovesAfterIt)
{
    SetUpLogSweep(50, "20ms", true);
    form->StartBtn->setFocus();
    QTest::keyClick(form->StartBtn, Qt::Key_Space);
    ASSERT_TRUE(WaitUntil([this] { return produced.size() >= 3; }));
    EXPECT_TRUE(form->StopBtn->hasFocus()) << "the keyboard goes on to Stop";
    EXPECT_NE(steps.back().find("continuous"), std::string::npos) << steps.back();
    // Closing the window leaves the sweep running; "Sweep..." brings back the same one.
    window->close();
    QApplication::processEvents();
    EXPECT_TRUE(Runner().Running());
    EXPECT_FALSE(form->isVisible());
    const std::size_t before = produced.size();
    ASSERT_TRUE(WaitUntil([&] { return produced.size() > before; }));
    run.Form().Sweep1()->trigger();
    QApplication::processEvents();
    ASSERT_EQ(run.Form().SweepForm(), form);
    window = qobject_cast<TDetachedForm*>(form->window());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(form->StopBtn->isEnabled());
    EXPECT_EQ(form->PointsBox->value(), 50) << "what was set stays";
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    form->StopBtn->setFocus();
    QTest::keyClick(form->StopBtn, Qt::Key_Space);
    EXPECT_FALSE(Runner().Running());
    const std::size_t done = produced.size();
    const double held = GeneratorFrequency(*run.vg, false);
    QTest::qWait(150);
    EXPECT_EQ(produced.size(), done);
    EXPECT_EQ(GeneratorFrequency(*run.vg, false), held);
    EXPECT_GT(held, 1000.0) << "held where it was, not back at the start";
    EXPECT_TRUE(form->StartBtn->hasFocus());
}

TEST_F(SweepWindow, ErrorsShowBesideTheirFieldsAndNothingStarts)
{
    struct Case {
        const char* start;
        const char* stop;
        const char* step;
        const char* dwell;
        QLabel* TSweepForm::*error;
        const char* says;
    };
    const Case cases[] = {
        {"abc", "10k", "", "50ms", &TSweepForm::StartError, "Not a frequency"},
        {"1k", "", "", "50ms", &TSweepForm::StopError, "Not a frequency"},
        {"1k", "10k", "x", "50ms", &TSweepForm::StepSizeError, "Not a step size"},
        {"1k", "10k", "", "5ms", &TSweepForm::DwellError, "10 ms or more"},
        {"1k", "10k", "", "soon", &TSweepForm::DwellError, "10 ms or more"},
        // Readable fields, but no sweep: the plan says why, under the fields.
        {"1k", "1k", "", "50ms", &TSweepForm::PlanError, "equal"},
        {"1", "10M", "1", "50ms", &TSweepForm::PlanError, "at most"},
    };
    for (const Case& c : cases) {
        SetUpLogSweep(4, c.dwell, false);
        form->SpacingBox->setCurrentIndex(0);
        Type(form->StartEdit, QString::fromLatin1(c.start));
        Type(form->StopEdit, QString::fromLatin1(c.stop));
        Type(form->StepSizeEdit, QString::fromLatin1(c.step));
        form->StartBtn->click();
        QLabel* error = form->*c.error;
        EXPECT_FALSE(Runner().Running()) << c.start;
        EXPECT_TRUE(error->isVisible()) << c.start << " " << c.stop << " " << c.step << " " << c.dwell;
        EXPECT_TRUE(error->text().contains(QString::fromLatin1(c.says))) << error->text().toStdString();
        if (error == form->StartError) {
            EXPECT_EQ(form->StartEdit->accessibleDescription(), error->text()) << "read on the field too";
        }
        int shown = 0;
        for (QLabel* l : {form->StartError, form->StopError, form->StepSizeError, form->DwellError, form->TimeError,
                          form->ListError, form->PlanError})
            shown += l->isVisible() ? 1 : 0;
        EXPECT_EQ(shown, 1) << "only the field at fault: " << c.start;
        Runner().Stop();
    }
    EXPECT_TRUE(produced.empty());
}

TEST_F(SweepWindow, AListFromCsvRunsItsFrequenciesAndABadFileLeavesTheTableAlone)
{
    const std::filesystem::path dir = run.folder.Path();
    std::ofstream(dir / "good.csv") << "frequency;dwell\n2k;20ms\n3.5k;20ms\n5k\n";
    std::ofstream(dir / "bad.csv") << "frequency\n2k\noops\n";
    form->ListModeBtn->click();
    EXPECT_TRUE(form->ListTable->isVisible());
    EXPECT_FALSE(form->TimeEdit->isEnabled()) << "a list's points carry their own dwell";
    std::filesystem::path chosen = dir / "good.csv";
    form->ChooseCsvFile = [&chosen] { return QString::fromStdString(chosen.string()); };
    Type(form->DwellEdit, QStringLiteral("30ms"));
    form->ImportBtn->click();
    ASSERT_EQ(form->ListTable->rowCount(), 3);
    EXPECT_EQ(form->ListTable->item(1, 0)->text(), QStringLiteral("3.5k"));
    EXPECT_EQ(form->ListTable->item(2, 2)->text(), QStringLiteral("30ms"))
        << "the window's dwell where the file has none";
    chosen = dir / "bad.csv";
    form->ImportBtn->click();
    EXPECT_TRUE(form->ListError->isVisible());
    EXPECT_EQ(form->ListError->text().toStdString(), "Line 3: \"oops\" is not a frequency");
    EXPECT_EQ(form->ListTable->rowCount(), 3);
    // A sweep started meanwhile leaves the table as it is.
    SetUpLogSweep(4, "20ms", false);
    form->StartBtn->click();
    form->StopBtn->click();
    form->ListModeBtn->click();
    ASSERT_EQ(form->ListTable->rowCount(), 3);
    form->AddPointBtn->click();
    form->ListTable->item(3, 0)->setText(QStringLiteral("7k"));
    produced.clear();
    form->StartBtn->click();
    EXPECT_FALSE(form->ListError->isVisible());
    ASSERT_TRUE(WaitUntil([this] { return !Runner().Running(); }));
    const double wanted[] = {2000, 3500, 5000, 7000};
    ASSERT_EQ(produced.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_NEAR(produced[i], wanted[i], wanted[i] * 1e-3) << i;
    // A cell that does not read is named by its point.
    form->ListTable->item(1, 0)->setText(QStringLiteral("fast"));
    form->StartBtn->click();
    EXPECT_EQ(form->ListError->text().toStdString(), "Point 2: Not a frequency (e.g. 1k, 2.5M)");
    EXPECT_FALSE(Runner().Running());
}

TEST_F(SweepWindow, FollowsASweepSetUpAndStartedElsewhereAndF1OpensItsSection)
{
    TSweepSetup setup = Runner().Setup();
    setup.ListMode = false;
    setup.Target = TSweepTarget::Frequency;
    setup.Start = 2000;
    setup.Stop = 8000;
    setup.Points = 7;
    setup.Spacing = TSweepSpacing::Linear;
    setup.Direction = TSweepDirection::UpDown;
    setup.Dwell = 0.02;
    setup.Count = 2;
    Runner().SetSetup(setup);
    EXPECT_EQ(form->StartEdit->text(), QStringLiteral("2k"));
    EXPECT_EQ(form->StopEdit->text(), QStringLiteral("8k"));
    EXPECT_EQ(form->PointsBox->value(), 7);
    EXPECT_EQ(form->DirectionBox->currentIndex(), 2);
    EXPECT_EQ(form->DwellEdit->text(), QStringLiteral("20ms"));
    EXPECT_EQ(form->CountBox->value(), 2);
    std::string error;
    ASSERT_TRUE(Runner().Start(error)) << error;
    EXPECT_FALSE(form->StartBtn->isEnabled());
    ASSERT_TRUE(WaitUntil([this] { return produced.size() >= 2; }));
    EXPECT_NE(form->StepLabel->text().indexOf(QStringLiteral("pass 1 of 2")), -1);
    form->StopBtn->click();
    EXPECT_FALSE(Runner().Running()) << "the window stops what it did not start";
    // The window's own setup is the same one the remote control reads back.
    form->PointsBox->setValue(5);
    form->StartBtn->click();
    EXPECT_EQ(Runner().Setup().Points, 5);
    form->StopBtn->click();

    EXPECT_EQ(HelpAnchorFor(run.Form(), form->ListTable), QStringLiteral("sweep"));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    form->StartEdit->setFocus(Qt::OtherFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), form->StartEdit);
    EXPECT_EQ(run.Form().HelpWindow(), nullptr);
    QTest::keyClick(window, Qt::Key_F1);
    ASSERT_NE(run.Form().HelpWindow(), nullptr) << "F1 in the Sweep window";
    EXPECT_TRUE(run.Form().HelpWindow()->isVisible());
}

} // namespace
} // namespace tarn::test
