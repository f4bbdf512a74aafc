// SPDX-License-Identifier: MIT
// The command language of the remote control: a table of commands over the
// settings model. A command changes the settings and announces the change
// through the host exactly as the matching panel action does; queries answer
// what the panels show. Values a panel would not take are errors in the
// queue and change nothing. No toolkit here.
#pragma once
#include "data/SettingsTarn.h"
#include "panels/ChannelMathTarn.h"
#include "remote/ScpiErrors.h"
#include "remote/ScpiParser.h"
#include "shell/master/ObjMasterTarn.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::scpi {

// The answer for an infinite load (open output), as instruments give it.
inline constexpr double kInfinity = 9.9e37;

// Status byte bits: error queue not empty, event summary, service request.
inline constexpr std::uint8_t kStbErrorQueue = 0x04;
inline constexpr std::uint8_t kStbEvent = 0x20;
inline constexpr std::uint8_t kStbMss = 0x40;

// What the instrument needs from the program around it.
class TScpiHost {
public:
    virtual ~TScpiHost() = default;
    virtual void Notify(TObjMasterCode code, std::int32_t index) = 0;
    // Settings commands are refused while this is true.
    virtual bool CommunicationBroken() const = 0;
    // The settings changed as a whole: announce them as after start-up
    // (restart, *RST) or as after the options dialog.
    virtual void SettingsReplaced(bool restart) = 0;
};

struct TCommandEntry;
class TScpiInstrument;
std::size_t CommandCount();
const TCommandEntry& Command(std::size_t index);

class TScpiInstrument {
public:
    // The longest answer to one message; past it the client gets -223 and
    // no answer at all. A catalogue of 10,000 64-character names fits twelve
    // times.
    static constexpr std::size_t kMaxAnswer = std::size_t{8} << 20;

    TScpiInstrument(TSettingsTarn& settings, TScpiHost& host, std::string identity);
    TScpiInstrument(const TScpiInstrument&) = delete;
    TScpiInstrument& operator=(const TScpiInstrument&) = delete;

    // Runs one program message; the response line (ending in a newline) or
    // an empty string when it held no query.
    std::string Execute(std::string_view message);
    TErrorQueue& Errors() { return errors_; }
    // The status byte as *STB? reads it.
    std::uint8_t StatusByte() const;

    struct TCall {
        const TUnit& Unit;
        int Channel = 1;
        int Tag = 0;
        std::string Response;
    };
    using THandler = void (TScpiInstrument::*)(TCall&);

private:
    // The command table names the handlers.
    friend std::size_t CommandCount();
    friend const TCommandEntry& Command(std::size_t index);

    bool Fail(int code, std::string_view detail = {});
    bool ParamCount(const TCall& call, std::size_t min, std::size_t max);
    // Number in unit, MINimum, MAXimum or DEFault; range-checked.
    std::optional<double> Value(const TParam& p, std::string_view unit, double min, double max, double def,
                                bool infinity = false);
    std::optional<bool> Boolean(const TParam& p);
    // Index of the matching mnemonic form, or empty.
    std::optional<int> Choice(const TParam& p, std::initializer_list<std::string_view> forms);
    // The output of the call's channel, or null with the error queued.
    const TChannelAssignment* Output(const TCall& call);
    std::int32_t* RealValue(const TChannelAssignment& out, std::vector<std::int32_t> TDeviceSettings::*array);
    std::optional<TChannelSetup> Setup(const TCall& call);
    void Answer(TCall& call, double value);
    void Answer(TCall& call, std::string_view text);
    // A level factor as the panel enters it: level and attenuator, announced.
    void StoreLevel(const TCall& call, const TChannelSetup& setup, double factor);
    void Store(const TChannelAssignment& out, std::vector<std::int32_t> TDeviceSettings::*array, std::int32_t value,
               TObjMasterCode code);

    // Common and system commands.
    void Idn(TCall& call);
    void Rst(TCall& call);
    void Cls(TCall& call);
    void Opc(TCall& call);
    void OpcSet(TCall& call);
    void Nothing(TCall& call);
    // *ESE, *SRE by tag 0, 1.
    void Register(TCall& call);
    // *ESE?, *SRE?, *ESR?, *STB? by tag 0 to 3.
    void RegisterQuery(TCall& call);
    void SelfTest(TCall& call);
    void Trg(TCall& call);
    void ErrorNext(TCall& call);
    void ErrorCount(TCall& call);
    void Version(TCall& call);
    // Frequency bar.
    void Frequency(TCall& call);
    void FrequencyQuery(TCall& call);
    void DeviceFrequency(TCall& call);
    void FrequencyMode(TCall& call);
    void FrequencyModeQuery(TCall& call);
    void FrequencyApply(TCall& call);
    // Channel panels.
    void Amplitude(TCall& call);
    void AmplitudeQuery(TCall& call);
    void Offset(TCall& call);
    void OffsetQuery(TCall& call);
    void DeviceOffset(TCall& call);
    void OffsetMode(TCall& call);
    void OffsetModeQuery(TCall& call);
    void OffsetApply(TCall& call);
    void OutputState(TCall& call);
    void OutputStateQuery(TCall& call);
    void Attenuator(TCall& call);
    void AttenuatorQuery(TCall& call);
    void Filter(TCall& call);
    void FilterQuery(TCall& call);
    void FilterAuto(TCall& call);
    void FilterAutoQuery(TCall& call);
    void Load(TCall& call);
    void LoadQuery(TCall& call);
    void Measure(TCall& call);
    // The relative dB field, "Set 0 dB", "Auto dB" / "Man dB".
    void RelativeDbEntry(TCall& call);
    void RelativeDbQuery(TCall& call);
    void ZeroDb(TCall& call);
    void DbMode(TCall& call);
    void DbModeQuery(TCall& call);
    TdBReference* Reference(const TCall& call);
    // Trigger panel.
    void TriggerMode(TCall& call);
    void TriggerModeQuery(TCall& call);
    // TRIGger:EXTernal, TRIGger:SLOPe, RUN, ARM, ARM:LEVel by tag.
    void TriggerSwitch(TCall& call);
    void TriggerSwitchQuery(TCall& call);
    // Waveforms.
    void Catalog(TCall& call);
    void Select(TCall& call);
    void SelectQuery(TCall& call);
    void Data(TCall& call);

    TSettingsTarn& settings_;
    TScpiHost& host_;
    std::string identity_;
    TErrorQueue errors_;
    // *ESE and *SRE masks.
    std::uint8_t eventEnable_ = 0;
    std::uint8_t serviceEnable_ = 0;
    std::vector<THeaderNode> path_;
};

} // namespace tarn::scpi
