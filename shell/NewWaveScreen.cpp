// SPDX-License-Identifier: MIT
#include "shell/NewWaveScreen.h"

#include "access/AccessibleTarn.h"
#include "data/CommonFunctionsTarn.h"
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "shell/master/DialogService.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstdio>
#include <exception>

namespace tarn {

namespace {

QString Text(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

void PlaceLabelledField(QLabel& label, QWidget& field, int top, int height, int clientWidth, int rightMargin)
{
    label.adjustSize();
    label.move(6, top + (height - label.height()) / 2);
    label.setBuddy(&field);
    // A field is named by its caption through the buddy; a value label is read by its value.
    if (auto* value = qobject_cast<QLabel*>(&field))
        NameByValue(*value, StripMnemonic(label.text()));
    const int left = label.x() + label.width() + 5;
    field.setGeometry(left, top, clientWidth - rightMargin - left, height);
}

TNewWaveForm::TNewWaveForm(TDialogService& dialogs, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowCloseButtonHint),
      dialogs_(dialogs)
{
    MakeModalToOwner(*this);
    setWindowTitle(Text(Strings::NewWaveCaption));
    setFixedSize(kClientWidth, kClientHeight);
    NameEdit = new QLineEdit(Text(Strings::NewWaveDefaultName), this);
    SizeEdit = new QLineEdit(Text(Strings::NewWaveDefaultSize), this);
    ModeBox = new QComboBox(this);
    ModeBox->addItems({Text(Strings::ModeStandard), Text(Strings::ModeArbitrary)});
    ModeBox->setCurrentIndex(0);
    const std::pair<const char*, QWidget*> rows[] = {
        {Strings::LabelName, NameEdit}, {Strings::LabelSize, SizeEdit}, {Strings::LabelMode, ModeBox}};
    int top = 2;
    for (const auto& [caption, field] : rows) {
        PlaceLabelledField(*new QLabel(Text(caption), this), *field, top, 22, kClientWidth, 2);
        top += 23;
    }
    OkBtn = new QPushButton(Text(Strings::ButtonOK), this);
    CancelBtn = new QPushButton(Text(Strings::ButtonCancel), this);
    OkBtn->setGeometry(14, kClientHeight - 25, 75, 23);
    CancelBtn->setGeometry(96, kClientHeight - 25, 75, 23);
    OkBtn->setDefault(true);
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(ModeBox, &QComboBox::currentIndexChanged, this, &TNewWaveForm::ModeBoxChange);
}

TNewWaveForm::~TNewWaveForm() = default;

void TNewWaveForm::ModeBoxChange(int index)
{
    if (dataGiven_) {
        return;
    }
    SizeEdit->setEnabled(index == 1);
    if (index == 0) {
        SizeEdit->setText(Text(Strings::NewWaveDefaultSize));
    }
}

bool TNewWaveForm::Execute(const TSettingsTarn& settings, const TWaveformData* data)
{
    ModeBoxChange(ModeBox->currentIndex());
    if (data != nullptr) {
        // From here the mode list no longer touches the size field.
        dataGiven_ = true;
        SizeEdit->setText(QString::number(data->Count));
        SizeEdit->setEnabled(false);
        if (data->Count != 8192) {
            ModeBox->setCurrentIndex(1);
            ModeBox->setEnabled(false);
        }
    }
    if (exec() != QDialog::Accepted) {
        return false;
    }
    std::int32_t size = 0;
    try {
        size = ParseSampleCount(SizeEdit->text().toStdString());
    } catch (const std::exception&) {
        return false;
    }
    if (size < 1 || size > kMaxSize) {
        char message[160];
        std::snprintf(message, sizeof message, Strings::WaveformSizeOutOfRange, 1, kMaxSize);
        dialogs_.Message(TDialogKind::Error, TDialogButtons::Ok, message);
        return false;
    }
    waveform_.Allocate(size, settings.SampleRange, ModeBox->currentIndex() == 0);
    waveform_.Name = NameEdit->text().toStdString();
    if (data != nullptr) {
        waveform_.AssignData(*data);
    }
    return true;
}

} // namespace tarn
