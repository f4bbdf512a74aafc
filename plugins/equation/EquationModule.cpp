// SPDX-License-Identifier: MIT
// The "Equation" module: creates and edits waveforms from an expression in t,
// kept with the waveform as one data block (the expression's UTF-8 text).
#include "EquationParser.h"
#include "ModulePreview.h"
#include "ModuleSupport.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr tarnplugin::TModuleDescription kModule = {"TarnEquation", "Equation", 0x45515531,
                                                    TARN_FLAG_CREATE | TARN_FLAG_EDIT | TARN_FLAG_KEEP_DATA};

// Asks for an expression until it parses or the user cancels.
class TEquationDialog : public QDialog {
public:
    TEquationDialog(QWidget* parent, const std::string& expression) : QDialog(parent)
    {
        // Holds up the program's main window only: its manual stays usable.
        setWindowModality(Qt::WindowModal);
        setWindowTitle(QString::fromUtf8(kModule.caption));
        auto* layout = new QVBoxLayout(this);
        auto* label = new QLabel(QStringLiteral("Expression in t (0 <= t < 1 over one period), values -1 .. 1:"), this);
        Edit = new QLineEdit(QString::fromStdString(expression), this);
        Edit->setObjectName(QStringLiteral("EquationEdit"));
        Edit->setAccessibleName(QStringLiteral("Expression"));
        Edit->setToolTip(QStringLiteral("Operators + - * / ^; sin cos tan exp log sqrt abs floor sign pow min max; "
                                        "square saw triangle (phase in periods); pi, e"));
        Edit->setAccessibleDescription(Edit->toolTip());
        Edit->setMinimumWidth(360);
        label->setBuddy(Edit);
        auto* functions = new QLabel(Edit->toolTip(), this);
        functions->setWordWrap(true);
        functions->setForegroundRole(QPalette::PlaceholderText);
        Error = new QLabel(this);
        Error->setObjectName(QStringLiteral("EquationError"));
        Error->setAccessibleDescription(QStringLiteral("Why the expression does not parse"));
        Error->setStyleSheet(tarnplugin::ErrorTextStyle(*this));
        Error->setMinimumHeight(Error->fontMetrics().lineSpacing());
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        for (QAbstractButton* button : buttons->buttons()) {
            button->setAccessibleName(button->text());
        }
        layout->addWidget(label);
        layout->addWidget(Edit);
        layout->addWidget(functions);
        layout->addWidget(Error);
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::accepted, this, &TEquationDialog::TryAccept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    }

    tarnplugin::TEquation Equation;
    QLineEdit* Edit = nullptr;
    QLabel* Error = nullptr;

private:
    void TryAccept()
    {
        const std::string text = Edit->text().toStdString();
        if (Equation.Parse(text)) {
            accept();
            return;
        }
        Error->setText(QStringLiteral("Position %1: %2")
                           .arg(Equation.ErrorPosition + 1)
                           .arg(QString::fromStdString(Equation.ErrorText)));
        Edit->setCursorPosition(Equation.ErrorPosition);
        Edit->setFocus();
    }
};

bool AskExpression(QWidget* parent, const std::string& stored, std::string& block)
{
    TEquationDialog dialog(parent, stored.empty() ? std::string("sin(2*pi*t)") : stored);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    block = dialog.Edit->text().toStdString();
    return true;
}

std::vector<unsigned short> SampleExpression(const std::string& block, int count, int range)
{
    tarnplugin::TEquation equation;
    equation.Parse(block);
    return equation.Sample(count, range);
}

} // namespace

extern "C" __attribute__((visibility("default"))) void AppRequest(int32_t Code, intptr_t Param, void* P3, void* P4)
{
    tarnplugin::ServeAppRequest(kModule, AskExpression, SampleExpression, Code, Param, P3, P4);
}
