// SPDX-License-Identifier: MIT
// The shipped modules in the running program: Create by, Edit by and the
// properties dialog, through the real menus and dialogs.
#include "data/SettingsTarn.h"
#include "data/WaveformTarn.h"
#include "modules/ModuleManagerTarn.h"
#include "panels/WaveListBoxTarn.h"
#include "shell/Main.h"
#include "shell/NewWaveScreen.h"
#include "shell/TarnProgram.h"
#include "shell/master/tests/TestApp.h"
#include "shell/WavePropertiesScreen.h"
#include "tests/program/ProgramHarness.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>

namespace tarn::test {
namespace {

// The module's expression dialog when it is the modal window.
QLineEdit* EquationEdit()
{
    QWidget* modal = QApplication::activeModalWidget();
    return modal != nullptr ? modal->findChild<QLineEdit*>(QStringLiteral("EquationEdit")) : nullptr;
}

void ClickOk(QWidget* dialog)
{
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}

QAction* Item(QMenu* menu, const char* caption)
{
    for (QAction* item : menu->actions()) {
        if (item->text() == QLatin1String(caption)) {
            return item;
        }
    }
    return nullptr;
}

// Fills the New-wave dialog once it is the modal window, then clicks OK.
TStepper::Step NewWaveStep(std::function<void(TNewWaveForm&)> fill)
{
    return [fill = std::move(fill)] {
        auto* dialog = qobject_cast<TNewWaveForm*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return false;
        }
        fill(*dialog);
        dialog->OkBtn->click();
        return true;
    };
}

TEST(Modules, EquationCreatesEditsAndNamesItself)
{
    TStartedProgram run(true);
    ASSERT_TRUE(run.started);
    TMainForm& form = run.Form();
    TModuleManagerTarn& modules = form.ModuleManagerTarn1();
    QAction* create = Item(modules.CreatorMenuItem, "Equation");
    QAction* edit = Item(modules.EditorMenuItem, "Equation");
    ASSERT_NE(create, nullptr);
    ASSERT_NE(edit, nullptr);
    const std::size_t before = form.SettingsTarn1().Repository.size();
    TWaveListBoxTarn& list = form.WaveListBoxTarn1();
    list.SetItemIndex(0);
    form.SendToGenerator1()->trigger();
    const std::int32_t playing = list.PlayingIndex();
    ASSERT_EQ(playing, list.IndexMap()[0]);

    QString error;
    TStepper creating({[&] {
                           QLineEdit* field = EquationEdit();
                           if (field == nullptr) {
                               return false;
                           }
                           // Nothing is written until the expression parses.
                           field->setText(QStringLiteral("sin(2*pi*"));
                           ClickOk(field->window());
                           error = field->window()->findChild<QLabel*>(QStringLiteral("EquationError"))->text();
                           field->setText(QStringLiteral("sin(2*pi*t)"));
                           ClickOk(field->window());
                           return true;
                       },
                       NewWaveStep([](TNewWaveForm& dialog) {
                           dialog.NameEdit->setText(QStringLiteral("Sine 1000"));
                           dialog.ModeBox->setCurrentIndex(1);
                           dialog.SizeEdit->setText(QStringLiteral("1000"));
                       })},
                      std::chrono::seconds(20));
    create->trigger();
    ASSERT_TRUE(creating.Finished());
    EXPECT_EQ(error.toStdString(), "Position 10: expression expected");
    ASSERT_EQ(form.SettingsTarn1().Repository.size(), before + 1);
    const TWaveformTarn& made = *form.SettingsTarn1().Repository.back();
    EXPECT_EQ(made.Name, "Sine 1000");
    // The new waveform is the selection; the mark stays on what plays.
    EXPECT_EQ(list.Item(list.ItemIndex()), QStringLiteral("Sine 1000"));
    EXPECT_EQ(list.PlayingIndex(), playing);
    EXPECT_FALSE(made.IsStandard);
    ASSERT_EQ(made.SampleCount(), 1000);
    std::int32_t worst = 0;
    for (int i = 0; i < 1000; ++i) {
        const double expected = 2048.0 + 2047.0 * std::sin(2.0 * std::numbers::pi * i / 1000.0);
        worst = std::max(worst, static_cast<std::int32_t>(std::ceil(std::fabs(made.Samples()[i] - expected))));
    }
    EXPECT_LE(worst, 1);
    EXPECT_EQ(made.MaxSample(), 4095);
    EXPECT_EQ(made.MinSample(), 1);
    EXPECT_EQ(made.ModuleData.ModuleName, "TarnEquation");
    EXPECT_EQ(made.ModuleData.Blocks, (std::vector<std::string>{"sin(2*pi*t)"}));

    // Edit by on it offers the stored expression; a new one replaces samples and block.
    for (int row = 0; row < list.Count(); ++row) {
        if (list.Item(row) == QStringLiteral("Sine 1000")) {
            list.SetItemIndex(row);
        }
    }
    QString offered;
    TStepper editing({[&] {
                         QLineEdit* field = EquationEdit();
                         if (field == nullptr) {
                             return false;
                         }
                         offered = field->text();
                         field->setText(QStringLiteral("square(t)"));
                         ClickOk(field->window());
                         return true;
                     }},
                     std::chrono::seconds(20));
    edit->trigger();
    ASSERT_TRUE(editing.Finished());
    EXPECT_EQ(offered.toStdString(), "sin(2*pi*t)");
    const TWaveformTarn& edited = *form.SettingsTarn1().Repository[before];
    EXPECT_EQ(edited.SampleCount(), 1000);
    EXPECT_EQ(edited.Samples()[0], 4095);
    EXPECT_EQ(edited.Samples()[999], 1);
    EXPECT_EQ(edited.ModuleData.Blocks, (std::vector<std::string>{"square(t)"}));

    QString editor;
    TStepper properties({[&] {
                            auto* dialog = qobject_cast<TWavePropertiesForm*>(QApplication::activeModalWidget());
                            if (dialog == nullptr) {
                                return false;
                            }
                            editor = dialog->EditorText->text();
                            dialog->CancelBtn->click();
                            return true;
                        }},
                        std::chrono::seconds(20));
    bool changed = true;
    form.WaveListBoxTarn1PropertiesShow(&list, static_cast<std::int32_t>(before), changed);
    EXPECT_TRUE(properties.Finished());
    EXPECT_EQ(editor.toStdString(), "Equation");
    EXPECT_FALSE(changed);
    EXPECT_TRUE(run.dialogs.shown.empty());
}

TEST(Modules, HarmonicsCreatesAndOffersItsParametersAgain)
{
    TStartedProgram run(true);
    ASSERT_TRUE(run.started);
    TMainForm& form = run.Form();
    QAction* create = Item(form.ModuleManagerTarn1().CreatorMenuItem, "Harmonics");
    QAction* edit = Item(form.ModuleManagerTarn1().EditorMenuItem, "Harmonics");
    ASSERT_NE(create, nullptr);
    ASSERT_NE(edit, nullptr);
    const std::size_t before = form.SettingsTarn1().Repository.size();
    const auto spin = [](const char* name) {
        QWidget* modal = QApplication::activeModalWidget();
        return modal != nullptr ? modal->findChild<QDoubleSpinBox*>(QLatin1String(name)) : nullptr;
    };
    TStepper creating({[&] {
                           QDoubleSpinBox* second = spin("Amplitude 2");
                           if (second == nullptr) {
                               return false;
                           }
                           EXPECT_EQ(spin("Amplitude 1")->value(), 1.0);
                           second->setValue(0.5);
                           spin("Amplitude 1")->setValue(0.25);
                           ClickOk(second->window());
                           return true;
                       },
                       NewWaveStep([](TNewWaveForm&) {})},
                      std::chrono::seconds(20));
    create->trigger();
    ASSERT_TRUE(creating.Finished());
    ASSERT_EQ(form.SettingsTarn1().Repository.size(), before + 1);
    const TWaveformTarn& made = *form.SettingsTarn1().Repository.back();
    ASSERT_EQ(made.SampleCount(), 8192);
    EXPECT_TRUE(made.IsStandard);
    for (int i = 0; i < 8192; i += 97) {
        const double t = i / 8192.0;
        const double v = 0.25 * std::sin(2 * std::numbers::pi * t) + 0.5 * std::sin(4 * std::numbers::pi * t);
        EXPECT_NEAR(made.Samples()[i], 2048 + 2047 * v, 0.5) << i;
    }
    EXPECT_EQ(made.ModuleData.ModuleName, "TarnHarmonics");
    const std::vector<std::uint16_t> samples(made.Samples(), made.Samples() + made.SampleCount());

    TWaveListBoxTarn& list = form.WaveListBoxTarn1();
    list.SetItemIndex(list.Count() - 1);
    ASSERT_EQ(list.Item(list.Count() - 1), QString::fromStdString(made.Name));
    double offered = 0;
    TStepper editing({[&] {
                         QDoubleSpinBox* second = spin("Amplitude 2");
                         if (second == nullptr) {
                             return false;
                         }
                         offered = second->value();
                         second->setValue(1.0);
                         second->window()->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
                         return true;
                     }},
                     std::chrono::seconds(20));
    edit->trigger();
    ASSERT_TRUE(editing.Finished());
    EXPECT_EQ(offered, 0.5);
    // Cancel writes nothing.
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), made.Samples()));
    EXPECT_TRUE(run.dialogs.shown.empty());
}

// The Import dialog once it is modal: the file is entered, the rest set by
// prepare, and OK clicked; status receives the dialog's message about the file.
TStepper::Step ImportStep(const std::filesystem::path& file, std::function<void(QWidget&)> prepare, QString& status)
{
    return [=, &status] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* edit = modal != nullptr ? modal->findChild<QLineEdit*>(QStringLiteral("ImportFile")) : nullptr;
        if (edit == nullptr) {
            return false;
        }
        edit->setText(QString::fromStdString(file.string()));
        emit edit->editingFinished();
        prepare(*modal);
        status = modal->findChild<QLabel*>(QStringLiteral("ImportStatus"))->text();
        ClickOk(modal);
        return true;
    };
}

TEST(Modules, ImportReadsACsvAndAWaveFile)
{
    TStartedProgram run(true);
    ASSERT_TRUE(run.started);
    TMainForm& form = run.Form();
    QAction* create = Item(form.ModuleManagerTarn1().CreatorMenuItem, "Import");
    ASSERT_NE(create, nullptr);
    EXPECT_EQ(Item(form.ModuleManagerTarn1().EditorMenuItem, "Import"), nullptr);
    auto& repository = form.SettingsTarn1().Repository;
    const std::size_t before = repository.size();

    // Volts in the second column with decimal commas, at a full scale of 4 Vpp.
    const std::vector<double> volts = {0.5, -1.25, 2, -2.5};
    const std::filesystem::path csv = run.folder.File("measured.csv");
    std::ofstream(csv) << "time;volts\n0;0,5\n1;-1,25\n2;2\n3;-2,5\n";
    // A stereo WAV whose second channel must be ignored, and one of 8 bits.
    const std::vector<std::int16_t> left = {1000, 3000, -20000, -10000, 32767, 32767, 0, -32768};
    const auto wave = [&](const char* name, int bits) {
        const std::filesystem::path path = run.folder.File(name);
        std::ofstream out(path, std::ios::binary);
        const auto put = [&out](std::uint32_t value, int size) {
            for (int i = 0; i < size; ++i) {
                out.put(static_cast<char>(value >> (8 * i)));
            }
        };
        out << "RIFF";
        put(36 + 32, 4);
        out << "WAVEfmt ";
        for (const auto& [value, size] : {std::pair{16, 4}, {1, 2}, {2, 2}, {8000, 4}, {32000, 4}, {4, 2}, {bits, 2}}) {
            put(static_cast<std::uint32_t>(value), size);
        }
        out << "data";
        put(32, 4);
        for (const std::int16_t sample : left) {
            put(static_cast<std::uint16_t>(sample), 2);
            put(0x7FFF, 2);
        }
        return path;
    };
    QString refused;
    QString csvStatus;
    QString waveStatus;
    bool okWhileRefused = true;
    TStepper creating(
        {ImportStep(
             wave("eight.wav", 8),
             [&](QWidget& dialog) {
                 okWhileRefused = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled();
                 auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("ImportFile"));
                 refused = dialog.findChild<QLabel*>(QStringLiteral("ImportStatus"))->text();
                 edit->setText(QString::fromStdString(csv.string()));
                 emit edit->editingFinished();
                 dialog.findChild<QSpinBox*>(QStringLiteral("ImportColumn"))->setValue(2);
                 dialog.findChild<QComboBox*>(QStringLiteral("ImportKind"))->setCurrentIndex(1);
                 dialog.findChild<QDoubleSpinBox*>(QStringLiteral("ImportFullScale"))->setValue(4);
                 dialog.findChild<QSpinBox*>(QStringLiteral("ImportSize"))->setValue(8);
             },
             csvStatus),
         NewWaveStep([](TNewWaveForm& dialog) { dialog.NameEdit->setText(QStringLiteral("Measured")); }),
         ImportStep(
             wave("stereo.wav", 16),
             [](QWidget& dialog) { dialog.findChild<QSpinBox*>(QStringLiteral("ImportSize"))->setValue(4); },
             waveStatus),
         NewWaveStep([](TNewWaveForm& dialog) { dialog.NameEdit->setText(QStringLiteral("Recorded")); })},
        std::chrono::seconds(20));
    create->trigger();
    ASSERT_EQ(creating.StepsDone(), 2u);
    create->trigger();
    ASSERT_TRUE(creating.Finished());
    EXPECT_FALSE(okWhileRefused);
    EXPECT_EQ(refused.toStdString(), "Only 16-bit WAV files can be read; this one has 8 bits per sample.");
    EXPECT_EQ(csvStatus.toStdString(), "4 values from line 2, resampled to 8. 1 sample(s) outside the code range 0 .. "
                                       "4095 clipped.");
    EXPECT_EQ(waveStatus, QStringLiteral("WAV, 2 channel(s), %1 Hz: 8 samples of the first channel, resampled to 4.")
                              .arg(QLocale().toString(8000)));
    ASSERT_EQ(repository.size(), before + 2);

    // Doubled: each value, then the mean with the next (the last with the first); halves to even.
    std::vector<int> expected;
    for (std::size_t i = 0; i < volts.size(); ++i) {
        for (const double v : {volts[i], (volts[i] + volts[(i + 1) % volts.size()]) / 2}) {
            expected.push_back(std::clamp(static_cast<int>(std::nearbyint(2048 + v / 2 * 2047)), 0, 4095));
        }
    }
    const TWaveformTarn& measured = *repository[before];
    EXPECT_EQ(measured.Name, "Measured");
    EXPECT_EQ(std::vector<int>(measured.Samples(), measured.Samples() + measured.SampleCount()), expected);
    EXPECT_EQ(measured.ModuleData.ModuleName, "TarnImport");
    // Halved: the mean of each pair, full scale of the 16-bit samples to codes 1 .. 4095.
    expected.clear();
    for (std::size_t i = 0; i < left.size(); i += 2) {
        expected.push_back(static_cast<int>(std::nearbyint(2048 + (left[i] + left[i + 1]) / 2.0 / 32767 * 2047)));
    }
    const TWaveformTarn& recorded = *repository[before + 1];
    EXPECT_EQ(recorded.Name, "Recorded");
    EXPECT_EQ(std::vector<int>(recorded.Samples(), recorded.Samples() + recorded.SampleCount()), expected);
    EXPECT_TRUE(run.dialogs.shown.empty());
}

TEST(Modules, TheUsersDataFolderAddsItsModulesAfterTheProgramFolders)
{
    TestApp();
    TProgramFolder folder;
    std::filesystem::create_directories(folder.File("data") / "modules");
    std::filesystem::copy_file(std::filesystem::path(TARN_BIN_DIR) / "modules" / "harmonics.so",
                               folder.File("data") / "modules" / "harmonics.so");
    TScriptedDialogs dialogs;
    TProgramOptions options;
    options.programFolder = folder.Path().string();
    options.dataFolder = folder.File("data").string();
    options.singleInstanceCheck = false;
    TTarnProgram program(dialogs, options);
    ASSERT_TRUE(program.Start());
    const TModuleManagerTarn& modules = program.MainForm()->ModuleManagerTarn1();
    EXPECT_EQ(modules.ModuleFolders,
              (std::vector<std::filesystem::path>{folder.File("modules"), folder.File("data") / "modules"}));
    ASSERT_EQ(modules.Modules().size(), 1u);
    EXPECT_EQ(modules.Modules()[0].Caption, "Harmonics");
    program.Finish();
}

} // namespace
} // namespace tarn::test
