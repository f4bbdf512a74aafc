// SPDX-License-Identifier: MIT
#pragma once
// Everything the program knows about the generator and the user's choices:
// fixed device parameters, the settings sent to the device, display flags,
// loads, options, the waveform list and the waveform of each device channel.
// Loaded from "settings.xml" and "waveforms.dat" at start, saved at the end.
// Shows nothing itself: save failures come back as results.

#include "data/BackgroundSaver.h"
#include "data/DataTypesTarn.h"
#include "data/OptionsTarn.h"
#include "data/RepositoryBaseline.h"
#include "data/WaveformTarn.h"
#include "data/XMLSettings.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TLibraryPrefetch;

inline constexpr char SettingsFileName[] = "settings.xml";

// One output (logical channel) as the hardware builds it.
struct TChannelAssignment {
    std::int32_t RealChannel = 0;
    double Gain = 1.0;
    std::int32_t OutputImpedance = 50;
    bool HasAttenuator = false;
    bool IsHOutput = false;
};
using TChannelAssignments = std::vector<TChannelAssignment>;

using TWaveformRepository = TWaveformList;

// The 0 dB reference of an output's relative dB field, in volts per sample
// code (0 until set). "Auto dB" follows the level, "Man dB" keeps what
// "Set 0 dB" marked, neither keeps the last one. Not saved.
enum class TdBReferenceMode : std::int32_t { Neither, Auto, Manual };
struct TdBReference {
    TdBReferenceMode Mode = TdBReferenceMode::Auto;
    double Factor = 0.0;
};

// The settings sent to the device; arrays are per real channel.
struct TDeviceSettings {
    double Frequency = 15000.0;
    double DeviceFrequency = 0.0;
    std::int32_t FrequencyMode = 0;
    TWaveformList Waveforms;
    TIntArray Level;
    TIntArray Shift;
    TIntArray ShiftMode;
    TIntArray DevShift;
    TIntArray OutputAtn;
    TIntArray OutputOnOff;
    TIntArray Filter;
    std::int32_t TriggerMode = 0;
    std::int32_t ArmOnOff = 0;
    std::int32_t ArmStopLevel = 1;
    std::int32_t RunOnOff = 1;
    std::int32_t TriggerOnOff = 0;
    std::int32_t TriggerLeading = 1;
    bool HOutputActive = false;
};

// What a running sweep has the files hold in place of the values it steps
// through, so that no save, during the run or at its end, keeps a value
// from the middle of a sweep.
struct TSweepHold {
    std::optional<double> Frequency;
    std::optional<TIntArray> Level;
    std::optional<TIntArray> OutputAtn;
    bool Empty() const { return !Frequency && !Level && !OutputAtn; }
};

struct TSettingsLoadResult {
    // "settings.xml" was read as XML (otherwise every value took its default).
    bool SettingsRead = false;
    // "waveforms.dat" could not be used and the standard waveforms were made.
    bool RepositoryRecovered = false;
    // Why the repository file was not used (empty when it was).
    std::string RepositoryError;
};

struct TSettingsSaveResult {
    bool SettingsSaved = false;
    bool RepositorySaved = false;
    // "waveforms.dat" already held exactly this content and was left alone.
    bool RepositoryUnchanged = false;
    std::string RepositoryError;
    bool Ok() const { return SettingsSaved && RepositorySaved; }
};

// The texts the program shows for a save, in the order of the files: the
// settings message, then the repository message. Empty when both were saved.
std::vector<std::string> SaveFailureMessages(const TSettingsSaveResult& result);

class TSettingsTarn {
public:
    static constexpr std::int32_t StandardSampleCount = 8192;

    TSettingsTarn();
    TSettingsTarn(const TSettingsTarn&) = delete;
    TSettingsTarn& operator=(const TSettingsTarn&) = delete;
    ~TSettingsTarn();

    std::unique_ptr<TXMLSettings> XMLStore;
    double FrequencyMax = 0.0;
    double FrequencyMin = 0.0;
    std::int32_t SampleRange = 0;
    std::int32_t ChannelCount = 0;
    std::int32_t RealChannelCount = 0;
    TChannelAssignments ChannelAssignments;
    std::int32_t LevelSteps = 0;
    double LevelFactorMin = 0.0;
    double LevelFactorMax = 0.0;
    std::int32_t ShiftSteps = 0;
    double ShiftMin = 0.0;
    double ShiftMax = 0.0;
    std::int32_t SampleZero = 0;
    TLoadArray Loads;
    // Per output, as Loads.
    std::vector<TdBReference> dBReferences;
    std::unique_ptr<TOptions> Options;
    double AttenuatorRatio = 0.0;
    TBoolArray VppOn;
    TBoolArray VpOn;
    TBoolArray VrmsOn;
    TBoolArray VavgOn;
    TWaveformRepository Repository;
    TDeviceSettings Device;
    TSweepHold SweepHold;

    // The device parameters and output descriptors of this generator.
    void SetDefaults();
    // Reads "settings.xml" and "waveforms.dat" from folder; anything missing
    // or damaged falls back to defaults and the standard waveforms.
    // With prefetch, the library it read is taken when it is this folder's
    // file as it is now.
    TSettingsLoadResult Load(const std::filesystem::path& folder = ".", TLibraryPrefetch* prefetch = nullptr);
    // Writes both files into folder; the two are independent. Each file is
    // replaced only when its new content was written completely.
    // "waveforms.dat" is not rewritten when nothing in the two waveform lists
    // changed since it was loaded (without recovery) or last saved.
    TSettingsSaveResult Save(const std::filesystem::path& folder = ".");

    // The most waveforms the library takes from a client that adds them unasked.
    static constexpr std::size_t kMaxWaveforms = 10000;

    // Called on the window's thread every AutosaveInterval: hands what changed
    // in the two lists or the settings since the last call to a saver thread,
    // so no change is older than two intervals plus one save when the program
    // dies. First applies the recovery to a library whose file was changed
    // or shortened by someone else while its samples were still unread;
    // returns true then (the list must be shown again).
    bool AutosaveTick();
    static constexpr int AutosaveIntervalMs = 500;
    // The settings as they are now count as saved: what the start-up made
    // of them is left to the exit save, as before.
    void AutosaveFromHere();
    // No background save is waiting or under way.
    bool AutosaveIdle() const { return !FSaver || FSaver->Idle(); }

    // Appends a deep copy of waveform to Repository and returns it.
    TWaveformTarn& AddWaveform(const TWaveformTarn& waveform);
    // Frequency bounds for the waveform of device channel 0.
    double MinFrequency() const;
    double MaxFrequency() const;

    // Remakes Repository entries 0..3 as "Sine", "Saw", "Triangle", "Square".
    void MakeStandardWaveforms();
    // What an unusable "waveforms.dat" leaves: one unnamed standard sine for
    // the device and the standard waveforms at the head of the list.
    void RecoverWaveforms();

    // The device settings, display flags and loads as a first start has them;
    // options, waveforms and the device parameters stay.
    void ResetDeviceValues();

private:
    void ReadXMLValues();
    void ReadDeviceValues(const TXMLSettings& store);
    // Loads open, dB references following the level, one per output.
    void ResetOutputs();
    void WriteXMLValues();

    // Repository entries whose samples were lost go, the rest as RecoverWaveforms.
    bool RecoverDamagedLibrary();
    // A save that cannot make a temporary file rewrites the file in place,
    // which the unread samples would not survive: read them all first.
    void LoadUnreadSamplesIfInPlace() const;
    // Adopts the newest finished background save as the baseline.
    void AdoptBackgroundSave();

    TRepositoryBaseline FRepositoryBaseline;
    std::filesystem::path FFolder;
    bool FLoaded = false;
    std::unique_ptr<TBackgroundSaver> FSaver;
    // The lists and the settings text handed to the saver last.
    TRepositoryBaseline FSubmitted;
    std::uint64_t FSubmittedGeneration = 0;
    std::string FSubmittedSettings;
};

enum class TStandardWaveform { Sine, Saw, Triangle, Square };

// One standard waveform of 8192 samples, range 4096, with its statistics.
// The name is left empty.
std::unique_ptr<TWaveformTarn> MakeStandardWaveform(TStandardWaveform kind);
// The code of sample j (0..8191) of a standard waveform.
std::uint16_t StandardSample(TStandardWaveform kind, std::int32_t j);
