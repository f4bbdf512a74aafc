// SPDX-License-Identifier: MIT
#include "data/SettingsTarn.h"

#include "data/LibraryPrefetch.h"
#include "data/StringsTarn.h"
#include "data/WaveformRepositoryFile.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <numbers>
#include <optional>

namespace {

constexpr std::int32_t StandardRange = 4096;

std::uint16_t RoundCode(long double value)
{
    // Nearest integer, halves to even (default rounding mode).
    return static_cast<std::uint16_t>(std::nearbyint(value));
}

} // namespace

std::uint16_t StandardSample(TStandardWaveform kind, std::int32_t j)
{
    const long double x = j;
    switch (kind) {
    case TStandardWaveform::Sine:
        return RoundCode(std::sin(2.0L * std::numbers::pi_v<long double> * x / 8192.0L) * 2047.0L + 2048.0L);
    case TStandardWaveform::Saw:
        // The drop lies between samples 4094 and 4095.
        if (j < 4095)
            return RoundCode(x / 4096.0L * 2047.0L + 2048.0L);
        return RoundCode((x - 4096.0L) / 4096.0L * 2047.0L + 1.0L);
    case TStandardWaveform::Triangle:
        if (j < 2048)
            return RoundCode(2047.0L * x / 2048.0L + 2048.0L);
        if (j < 6144)
            return RoundCode(4095.0L - 4094.0L * (x - 2048.0L) / 4096.0L);
        return RoundCode(2047.0L * (x - 6144.0L) / 2048.0L + 1.0L);
    case TStandardWaveform::Square:
        return j < 4096 ? 4095 : 1;
    }
    return 2048;
}

std::unique_ptr<TWaveformTarn> MakeStandardWaveform(TStandardWaveform kind)
{
    // Filled through a copy: a waveform whose buffer was handed out keeps
    // checking it for writes.
    std::vector<std::uint16_t> samples(TSettingsTarn::StandardSampleCount);
    for (std::int32_t j = 0; j < TSettingsTarn::StandardSampleCount; ++j)
        samples[static_cast<std::size_t>(j)] = StandardSample(kind, j);
    auto waveform = std::make_unique<TWaveformTarn>();
    waveform->AssignData(TWaveformData{samples.data(), TSettingsTarn::StandardSampleCount, StandardRange});
    waveform->IsStandard = true;
    return waveform;
}

TSettingsTarn::TSettingsTarn() : XMLStore(std::make_unique<TXMLSettings>())
{
    XMLStore->EnsureRoot();
    Options = std::make_unique<TOptions>(this);
    // Usable values before the first Load: defaults, open outputs, a sine
    // for the device channel.
    SetDefaults();
    ReadXMLValues();
    ResetOutputs();
    Device.Waveforms.push_back(MakeStandardWaveform(TStandardWaveform::Sine));
}

TSettingsTarn::~TSettingsTarn() = default;

void TSettingsTarn::SetDefaults()
{
    FrequencyMax = 100000000.0;
    FrequencyMin = 16.384;
    SampleRange = 4096;
    ChannelCount = 2;
    RealChannelCount = 1;
    ChannelAssignments = {
        {0, 1.0, 50, true, false},
        {0, 5.5556, 600, false, true},
    };
    LevelSteps = 4096;
    LevelFactorMin = 0.0;
    LevelFactorMax = 10.0 / 4094.0;
    ShiftSteps = 4097;
    ShiftMin = -1.5;
    ShiftMax = 1.5;
    SampleZero = 2048;
    AttenuatorRatio = 10.0;
}

TSettingsLoadResult TSettingsTarn::Load(const std::filesystem::path& folder, TLibraryPrefetch* prefetch)
{
    TSettingsLoadResult result;
    result.SettingsRead = XMLStore->LoadFromFile(folder / SettingsFileName);
    ReadXMLValues();
    const auto file = folder / WaveformRepositoryFileName;
    FRepositoryBaseline.Forget();
    try {
        std::optional<bool> prefetched;
        if (prefetch != nullptr && prefetch->File() == file)
            prefetched = prefetch->Take(Device.Waveforms, Repository);
        const bool asRead = prefetched ? *prefetched : LoadWaveformRepositoryFile(file, Device.Waveforms, Repository);
        // Every real channel needs a waveform with samples to play.
        const auto needed = static_cast<std::size_t>(std::max(RealChannelCount, 1));
        if (Device.Waveforms.size() < needed)
            throw EDataError("Too few device waveforms");
        for (std::size_t i = 0; i < needed; ++i) {
            if (Device.Waveforms[i]->SampleCount() < 1)
                throw EDataError("Empty device waveform");
        }
        if (asRead)
            FRepositoryBaseline.Record(file, Device.Waveforms, Repository);
    } catch (const std::exception& e) {
        result.RepositoryRecovered = true;
        result.RepositoryError = e.what();
        RecoverWaveforms();
    }
    ResetOutputs();
    FFolder = folder;
    FLoaded = true;
    // What the file holds counts as handed in; recorded once, not twice, at start.
    if (result.RepositoryRecovered || !FRepositoryBaseline.SameLists(Device.Waveforms, Repository))
        FSubmitted.RecordLists(Device.Waveforms, Repository);
    else
        FSubmitted = FRepositoryBaseline;
    // Only changes made from here on are saved during the run.
    AutosaveFromHere();
    return result;
}

void TSettingsTarn::ReadXMLValues()
{
    Options = std::make_unique<TOptions>(this);
    Options->LoadFrom(OptionsPath, *XMLStore);
    ReadDeviceValues(*XMLStore);
}

void TSettingsTarn::ResetDeviceValues()
{
    ReadDeviceValues(TXMLSettings());
    ResetOutputs();
}

void TSettingsTarn::ResetOutputs()
{
    const auto count = static_cast<std::size_t>(std::max(ChannelCount, 0));
    Loads.assign(count, -1.0);
    dBReferences.assign(count, TdBReference());
}

void TSettingsTarn::ReadDeviceValues(const TXMLSettings& store)
{
    Device.Frequency = store.ReadFloat("/device/frequency", 15000.0);
    Device.FrequencyMode = store.ReadInt("/device/frequencymode", 0);
    Device.TriggerMode = store.ReadInt("/device/triggermode", 0);
    Device.ArmOnOff = store.ReadInt("/device/armonoff", 0);
    Device.ArmStopLevel = store.ReadInt("/device/armstoplevel", 1);
    Device.RunOnOff = store.ReadInt("/device/runonoff", 1);
    Device.TriggerOnOff = store.ReadInt("/device/triggeronoff", 0);
    Device.TriggerLeading = store.ReadInt("/device/triggerleading", 1);

    const auto realCount = static_cast<std::size_t>(std::max(RealChannelCount, 0));
    const auto outputCount = static_cast<std::size_t>(std::max(ChannelCount, 0));
    const TIntArray mid(realCount, 2048);
    Device.Shift = store.ReadIntArray("/device/shift", mid);
    Device.Level = store.ReadIntArray("/device/level", mid);
    Device.DevShift = store.ReadIntArray("/device/devshift", mid);
    const TIntArray zeros(realCount, 0);
    Device.OutputAtn = store.ReadIntArray("/device/outputatn", zeros);
    Device.Filter = store.ReadIntArray("/device/filter", zeros);
    Device.ShiftMode = store.ReadIntArray("/device/shiftmode", zeros);
    Device.OutputOnOff = store.ReadIntArray("/device/outputonoff", TIntArray(realCount, 1));
    const TBoolArray shown(outputCount, true);
    VppOn = store.ReadBoolArray("/display/vppon", shown);
    VpOn = store.ReadBoolArray("/display/vpon", shown);
    VrmsOn = store.ReadBoolArray("/display/vrmson", shown);
    VavgOn = store.ReadBoolArray("/display/vavgon", shown);
}

void TSettingsTarn::WriteXMLValues()
{
    TXMLSettings& store = *XMLStore;
    store.WriteInt("/device/realchannelcount", RealChannelCount);
    store.WriteInt("/device/channelcount", ChannelCount);
    store.WriteFloat("/device/frequency", SweepHold.Frequency.value_or(Device.Frequency));
    store.WriteInt("/device/frequencymode", Device.FrequencyMode);
    store.WriteIntArray("/device/level", SweepHold.Level.value_or(Device.Level));
    store.WriteIntArray("/device/shift", Device.Shift);
    store.WriteIntArray("/device/devshift", Device.DevShift);
    store.WriteIntArray("/device/shiftmode", Device.ShiftMode);
    store.WriteIntArray("/device/outputatn", SweepHold.OutputAtn.value_or(Device.OutputAtn));
    store.WriteIntArray("/device/outputonoff", Device.OutputOnOff);
    store.WriteIntArray("/device/filter", Device.Filter);
    store.WriteInt("/device/triggermode", Device.TriggerMode);
    store.WriteInt("/device/armonoff", Device.ArmOnOff);
    store.WriteInt("/device/armstoplevel", Device.ArmStopLevel);
    store.WriteInt("/device/runonoff", Device.RunOnOff);
    store.WriteInt("/device/triggeronoff", Device.TriggerOnOff);
    store.WriteInt("/device/triggerleading", Device.TriggerLeading);
    store.WriteBoolArray("/display/vppon", VppOn);
    store.WriteBoolArray("/display/vpon", VpOn);
    store.WriteBoolArray("/display/vrmson", VrmsOn);
    store.WriteBoolArray("/display/vavgon", VavgOn);
    if (Options)
        Options->SaveTo(OptionsPath, store);
}

TSettingsSaveResult TSettingsTarn::Save(const std::filesystem::path& folder)
{
    TSettingsSaveResult result;
    if (FSaver) {
        // The exit save comes after every background one.
        FSaver->Wait();
        AdoptBackgroundSave();
    }
    RecoverDamagedLibrary();
    LoadUnreadSamplesIfInPlace();
    WriteXMLValues();
    result.SettingsSaved = XMLStore->SaveToFile(folder / SettingsFileName);
    const auto file = folder / WaveformRepositoryFileName;
    if (FRepositoryBaseline.Unchanged(file, Device.Waveforms, Repository)) {
        result.RepositorySaved = true;
        result.RepositoryUnchanged = true;
        return result;
    }
    FRepositoryBaseline.Forget();
    try {
        SaveWaveformRepositoryFile(file, Device.Waveforms, Repository);
        result.RepositorySaved = true;
        FRepositoryBaseline.Record(file, Device.Waveforms, Repository);
    } catch (const std::exception& e) {
        result.RepositoryError = e.what();
    }
    return result;
}

std::vector<std::string> SaveFailureMessages(const TSettingsSaveResult& result)
{
    std::vector<std::string> messages;
    if (!result.SettingsSaved)
        messages.emplace_back(Strings::UnableToSaveSettings);
    if (!result.RepositorySaved)
        messages.emplace_back(Strings::UnableToSaveRepository);
    return messages;
}

TWaveformTarn& TSettingsTarn::AddWaveform(const TWaveformTarn& waveform)
{
    auto copy = std::make_unique<TWaveformTarn>();
    copy->Assign(waveform);
    Repository.push_back(std::move(copy));
    return *Repository.back();
}

double TSettingsTarn::MinFrequency() const
{
    const TWaveformTarn* wave = Device.Waveforms.empty() ? nullptr : Device.Waveforms.front().get();
    if (wave != nullptr && wave->IsStandard && wave->SampleCount() > 0)
        return FrequencyMin / wave->SampleCount();
    return FrequencyMin;
}

double TSettingsTarn::MaxFrequency() const
{
    const TWaveformTarn* wave = Device.Waveforms.empty() ? nullptr : Device.Waveforms.front().get();
    if (wave != nullptr && wave->IsStandard)
        return FrequencyMax / 2.0;
    return FrequencyMax;
}

void TSettingsTarn::MakeStandardWaveforms()
{
    if (Repository.size() < 4)
        Repository.resize(4);
    const std::pair<TStandardWaveform, const char*> standard[] = {
        {TStandardWaveform::Sine, Strings::StandardSine},
        {TStandardWaveform::Saw, Strings::StandardSaw},
        {TStandardWaveform::Triangle, Strings::StandardTriangle},
        {TStandardWaveform::Square, Strings::StandardSquare},
    };
    for (std::size_t i = 0; i < 4; ++i) {
        Repository[i] = MakeStandardWaveform(standard[i].first);
        Repository[i]->Name = standard[i].second;
    }
}

void TSettingsTarn::RecoverWaveforms()
{
    FRepositoryBaseline.Forget();
    Device.Waveforms.clear();
    Device.Waveforms.push_back(MakeStandardWaveform(TStandardWaveform::Sine));
    // A failed read never leaves empty places, but the list may come from elsewhere.
    std::erase_if(Repository, [](const std::unique_ptr<TWaveformTarn>& w) { return !w; });
    MakeStandardWaveforms();
}
