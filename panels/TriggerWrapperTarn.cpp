// SPDX-License-Identifier: MIT
#include "panels/TriggerWrapperTarn.h"

#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "panels/PanelControlsTarn.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>

namespace tarn {

namespace {

constexpr int kEdgePictureSize = 16;

void Show(QToolButton* button, bool down)
{
    if (button != nullptr)
        button->setChecked(down);
}

void Enable(QToolButton* button, bool enabled)
{
    if (button != nullptr)
        button->setEnabled(enabled);
}

QPixmap EdgePixmap(bool rising, int ratio)
{
    QPixmap pixmap(kEdgePictureSize * ratio, kEdgePictureSize * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(Qt::black, 1.5);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    const qreal low = 13.0, high = 3.0, edge = 8.0;
    const qreal start = rising ? low : high;
    const qreal end = rising ? high : low;
    const QPointF line[] = {{1.0, start}, {edge, start}, {edge, end}, {15.0, end}};
    painter.drawPolyline(line, 4);
    // The arrow on the edge tells the direction.
    const qreal tip = rising ? 5.5 : 10.5;
    const qreal back = rising ? 2.5 : -2.5;
    const QPointF arrow[] = {{edge - 2.5, tip + back}, {edge, tip}, {edge + 2.5, tip + back}};
    painter.drawPolyline(arrow, 3);
    return pixmap;
}

} // namespace

QIcon EdgeIcon(bool rising)
{
    QIcon icon;
    icon.addPixmap(EdgePixmap(rising, 1));
    icon.addPixmap(EdgePixmap(rising, 2));
    return icon;
}

TTriggerWrapperTarn::TTriggerWrapperTarn(QObject* parent) : TComponentTarn(parent) {}

TTriggerWrapperTarn::~TTriggerWrapperTarn()
{
    DetachFromMaster();
}

void TTriggerWrapperTarn::CreateControls(QGroupBox& arm, QGroupBox& trigger, QGroupBox& mode)
{
    for (QGroupBox* group : {&arm, &trigger, &mode}) {
        ApplyPanelStyle(*group);
    }
    ArmOnBtn = MakeToggleButton(arm, Strings::ButtonOn, Strings::HintArmOn);
    ArmOffBtn = MakeToggleButton(arm, Strings::ButtonOff, Strings::HintArmOff);
    ArmZeroBtn = MakeToggleButton(arm, Strings::ButtonArmZero, Strings::HintArmZero);
    ArmOneBtn = MakeToggleButton(arm, Strings::ButtonArmOne, Strings::HintArmOne);
    PlaceInRow(arm, {ArmOnBtn, ArmOffBtn, nullptr, ArmZeroBtn, ArmOneBtn});

    TrigGoBtn = MakeToggleButton(trigger, Strings::ButtonGo, Strings::HintTrigGo);
    TrigStopBtn = MakeToggleButton(trigger, Strings::ButtonStop, Strings::HintTrigStop);
    TrigLeadingBtn = MakeToggleButton(trigger, "", Strings::HintTrigLeading);
    TrigTrailingBtn = MakeToggleButton(trigger, "", Strings::HintTrigTrailing);
    TrigLeadingBtn->setIcon(EdgeIcon(true));
    TrigTrailingBtn->setIcon(EdgeIcon(false));
    TrigOnBtn = MakeToggleButton(trigger, Strings::ButtonOn, Strings::HintTrigOn);
    TrigOffBtn = MakeToggleButton(trigger, Strings::ButtonOff, Strings::HintTrigOff);
    PlaceInRow(trigger,
               {TrigGoBtn, TrigStopBtn, nullptr, TrigLeadingBtn, TrigTrailingBtn, nullptr, TrigOnBtn, TrigOffBtn});

    ModeSingleBtn = MakeToggleButton(mode, Strings::ButtonSingle, Strings::HintModeSingle);
    ModePeriodBtn = MakeToggleButton(mode, Strings::ButtonPeriod, Strings::HintModePeriod);
    PlaceInRow(mode, {ModeSingleBtn, ModePeriodBtn});
}

void TTriggerWrapperTarn::ObjMasterNotify(TObjMasterCode code, std::int32_t index, void*)
{
    switch (code) {
    case TObjMasterCode::omWireControls:
        WireControls();
        break;
    case TObjMasterCode::omSettingsApplied:
        if (index == 5)
            Refresh();
        break;
    case TObjMasterCode::omTriggerModeChanged:
    case TObjMasterCode::omArmOnOffChanged:
    case TObjMasterCode::omArmStopLevelChanged:
    case TObjMasterCode::omRunOnOffChanged:
    case TObjMasterCode::omTriggerPulse:
    case TObjMasterCode::omTriggerOnOffChanged:
    case TObjMasterCode::omTriggerEdgeChanged:
        Refresh();
        break;
    default:
        break;
    }
}

void TTriggerWrapperTarn::WireControls()
{
    // Handlers go on once, however often the wiring is broadcast.
    if (wired_)
        return;
    wired_ = true;
    using Handler = void (TTriggerWrapperTarn::*)(QToolButton*);
    const auto wire = [this](QToolButton* button, int tag, Handler handler) {
        if (button == nullptr)
            return;
        SetTag(*button, tag);
        connect(button, &QToolButton::clicked, this, [this, button, handler] { (this->*handler)(button); });
    };
    wire(ModeSingleBtn, 1, &TTriggerWrapperTarn::ModeBtnClick);
    wire(ModePeriodBtn, 0, &TTriggerWrapperTarn::ModeBtnClick);
    wire(TrigGoBtn, 1, &TTriggerWrapperTarn::TrigGoStopBtnClick);
    wire(TrigStopBtn, 0, &TTriggerWrapperTarn::TrigGoStopBtnClick);
    wire(TrigLeadingBtn, 1, &TTriggerWrapperTarn::TrigEdgeBtnClick);
    wire(TrigTrailingBtn, 0, &TTriggerWrapperTarn::TrigEdgeBtnClick);
    wire(TrigOnBtn, 1, &TTriggerWrapperTarn::TrigOnOffBtnClick);
    wire(TrigOffBtn, 0, &TTriggerWrapperTarn::TrigOnOffBtnClick);
    wire(ArmOnBtn, 1, &TTriggerWrapperTarn::ArmOnOffBtnClick);
    wire(ArmOffBtn, 0, &TTriggerWrapperTarn::ArmOnOffBtnClick);
    wire(ArmZeroBtn, 0, &TTriggerWrapperTarn::ArmLevelBtnClick);
    wire(ArmOneBtn, 1, &TTriggerWrapperTarn::ArmLevelBtnClick);
}

void TTriggerWrapperTarn::Store(QToolButton* sender, std::int32_t TDeviceSettings::*field, TObjMasterCode code)
{
    if (updating_ || sender == nullptr || Settings() == nullptr)
        return;
    Settings()->Device.*field = Tag(*sender);
    if (ObjMaster() != nullptr)
        ObjMaster()->Notify(code);
}

void TTriggerWrapperTarn::ModeBtnClick(QToolButton* sender)
{
    Store(sender, &TDeviceSettings::TriggerMode, TObjMasterCode::omTriggerModeChanged);
}

void TTriggerWrapperTarn::ArmOnOffBtnClick(QToolButton* sender)
{
    Store(sender, &TDeviceSettings::ArmOnOff, TObjMasterCode::omArmOnOffChanged);
}

void TTriggerWrapperTarn::ArmLevelBtnClick(QToolButton* sender)
{
    Store(sender, &TDeviceSettings::ArmStopLevel, TObjMasterCode::omArmStopLevelChanged);
}

void TTriggerWrapperTarn::TrigGoStopBtnClick(QToolButton* sender)
{
    if (Settings() == nullptr || updating_)
        return;
    if (Settings()->Device.TriggerMode == 0) {
        Store(sender, &TDeviceSettings::RunOnOff, TObjMasterCode::omRunOnOffChanged);
    } else if (ObjMaster() != nullptr) {
        // Single mode: one software trigger, nothing stored.
        ObjMaster()->Notify(TObjMasterCode::omTriggerPulse);
    }
}

void TTriggerWrapperTarn::TrigOnOffBtnClick(QToolButton* sender)
{
    Store(sender, &TDeviceSettings::TriggerOnOff, TObjMasterCode::omTriggerOnOffChanged);
}

void TTriggerWrapperTarn::TrigEdgeBtnClick(QToolButton* sender)
{
    Store(sender, &TDeviceSettings::TriggerLeading, TObjMasterCode::omTriggerEdgeChanged);
}

void TTriggerWrapperTarn::Refresh()
{
    if (Settings() == nullptr)
        return;
    const TDeviceSettings& d = Settings()->Device;
    const bool single = d.TriggerMode == 1;
    const bool period = d.TriggerMode == 0;
    updating_ = true;
    Show(ModeSingleBtn, single);
    Show(ModePeriodBtn, period);
    Enable(ArmOnBtn, period);
    Enable(ArmOffBtn, period);
    Enable(TrigOnBtn, single);
    Enable(TrigOffBtn, single);
    Show(ArmOnBtn, d.ArmOnOff != 0);
    Show(ArmOffBtn, d.ArmOnOff == 0);
    Enable(ArmZeroBtn, period && d.ArmOnOff != 0);
    Enable(ArmOneBtn, period && d.ArmOnOff != 0);
    Show(ArmZeroBtn, d.ArmStopLevel == 0);
    Show(ArmOneBtn, d.ArmStopLevel != 0);
    Enable(TrigStopBtn, period);
    if (period) {
        Enable(TrigGoBtn, true);
        Show(TrigGoBtn, d.RunOnOff != 0);
        Show(TrigStopBtn, d.RunOnOff == 0);
    } else {
        Show(TrigGoBtn, false);
        Enable(TrigGoBtn, d.TriggerOnOff == 0);
    }
    Show(TrigOnBtn, d.TriggerOnOff != 0);
    Show(TrigOffBtn, d.TriggerOnOff == 0);
    Enable(TrigLeadingBtn, d.TriggerOnOff != 0 && single);
    Enable(TrigTrailingBtn, d.TriggerOnOff != 0 && single);
    Show(TrigLeadingBtn, d.TriggerLeading != 0);
    Show(TrigTrailingBtn, d.TriggerLeading == 0);
    updating_ = false;
}

} // namespace tarn
