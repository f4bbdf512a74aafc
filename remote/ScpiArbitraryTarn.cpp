// SPDX-License-Identifier: MIT
// Arbitrary waveforms as other generators' drivers upload them: values into
// VOLATILE, which the library does not keep, and copies of it under a name
// into the library, where a name that exists is replaced.
#include "data/WaveformTarn.h"
#include "remote/ScpiInstrumentTarn.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace tarn::scpi {

namespace {

constexpr auto kMostSamples = static_cast<std::size_t>(kMaxSamples);
constexpr int kZero = 2048;
constexpr int kFullScale = 2047;

// Bytes of a block as an unsigned number of n bytes in the given order.
std::uint32_t Word(const std::string& bytes, std::size_t at, std::size_t n, bool littleEndian)
{
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(bytes[at + (littleEndian ? n - 1 - i : i)]);
        v = v << 8 | b;
    }
    return v;
}

} // namespace

bool TScpiInstrument::StoreVolatile(const std::vector<std::uint16_t>& codes)
{
    auto wave = std::make_unique<TWaveformTarn>();
    wave->Allocate(static_cast<std::int32_t>(codes.size()), settings_.SampleRange, false);
    std::copy(codes.begin(), codes.end(), wave->Samples());
    wave->Name = std::string(kVolatile);
    wave->UpdateStatistics();
    volatile_ = std::move(wave);
    // New samples for what plays: the output follows.
    const auto& waves = settings_.Device.Waveforms;
    if (!waves.empty() && waves[0] && !waves[0]->IsStandard && waves[0]->Name == kVolatile) {
        return PlayArbitrary(std::string(kVolatile));
    }
    return true;
}

std::optional<std::string> TScpiInstrument::LibraryName(const TParam& p)
{
    auto name = NameParam(p);
    if (!name || !ValidName(*name)) {
        return std::nullopt;
    }
    if (EqualNoCase(*name, kVolatile)) {
        Fail(errIllegalValue, "VOLATILE is not a name in the library");
        return std::nullopt;
    }
    // A bare name comes in upper case: it replaces the list's of any case.
    if (const TWaveformTarn* known = FindWaveform(*name)) {
        *name = known->Name;
    }
    return name;
}

void TScpiInstrument::VolatileData(TCall& call)
{
    if (!ParamCount(call, 2, 1 + kMostSamples)) {
        return;
    }
    const std::vector<TParam>& params = call.Unit.Params;
    const bool toVolatile = params[0].Kind == TParam::TKind::Mnemonic && MatchesMnemonic("VOLATILE", params[0].Text);
    const auto name = toVolatile ? std::optional<std::string>(kVolatile) : LibraryName(params[0]);
    if (!name) {
        return;
    }
    const bool dac = call.Tag == 1;
    std::vector<std::uint16_t> codes;
    bool bad = false;
    if (params[1].Kind == TParam::TKind::Block) {
        const std::string& bytes = params[1].Text;
        const std::size_t width = dac ? 2 : 4;
        if (params.size() != 2 || bytes.size() % width != 0) {
            Fail(errInvalidBlock, dac ? "one block of 16-bit integers" : "one block of 32-bit floats");
            return;
        }
        for (std::size_t i = 0; i < bytes.size() && !bad && codes.size() <= kMostSamples; i += width) {
            const std::uint32_t w = Word(bytes, i, width, swapped_);
            const double v = dac ? static_cast<std::int16_t>(w) : std::bit_cast<float>(w);
            const double code = dac ? kZero + v : std::nearbyint(v * kFullScale) + kZero;
            bad = !(dac ? std::fabs(v) <= kFullScale : std::fabs(v) <= 1.0);
            codes.push_back(bad ? 0 : static_cast<std::uint16_t>(code));
        }
    } else {
        for (std::size_t i = 1; i < params.size() && !bad; ++i) {
            const TParam& p = params[i];
            if (p.Kind != TParam::TKind::Number || !p.Text.empty() || (dac && p.Number != std::floor(p.Number))) {
                Fail(errDataType, dac ? "DAC values are whole numbers" : "values are plain numbers");
                return;
            }
            const double v = static_cast<double>(p.Number);
            bad = !(dac ? std::fabs(v) <= kFullScale : std::fabs(v) <= 1.0);
            codes.push_back(bad ? 0
                                : static_cast<std::uint16_t>(dac ? kZero + v : std::nearbyint(v * kFullScale) + kZero));
        }
    }
    if (bad) {
        Fail(errDataOutOfRange, dac ? "DAC values are -2047 .. 2047" : "values are -1 .. 1");
        return;
    }
    if (codes.empty() || codes.size() > kMostSamples) {
        Fail(errDataOutOfRange, "1 to 16384 samples");
        return;
    }
    if (!toVolatile) {
        // As DATA VOLATILE and DATA:COPY <name>: the library first, so that a
        // refused name leaves VOLATILE as it was.
        TWaveformTarn wave;
        wave.Allocate(static_cast<std::int32_t>(codes.size()), settings_.SampleRange, false);
        std::copy(codes.begin(), codes.end(), wave.Samples());
        wave.Name = *name;
        if (!AddOrReplace(wave)) {
            return;
        }
    }
    StoreVolatile(codes);
}

void TScpiInstrument::DataCopy(TCall& call)
{
    if (!ParamCount(call, 1, 2)) {
        return;
    }
    if (call.Unit.Params.size() == 2
        && !(call.Unit.Params[1].Kind == TParam::TKind::Mnemonic
             && MatchesMnemonic("VOLATILE", call.Unit.Params[1].Text))) {
        Fail(errIllegalValue, "only VOLATILE is copied");
        return;
    }
    const auto name = LibraryName(call.Unit.Params[0]);
    if (!name) {
        return;
    }
    if (!volatile_) {
        Fail(errSettingsConflict, "VOLATILE holds no samples: DATA VOLATILE first");
        return;
    }
    TWaveformTarn copy;
    copy.Assign(*volatile_);
    copy.Name = *name;
    AddOrReplace(copy);
}

bool TScpiInstrument::AddOrReplace(const TWaveformTarn& wave)
{
    const auto& list = settings_.Repository;
    const auto it =
        std::find_if(list.begin(), list.end(), [&wave](const auto& w) { return w && w->Name == wave.Name; });
    if (it != list.end() && (*it)->IsStandard) {
        return Fail(errSettingsConflict, wave.Name + " is a standard waveform; it is not overwritten");
    }
    if (it == list.end() && list.size() >= TSettingsTarn::kMaxWaveforms) {
        return Fail(errTooMuchData, "the library holds " + std::to_string(TSettingsTarn::kMaxWaveforms)
                                        + " waveforms, the most it takes; delete some first");
    }
    if (it != list.end()) {
        (*it)->Assign(wave);
        (*it)->UpdateStatistics();
    } else {
        settings_.AddWaveform(wave);
    }
    host_.Notify(TObjMasterCode::omWaveformListChanged, -1);
    return true;
}

void TScpiInstrument::DataCatalog(TCall& call)
{
    if (!ParamCount(call, 0, 0)) {
        return;
    }
    std::string list = volatile_ ? Quoted(kVolatile) : std::string();
    for (const auto& wave : settings_.Repository) {
        list += (list.empty() ? "" : ",") + Quoted(wave ? wave->Name : std::string());
    }
    Answer(call, list.empty() ? std::string("\"\"") : list);
}

void TScpiInstrument::DataDelete(TCall& call)
{
    const auto name = ParamCount(call, 1, 1) ? NameParam(call.Unit.Params[0]) : std::nullopt;
    if (!name) {
        return;
    }
    if (MatchesMnemonic("VOLATILE", *name)) {
        volatile_.reset();
        return;
    }
    const TWaveformTarn* w = FindWaveform(*name);
    auto& list = settings_.Repository;
    const auto it = std::find_if(list.begin(), list.end(), [w](const auto& x) { return x.get() == w; });
    if (w == nullptr || it == list.end()) {
        Fail(errIllegalValue, "no waveform named " + *name);
        return;
    }
    if (userWave_ == w->Name) {
        userWave_ = std::string(kVolatile);
    }
    // As "Delete" in the list: the device keeps playing its own copy, and
    // Undo in the window brings it back.
    settings_.LibraryUndo.Remove(list, static_cast<std::size_t>(it - list.begin()));
    host_.Notify(TObjMasterCode::omWaveformListChanged, 0);
}

void TScpiInstrument::VolatileClear(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        volatile_.reset();
    }
}

void TScpiInstrument::DataQuery(TCall& call)
{
    const auto name = ParamCount(call, 1, 1) ? NameParam(call.Unit.Params[0]) : std::nullopt;
    if (!name) {
        return;
    }
    const TWaveformTarn* w = FindWaveform(*name);
    if (w == nullptr) {
        Fail(errIllegalValue, "no waveform named " + *name);
        return;
    }
    std::string text;
    text.reserve(static_cast<std::size_t>(w->SampleCount()) * 5);
    const std::uint16_t* s = w->Samples();
    for (std::int32_t i = 0; i < w->SampleCount(); ++i) {
        if (i > 0) {
            text += ',';
        }
        text += std::to_string(s[i]);
    }
    Answer(call, text);
}

void TScpiInstrument::ByteOrder(TCall& call)
{
    if (const auto order = ParamCount(call, 1, 1) ? Choice(call.Unit.Params[0], {"NORMal", "SWAPped"}) : std::nullopt) {
        swapped_ = *order == 1;
    }
}

void TScpiInstrument::ByteOrderQuery(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        Answer(call, swapped_ ? "SWAP" : "NORM");
    }
}

} // namespace tarn::scpi
