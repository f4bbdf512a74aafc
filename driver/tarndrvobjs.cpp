// SPDX-License-Identifier: MIT
#include "driver/tarndrvobjs.h"

#include "driver/tarndrvconstants.h"
#include "driver/unitmarl.h"

#include "data/ConfigurationImage.h"
#include "data/WaveformTarn.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

namespace tarn::drv {

namespace {

constexpr long double kCalLevelPointLow = 368.55L; // 9 % of 4095
constexpr long double kCalLevelSpan = 3316.95L;    // 90 % - 9 % of 4095
constexpr long double kClockBase = 50000000.0L;
constexpr long double kClockTop = 100000000.0L;

// Nearest integer, ties to even, as a 64-bit value; far out-of-range
// values saturate instead of overflowing.
std::int64_t RoundToInt64(long double x)
{
    const long double r = std::nearbyint(x);
    constexpr long double limit = 9.2e18L;
    if (!(r > -limit))
        return -static_cast<std::int64_t>(limit);
    if (r > limit)
        return static_cast<std::int64_t>(limit);
    return static_cast<std::int64_t>(r);
}

// Register values travel as their low 16 bits; keep the low 32 meanwhile.
std::int32_t LowWord32(std::int64_t v)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
}

// Frees nothing: lets the wrapper go of the caller's samples on every path.
struct TDetachGuard {
    TWaveformTarn& Waveform;
    ~TDetachGuard() { Waveform.DetachSamples(); }
};

} // namespace

TVireoDevice::TVireoDevice(TVireoPortFactory factory, const TFailureFlag& flag)
    : Factory_(std::move(factory)), Flag_(flag)
{
}

// Dropping the object sends nothing; only Destroy tears down.
TVireoDevice::~TVireoDevice() = default;

void TVireoDevice::Send(std::uint8_t reg, std::int32_t value)
{
    if (Port_)
        Port_->SingleWrite(reg, value);
}

void TVireoDevice::Queue(std::uint8_t reg, std::int32_t value)
{
    if (Port_)
        Port_->SingleWriteWithoutFlush(reg, value);
}

std::int32_t TVireoDevice::Initialize()
{
    const std::uint32_t failuresBefore = Flag_.Failures();
    Port_.reset();
    Port_ = Factory_ ? Factory_() : nullptr;
    if (!Port_)
        return 1;
    const std::int32_t bound = Port_->Bind();
    if (bound == 1 || bound == 2)
        return bound;
    if (Port_->InitDevice() != 0)
        return 3;
    {
        const std::vector<std::uint8_t> image = RestoreConfigurationImage();
        if (Port_->ConfigureFPGA(image.data(), static_cast<std::int32_t>(image.size())) == 0)
            return 4;
    }
    Port_->SetPowerOnOff(1);
    const bool calibrated = ReadCalibration();
    // A transfer that failed on the way leaves a device without power or a
    // calibration page read as zeros, not a broken page: no usable device yet.
    if (Flag_.Failures() != failuresBefore)
        return 3;
    Flag_.Write(0);
    return calibrated ? 0 : 5;
}

void TVireoDevice::Destroy()
{
    if (Port_ && !KeepPowerAtExit_)
        Port_->SetPowerOnOff(0);
    Port_.reset();
}

bool TVireoDevice::ReadCalibration()
{
    TDeviceEEPROM eeprom;
    if (Port_)
        eeprom.Read(*Port_);
    else
        eeprom = TDeviceEEPROM(TDeviceEEPROM::TImage{});
    return eeprom.Extract(Calibration_);
}

std::int32_t TVireoDevice::ControlWord() const
{
    std::int32_t word = TriggerLeadingBit_ | ArmStopLevelBit_ | kControlAlwaysBit
                        | (OutputOnBit_ & WaveformRunningBit_ & LevelNonZeroBit_);
    if (TriggerMode_ == 0)
        word |= ArmBit_ | RunBit_;
    else
        word |= TriggerOnBit_ | TriggerPulseBit_;
    return word;
}

void TVireoDevice::SetLevel(std::int32_t level)
{
    Level_ = level;
    const long double hi = Calibration_.CalLevelHigh;
    const long double lo = Calibration_.CalLevelLow;
    long double raw;
    if (AttenuatorBit_ == 0)
        raw = (hi - lo) * (level - kCalLevelPointLow) / kCalLevelSpan + lo;
    else
        raw = (level * static_cast<long double>(Calibration_.AttenuatorFactor) - kCalLevelPointLow) * (hi - lo)
                  / kCalLevelSpan
              + lo;
    const std::int64_t code = RoundToInt64(raw);
    LevelCode_ = static_cast<std::int32_t>(code < 0 ? 0 : (code > kLevelCodeMax ? kLevelCodeMax : code));
    Queue(RegLevel, LevelCode_);
    LevelNonZeroBit_ = LevelCode_ != 0 ? kOutputGateBit : 0;
    SendControlWord();
    SetShift(Shift_);
}

void TVireoDevice::SetShift(std::int32_t shift)
{
    Shift_ = shift;
    if (OutputOnBit_ == 0)
        return;
    const long double factor = AttenuatorBit_ != 0 ? static_cast<long double>(Calibration_.AttenuatorFactor) : 1.0L;
    const TCalibration& c = Calibration_;
    // The zero point follows the level converter code linearly between the
    // two calibrated zero codes.
    const std::int64_t zeroProduct =
        std::int64_t(c.CalShiftZeroHigh - c.CalShiftZeroLow) * (std::int64_t(LevelCode_) - c.CalLevelLow);
    const long double raw =
        1500.0L * factor * (static_cast<long double>(shift) - kNoShift) / 2047.0L * c.CalShiftGain / 1000.0L
        + static_cast<long double>(zeroProduct) / (c.CalLevelHigh - c.CalLevelLow) + c.CalShiftZeroLow;
    Send(RegShift, LowWord32(RoundToInt64(raw)));
}

void TVireoDevice::SetAttenuator(std::int32_t value)
{
    AttenuatorBit_ = value == 1 ? kAttenuatorBit : 0;
    SetLevel(Level_);
    SetShift(Shift_);
    Send(RegRelays, AttenuatorBit_ | FilterBits_);
}

void TVireoDevice::SetFilter(std::int32_t index)
{
    switch (index) {
    case 0:
        FilterBits_ = 0;
        break;
    case 1:
        FilterBits_ = kFilter1Bits;
        break;
    case 2:
        FilterBits_ = kFilter2Bits;
        break;
    default:
        break; // unknown index: keep the relays, write them anyway
    }
    Send(RegRelays, AttenuatorBit_ | FilterBits_);
}

void TVireoDevice::SetOutput(bool on)
{
    if (on) {
        OutputOnBit_ = kOutputGateBit;
        SetShift(Shift_);
    } else {
        // Bring the shift converter to 0 V before the gate closes.
        const std::int32_t kept = Shift_;
        SetShift(kNoShift);
        Shift_ = kept;
        OutputOnBit_ = 0;
    }
    SendControlWord();
}

void TVireoDevice::SetTriggerMode(std::int32_t mode)
{
    TriggerMode_ = mode;
    SendControlWord();
}

void TVireoDevice::SetArm(bool on)
{
    ArmBit_ = on ? kArmBit : 0;
    SendControlWord();
}

void TVireoDevice::SetArmStopLevel(bool on)
{
    ArmStopLevelBit_ = on ? kArmStopLevelBit : 0;
    SendControlWord();
}

void TVireoDevice::SetRun(bool on)
{
    RunBit_ = on ? kRunBit : 0;
    SendControlWord();
}

void TVireoDevice::TriggerPulse()
{
    // Both words leave in one transfer: the pulse bit rises and falls.
    TriggerPulseBit_ = kTriggerPulseBit;
    Queue(RegControl, ControlWord());
    TriggerPulseBit_ = 0;
    SendControlWord();
}

void TVireoDevice::SetTrigger(bool on)
{
    TriggerOnBit_ = on ? kTriggerOnBit : 0;
    SendControlWord();
}

void TVireoDevice::SetTriggerLeading(bool on)
{
    TriggerLeadingBit_ = on ? kTriggerLeadingBit : 0;
    SendControlWord();
}

std::int32_t TVireoDevice::GetPowerState()
{
    return Port_ && Port_->GetPowerState() != 0 ? 1 : 0;
}

void TVireoDevice::SetPower(bool on)
{
    if (Port_)
        Port_->SetPowerOnOff(on ? 1 : 0);
}

void TVireoDevice::GetDriverVersion(std::uint8_t* buffer)
{
    if (Port_) {
        Port_->GetDriverVersion(buffer);
    } else {
        buffer[0] = 0;
        buffer[1] = 0;
    }
}

TClockResult TVireoDevice::SynthesizeClock(long double x, bool preloadOnly)
{
    int k = 0;
    while (x < kClockBase && k < kMaxDividerIndex) {
        x = 2 * x;
        ++k;
    }
    if (x < kClockBase)
        x = kClockBase;
    if (x > kClockTop)
        x = kClockTop;
    const std::int32_t w = static_cast<std::int32_t>(RoundToInt64(32768.0L * (x - kClockBase) / kClockBase + 32767.0L));
    TClockResult result;
    result.Clock = (kClockBase * (w - 32767) / 32768.0L + kClockBase) / std::ldexp(1.0L, k);
    result.WasDivided = DividerIndex_ > 0;

    if (!preloadOnly) {
        // The word nearer to w is rewritten; the other goes to the far end.
        const int s = std::abs(ClockWord_[0] - w) < std::abs(ClockWord_[1] - w) ? 0 : 1;
        ActiveClockWord_ = s;
        ClockWord_[s] = w;
        ClockWord_[1 - s] = std::abs(w - kClockWordLow) < std::abs(w - kClockWordHigh) ? kClockWordHigh : kClockWordLow;
        Queue(RegDivider, kDividerCodes[static_cast<std::size_t>(k)] + 128 * s);
        DividerIndex_ = k;
    } else {
        ClockWord_[1 - ActiveClockWord_] = w;
    }
    Queue(RegClockWord0, ClockWord_[0]);
    Queue(RegClockWord1, ClockWord_[1]);
    return result;
}

void TVireoDevice::OpenGateAfterLoad()
{
    if (WaveformRunningBit_ == 0) {
        WaveformRunningBit_ = kOutputGateBit;
        SendControlWord();
    }
}

double TVireoDevice::SetFrequency(double frequency, bool preloadOnly)
{
    // A NaN would make every code below undefined; treat it as no frequency.
    const long double f = std::isnan(frequency) ? 0.0L : static_cast<long double>(frequency);
    long double obtained;
    if (!IsStandardLoaded_) {
        if (!preloadOnly)
            Queue(RegStandardHalf, 0);
        const TClockResult clock = SynthesizeClock(f, preloadOnly);
        if (!preloadOnly) {
            Send(RegPlaybackStart, kSampleMemoryWords - PeriodSamples_);
            if (clock.WasDivided)
                Send(RegControl, ControlWord() & ~kControlAlwaysBit);
        }
        obtained = clock.Clock;
    } else {
        long double d = 8192.0L;
        if (!(f < 1.0L))
            d = std::nearbyint(std::pow(2.0L, std::floor(std::log2(kClockTop / f))));
        if (!(d >= 2.0L))
            d = 2.0L;
        if (d > 8192.0L)
            d = 8192.0L;
        const std::int32_t samples = static_cast<std::int32_t>(d);
        PeriodSamples_ = samples;
        const TClockResult clock = SynthesizeClock(samples * f, preloadOnly);
        if (!preloadOnly) {
            Queue(RegStandardHalf, -(samples / 2));
            Queue(RegStandardLength, -samples);
            Send(RegPlaybackStart, kSampleMemoryWords - samples);
            if (clock.WasDivided)
                Send(RegControl, ControlWord() & ~kControlAlwaysBit);
        }
        obtained = clock.Clock / samples;
    }
    OpenGateAfterLoad();
    return static_cast<double>(obtained);
}

void TVireoDevice::WriteSamples(const std::uint16_t* words, std::int32_t count)
{
    Queue(RegWriteStart, kSampleMemoryWords - count);
    if (Port_)
        Port_->FIFOWrite(RegSampleData, words, static_cast<std::uint32_t>(count) * 2u);
}

void TVireoDevice::LoadWaveform(std::uint16_t* samples, std::int32_t count, bool isStandard)
{
    WaveformRunningBit_ = 0;
    SendControlWord(); // the output gate closes until the next frequency operation
    if (!isStandard) {
        // More words than the memory holds, or a count without samples,
        // would overrun the caller's buffer or the device: ignored.
        if (count < 0 || count > kSampleMemoryWords || (samples == nullptr && count > 0))
            return;
        PeriodSamples_ = count;
        WriteSamples(samples, count);
        IsStandardLoaded_ = false;
        Send(RegPlaybackStart, kSampleMemoryWords - count);
        return;
    }
    if (count != kStandardSampleCount || samples == nullptr)
        return;
    std::vector<std::uint16_t> set(kSampleMemoryWords, 0);
    {
        TWaveformTarn wrapper;
        wrapper.AttachSamples(samples, count, kSampleRange);
        const TDetachGuard guard{wrapper};
        wrapper.BuildDecimations(set.data(), set.size());
    }
    WriteSamples(set.data(), kSampleMemoryWords);
    IsStandardLoaded_ = true;
    PeriodSamples_ = kSampleMemoryWords;
}

} // namespace tarn::drv
