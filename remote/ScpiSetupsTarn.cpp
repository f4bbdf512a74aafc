// SPDX-License-Identifier: MIT
// *SAV and *RCL: a few stored setups of the generator in the settings file
// ("/remote/setup<n>/..."), saved with the other settings. A recalled setup
// is checked whole before anything changes, since the file is the user's to
// edit; it is then announced as after start-up.
#include "data/WaveformTarn.h"
#include "panels/FrequencyScaleTarn.h"
#include "remote/ScpiInstrumentTarn.h"

#include <algorithm>
#include <cmath>

namespace tarn::scpi {

namespace {

constexpr int kSetups = 4;

struct TSwitchField {
    const char* key;
    std::int32_t TDeviceSettings::*field;
};
constexpr TSwitchField kSwitches[] = {
    {"frequencymode", &TDeviceSettings::FrequencyMode},
    {"triggermode", &TDeviceSettings::TriggerMode},
    {"armonoff", &TDeviceSettings::ArmOnOff},
    {"armstoplevel", &TDeviceSettings::ArmStopLevel},
    {"runonoff", &TDeviceSettings::RunOnOff},
    {"triggeronoff", &TDeviceSettings::TriggerOnOff},
    {"triggerleading", &TDeviceSettings::TriggerLeading},
};

struct TArrayField {
    const char* key;
    std::vector<std::int32_t> TDeviceSettings::*field;
};
constexpr TArrayField kArrays[] = {
    {"level", &TDeviceSettings::Level},         {"shift", &TDeviceSettings::Shift},
    {"devshift", &TDeviceSettings::DevShift},   {"shiftmode", &TDeviceSettings::ShiftMode},
    {"outputatn", &TDeviceSettings::OutputAtn}, {"outputonoff", &TDeviceSettings::OutputOnOff},
    {"filter", &TDeviceSettings::Filter},
};

std::string Path(int n, const char* key)
{
    return "/remote/setup" + std::to_string(n) + "/" + key;
}

} // namespace

int TScpiInstrument::SetupNumber(const TCall& call)
{
    if (!ParamCount(call, 1, 1)) {
        return 0;
    }
    const TParam& p = call.Unit.Params[0];
    if (p.Kind != TParam::TKind::Number || !p.Text.empty() || p.Number != std::floor(p.Number) || p.Number < 1
        || p.Number > kSetups) {
        Fail(errDataOutOfRange, "the setups are 1 to 4");
        return 0;
    }
    return static_cast<int>(p.Number);
}

void TScpiInstrument::SaveSetup(TCall& call)
{
    const int n = SetupNumber(call);
    const auto& waves = settings_.Device.Waveforms;
    if (n == 0 || waves.empty() || !waves[0]) {
        return;
    }
    TXMLSettings& store = *settings_.XMLStore;
    const TDeviceSettings& d = settings_.Device;
    store.WriteFloat(Path(n, "frequency"), d.Frequency);
    for (const TSwitchField& f : kSwitches) {
        store.WriteInt(Path(n, f.key), d.*f.field);
    }
    for (const TArrayField& f : kArrays) {
        store.WriteIntArray(Path(n, f.key), d.*f.field);
    }
    for (std::size_t i = 0; i < settings_.Loads.size(); ++i) {
        store.WriteFloat(Path(n, ("load" + std::to_string(i + 1)).c_str()),
                         settings_.Loads[i] < 1.0 ? -1.0 : settings_.Loads[i]);
    }
    // The store keeps no texts: the waveform's name as its byte values.
    const std::string& name = waves[0]->Name;
    store.WriteInt(Path(n, "waveformlength"), static_cast<std::int32_t>(name.size()));
    store.WriteIntArray(Path(n, "waveform"), TIntArray(name.begin(), name.end()));
    store.WriteInt(Path(n, "standard"), waves[0]->IsStandard ? 1 : 0);
}

void TScpiInstrument::RecallSetup(TCall& call)
{
    const int n = SetupNumber(call);
    auto& waves = settings_.Device.Waveforms;
    if (n == 0 || waves.empty() || !waves[0]) {
        return;
    }
    const TXMLSettings& store = *settings_.XMLStore;
    const double frequency = store.ReadFloat(Path(n, "frequency"), -1.0);
    if (!(frequency > 0) || !std::isfinite(frequency)) {
        Fail(errSettingsConflict, "setup " + std::to_string(n) + " was never saved");
        return;
    }
    // All of it checked first: a damaged setup changes nothing.
    TDeviceSettings d;
    bool sound = true;
    for (const TSwitchField& f : kSwitches) {
        d.*f.field = store.ReadInt(Path(n, f.key), -1);
        sound = sound && (d.*f.field == 0 || d.*f.field == 1);
    }
    const auto real = static_cast<std::size_t>(std::max(settings_.RealChannelCount, 0));
    for (const TArrayField& f : kArrays) {
        // Items past the default's length are not read; a missing one stays -1.
        d.*f.field = store.ReadIntArray(Path(n, f.key), TIntArray(real, -1));
        const std::string_view key = f.key;
        const std::int32_t top = key == "level"                        ? settings_.LevelSteps - 1
                                 : key == "shift" || key == "devshift" ? settings_.ShiftSteps - 1
                                 : key == "filter"                     ? 2
                                                                       : 1;
        const auto& values = d.*f.field;
        sound = sound && values.size() == real
                && std::all_of(values.begin(), values.end(), [top](std::int32_t v) { return v >= 0 && v <= top; });
    }
    std::vector<double> loads;
    for (std::size_t i = 0; i < settings_.Loads.size(); ++i) {
        loads.push_back(store.ReadFloat(Path(n, ("load" + std::to_string(i + 1)).c_str()), 0.0));
        // Open, or 1 ohm to 1 Tohm as OUTPut:LOAD takes it.
        sound = sound && (loads.back() == -1.0 || (loads.back() >= 1.0 && loads.back() <= 1e12));
    }
    const std::int32_t length = store.ReadInt(Path(n, "waveformlength"), -1);
    sound = sound && length >= 0 && static_cast<std::size_t>(length) <= kMaxName;
    const TIntArray bytes = store.ReadIntArray(Path(n, "waveform"), TIntArray(sound ? length : 0, -1));
    std::string name;
    for (const std::int32_t b : bytes) {
        sound = sound && b >= 0x20 && b < 0x100;
        name += static_cast<char>(b);
    }
    if (!sound) {
        Fail(errSettingsConflict,
             "setup " + std::to_string(n) + " in the settings file is damaged; nothing was changed");
        return;
    }
    const bool standard = store.ReadInt(Path(n, "standard"), 0) == 1;
    const auto& list = settings_.Repository;
    const auto it = std::find_if(list.begin(), list.end(),
                                 [&](const auto& w) { return w && w->Name == name && w->IsStandard == standard; });
    // An unnamed waveform (the first start's sine) is not in the list: what plays stays.
    if (!name.empty() && it == list.end()) {
        Fail(errSettingsConflict,
             "the waveform \"" + name + "\" of setup " + std::to_string(n) + " is not in the list");
        return;
    }
    if (!name.empty()) {
        waves[0]->Assign(**it);
    }
    d.Frequency = LimitsOf(settings_).Clamp(frequency);
    TDeviceSettings& now = settings_.Device;
    now.Frequency = d.Frequency;
    for (const TSwitchField& f : kSwitches) {
        now.*f.field = d.*f.field;
    }
    for (const TArrayField& f : kArrays) {
        now.*f.field = d.*f.field;
    }
    for (std::size_t i = 0; i < loads.size(); ++i) {
        settings_.Loads[i] = loads[i];
    }
    host_.SettingsReplaced(true);
}

} // namespace tarn::scpi
