// SPDX-License-Identifier: MIT
// The generator's device model: register writes with a shadow of every
// setting, calibration applied, clock synthesis and sample upload.
#pragma once
#include "driver/DeviceEEPROM.h"
#include "driver/FailureFlag.h"
#include "driver/VireoPort.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace tarn::drv {

using TVireoPortFactory = std::function<std::unique_ptr<TVireoPort>()>;

struct TClockResult {
    long double Clock = 0; // the sample clock obtained, in hertz
    bool WasDivided = false;
};

class TVireoDevice {
public:
    // The factory makes a fresh binding at every initialisation; flag is the
    // caller's failure byte cleared after a successful one.
    TVireoDevice(TVireoPortFactory factory, const TFailureFlag& flag);
    ~TVireoDevice();
    TVireoDevice(const TVireoDevice&) = delete;
    TVireoDevice& operator=(const TVireoDevice&) = delete;

    // 0 ready, 1 library missing, 2 library incomplete, 3 no device,
    // 4 logic configuration refused, 5 ready with default calibration.
    std::int32_t Initialize();
    // Power off (unless asked to keep it) and release the USB library.
    void Destroy();

    void LoadWaveform(std::uint16_t* samples, std::int32_t count, bool isStandard);
    void SetLevel(std::int32_t level);
    void SetAttenuator(std::int32_t value);
    void SetFilter(std::int32_t index);
    double SetFrequency(double frequency, bool preloadOnly);
    void SetShift(std::int32_t shift);
    void SetOutput(bool on);
    void SetTriggerMode(std::int32_t mode);
    void SetArm(bool on);
    void SetArmStopLevel(bool on);
    void SetRun(bool on);
    void TriggerPulse();
    void SetTrigger(bool on);
    void SetTriggerLeading(bool on);
    std::int32_t GetPowerState();
    void SetPower(bool on);
    void SetKeepPowerAtExit(bool on) { KeepPowerAtExit_ = on; }
    void GetDriverVersion(std::uint8_t* buffer);
    std::uint32_t SerialNumber() const { return Calibration_.SerialNumber; }
    // What the bound USB library says carries its requests; false when unknown.
    bool DescribeTransport(vireo::Description& out) const { return Port_ && Port_->DescribeTransport(out); }

    // True when the calibration page passed its check.
    bool ReadCalibration();

    // Shadow state, for inspection.
    const TCalibration& Calibration() const { return Calibration_; }
    std::int32_t ControlWord() const;
    std::int32_t LevelCode() const { return LevelCode_; }
    std::int32_t PeriodSamples() const { return PeriodSamples_; }
    std::int32_t ClockWord(int index) const { return ClockWord_[index & 1]; }
    std::int32_t ActiveClockWord() const { return ActiveClockWord_; }
    std::int32_t DividerIndex() const { return DividerIndex_; }
    bool IsStandardLoaded() const { return IsStandardLoaded_; }

private:
    void Send(std::uint8_t reg, std::int32_t value);
    void Queue(std::uint8_t reg, std::int32_t value);
    void SendControlWord() { Send(RegControl, ControlWord()); }
    void WriteSamples(const std::uint16_t* words, std::int32_t count);
    TClockResult SynthesizeClock(long double wanted, bool preloadOnly);
    void OpenGateAfterLoad();

    TVireoPortFactory Factory_;
    const TFailureFlag& Flag_;
    std::unique_ptr<TVireoPort> Port_;

    std::int32_t AttenuatorBit_ = 0;
    std::int32_t FilterBits_ = 0;
    std::int32_t TriggerLeadingBit_ = 0;
    std::int32_t TriggerOnBit_ = 0;
    std::int32_t RunBit_ = 0;
    std::int32_t TriggerPulseBit_ = 0;
    std::int32_t ArmBit_ = 0;
    std::int32_t ArmStopLevelBit_ = 0;
    std::int32_t OutputOnBit_ = 0;
    std::int32_t WaveformRunningBit_ = 0;
    std::int32_t LevelNonZeroBit_ = 0;
    std::int32_t TriggerMode_ = 0;
    bool IsStandardLoaded_ = false;
    std::int32_t PeriodSamples_ = 0;
    std::int32_t ClockWord_[2] = {0, 0};
    std::int32_t ActiveClockWord_ = 0;
    std::int32_t DividerIndex_ = 0;
    // Defaults until a page passes its check, so nothing ever divides by zero.
    TCalibration Calibration_;
    std::int32_t Shift_ = 0;
    std::int32_t Level_ = 0;
    std::int32_t LevelCode_ = 0;
    bool KeepPowerAtExit_ = false;
};

} // namespace tarn::drv
