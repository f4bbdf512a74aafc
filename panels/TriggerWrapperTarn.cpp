// SPDX-License-Identifier: MIT
#include "panels/TriggerWrapperTarn.h"

#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "panels/PanelControlsTarn.h"
#include "panels/ThemeTarn.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cmath>

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

QPixmap EdgePixmap(bool rising, int ratio, const QColor& colour)
{
    // Drawn in device pixels: the level and edge lines lie on whole pixels
    // (an odd width on pixel centres), so their edges are sharp at every ratio.
    const int size = kEdgePictureSize * ratio;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const int width = std::max(1, static_cast<int>(std::lround(1.5 * ratio - 0.01)));
    const qreal centre = width % 2 != 0 ? 0.5 : 0.0;
    const auto at = [ratio, centre](int logical) { return logical * ratio + centre; };
    QPen pen(colour, width);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    const int low = 12, high = 3, edge = 8;
    const qreal start = at(rising ? low : high);
    const qreal end = at(rising ? high : low);
    const QPointF line[] = {{at(1), start}, {at(edge), start}, {at(edge), end}, {at(14), end}};
    painter.drawPolyline(line, 4);
    // The arrow on the edge tells the direction.
    painter.setRenderHint(QPainter::Antialiasing);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    const qreal tip = at(rising ? 5 : 10);
    const qreal back = (rising ? 2.5 : -2.5) * ratio;
    const QPointF arrow[] = {
        {at(edge) - 2.5 * ratio, tip + back}, {at(edge), tip}, {at(edge) + 2.5 * ratio, tip + back}};
    painter.drawPolyline(arrow, 3);
    painter.end();
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

} // namespace

QIcon EdgeIcon(bool rising, const QPalette& palette)
{
    const TPanelColours colours = PanelColours(palette);
    QIcon icon;
    for (int ratio = 1; ratio <= 3; ++ratio) {
        for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Active}) {
            icon.addPixmap(EdgePixmap(rising, ratio, colours.ButtonText), mode, QIcon::Off);
            icon.addPixmap(EdgePixmap(rising, ratio, colours.CheckedText), mode, QIcon::On);
        }
        // As the panels' disabled captions.
        const QPixmap disabled = EdgePixmap(rising, ratio, palette.color(QPalette::Active, QPalette::Mid));
        icon.addPixmap(disabled, QIcon::Disabled, QIcon::Off);
        icon.addPixmap(disabled, QIcon::Disabled, QIcon::On);
    }
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
    SetEdgeIcons();
    // Drawn anew in the colours of a new palette.
    OnPaletteChange(*this, [this] { SetEdgeIcons(); });
    TrigOnBtn = MakeToggleButton(trigger, Strings::ButtonOn, Strings::HintTrigOn);
    TrigOffBtn = MakeToggleButton(trigger, Strings::ButtonOff, Strings::HintTrigOff);
    PlaceInRow(trigger,
               {TrigGoBtn, TrigStopBtn, nullptr, TrigLeadingBtn, TrigTrailingBtn, nullptr, TrigOnBtn, TrigOffBtn});

    ModeSingleBtn = MakeToggleButton(mode, Strings::ButtonSingle, Strings::HintModeSingle);
    ModePeriodBtn = MakeToggleButton(mode, Strings::ButtonPeriod, Strings::HintModePeriod);
    PlaceInRow(mode, {ModeSingleBtn, ModePeriodBtn});
    for (QGroupBox* group : {&arm, &trigger, &mode})
        FitCaptions(*group);
}

void TTriggerWrapperTarn::SetEdgeIcons()
{
    if (TrigLeadingBtn == nullptr || TrigTrailingBtn == nullptr)
        return;
    const QPalette& palette = QApplication::palette(TrigLeadingBtn);
    TrigLeadingBtn->setIcon(EdgeIcon(true, palette));
    TrigTrailingBtn->setIcon(EdgeIcon(false, palette));
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
