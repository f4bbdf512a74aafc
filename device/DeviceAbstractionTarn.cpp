// SPDX-License-Identifier: MIT
#include "device/DeviceAbstractionTarn.h"

#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "device/DaoTarn.h"
#include "shell/master/DialogService.h"

#include <QTimer>

namespace tarn {

namespace {

constexpr int kPollIntervalMs = 500;

// A per-channel value, or nothing when the list is shorter than the index.
bool ValueAt(const TIntArray& list, std::int32_t index, std::int32_t& value)
{
    if (index < 0 || static_cast<std::size_t>(index) >= list.size()) {
        return false;
    }
    value = list[static_cast<std::size_t>(index)];
    return true;
}

std::string Lines(const char* first, const char* second)
{
    return std::string(first) + "\n" + second;
}

} // namespace

TDeviceAbstractionTarn::TDeviceAbstractionTarn(TDialogService& dialogs, QObject* parent)
    : TComponentTarn(parent), dialogs_(dialogs), driverFactory_([] { return std::make_unique<TDAO_Tarn>(); }),
      pollIntervalMs_(kPollIntervalMs)
{
}

TDeviceAbstractionTarn::~TDeviceAbstractionTarn()
{
    pollTimer_.reset();
    driver_.reset();
    DetachFromMaster();
}

bool TDeviceAbstractionTarn::PollActive() const
{
    return pollTimer_ && pollTimer_->isActive();
}

void TDeviceAbstractionTarn::SetPollInterval(int milliseconds)
{
    pollIntervalMs_ = milliseconds;
    if (pollTimer_) {
        pollTimer_->setInterval(milliseconds);
    }
}

void TDeviceAbstractionTarn::ObjMasterNotify(TObjMasterCode code, std::int32_t index, void* data)
{
    TSettingsTarn* settings = Settings();
    if (code == TObjMasterCode::omConnectDevice) {
        ConnectDevice();
    } else if (driver_ && settings != nullptr) {
        TDeviceSettings& device = settings->Device;
        std::int32_t value = 0;
        switch (code) {
        case TObjMasterCode::omStart:
            Start();
            break;
        case TObjMasterCode::omFrequencyChanged:
            if (device.FrequencyMode == 0) {
                device.DeviceFrequency = driver_->SetFrequency(device.Frequency);
            } else if (device.FrequencyMode == 1) {
                driver_->SetFrequency(device.Frequency);
            }
            break;
        case TObjMasterCode::omFrequencyModeChanged:
            driver_->SetFrequencyMode(device.FrequencyMode);
            break;
        case TObjMasterCode::omApplyFrequency:
            device.DeviceFrequency = driver_->ApplyFrequency();
            break;
        case TObjMasterCode::omLevelChanged:
            if (ValueAt(device.Level, index, value))
                driver_->SetLevel(value);
            break;
        case TObjMasterCode::omAttenuatorChanged:
            if (ValueAt(device.OutputAtn, index, value))
                driver_->SetOutputAttenuator(value);
            break;
        case TObjMasterCode::omFilterChanged:
            if (ValueAt(device.Filter, index, value))
                driver_->SetFilter(value);
            break;
        case TObjMasterCode::omOutputOnOffChanged:
            if (ValueAt(device.OutputOnOff, index, value))
                driver_->SetOutputOnOff(value);
            break;
        case TObjMasterCode::omDeviceShiftChanged:
            if (ValueAt(device.DevShift, index, value))
                driver_->SetShift(value);
            break;
        case TObjMasterCode::omTriggerModeChanged:
            driver_->SetTriggerMode(device.TriggerMode);
            break;
        case TObjMasterCode::omArmOnOffChanged:
            driver_->SetArmOnOff(device.ArmOnOff);
            break;
        case TObjMasterCode::omArmStopLevelChanged:
            driver_->SetArmStopLevel(device.ArmStopLevel);
            break;
        case TObjMasterCode::omRunOnOffChanged:
            driver_->SetRunOnOff(device.RunOnOff);
            break;
        case TObjMasterCode::omTriggerPulse:
            driver_->TriggerPulse();
            break;
        case TObjMasterCode::omTriggerOnOffChanged:
            driver_->SetTriggerOnOff(device.TriggerOnOff);
            break;
        case TObjMasterCode::omTriggerEdgeChanged:
            driver_->SetTriggerLeading(device.TriggerLeading);
            break;
        case TObjMasterCode::omChannelWaveformChanged:
            LoadDeviceWaveform();
            if (ObjMaster() != nullptr) {
                ObjMaster()->Notify(TObjMasterCode::omWaveformLoaded);
            }
            break;
        case TObjMasterCode::omReconnect: {
            const bool ok = Reconnect();
            if (data != nullptr) {
                *static_cast<bool*>(data) = ok;
            }
            break;
        }
        default:
            break;
        }
    }
    // No window may open while the master goes away.
    if (code != TObjMasterCode::omMasterDestroying) {
        CheckCommunication();
    }
}

void TDeviceAbstractionTarn::ConnectDevice()
{
    for (;;) {
        driver_.reset();
        driver_ = driverFactory_();
        std::int32_t r = driver_->LoadDriver();
        if (r == kLoadOk) {
            r = driver_->InitDevice();
        }
        switch (r) {
        case kLoadLibraryFailed:
        case kLoadEntryMissing:
            dialogs_.Message(TDialogKind::Error, TDialogButtons::Ok, Strings::UnableToLoadDriverLibrary);
            SwitchToDemonstration();
            return;
        case kInitUsbLibraryMissing:
        case kInitUsbFunctionMissing:
            dialogs_.Message(TDialogKind::Error, TDialogButtons::Ok,
                             Lines(Strings::UnableToLoadUsbLibrary, Strings::PlugTheDevice));
            SwitchToDemonstration();
            return;
        case kInitNoDevice:
        case kInitConfigurationFailed:
            switch (dialogs_.Message(TDialogKind::Error, TDialogButtons::YesNoAbort, Strings::DeviceNotFound)) {
            case TDialogResult::Yes:
                continue;
            case TDialogResult::Abort:
                driver_.reset();
                driver_ = std::make_unique<TDAO_DEMO>();
                if (OnTerminateRequest) {
                    OnTerminateRequest();
                }
                return;
            default:
                SwitchToDemonstration();
                return;
            }
        case kInitCalibrationBroken:
            dialogs_.Message(TDialogKind::Warning, TDialogButtons::Ok,
                             Lines(Strings::CalibrationBroken, Strings::ContactManufacturer));
            return;
        default:
            return;
        }
    }
}

void TDeviceAbstractionTarn::SwitchToDemonstration()
{
    driver_.reset();
    driver_ = std::make_unique<TDAO_DEMO>();
    dialogs_.Message(TDialogKind::Information, TDialogButtons::Ok, Strings::DemonstrationMode);
}

void TDeviceAbstractionTarn::LoadDeviceWaveform()
{
    const TWaveformList& waveforms = Settings()->Device.Waveforms;
    if (waveforms.empty() || !waveforms[0]) {
        return;
    }
    const TWaveformTarn& wave = *waveforms[0];
    driver_->LoadWaveform(wave.Samples(), wave.SampleCount(), wave.IsStandard);
}

void TDeviceAbstractionTarn::ApplyAllSettings()
{
    if (!driver_ || Settings() == nullptr) {
        return;
    }
    TDeviceSettings& device = Settings()->Device;
    std::int32_t value = 0;
    LoadDeviceWaveform();
    driver_->SetFrequencyMode(device.FrequencyMode);
    device.DeviceFrequency = driver_->SetFrequency(device.Frequency);
    if (device.FrequencyMode == 1) {
        device.DeviceFrequency = driver_->ApplyFrequency();
    }
    if (ValueAt(device.Level, 0, value))
        driver_->SetLevel(value);
    // The shift in the device, as everywhere else: a pending step-mode shift
    // waits for "OUT" here too, and the panels' "shift in device" stays true.
    if (ValueAt(device.DevShift, 0, value))
        driver_->SetShift(value);
    if (ValueAt(device.OutputAtn, 0, value))
        driver_->SetOutputAttenuator(value);
    if (ValueAt(device.OutputOnOff, 0, value))
        driver_->SetOutputOnOff(value);
    if (ValueAt(device.Filter, 0, value))
        driver_->SetFilter(value);
    driver_->SetTriggerMode(device.TriggerMode);
    driver_->SetArmOnOff(device.ArmOnOff);
    driver_->SetArmStopLevel(device.ArmStopLevel);
    driver_->SetRunOnOff(device.RunOnOff);
    driver_->SetTriggerOnOff(device.TriggerOnOff);
    driver_->SetTriggerLeading(device.TriggerLeading);
    device.HOutputActive = driver_->GetPowerState();
}

void TDeviceAbstractionTarn::Start()
{
    ApplyAllSettings();
    if (ObjMaster() != nullptr) {
        ObjMaster()->Notify(TObjMasterCode::omPowerStateChanged);
    }
    if (!pollTimer_) {
        pollTimer_ = std::make_unique<QTimer>();
        pollTimer_->setInterval(pollIntervalMs_);
        connect(pollTimer_.get(), &QTimer::timeout, this, &TDeviceAbstractionTarn::PollDevice);
    }
    pollTimer_->start();
}

void TDeviceAbstractionTarn::PollDevice()
{
    if (!driver_ || Settings() == nullptr || !driver_->CommunicationOK()) {
        return;
    }
    const bool power = driver_->GetPowerState();
    if (power != Settings()->Device.HOutputActive) {
        Settings()->Device.HOutputActive = power;
        if (ObjMaster() != nullptr) {
            ObjMaster()->Notify(TObjMasterCode::omPowerStateChanged);
        }
    }
}

bool TDeviceAbstractionTarn::Reconnect()
{
    const std::int32_t r = driver_->InitDevice();
    const bool ok = r == kInitReady || r == kInitCalibrationBroken;
    if (ok) {
        ApplyAllSettings();
        commBrokenReported_ = false;
    }
    return ok;
}

void TDeviceAbstractionTarn::CheckCommunication()
{
    if (!commBrokenReported_ && driver_ && !driver_->CommunicationOK()) {
        commBrokenReported_ = true;
        if (OnCommBroken) {
            OnCommBroken(this);
        }
    }
}

} // namespace tarn
