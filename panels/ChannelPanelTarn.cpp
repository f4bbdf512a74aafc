// SPDX-License-Identifier: MIT
#include "panels/ChannelPanelTarn.h"

#include "access/AccessibleTarn.h"
#include "data/StringsTarn.h"
#include "panels/FocusFrameTarn.h"
#include "panels/HLEditTarn.h"
#include "panels/PanelControlsTarn.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QScrollBar>
#include <QToolButton>

namespace tarn {

namespace {

QString Text(const char* text)
{
    return QString::fromUtf8(text);
}

// Front-panel grid: a left column for the two bars and the output buttons,
// a right column of ten rows.
constexpr int kRowTop = 18;
constexpr int kRowPitch = 25;
constexpr int kRowHeight = 22;
constexpr int kRight = 74;

QRect Row(int row, int left, int width)
{
    return {left, kRowTop + row * kRowPitch, width, kRowHeight};
}

QToolButton* Button(QGroupBox& group, const char* caption, const char* hint, QRect place, bool toggle)
{
    auto* button = new TFocusToolButton(&group);
    button->setText(Text(caption));
    button->setCheckable(toggle);
    button->setGeometry(place);
    button->setFocusPolicy(Qt::TabFocus);
    Describe(*button, button->text(), hint != nullptr ? Text(hint) : QString());
    return button;
}

THLEditTarn* ValueEdit(QGroupBox& group, THLEditStyle style, QRect place, const QString& hint, const QString& name)
{
    auto* edit = new THLEditTarn(&group);
    ApplyStyle(*edit, style);
    edit->setGeometry(place);
    edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Describe(*edit, {}, hint, name);
    NameByValue(*edit, edit->accessibleName());
    return edit;
}

QLineEdit* PlainEdit(QGroupBox& group, QRect place, const QString& hint)
{
    auto* edit = new QLineEdit(&group);
    // Shown, never typed into: readable even while disabled.
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Disabled, QPalette::Text, pal.color(QPalette::Active, QPalette::Text));
    edit->setPalette(pal);
    edit->setGeometry(place);
    edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Describe(*edit, {}, hint);
    NameByValue(*edit, edit->accessibleName());
    return edit;
}

QComboBox* List(QGroupBox& group, std::initializer_list<const char*> items, QRect place, const char* hint)
{
    auto* box = new QComboBox(&group);
    for (const char* item : items) {
        box->addItem(Text(item));
    }
    box->setGeometry(place);
    Describe(*box, {}, Text(hint));
    return box;
}

QScrollBar* Bar(QGroupBox& group, QRect place, const char* hint)
{
    auto* bar = new TFocusScrollBar(Qt::Vertical, &group);
    bar->setGeometry(place);
    bar->setRange(1, 100);
    bar->setPageStep(18);
    bar->setSingleStep(1);
    Describe(*bar, {}, Text(hint));
    return bar;
}

QLabel* Label(QGroupBox& group, const char* caption, QRect place)
{
    auto* label = new QLabel(Text(caption), &group);
    label->setGeometry(place);
    label->setAlignment(Qt::AlignCenter);
    label->setAutoFillBackground(true);
    Describe(*label, label->text(), {});
    return label;
}

} // namespace

bool TChannelControls::Complete() const
{
    const void* all[] = {VppOnOffBtn,  VpOnOffBtn,   VpPlusOnOffBtn, VpMinusOnOffBtn, VrmsOnOffBtn, VavgOnOffBtn,
                         OutputOffBtn, OutputOnBtn,  Output20Btn,    Output0Btn,      VppEdit,      VpEdit,
                         VrmsEdit,     VavgEdit,     LevelBar,       ShiftBar,        FilterBox,    dBUnitsBox,
                         dBAbsEdit,    LoadOpenBtn,  Load50Btn,      LoadEdit,        AutodBBtn,    ManualdBBtn,
                         Set0dBBtn,    dBRelEdit,    ShiftConBtn,    ShiftStepBtn,    ShiftEdit,    ShiftOutBtn,
                         ShiftNullBtn, DevShiftEdit, LevelLabel,     ShiftLabel};
    for (const void* control : all) {
        if (control == nullptr) {
            return false;
        }
    }
    return true;
}

TChannelControls BuildChannelPanel(QGroupBox& group, std::int32_t channelIndex)
{
    const bool h = channelIndex == 1;
    TChannelControls c;
    QGroupBox& g = group;
    ApplyPanelStyle(g);

    // Left column: the bars under their labels, then output and attenuator.
    c.LevelLabel = Label(g, Strings::LabelLevel, {4, kRowTop, 30, kRowHeight - 4});
    c.ShiftLabel = Label(g, Strings::LabelShift, {36, kRowTop, 36, kRowHeight - 4});
    const int barTop = kRowTop + kRowHeight - 2;
    const int barHeight = Row(8, 0, 0).top() - 6 - barTop;
    c.LevelBar = Bar(g, {9, barTop, 20, barHeight}, Strings::HintLevelBar);
    c.ShiftBar = Bar(g, {44, barTop, 20, barHeight}, Strings::HintShiftBar);
    c.OutputOffBtn = Button(g, Strings::ButtonOff, Strings::HintOutputOff, Row(8, 4, 32), true);
    c.OutputOnBtn = Button(g, Strings::ButtonOn, Strings::HintOutputOn, Row(8, 38, 32), true);
    c.Output20Btn = Button(g, Strings::ButtonAtn20, Strings::HintOutput20, Row(9, 4, 32), true);
    c.Output0Btn = Button(g, Strings::ButtonAtn0, Strings::HintOutput0, Row(9, 38, 32), true);

    // Right column: the four indicators.
    const int wide = 276 - 4 - (kRight + 46);
    c.VppOnOffBtn = Button(g, Strings::ButtonVpp, Strings::HintVppOnOff, Row(0, kRight, 44), true);
    c.VppEdit = ValueEdit(g, THLEditStyle::Value, Row(0, kRight + 46, wide), Text(Strings::HintVppEdit), {});
    c.VpOnOffBtn = Button(g, Strings::ButtonVp, Strings::HintVpOnOff, Row(1, kRight, 44), true);
    c.VpPlusOnOffBtn = Button(g, Strings::ButtonVpPlus, Strings::HintVpPlus, Row(1, kRight + 46, 21), true);
    c.VpMinusOnOffBtn = Button(g, Strings::ButtonVpMinus, Strings::HintVpMinus, Row(1, kRight + 69, 21), true);
    c.VpEdit = ValueEdit(g, THLEditStyle::Value, Row(1, kRight + 92, wide - 46), Text(Strings::HintVpEdit), {});
    c.VrmsOnOffBtn = Button(g, Strings::ButtonVrms, Strings::HintVrmsOnOff, Row(2, kRight, 44), true);
    c.VrmsEdit = PlainEdit(g, Row(2, kRight + 46, wide), Text(Strings::HintVrmsEdit));
    c.VavgOnOffBtn = Button(g, Strings::ButtonVavg, Strings::HintVavgOnOff, Row(3, kRight, 44), true);
    c.VavgEdit = PlainEdit(g, Row(3, kRight + 46, wide), Text(Strings::HintVavgEdit));

    // Decibels: absolute in a unit, relative to a reference.
    const int listWidth = 78;
    const int dbLeft = kRight + listWidth + 2;
    const int dbWidth = 276 - 4 - dbLeft;
    c.dBUnitsBox = List(g, {Strings::UnitdBW, Strings::UnitdBmW, Strings::UnitdBmV, Strings::UnitdBuV},
                        Row(4, kRight, listWidth), Strings::HintdBUnits);
    // Named by what it chooses; the hint says more.
    c.dBUnitsBox->setAccessibleName(Text(Strings::AccessibleDbUnit));
    c.dBAbsEdit = PlainEdit(g, Row(4, dbLeft, dbWidth), Text(Strings::HintdBAbs));
    c.dBAbsEdit->setReadOnly(true);
    c.AutodBBtn = Button(g, Strings::ButtonAutodB, Strings::HintAutodB, Row(5, kRight, 63), true);
    c.ManualdBBtn = Button(g, Strings::ButtonManualdB, Strings::HintManualdB, Row(5, kRight + 65, 63), true);
    c.Set0dBBtn =
        Button(g, Strings::ButtonSet0dB, Strings::HintSet0dB, Row(5, kRight + 130, 276 - 4 - kRight - 130), false);
    c.FilterBox = List(g, {Strings::FilterOff, Strings::Filter40MHz, Strings::Filter20MHz}, Row(6, kRight, listWidth),
                       Strings::HintFilter);
    c.dBRelEdit = ValueEdit(g, THLEditStyle::Value, Row(6, dbLeft, dbWidth), Text(Strings::HintdBRel), {});

    // Load, then the shift: pending and in the device.
    const int editLeft = kRight + 92;
    const int editWidth = 276 - 4 - editLeft;
    c.LoadOpenBtn = Button(g, Strings::ButtonLoadOpen, Strings::HintLoadOpen, Row(7, kRight, 44), true);
    const int impedance = h ? 600 : 50;
    c.Load50Btn = Button(g, h ? Strings::ButtonLoad600 : Strings::ButtonLoad50, nullptr, Row(7, kRight + 46, 44), true);
    Describe(*c.Load50Btn, c.Load50Btn->text(),
             Text(Strings::HintLoad50).replace(QStringLiteral("%d"), QString::number(impedance)));
    c.LoadEdit = ValueEdit(g, THLEditStyle::Value, Row(7, editLeft, editWidth), Text(Strings::HintLoadEdit), {});
    c.ShiftConBtn = Button(g, Strings::ButtonCon, Strings::HintShiftCon, Row(8, kRight, 44), true);
    c.ShiftStepBtn = Button(g, Strings::ButtonStep, Strings::HintShiftStep, Row(8, kRight + 46, 44), true);
    c.ShiftEdit = ValueEdit(g, THLEditStyle::Pending, Row(8, editLeft, editWidth), {}, Text(Strings::NamePendingShift));
    c.ShiftOutBtn = Button(g, Strings::ButtonShiftOut, Strings::HintShiftOut, Row(9, kRight, 44), false);
    c.ShiftNullBtn = Button(g, Strings::ButtonShiftNull, Strings::HintShiftNull, Row(9, kRight + 46, 44), false);
    c.DevShiftEdit =
        ValueEdit(g, THLEditStyle::Device, Row(9, editLeft, editWidth), {}, Text(Strings::NameDeviceShift));
    // The pairs that set one value each; the indicators stay independent toggles.
    for (QToolButton* half :
         {c.OutputOffBtn, c.OutputOnBtn, c.Output20Btn, c.Output0Btn, c.VpPlusOnOffBtn, c.VpMinusOnOffBtn, c.AutodBBtn,
          c.ManualdBBtn, c.LoadOpenBtn, c.Load50Btn, c.ShiftConBtn, c.ShiftStepBtn})
        MarkChoice(*half);
    return c;
}

} // namespace tarn
