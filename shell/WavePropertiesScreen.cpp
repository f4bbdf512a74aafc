// SPDX-License-Identifier: MIT
#include "shell/WavePropertiesScreen.h"

#include "shell/master/DialogService.h"
#include "data/StringsTarn.h"
#include "data/WaveformTarn.h"
#include "shell/NewWaveScreen.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tarn {

namespace {

QString Text(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

TWavePropertiesForm::TWavePropertiesForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowCloseButtonHint)
{
    MakeModalToOwner(*this);
    setWindowTitle(Text(Strings::WavePropertiesCaption));
    setFixedSize(kClientWidth, kClientHeight);
    NameEdit = new QLineEdit(this);
    SizeText = new QLabel(this);
    ModeText = new QLabel(this);
    EditorText = new QLabel(this);
    const std::pair<const char*, QWidget*> rows[] = {{Strings::LabelName, NameEdit},
                                                     {Strings::LabelSize, SizeText},
                                                     {Strings::LabelMode, ModeText},
                                                     {Strings::LabelEditor, EditorText}};
    int top = 2;
    for (const auto& [caption, field] : rows) {
        const bool name = field == NameEdit;
        PlaceLabelledField(*new QLabel(Text(caption), this), *field, top, name ? 22 : 18, kClientWidth, name ? 3 : 2);
        top += name ? 25 : 19;
    }
    OkBtn = new QPushButton(Text(Strings::ButtonOK), this);
    CancelBtn = new QPushButton(Text(Strings::ButtonCancel), this);
    OkBtn->setGeometry(kClientWidth - 164, kClientHeight - 25, 75, 23);
    CancelBtn->setGeometry(kClientWidth - 83, kClientHeight - 25, 75, 23);
    OkBtn->setDefault(true);
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

TWavePropertiesForm::~TWavePropertiesForm() = default;

bool TWavePropertiesForm::Execute(TWaveformTarn& waveform, const TEditorLookup& editor)
{
    NameEdit->setText(QString::fromStdString(waveform.Name));
    SizeText->setText(QString::fromStdString(waveform.SizeText()));
    ModeText->setText(QString::fromStdString(waveform.ModeText()));
    const std::string caption = editor ? editor(waveform.ModuleData) : std::string();
    EditorText->setText(caption.empty() ? Text(Strings::EditorNone) : QString::fromStdString(caption));
    if (exec() != QDialog::Accepted) {
        return false;
    }
    waveform.Name = NameEdit->text().toStdString();
    return true;
}

} // namespace tarn
