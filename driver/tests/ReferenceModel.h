// SPDX-License-Identifier: MIT
// A second, deliberately plain rendering of the generator's behaviour, written
// from the description of the registers rather than from the driver's code.
// It produces the calls the driver should make, in the recorder's notation
// ("Q<reg>=<v>" queued, "S<reg>=<v>" sent, "FIFO11 <bytes>", "Power <n>" ...).
#pragma once
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace tarn::drv::reference {

using TCallList = std::vector<std::string>;

struct TCal {
    long long High = 1647, Low = 151, ZeroHigh = 2130, ZeroLow = 2130, Gain = 1064;
    double Attenuator = 1.0; // nominal when the page is refused
    std::uint32_t Serial = 0;
};

// Big-endian page fields; false (and defaults) when the weighted sum fails or
// the values would divide by zero.
inline bool DecodePage(const std::array<std::uint8_t, 256>& page, TCal& cal)
{
    std::uint32_t sum = 0;
    for (std::uint32_t i = 0; i <= 251; ++i)
        if (i < 160 || i > 163)
            sum += (i + 1) * page[i] + i;
    auto be16 = [&](int o) { return (long long)page[o] * 256 + page[o + 1]; };
    const std::uint32_t stored =
        (std::uint32_t)page[252] << 24 | (std::uint32_t)page[253] << 16 | (std::uint32_t)page[254] << 8 | page[255];
    cal = TCal{};
    if (stored != sum || be16(11) == 0 || be16(1) == be16(3))
        return false;
    cal.High = be16(1);
    cal.Low = be16(3);
    cal.ZeroHigh = be16(5);
    cal.ZeroLow = be16(7);
    cal.Gain = be16(9);
    cal.Attenuator = (double)(0.1L / ((long double)be16(11) * 0.2L / 65535.0L));
    cal.Serial =
        (std::uint32_t)page[167] << 24 | (std::uint32_t)page[168] << 16 | (std::uint32_t)page[169] << 8 | page[170];
    return true;
}

// Averaged copies of an 8192-sample standard waveform, 13 levels back to back,
// each stretched over 0 .. max - min of the samples (range 4096).
inline std::vector<std::uint16_t> DecimationSet(const std::uint16_t* samples)
{
    const int count = 8192, range = 4096;
    long long maxS = 0, minS = range;
    for (int i = 0; i < count; ++i) {
        if (samples[i] > maxS)
            maxS = samples[i];
        if (samples[i] < minS)
            minS = samples[i];
    }
    std::vector<std::uint16_t> set(16384, 0);
    std::size_t at = 0;
    for (int f = 1; f < count; f *= 2) {
        std::vector<double> avg(static_cast<std::size_t>(count / f));
        double lo = range, hi = 0;
        for (std::size_t b = 0; b < avg.size(); ++b) {
            double s = 0;
            for (int j = 0; j < f; ++j)
                s += samples[b * static_cast<std::size_t>(f) + static_cast<std::size_t>(j)];
            avg[b] = s / f;
            lo = avg[b] < lo ? avg[b] : lo;
            hi = avg[b] > hi ? avg[b] : hi;
        }
        double scale = 1, offset = 0;
        if (hi != lo) {
            scale = (double)(maxS - minS) / (hi - lo);
            offset = -lo * scale;
        }
        for (double a : avg)
            set[at++] = static_cast<std::uint16_t>(std::nearbyint(offset + scale * a));
    }
    return set;
}

class TModel {
public:
    TCallList Out;
    TCal Cal;
    std::vector<std::uint16_t> LastFIFO;

    // Result of the initialisation over a bound, present, configurable device.
    int Initialize(const std::array<std::uint8_t, 256>& page)
    {
        Out.insert(Out.end(), {"Bind", "InitDevice", "ConfigureFPGA 131022", "Power 1", "ReadFromEEPROM 256.."});
        return DecodePage(page, Cal) ? 0 : 5;
    }
    void Destroy()
    {
        if (!KeepPower)
            Out.push_back("Power 0");
    }

    void Load(const std::uint16_t* samples, int count, bool standard)
    {
        Running = 0;
        Control();
        if (!standard) {
            if (count < 0 || count > 16384 || samples == nullptr)
                return;
            Period = count;
            Upload(samples, count);
            Standard = false;
            S(7, 16384 - count);
        } else if (count == 8192 && samples != nullptr) {
            const auto set = DecimationSet(samples);
            Upload(set.data(), 16384);
            Standard = true;
            Period = 16384;
        }
    }
    void Level(int l)
    {
        LevelValue = l;
        const long double span = (long double)(Cal.High - Cal.Low);
        long double raw = Atten == 16 ? ((long double)l * Cal.Attenuator - 368.55L) * span / 3316.95L + Cal.Low
                                      : span * ((long double)l - 368.55L) / 3316.95L + Cal.Low;
        long double r = std::nearbyint(raw);
        if (r < 0)
            r = 0;
        if (r > 4095)
            r = 4095;
        Code = (long long)r;
        Q(1, Code);
        NonZero = Code != 0 ? 128 : 0;
        Control();
        Shift(ShiftValue);
    }
    void Shift(int s)
    {
        ShiftValue = s;
        if (OutputOn == 0)
            return;
        const long double f = Atten == 16 ? (long double)Cal.Attenuator : 1.0L;
        const long long zeroTerm = (Cal.ZeroHigh - Cal.ZeroLow) * (Code - Cal.Low);
        const long double v = 1500.0L * f * ((long double)s - 2048) / 2047 * Cal.Gain / 1000
                              + (long double)zeroTerm / (long double)(Cal.High - Cal.Low) + Cal.ZeroLow;
        S(2, (long long)std::nearbyint(v));
    }
    void Attenuator(int v)
    {
        Atten = v == 1 ? 16 : 0;
        Level(LevelValue);
        Shift(ShiftValue);
        S(8, Atten | Filter);
    }
    void SetFilter(int v)
    {
        if (v == 0)
            Filter = 0;
        else if (v == 1)
            Filter = 10;
        else if (v == 2)
            Filter = 5;
        S(8, Atten | Filter);
    }
    void Output(bool on)
    {
        if (on) {
            OutputOn = 128;
            Shift(ShiftValue);
        } else {
            const int keep = ShiftValue;
            Shift(2048);
            ShiftValue = keep;
            OutputOn = 0;
        }
        Control();
    }
    void Mode(int v)
    {
        TriggerMode = v;
        Control();
    }
    void Arm(bool on) { ArmBit = on ? 16 : 0, Control(); }
    void ArmStop(bool on) { StopBit = on ? 32 : 0, Control(); }
    void Run(bool on) { RunBit = on ? 4 : 0, Control(); }
    void Trigger(bool on) { TrigBit = on ? 1 : 0, Control(); }
    void Leading(bool on) { LeadBit = on ? 2 : 0, Control(); }
    void Pulse()
    {
        Pulse_ = 8;
        Q(10, Word());
        Pulse_ = 0;
        Control();
    }
    void KeepPowerAtExit(bool on) { KeepPower = on; }

    long double Frequency(double requested, bool preload)
    {
        const long double f = std::isnan(requested) ? 0.0L : (long double)requested;
        long double result;
        if (!Standard) {
            if (!preload)
                Q(6, 0);
            bool divided = false;
            result = Clock(f, preload, divided);
            if (!preload) {
                S(7, 16384 - Period);
                if (divided)
                    S(10, Word() - 64);
            }
        } else {
            long long d = 8192;
            if (f >= 1.0L) {
                const long double p = std::pow(2.0L, std::floor(std::log2(100000000.0L / f)));
                d = p > 16384 ? 16384 : (long long)std::nearbyint(p);
            }
            d = d < 2 ? 2 : (d > 8192 ? 8192 : d);
            Period = (int)d;
            bool divided = false;
            result = Clock((long double)d * f, preload, divided) / (long double)d;
            if (!preload) {
                Q(6, -(d / 2));
                Q(5, -d);
                S(7, 16384 - d);
                if (divided)
                    S(10, Word() - 64);
            }
        }
        if (Running == 0) {
            Running = 128;
            Control();
        }
        return result;
    }

    int ControlWordNow() const { return Word(); }
    int ActiveWord() const { return Active; }

private:
    long double Clock(long double x, bool preload, bool& divided)
    {
        int k = 0;
        for (; x < 50000000.0L && k < 22; ++k)
            x *= 2;
        x = x < 50000000.0L ? 50000000.0L : (x > 100000000.0L ? 100000000.0L : x);
        const long long w = (long long)std::nearbyint(32768.0L * (x - 50000000.0L) / 50000000.0L + 32767.0L);
        const long double obtained =
            (50000000.0L * (long double)(w - 32767) / 32768.0L + 50000000.0L) / std::pow(2.0L, (long double)k);
        divided = Divider > 0;
        if (!preload) {
            const long long d0 = w > Words[0] ? w - Words[0] : Words[0] - w;
            const long long d1 = w > Words[1] ? w - Words[1] : Words[1] - w;
            const int s = d0 < d1 ? 0 : 1;
            Active = s;
            Words[s] = w;
            Words[1 - s] = (w - 32767 < 65535 - w) ? 65535 : 32767;
            static const int codes[23] = {0,  1,  2,  3,  4,  5,  6,  7,   15,  23,  31, 39,
                                          47, 55, 63, 71, 79, 87, 95, 103, 111, 119, 127};
            Q(9, codes[k] + 128 * s);
            Divider = k;
        } else {
            Words[1 - Active] = w;
        }
        Q(3, Words[0]);
        Q(4, Words[1]);
        return obtained;
    }
    int Word() const
    {
        int w = LeadBit | StopBit | 64 | ((OutputOn == 128 && Running == 128 && NonZero == 128) ? 128 : 0);
        w |= TriggerMode == 0 ? (ArmBit | RunBit) : (TrigBit | Pulse_);
        return w;
    }
    void Control() { S(10, Word()); }
    void Upload(const std::uint16_t* words, int n)
    {
        Q(13, 16384 - n);
        Out.push_back("FIFO11 " + std::to_string(2 * n));
        LastFIFO.assign(words, words + n);
    }
    // Register values leave as the low 32 bits of the computed integer.
    static std::string V(long long v) { return std::to_string((std::int32_t)(std::uint32_t)(std::uint64_t)v); }
    void Q(int reg, long long v) { Out.push_back("Q" + std::to_string(reg) + "=" + V(v)); }
    void S(int reg, long long v) { Out.push_back("S" + std::to_string(reg) + "=" + V(v)); }

    int Atten = 0, Filter = 0, LeadBit = 0, TrigBit = 0, RunBit = 0, Pulse_ = 0, ArmBit = 0, StopBit = 0;
    int OutputOn = 0, Running = 0, NonZero = 0, TriggerMode = 0;
    bool Standard = false, KeepPower = false;
    int Period = 0, Active = 0, Divider = 0;
    long long Words[2] = {0, 0};
    int ShiftValue = 0, LevelValue = 0;
    long long Code = 0;
};

} // namespace tarn::drv::reference
