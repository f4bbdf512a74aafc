// SPDX-License-Identifier: MIT
// The logic behind the "Mode", "Trigger" and "ARM" groups: period or single
// mode, generation on/off, external trigger and its edge, external arming and
// its stop level. Each click is stored in the settings and announced; the
// buttons are redrawn from the settings when an announcement comes back.
#pragma once
#include "shell/master/ComponentsTarn.h"

#include <QPointer>
#include <QToolButton>

class QGroupBox;
struct TDeviceSettings;

namespace tarn {

class TTriggerWrapperTarn : public TComponentTarn {
    Q_OBJECT
public:
    explicit TTriggerWrapperTarn(QObject* parent = nullptr);
    ~TTriggerWrapperTarn() override;

    // The window's buttons, not owned; all are two-state buttons.
    QPointer<QToolButton> ModeSingleBtn;
    QPointer<QToolButton> ModePeriodBtn;
    QPointer<QToolButton> TrigGoBtn;
    QPointer<QToolButton> TrigStopBtn;
    QPointer<QToolButton> TrigLeadingBtn;
    QPointer<QToolButton> TrigTrailingBtn;
    QPointer<QToolButton> TrigOnBtn;
    QPointer<QToolButton> TrigOffBtn;
    QPointer<QToolButton> ArmOnBtn;
    QPointer<QToolButton> ArmOffBtn;
    QPointer<QToolButton> ArmZeroBtn;
    QPointer<QToolButton> ArmOneBtn;

    // Builds the twelve buttons in the three group boxes, one compact row
    // each, with captions, edge pictures, hints and accessible names.
    void CreateControls(QGroupBox& arm, QGroupBox& trigger, QGroupBox& mode);

    // Shows the settings on the buttons.
    void Refresh();

    void ModeBtnClick(QToolButton* sender);
    void ArmOnOffBtnClick(QToolButton* sender);
    void ArmLevelBtnClick(QToolButton* sender);
    void TrigGoStopBtnClick(QToolButton* sender);
    void TrigOnOffBtnClick(QToolButton* sender);
    void TrigEdgeBtnClick(QToolButton* sender);

protected:
    void ObjMasterNotify(TObjMasterCode code, std::int32_t index, void* data) override;

private:
    void WireControls();
    void SetEdgeIcons();
    // Stores the sender's tag in the device settings' field and announces code.
    void Store(QToolButton* sender, std::int32_t TDeviceSettings::*field, TObjMasterCode code);

    bool wired_ = false;
    bool updating_ = false;
};

// The picture of a rising (leading) or falling (trailing) edge, drawn for
// the device pixel ratios 1 to 3 in the palette's button text colour, and in
// its down-button and disabled colours for those states.
QIcon EdgeIcon(bool rising, const QPalette& palette);

} // namespace tarn
