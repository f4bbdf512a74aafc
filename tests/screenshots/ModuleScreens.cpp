// SPDX-License-Identifier: MIT
// The shipped modules' dialogs, opened by "Create by" as the program would,
// as pictures at the running screen scale, with their controls unsqueezed.
#include "plugins/include/tarn/tarnmodule.h"
#include "shell/Main.h"
#include "tests/program/ProgramHarness.h"
#include "tests/screenshots/ScreenshotSupport.h"

#include <QAccessible>
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLibrary>
#include <QLineEdit>
#include <QSpinBox>

#include <gtest/gtest.h>

#include <fstream>

namespace tarn::test {
namespace {

// Answers only the sample range; nothing is created since every dialog is cancelled.
int32_t RangeOnly(int32_t code, intptr_t, void* p3, void*)
{
    if (code != TARN_REQUEST_SAMPLE_RANGE) {
        return 0;
    }
    *static_cast<int32_t*>(p3) = 4096;
    return 1;
}

void Capture(const char* module, const std::string& state, const std::function<void(QDialog&)>& prepare = {})
{
    TScreenWindow window;
    QLibrary library(QString::fromStdString((std::filesystem::path(TARN_BIN_DIR) / "modules" / module).string()));
    auto request = reinterpret_cast<TTarnAppRequestFunc>(library.resolve(TARN_MODULE_ENTRY_NAME));
    ASSERT_NE(request, nullptr) << module;
    std::vector<std::string> squeezed{"not shown"};
    std::filesystem::path picture;
    TStepper steps({[&] {
                       auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                       if (dialog == nullptr) {
                           return false;
                       }
                       if (prepare) {
                           prepare(*dialog);
                       }
                       window.Settle();
                       squeezed = SqueezedControls(*dialog);
                       // Every control is named for screen readers, and has a hint unless it is a button.
                       for (const QWidget* control : dialog->findChildren<QWidget*>()) {
                           const bool button = qobject_cast<const QAbstractButton*>(control) != nullptr;
                           if ((button || qobject_cast<const QLineEdit*>(control) != nullptr
                                || qobject_cast<const QAbstractSpinBox*>(control) != nullptr
                                || qobject_cast<const QComboBox*>(control) != nullptr)
                               && control->parentWidget()->inherits("QAbstractSpinBox") == false
                               && (QAccessible::queryAccessibleInterface(const_cast<QWidget*>(control))
                                       ->text(QAccessible::Name)
                                       .isEmpty()
                                   || (!button && control->accessibleDescription().isEmpty()))) {
                               squeezed.push_back("unnamed " + control->objectName().toStdString());
                           }
                       }
                       picture = SavePicture(*dialog, state);
                       dialog->reject();
                       return true;
                   }},
                   std::chrono::seconds(20));
    request(TARN_MODULE_SET_REQUEST, 0, reinterpret_cast<void*>(&RangeOnly), nullptr);
    request(TARN_MODULE_CREATE, reinterpret_cast<intptr_t>(&window.Form()), nullptr, nullptr);
    EXPECT_TRUE(steps.Finished());
    EXPECT_EQ(squeezed, std::vector<std::string>{}) << state;
    EXPECT_TRUE(std::filesystem::exists(picture)) << state;
}

TEST(ModuleScreens, EquationHarmonicsAndImport)
{
    Capture("equation.so", "module_equation");
    Capture("harmonics.so", "module_harmonics");
    const std::filesystem::path csv = std::filesystem::path(testing::TempDir()) / "measurement.csv";
    {
        std::ofstream out(csv);
        out << "time;volts\n";
        for (int i = 0; i < 200; ++i) {
            out << i << ';' << (i % 50) / 25.0 - 1 << '\n';
        }
    }
    Capture("import.so", "module_import", [&csv](QDialog& dialog) {
        auto* file = dialog.findChild<QLineEdit*>(QStringLiteral("ImportFile"));
        file->setText(QString::fromStdString(csv.string()));
        emit file->editingFinished();
        dialog.findChild<QSpinBox*>(QStringLiteral("ImportColumn"))->setValue(2);
        dialog.findChild<QComboBox*>(QStringLiteral("ImportKind"))->setCurrentIndex(1);
    });
    Capture("import.so", "module_import_refused", [](QDialog& dialog) {
        auto* file = dialog.findChild<QLineEdit*>(QStringLiteral("ImportFile"));
        file->setText(QStringLiteral("/nonexistent/values.csv"));
        emit file->editingFinished();
        // The red refusal reads on the dialog in either palette.
        QApplication::processEvents();
        const QImage picture = dialog.grab().toImage();
        const QWidget* status = dialog.findChild<QLabel*>(QStringLiteral("ImportStatus"));
        ASSERT_NE(status, nullptr);
        ExpectReadable("module error text", MeasureContrast(picture, PictureRect(*status, picture), HueNear(0)));
    });
    std::filesystem::remove(csv);
}

} // namespace
} // namespace tarn::test
