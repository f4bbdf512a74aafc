// SPDX-License-Identifier: MIT
// The Options dialog: check boxes on tagged pages, bound to the options of the
// settings model by their tags (OptionControlTagBase + option index).
#pragma once
#include <QDialog>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QTabWidget;
class TOptions;
class TSettingsTarn;

namespace tarn {

enum class TOptionTransfer { ToControls, FromControls };

// Walks every page of pages tagged OptionPageTag and every control on it
// tagged OptionControlTagBase or more, and moves the value of the option
// (tag - OptionControlTagBase) into the control or back. A tagged control that
// is not a check box throws EDataError ("Improper control for the boolean").
void TransferOptions(QTabWidget& pages, TOptions& options, TOptionTransfer direction);

class TOptionsForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 295;
    static constexpr int kClientHeight = 333;

    explicit TOptionsForm(QWidget* owner);

    // Shows the options of settings, runs modally and on OK takes the controls'
    // values back; Cancel changes nothing. Returns the dialog's result.
    int Execute(TSettingsTarn& settings);

    QTabWidget* PageControl1() const { return pages_; }
    QCheckBox* FilterAutosetBox() const { return filterAutoset_; }
    QCheckBox* VrmsFromACBox() const { return vrmsFromAC_; }
    QCheckBox* RemoteControlBox() const { return remoteControl_; }
    QPushButton* OKBtn() const { return ok_; }
    QPushButton* CancelBtn() const { return cancel_; }

private:
    struct TSection {
        QLabel* label;
        QFrame* rule;
    };
    TSection AddSection(QWidget& page);
    void FormCreate();
    static void SetSectionText(const TSection& section, const char* text);

    QTabWidget* pages_ = nullptr;
    QWidget* devicePage_ = nullptr;
    QWidget* displayPage_ = nullptr;
    TSection autoset_{};
    TSection outputInfo_{};
    TSection remote_{};
    QCheckBox* filterAutoset_ = nullptr;
    QCheckBox* vrmsFromAC_ = nullptr;
    QCheckBox* remoteControl_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace tarn
