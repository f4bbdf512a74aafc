// SPDX-License-Identifier: MIT
#include "shell/StatusBarTarn.h"

#include "data/CommonFunctionsTarn.h"
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "panels/PanelControlsTarn.h"

#include <QDir>
#include <QLabel>

#include <dlfcn.h>

namespace tarn {

namespace {

// A label reads as what it shows.
void Show(QLabel& label, const QString& text)
{
    label.setText(text);
    label.setAccessibleName(text);
    label.setVisible(!text.isEmpty());
}

} // namespace

QString GeneratorInUse(bool demonstration, bool virtualGenerator, std::int32_t serial)
{
    if (demonstration) {
        return QString::fromUtf8(Strings::StatusDemonstration);
    }
    if (virtualGenerator) {
        return QString::fromUtf8(Strings::StatusVirtualGenerator);
    }
    return QString::fromUtf8(Strings::StatusSerialNumber).arg(serial, 8, 10, QLatin1Char('0'));
}

bool VirtualUsbLibraryLoaded()
{
    // Only a library the driver has loaded already: nothing is loaded here.
    const QByteArray path = QDir::current().absoluteFilePath(QStringLiteral("libvireo.so")).toLocal8Bit();
    void* handle = dlopen(path.constData(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle == nullptr) {
        return false;
    }
    const bool isVirtual = dlsym(handle, "VgGetSampleWord") != nullptr;
    dlclose(handle);
    return isVirtual;
}

TStatusBarTarn::TStatusBarTarn(QWidget* parent) : QStatusBar(parent)
{
    setSizeGripEnabled(false);
    for (QLabel** label : {&generator_, &communication_, &adjustment_, &sweep_, &rate_}) {
        *label = new QLabel(this);
        (*label)->setVisible(false);
    }
    addWidget(generator_);
    addWidget(communication_);
    addWidget(adjustment_, 1);
    addWidget(sweep_);
    addPermanentWidget(rate_);
    reconnectedTimer_.setSingleShot(true);
    reconnectedTimer_.setInterval(kReconnectedMs);
    connect(&reconnectedTimer_, &QTimer::timeout, this, [this] { Show(*communication_, QString()); });
}

TStatusBarTarn::~TStatusBarTarn()
{
    if (objMaster_ != nullptr) {
        objMaster_->UnregisterListener(TObjMasterNotifyEvent::Bind<&TStatusBarTarn::ObjMasterNotify>(this));
    }
}

void TStatusBarTarn::SetObjMaster(TObjMasterTarn* master, TSettingsTarn* settings)
{
    objMaster_ = master;
    settings_ = settings;
    if (master != nullptr) {
        master->RegisterListener(TObjMasterNotifyEvent::Bind<&TStatusBarTarn::ObjMasterNotify>(this));
    }
}

void TStatusBarTarn::ObjMasterNotify(TObjMasterCode code, std::int32_t index, void*)
{
    switch (code) {
    case TObjMasterCode::omMasterDestroying:
        objMaster_ = nullptr;
        break;
    case TObjMasterCode::omSettingsApplied:
        if (index == 5) {
            UpdateGenerator();
            UpdateRate();
        }
        break;
    case TObjMasterCode::omStart:
        UpdateGenerator();
        break;
    case TObjMasterCode::omFrequencyChanged:
    case TObjMasterCode::omApplyFrequency:
    case TObjMasterCode::omChannelWaveformChanged:
        UpdateRate();
        break;
    default:
        break;
    }
}

void TStatusBarTarn::UpdateGenerator()
{
    Show(*generator_, GeneratorText ? GeneratorText() : QString());
}

void TStatusBarTarn::UpdateRate()
{
    QString text;
    if (settings_ != nullptr && !settings_->Device.Waveforms.empty()) {
        const TWaveformTarn& wave = *settings_->Device.Waveforms[0];
        const double rate = settings_->Device.Frequency;
        if (!wave.IsStandard && wave.SampleCount() > 0 && rate > 0.0) {
            text = QString::fromUtf8(Strings::StatusSamplingRate)
                       .arg(ValueWithUnit(FormatFrequency(rate), "Sa/s"),
                            ValueWithUnit(FormatFrequency(rate / wave.SampleCount()), "Hz"));
        }
    }
    Show(*rate_, text);
}

void TStatusBarTarn::CommBroken()
{
    reconnectedTimer_.stop();
    Show(*communication_, QString::fromUtf8(Strings::StatusCommBroken));
}

void TStatusBarTarn::Reconnected()
{
    Show(*communication_, QString::fromUtf8(Strings::StatusReconnected));
    UpdateGenerator();
    reconnectedTimer_.start();
}

void TStatusBarTarn::ReportAdjustment(const QString& text)
{
    Show(*adjustment_, text);
}

void TStatusBarTarn::ReportSweep(const QString& text)
{
    Show(*sweep_, text);
}

QString TStatusBarTarn::Sweep() const
{
    return sweep_->text();
}

QString TStatusBarTarn::Generator() const
{
    return generator_->text();
}

QString TStatusBarTarn::Communication() const
{
    return communication_->text();
}

QString TStatusBarTarn::Adjustment() const
{
    return adjustment_->text();
}

QString TStatusBarTarn::Rate() const
{
    return rate_->text();
}

} // namespace tarn
