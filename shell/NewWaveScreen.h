// SPDX-License-Identifier: MIT
// The New-wave dialog: name, size and mode of a new waveform, or the size a
// plug-in module's data imposes.
#pragma once
#include "data/WaveformTarn.h"

#include <QDialog>
#include <QPointer>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TSettingsTarn;

namespace tarn {

class TDialogService;

// Places label at (6, top) and field, height pixels high, from 5 pixels
// right of the label to rightMargin pixels short of the client area's right edge.
void PlaceLabelledField(QLabel& label, QWidget& field, int top, int height, int clientWidth, int rightMargin);

class TNewWaveForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 185;
    static constexpr int kClientHeight = 99;
    static constexpr int kMaxSize = 16384;

    TNewWaveForm(TDialogService& dialogs, QWidget* owner);
    ~TNewWaveForm() override;

    // True when the new waveform is ready to be copied. data, when given,
    // supplies the samples (a plug-in module's result).
    bool Execute(const TSettingsTarn& settings, const TWaveformData* data);
    const TWaveformTarn& Waveform() const { return waveform_; }

    QPointer<QLineEdit> NameEdit;
    QPointer<QLineEdit> SizeEdit;
    QPointer<QComboBox> ModeBox;
    QPointer<QPushButton> OkBtn;
    QPointer<QPushButton> CancelBtn;

private:
    void ModeBoxChange(int index);

    TDialogService& dialogs_;
    TWaveformTarn waveform_;
    bool dataGiven_ = false;
};

} // namespace tarn
