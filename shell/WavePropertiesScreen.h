// SPDX-License-Identifier: MIT
// The Waveform-properties dialog: a waveform's size, mode and editor module,
// and a new name for it.
#pragma once
#include <QDialog>
#include <QPointer>

#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class TModuleData;
class TWaveformTarn;

namespace tarn {

// The caption of the discovered module that made a waveform; empty when none matches.
using TEditorLookup = std::function<std::string(const TModuleData&)>;

class TWavePropertiesForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 287;
    static constexpr int kClientHeight = 113;

    explicit TWavePropertiesForm(QWidget* owner);
    ~TWavePropertiesForm() override;

    // True when closed with OK; only then is the waveform renamed.
    bool Execute(TWaveformTarn& waveform, const TEditorLookup& editor);

    QPointer<QLineEdit> NameEdit;
    QPointer<QLabel> SizeText;
    QPointer<QLabel> ModeText;
    QPointer<QLabel> EditorText;
    QPointer<QPushButton> OkBtn;
    QPointer<QPushButton> CancelBtn;
};

} // namespace tarn
