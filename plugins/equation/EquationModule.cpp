// The "Equation" module: creates and edits waveforms from an expression in t,
// kept with the waveform as one data block (the expression's UTF-8 text).
#include "EquationParser.h"
#include "tarn/tarnmodule.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstring>
#include <string>

namespace {

constexpr const char* kModuleName = "TarnEquation";
constexpr const char* kCaption = "Equation";
constexpr int32_t kModuleKey = 0x45515531;

TTarnRequestFunc request = nullptr;

void SendText(const char* text, void* buffer, void* length)
{
    if (length != nullptr) {
        *static_cast<int32_t*>(length) = static_cast<int32_t>(std::strlen(text));
    }
    if (buffer != nullptr) {
        std::memcpy(buffer, text, std::strlen(text) + 1);
    }
}

// Asks for an expression until it parses or the user cancels.
class TEquationDialog : public QDialog {
public:
    TEquationDialog(QWidget* parent, const std::string& expression) : QDialog(parent)
    {
        setWindowTitle(QString::fromUtf8(kCaption));
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
        Error = new QLabel(this);
        Error->setObjectName(QStringLiteral("EquationError"));
        Error->setAccessibleName(QStringLiteral("Error"));
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        for (QAbstractButton* button : buttons->buttons()) {
            button->setAccessibleName(button->text());
        }
        layout->addWidget(label);
        layout->addWidget(Edit);
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

// The expression stored with the work waveform, when it is this module's.
std::string StoredExpression()
{
    int32_t own = 0;
    request(TARN_REQUEST_REWIND, 0, &own, nullptr);
    if (own == 0) {
        return {};
    }
    const void* block = nullptr;
    int32_t length = -1;
    request(TARN_REQUEST_NEXT_BLOCK, 0, &block, &length);
    return length > 0 && block != nullptr
               ? std::string(static_cast<const char*>(block), static_cast<std::size_t>(length))
               : std::string();
}

// Samples the expression into the view and keeps the text with the waveform.
void Fill(TWaveformData* view, const tarnplugin::TEquation& equation, const std::string& text)
{
    const std::vector<unsigned short> samples = equation.Sample(view->Count, view->Range);
    std::memcpy(view->Samples, samples.data(), samples.size() * sizeof(unsigned short));
    request(TARN_REQUEST_RESET_DATA, 0, nullptr, nullptr);
    request(TARN_REQUEST_ADD_BLOCK, static_cast<intptr_t>(text.size()), const_cast<char*>(text.data()), nullptr);
}

void Run(QWidget* parent, bool edit)
{
    if (request == nullptr) {
        return;
    }
    const std::string stored = edit ? StoredExpression() : std::string();
    TEquationDialog dialog(parent, stored.empty() ? std::string("sin(2*pi*t)") : stored);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const std::string text = dialog.Edit->text().toStdString();
    TWaveformData* view = nullptr;
    if (edit) {
        request(TARN_REQUEST_GET_DATA, 0, &view, nullptr);
        if (view != nullptr && view->Count > 0) {
            Fill(view, dialog.Equation, text);
            request(TARN_REQUEST_COMMIT, 0, nullptr, nullptr);
        }
        return;
    }
    TTarnBool accepted = 0;
    request(TARN_REQUEST_NEW_WAVE, 0, &view, &accepted);
    if (accepted != 0 && view != nullptr && view->Count > 0) {
        Fill(view, dialog.Equation, text);
        request(TARN_REQUEST_ADD_WAVE, 0, nullptr, nullptr);
    }
}

} // namespace

extern "C" __attribute__((visibility("default"))) void AppRequest(int32_t Code, intptr_t Param, void* P3, void* P4)
{
    switch (Code) {
    case TARN_MODULE_NAME:
        SendText(kModuleName, P3, P4);
        break;
    case TARN_MODULE_CAPTION:
        SendText(kCaption, P3, P4);
        break;
    case TARN_MODULE_KEY:
        *static_cast<int32_t*>(P3) = kModuleKey;
        break;
    case TARN_MODULE_FLAGS:
        *static_cast<int32_t*>(P3) = TARN_FLAG_CREATE | TARN_FLAG_EDIT | TARN_FLAG_KEEP_DATA;
        break;
    case TARN_MODULE_SET_REQUEST:
        request = reinterpret_cast<TTarnRequestFunc>(P3);
        break;
    case TARN_MODULE_EDIT:
    case TARN_MODULE_CREATE:
        Run(reinterpret_cast<QWidget*>(Param), Code == TARN_MODULE_EDIT);
        break;
    default:
        break;
    }
}
