// SPDX-License-Identifier: MIT
#include "panels/ChannelWrapperTarn.h"

#include "data/CommonFunctionsTarn.h"
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "panels/ChannelMathTarn.h"
#include "panels/HLEditTarn.h"
#include "panels/PanelControlsTarn.h"
#include "panels/ThemeTarn.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QScrollBar>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace tarn {

namespace {

const char* const kTag = "tag";

int Tag(const QToolButton* button)
{
    return button->property(kTag).toInt();
}

bool Flag(const TBoolArray& flags, std::int32_t index)
{
    return index >= 0 && static_cast<std::size_t>(index) < flags.size() && flags[static_cast<std::size_t>(index)];
}

void SetFlag(TBoolArray& flags, std::int32_t index, bool value)
{
    if (index >= 0 && static_cast<std::size_t>(index) < flags.size()) {
        flags[static_cast<std::size_t>(index)] = value;
    }
}

QString VoltText(double volts)
{
    return QString::fromStdString(FormatVoltage(volts)) + QLatin1Char('V');
}

void SetWarning(QLabel* label, bool warning, const QString& meaning)
{
    label->setToolTip(meaning);
    QPalette pal = label->palette();
    const QPalette& application = QApplication::palette();
    // White on red reads better than the usual dark text; the red darkens as far as white needs.
    const TPanelColours colours = PanelColours(application);
    pal.setColor(QPalette::Window, warning ? colours.WarningBack : application.color(QPalette::Button));
    pal.setColor(QPalette::WindowText, warning ? colours.WarningText : application.color(QPalette::WindowText));
    label->setPalette(pal);
}

// A value that is not live, in the palette's disabled text colour; shown
// plainly again with the colours the field had (a plain field stays readable
// while disabled).
void ShowGreyed(QLineEdit* edit, bool greyed)
{
    if (auto* value = qobject_cast<THLEditTarn*>(edit)) {
        value->SetGreyed(greyed);
        return;
    }
    const QPalette app = QApplication::palette(edit);
    const QColor grey = app.color(QPalette::Disabled, QPalette::Text);
    QPalette pal = edit->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        pal.setColor(group, QPalette::Text, greyed ? grey : app.color(group, QPalette::Text));
    pal.setColor(QPalette::Disabled, QPalette::Text, greyed ? grey : app.color(QPalette::Active, QPalette::Text));
    edit->setPalette(pal);
}

// The tooltip and description of a reading named by its value.
void DescribeReading(QLineEdit& reading, const char* hint)
{
    const QString text = QString::fromUtf8(hint);
    if (reading.toolTip() != text) {
        reading.setToolTip(text);
        reading.setAccessibleDescription(text);
    }
}

// A typed voltage; empty when it does not parse or is not a finite number.
std::optional<double> Typed(double (*parse)(std::string_view), const QString& text)
{
    try {
        const double value = parse(text.toStdString());
        if (std::isfinite(value)) {
            return value;
        }
    } catch (const EDataError&) {
    }
    return std::nullopt;
}

double ParseDb(std::string_view text)
{
    return static_cast<double>(ParseNumber(text));
}

// Holds the updating flag for the length of a scope.
class TUpdating {
public:
    explicit TUpdating(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~TUpdating() { flag_ = old_; }
    TUpdating(const TUpdating&) = delete;
    TUpdating& operator=(const TUpdating&) = delete;

private:
    bool& flag_;
    bool old_;
};

} // namespace

TChannelWrapperTarn::TChannelWrapperTarn(QObject* parent) : TComponentTarn(parent) {}

TChannelWrapperTarn::~TChannelWrapperTarn()
{
    DetachFromMaster();
}

void TChannelWrapperTarn::ObjMasterNotify(TObjMasterCode code, std::int32_t index, void* /*data*/)
{
    using C = TObjMasterCode;
    switch (code) {
    case C::omSettingsApplied:
        if (index == 5) {
            Refresh();
        } else if (index == 6) {
            FilterAutoset();
        }
        break;
    case C::omWireControls:
        WireControls();
        break;
    case C::omFrequencyChanged:
    case C::omApplyFrequency: {
        // A standard waveform's readings follow the averaged copy the new
        // frequency plays; any other frequency change leaves them.
        const std::int32_t period = played_.Period();
        FilterAutoset();
        Wave();
        if (played_.Period() != period) {
            Refresh();
        }
        break;
    }
    case C::omShiftChanged: {
        const std::int32_t* mode = DeviceValue(&TDeviceSettings::ShiftMode);
        const std::int32_t* shift = DeviceValue(&TDeviceSettings::Shift);
        if (mode != nullptr && *mode == 0 && shift != nullptr) {
            Store(&TDeviceSettings::DevShift, *shift, C::omDeviceShiftChanged);
        } else {
            Refresh();
        }
        break;
    }
    case C::omChannelWaveformChanged:
        FilterAutoset();
        Refresh();
        break;
    case C::omLevelChanged:
    case C::omLoadChanged:
    case C::omdBReferenceChanged:
    case C::omAttenuatorChanged:
    case C::omFilterChanged:
    case C::omOutputOnOffChanged:
    case C::omDeviceShiftChanged:
    case C::omShiftModeChanged:
    case C::omPowerStateChanged:
        Refresh();
        break;
    default:
        break;
    }
}

const TChannelAssignment* TChannelWrapperTarn::Assignment() const
{
    const TSettingsTarn* s = Settings();
    if (s == nullptr || channelIndex_ < 0 || static_cast<std::size_t>(channelIndex_) >= s->ChannelAssignments.size()) {
        return nullptr;
    }
    return &s->ChannelAssignments[static_cast<std::size_t>(channelIndex_)];
}

std::int32_t* TChannelWrapperTarn::DeviceValue(TIntArray TDeviceSettings::*array) const
{
    const TChannelAssignment* out = Assignment();
    if (out == nullptr) {
        return nullptr;
    }
    TIntArray& list = Settings()->Device.*array;
    if (out->RealChannel < 0 || static_cast<std::size_t>(out->RealChannel) >= list.size()) {
        return nullptr;
    }
    return &list[static_cast<std::size_t>(out->RealChannel)];
}

bool TChannelWrapperTarn::Store(TIntArray TDeviceSettings::*array, std::int32_t value, TObjMasterCode code)
{
    std::int32_t* target = DeviceValue(array);
    if (target == nullptr) {
        return false;
    }
    *target = value;
    Announce(code);
    return true;
}

double* TChannelWrapperTarn::Load() const
{
    TSettingsTarn* s = Settings();
    if (s == nullptr || channelIndex_ < 0 || static_cast<std::size_t>(channelIndex_) >= s->Loads.size()) {
        return nullptr;
    }
    return &s->Loads[static_cast<std::size_t>(channelIndex_)];
}

TdBReference* TChannelWrapperTarn::Reference() const
{
    return Settings() != nullptr ? dBReferenceOf(*Settings(), channelIndex_) : nullptr;
}

double TChannelWrapperTarn::ZeroDbReference() const
{
    const TdBReference* reference = Reference();
    return reference != nullptr ? reference->Factor : 0.0;
}

TWaveStats TChannelWrapperTarn::Wave() const
{
    if (Settings() == nullptr) {
        return {};
    }
    return played_.Update(*Settings(), channelIndex_);
}

std::optional<TChannelSetup> TChannelWrapperTarn::Setup() const
{
    return Settings() != nullptr ? ChannelSetup(*Settings(), channelIndex_) : std::nullopt;
}

void TChannelWrapperTarn::Announce(TObjMasterCode code)
{
    if (const TChannelAssignment* out = Assignment(); out != nullptr && ObjMaster() != nullptr) {
        ObjMaster()->Notify(code, out->RealChannel);
    }
}

void TChannelWrapperTarn::WireControls()
{
    if (wired_ || !c_.Complete() || Settings() == nullptr) {
        return;
    }
    wired_ = true;
    const TSettingsTarn& s = *Settings();
    c_.LevelBar->setMaximum(s.LevelSteps);
    c_.ShiftBar->setMaximum(s.ShiftSteps);

    connect(c_.LevelBar, &QScrollBar::valueChanged, this, &TChannelWrapperTarn::LevelBarChange);
    connect(c_.ShiftBar, &QScrollBar::valueChanged, this, &TChannelWrapperTarn::ShiftBarChange);
    for (QScrollBar* bar : {c_.LevelBar, c_.ShiftBar}) {
        connect(bar, &QScrollBar::actionTriggered, this, [this, bar](int action) { BarScroll(bar, action); });
    }
    connect(c_.FilterBox, &QComboBox::currentIndexChanged, this, &TChannelWrapperTarn::FilterBoxChange);

    c_.Output20Btn->setProperty(kTag, 1);
    c_.Output0Btn->setProperty(kTag, 0);
    c_.OutputOnBtn->setProperty(kTag, 1);
    c_.OutputOffBtn->setProperty(kTag, 0);
    c_.ShiftConBtn->setProperty(kTag, 0);
    c_.ShiftStepBtn->setProperty(kTag, 1);

    auto onClick = [this](QToolButton* button, auto handler) {
        connect(button, &QToolButton::clicked, this, [this, button, handler] { (this->*handler)(button); });
    };
    auto onPlainClick = [this](QToolButton* button, void (TChannelWrapperTarn::*handler)()) {
        connect(button, &QToolButton::clicked, this, handler);
    };
    for (QToolButton* b : {c_.Output20Btn, c_.Output0Btn}) {
        onClick(b, &TChannelWrapperTarn::AttenuatorBtnClick);
    }
    for (QToolButton* b : {c_.OutputOnBtn, c_.OutputOffBtn}) {
        onClick(b, &TChannelWrapperTarn::OutputBtnClick);
    }
    for (QToolButton* b : {c_.ShiftConBtn, c_.ShiftStepBtn}) {
        onClick(b, &TChannelWrapperTarn::ShiftModeBtnClick);
    }
    for (QToolButton* b : {c_.VpPlusOnOffBtn, c_.VpMinusOnOffBtn}) {
        onClick(b, &TChannelWrapperTarn::PeakSideBtnClick);
    }
    for (QToolButton* b : {c_.AutodBBtn, c_.ManualdBBtn}) {
        onClick(b, &TChannelWrapperTarn::dBModeBtnClick);
    }
    for (QToolButton* b : {c_.VppOnOffBtn, c_.VpOnOffBtn, c_.VrmsOnOffBtn, c_.VavgOnOffBtn}) {
        onPlainClick(b, &TChannelWrapperTarn::IndicatorBtnClick);
    }
    onPlainClick(c_.ShiftOutBtn, &TChannelWrapperTarn::ShiftOutBtnClick);
    onPlainClick(c_.ShiftNullBtn, &TChannelWrapperTarn::ShiftNullBtnClick);
    onPlainClick(c_.LoadOpenBtn, &TChannelWrapperTarn::LoadOpenBtnClick);
    onPlainClick(c_.Load50Btn, &TChannelWrapperTarn::Load50BtnClick);
    onPlainClick(c_.Set0dBBtn, &TChannelWrapperTarn::Set0dBBtnClick);

    auto onEnter = [this](THLEditTarn* edit, void (TChannelWrapperTarn::*handler)(const QString&)) {
        edit->OnUserEnter = [this, handler](THLEditTarn*, const QString& text) { (this->*handler)(text); };
    };
    onEnter(c_.ShiftEdit, &TChannelWrapperTarn::ShiftEditUserEnter);
    onEnter(c_.VppEdit, &TChannelWrapperTarn::VppEditUserEnter);
    onEnter(c_.VpEdit, &TChannelWrapperTarn::VpEditUserEnter);
    onEnter(c_.dBRelEdit, &TChannelWrapperTarn::dBRelEditUserEnter);
    onEnter(c_.LoadEdit, &TChannelWrapperTarn::LoadEditUserEnter);

    {
        TUpdating updating(updating_);
        c_.dBUnitsBox->setCurrentIndex(0);
        // Panel state that the settings do not hold: "+" starts down.
        c_.VpPlusOnOffBtn->setChecked(true);
    }
    connect(c_.dBUnitsBox, &QComboBox::currentIndexChanged, this, [this] {
        if (!updating_) {
            Refresh();
        }
    });
}

void TChannelWrapperTarn::SetPanelEnabled(bool enabled)
{
    if (enabled == enabled_) {
        return;
    }
    enabled_ = enabled;
    QWidget* const controls[] = {
        c_.VppOnOffBtn,  c_.VpOnOffBtn,  c_.VpPlusOnOffBtn, c_.VpMinusOnOffBtn, c_.VrmsOnOffBtn, c_.VavgOnOffBtn,
        c_.VppEdit,      c_.VpEdit,      c_.VrmsEdit,       c_.VavgEdit,        c_.LevelBar,     c_.ShiftBar,
        c_.OutputOffBtn, c_.OutputOnBtn, c_.Output20Btn,    c_.Output0Btn,      c_.FilterBox,    c_.dBUnitsBox,
        c_.dBAbsEdit,    c_.LoadOpenBtn, c_.Load50Btn,      c_.LoadEdit,        c_.AutodBBtn,    c_.ManualdBBtn,
        c_.Set0dBBtn,    c_.dBRelEdit,   c_.ShiftConBtn,    c_.ShiftStepBtn,    c_.ShiftEdit,    c_.DevShiftEdit,
        c_.ShiftOutBtn,  c_.ShiftNullBtn};
    for (QWidget* control : controls) {
        control->setEnabled(enabled);
    }
}

void TChannelWrapperTarn::Refresh()
{
    TSettingsTarn* s = Settings();
    if (!wired_ || s == nullptr) {
        return;
    }
    c_.VppOnOffBtn->setChecked(Flag(s->VppOn, channelIndex_));
    c_.VpOnOffBtn->setChecked(Flag(s->VpOn, channelIndex_));
    c_.VrmsOnOffBtn->setChecked(Flag(s->VrmsOn, channelIndex_));
    c_.VavgOnOffBtn->setChecked(Flag(s->VavgOn, channelIndex_));

    const std::optional<TChannelSetup> setup = Setup();
    if (!setup) {
        return;
    }
    const TChannelAssignment& out = *Assignment();
    if (!s->Device.HOutputActive && out.IsHOutput) {
        SetPanelEnabled(false);
        c_.VppEdit->SetText({});
        c_.VpEdit->SetText({});
        c_.VrmsEdit->clear();
        c_.VavgEdit->clear();
        return;
    }
    SetPanelEnabled(true);
    TUpdating updating(updating_);

    const TWaveStats wave = Wave();
    const TPeakSide side = c_.VpMinusOnOffBtn->isChecked() ? TPeakSide::Minus : TPeakSide::Plus;
    const TChannelReadings r = ComputeReadings(*setup, wave, side);

    c_.LevelBar->setValue(LevelBarPosition(*setup));
    c_.ShiftBar->setValue(ShiftBarPosition(*setup));
    SetWarning(c_.LevelLabel, r.LevelWarning,
               r.LevelWarning ? QString::fromUtf8(Strings::HintLevelWarning)
                                    .arg(VoltText(r.Vpp), VoltText(r.LevelLow), VoltText(r.LevelHigh))
                              : QString::fromUtf8(Strings::HintLevelNormal).arg(VoltText(r.LevelLow), VoltText(r.LevelHigh)));

    const bool vppOn = c_.VppOnOffBtn->isChecked();
    c_.VppEdit->setEnabled(vppOn);
    c_.VppEdit->SetText(vppOn ? VoltText(r.Vpp) : QString());
    SetWarning(c_.ShiftLabel, r.ShiftWarning,
               QString::fromUtf8(r.ShiftWarning ? Strings::HintShiftWarning : Strings::HintShiftNormal)
                   .arg(VoltText(r.ShiftLimit)));
    const bool vpOn = c_.VpOnOffBtn->isChecked();
    c_.VpEdit->setEnabled(vpOn);
    c_.VpEdit->SetText(vpOn ? VoltText(r.Vp) : QString());
    c_.VrmsEdit->setEnabled(false);
    c_.VrmsEdit->setText(c_.VrmsOnOffBtn->isChecked() ? VoltText(r.Vrms) : QString());
    c_.VavgEdit->setEnabled(false);
    c_.VavgEdit->setText(c_.VavgOnOffBtn->isChecked() ? VoltText(r.Vavg) : QString());
    // With "Vrms from AC" both leave the mean out: the tooltip says so.
    DescribeReading(*c_.VrmsEdit, setup->VrmsFromAC ? Strings::HintVrmsEditAC : Strings::HintVrmsEdit);
    DescribeReading(*c_.VavgEdit, setup->VrmsFromAC ? Strings::HintVavgEditAC : Strings::HintVavgEdit);

    const auto unit = static_cast<TdBUnit>(std::clamp(c_.dBUnitsBox->currentIndex(), 0, 3));
    c_.dBAbsEdit->setText(QString::fromStdString(FormatDb(AbsoluteDb(r.Vrms, setup->Load, unit))));
    // The remote control shares the reference and its mode.
    if (TdBReference* reference = Reference()) {
        c_.AutodBBtn->setChecked(reference->Mode == TdBReferenceMode::Auto);
        c_.ManualdBBtn->setChecked(reference->Mode == TdBReferenceMode::Manual);
        const double zero = FollowReference(*reference, r.LevelFactor);
        c_.dBRelEdit->Force();
        c_.dBRelEdit->SetText(QString::fromStdString(FormatDb(RelativeDb(r.LevelFactor, zero))));
    }
    c_.Set0dBBtn->setEnabled(c_.ManualdBBtn->isChecked());

    c_.LoadOpenBtn->setChecked(setup->Load == -1.0);
    c_.Load50Btn->setChecked(setup->Load == out.OutputImpedance);
    c_.LoadEdit->SetText(QString::fromStdString(FormatLoad(setup->Load)));

    const std::int32_t* mode = DeviceValue(&TDeviceSettings::ShiftMode);
    c_.ShiftConBtn->setChecked(mode != nullptr && *mode == 0);
    c_.ShiftStepBtn->setChecked(mode != nullptr && *mode == 1);
    c_.ShiftEdit->SetText(VoltText(r.ShiftVoltage));
    c_.DevShiftEdit->SetText(VoltText(r.DevShiftVoltage));

    const std::int32_t* onOff = DeviceValue(&TDeviceSettings::OutputOnOff);
    c_.OutputOffBtn->setChecked(onOff != nullptr && *onOff == 0);
    c_.OutputOnBtn->setChecked(onOff != nullptr && *onOff == 1);
    // What the output would give: not live while it is off.
    const bool off = onOff != nullptr && *onOff == 0;
    for (QLineEdit* value : {static_cast<QLineEdit*>(c_.VppEdit), static_cast<QLineEdit*>(c_.VpEdit), c_.VrmsEdit,
                             c_.VavgEdit, c_.dBAbsEdit})
        ShowGreyed(value, off);

    c_.Output20Btn->setEnabled(out.HasAttenuator);
    c_.Output0Btn->setEnabled(out.HasAttenuator);
    if (out.HasAttenuator) {
        c_.Output20Btn->setChecked(setup->OutputAtn == 1);
        c_.Output0Btn->setChecked(setup->OutputAtn == 0);
    }
    const std::int32_t* filter = DeviceValue(&TDeviceSettings::Filter);
    c_.FilterBox->setCurrentIndex(filter != nullptr ? *filter : -1);
}

void TChannelWrapperTarn::FilterAutoset()
{
    // Only the output fed straight from its own real channel picks a filter.
    const TChannelAssignment* out = Assignment();
    TSettingsTarn* s = Settings();
    if (out == nullptr || out->RealChannel != channelIndex_ || s->Options == nullptr
        || !s->Options->BoolValue(optFilterAutoset)) {
        return;
    }
    const TWaveformTarn* wave = ChannelWaveform(*s, channelIndex_);
    std::int32_t* filter = DeviceValue(&TDeviceSettings::Filter);
    if (wave == nullptr || filter == nullptr) {
        return;
    }
    const std::optional<double> f =
        HighestFrequency(wave->IsStandard, wave->HighestHarmonic(), wave->SampleCount(), s->Device.DeviceFrequency);
    if (!f) {
        return;
    }
    const std::int32_t index = FilterForFrequency(*f);
    if (index != *filter) {
        *filter = index;
        Announce(TObjMasterCode::omFilterChanged);
    }
}

void TChannelWrapperTarn::LevelBarChange(int position)
{
    if (const auto setup = Setup(); setup && !updating_) {
        Store(&TDeviceSettings::Level, LevelFromBar(*setup, position), TObjMasterCode::omLevelChanged);
    }
}

void TChannelWrapperTarn::ShiftBarChange(int position)
{
    if (const auto setup = Setup(); setup && !updating_) {
        Store(&TDeviceSettings::Shift, ShiftFromBar(*setup, position), TObjMasterCode::omShiftChanged);
    }
}

void TChannelWrapperTarn::BarScroll(QScrollBar* bar, int action)
{
    // Dragging past an end lands exactly on it. Only while the mouse holds the
    // slider: a key press must not jump to an end because the pointer happens
    // to rest above or below the bar.
    if (action != QAbstractSlider::SliderMove || !bar->isSliderDown()) {
        return;
    }
    const QPoint at = bar->mapFromGlobal(QCursor::pos());
    if (at.y() < 0) {
        bar->setSliderPosition(bar->minimum());
    } else if (at.y() > bar->height()) {
        bar->setSliderPosition(bar->maximum());
    }
}

void TChannelWrapperTarn::FilterBoxChange(int index)
{
    if (!updating_ && index >= 0) {
        Store(&TDeviceSettings::Filter, index, TObjMasterCode::omFilterChanged);
    }
}

void TChannelWrapperTarn::AttenuatorBtnClick(QToolButton* button)
{
    Store(&TDeviceSettings::OutputAtn, Tag(button), TObjMasterCode::omAttenuatorChanged);
}

void TChannelWrapperTarn::OutputBtnClick(QToolButton* button)
{
    Store(&TDeviceSettings::OutputOnOff, Tag(button), TObjMasterCode::omOutputOnOffChanged);
}

void TChannelWrapperTarn::ShiftModeBtnClick(QToolButton* button)
{
    if (Store(&TDeviceSettings::ShiftMode, Tag(button), TObjMasterCode::omShiftModeChanged) && Tag(button) == 0) {
        ShiftOutBtnClick();
    }
}

void TChannelWrapperTarn::ShiftOutBtnClick()
{
    if (const std::int32_t* shift = DeviceValue(&TDeviceSettings::Shift)) {
        Store(&TDeviceSettings::DevShift, *shift, TObjMasterCode::omDeviceShiftChanged);
    }
}

void TChannelWrapperTarn::ShiftNullBtnClick()
{
    const auto setup = Setup();
    const std::int32_t* mode = DeviceValue(&TDeviceSettings::ShiftMode);
    if (!setup || mode == nullptr) {
        return;
    }
    if (*mode == 1) {
        Store(&TDeviceSettings::DevShift, ZeroShiftCode(*setup), TObjMasterCode::omDeviceShiftChanged);
    } else {
        Store(&TDeviceSettings::Shift, ZeroShiftCode(*setup), TObjMasterCode::omShiftChanged);
    }
}

void TChannelWrapperTarn::IndicatorBtnClick()
{
    if (TSettingsTarn* s = Settings()) {
        SetFlag(s->VppOn, channelIndex_, c_.VppOnOffBtn->isChecked());
        SetFlag(s->VpOn, channelIndex_, c_.VpOnOffBtn->isChecked());
        SetFlag(s->VrmsOn, channelIndex_, c_.VrmsOnOffBtn->isChecked());
        SetFlag(s->VavgOn, channelIndex_, c_.VavgOnOffBtn->isChecked());
    }
    Refresh();
}

void TChannelWrapperTarn::PeakSideBtnClick(QToolButton* button)
{
    // One of the two is always down.
    button->setChecked(true);
    (button == c_.VpPlusOnOffBtn ? c_.VpMinusOnOffBtn : c_.VpPlusOnOffBtn)->setChecked(false);
    Refresh();
}

void TChannelWrapperTarn::dBModeBtnClick(QToolButton* button)
{
    // One group that may be all up.
    if (button->isChecked()) {
        (button == c_.AutodBBtn ? c_.ManualdBBtn : c_.AutodBBtn)->setChecked(false);
    }
    if (TdBReference* reference = Reference()) {
        reference->Mode = c_.AutodBBtn->isChecked()     ? TdBReferenceMode::Auto
                          : c_.ManualdBBtn->isChecked() ? TdBReferenceMode::Manual
                                                        : TdBReferenceMode::Neither;
    }
    Refresh();
}

void TChannelWrapperTarn::StoreLoad(double ohms)
{
    // Display only: nothing goes to the device, but every panel shows it.
    if (double* load = Load()) {
        *load = ohms;
    }
    if (ObjMaster() != nullptr) {
        ObjMaster()->Notify(TObjMasterCode::omLoadChanged, channelIndex_);
    } else {
        Refresh();
    }
}

void TChannelWrapperTarn::LoadOpenBtnClick()
{
    StoreLoad(-1.0);
}

void TChannelWrapperTarn::Load50BtnClick()
{
    if (const TChannelAssignment* out = Assignment()) {
        StoreLoad(out->OutputImpedance);
    }
}

void TChannelWrapperTarn::LoadEditUserEnter(const QString& text)
{
    if (const std::optional<double> typed = Typed(&ParseLoad, text)) {
        StoreLoad(*typed);
    }
}

void TChannelWrapperTarn::Set0dBBtnClick()
{
    if (const auto setup = Setup(); setup && Reference() != nullptr) {
        Reference()->Factor = LevelFactor(*setup);
    }
    Refresh();
}

void TChannelWrapperTarn::ApplyLevelFactor(const TChannelSetup& setup, double factor)
{
    const TLevelEntry entry = LevelFromFactor(setup, factor);
    *DeviceValue(&TDeviceSettings::Level) = entry.Level;
    *DeviceValue(&TDeviceSettings::OutputAtn) = entry.OutputAtn;
    Announce(TObjMasterCode::omLevelChanged);
    Announce(TObjMasterCode::omAttenuatorChanged);
}

void TChannelWrapperTarn::ApplyShiftVoltage(const TChannelSetup& setup, double voltage)
{
    Store(&TDeviceSettings::Shift, ShiftFromVoltage(setup, voltage), TObjMasterCode::omShiftChanged);
}

void TChannelWrapperTarn::VppEditUserEnter(const QString& text)
{
    const auto setup = Setup();
    const auto vpp = Typed(&ParseVoltage, text);
    if (!setup || !vpp) {
        return;
    }
    // A flat or empty waveform has no level for any peak-to-peak voltage.
    if (const auto factor = FactorFromVpp(*vpp, Wave())) {
        ApplyLevelFactor(*setup, *factor);
        ReportLevel(*vpp);
    }
}

void TChannelWrapperTarn::ReportLevel(double typed)
{
    const auto setup = Setup();
    if (!setup || !OnAdjusted) {
        return;
    }
    // Level codes are a fraction of a percent apart; more is the level's limit.
    const double set = ComputeReadings(*setup, Wave(), TPeakSide::Plus).Vpp;
    if (std::fabs(set - typed) <= 0.01 * std::fabs(typed)) {
        return;
    }
    const QString output = QString::fromUtf8(ChannelIndex() == 0 ? Strings::GroupOutputL : Strings::GroupOutputH);
    OnAdjusted(QString::fromUtf8(set < typed ? Strings::StatusLevelAbove : Strings::StatusLevelBelow)
                   .arg(ValueWithUnit(FormatVoltage(typed), "Vpp"), output, ValueWithUnit(FormatVoltage(set), "V")));
}

void TChannelWrapperTarn::VpEditUserEnter(const QString& text)
{
    const auto setup = Setup();
    const auto vp = Typed(&ParseVoltage, text);
    if (!setup || !vp) {
        return;
    }
    const TPeakSide side = c_.VpMinusOnOffBtn->isChecked() ? TPeakSide::Minus : TPeakSide::Plus;
    const auto voltage = ShiftVoltageFromVp(*setup, *vp, LevelFactor(*setup), Wave(), side);
    if (voltage) {
        ApplyShiftVoltage(*setup, *voltage);
    }
}

void TChannelWrapperTarn::ShiftEditUserEnter(const QString& text)
{
    const auto setup = Setup();
    if (const auto voltage = Typed(&ParseVoltage, text); setup && voltage) {
        ApplyShiftVoltage(*setup, *voltage);
    }
}

void TChannelWrapperTarn::dBRelEditUserEnter(const QString& text)
{
    const auto setup = Setup();
    const auto db = Typed(&ParseDb, text);
    if (!setup || !db) {
        return;
    }
    const TdBReference* reference = Reference();
    if (reference == nullptr) {
        return;
    }
    if (const auto factor = FactorFromDb(*setup, *db, reference->Factor); factor && std::isfinite(*factor)) {
        ApplyLevelFactor(*setup, *factor);
    }
}

} // namespace tarn
