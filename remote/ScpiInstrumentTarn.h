// SPDX-License-Identifier: MIT
// The command language of the remote control: a table of commands over the
// settings model. A command changes the settings and announces the change
// through the host exactly as the matching panel action does; queries answer
// what the panels show. Values a panel would not take are errors in the
// queue and change nothing. No toolkit here.
#pragma once
#include "data/SettingsTarn.h"
#include "data/SweepTarn.h"
#include "panels/ChannelMathTarn.h"
#include "remote/ScpiErrors.h"
#include "remote/ScpiParser.h"
#include "shell/master/ObjMasterTarn.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::scpi {

// The answer for an infinite load (open output), as instruments give it.
inline constexpr double kInfinity = 9.9e37;
// What an instrument answers for "not a number" (an indicator showing "N/A").
inline constexpr double kNotANumber = 9.91e37;
// The device's sample memory, and the longest waveform name taken.
inline constexpr std::int32_t kMaxSamples = 16384;
inline constexpr std::size_t kMaxName = 64;

// Status byte bits: error queue not empty, event summary, service request.
inline constexpr std::uint8_t kStbErrorQueue = 0x04;
inline constexpr std::uint8_t kStbQuestionable = 0x08;
inline constexpr std::uint8_t kStbOperation = 0x80;
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
    // What runs sweeps; without one the sweep commands are -241 (hardware missing).
    virtual TSweepControl* Sweep() { return nullptr; }
};

// Bits of the questionable and operation status registers.
enum TStatusBit : std::uint16_t {
    quesVoltageClamped = 0x0001,
    quesFrequencyClamped = 0x0020,
    quesCommunicationBroken = 0x0200,
    operWaitingForTrigger = 0x0020,
};

// The unit of VOLTage and APPLy amplitudes.
enum class TAmplitudeUnit { Vpp, Vrms, Dbm };

// As "%.12g" would write it in the C locale, whatever the user's locale,
// with a capital E.
std::string NumberText(double value);

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
    // an empty string when it held no query. answerUnread: the client has
    // not read the answer to the message before (a query here is -410).
    std::string Execute(std::string_view message, bool answerUnread = false);
    TErrorQueue& Errors() { return errors_; }
    // The status byte as *STB? reads it.
    std::uint8_t StatusByte() const;
    // The name of the waveform that scripts upload without naming it.
    static constexpr std::string_view kVolatile = "VOLATILE";

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
    // Numbers in answers that a standard form asks for: "+1.5E+03".
    static std::string Nr3(double value);
    // A query's optional MIN, MAX or DEF: 0 none, 1..3, or -1 after an error.
    int Limit(const TCall& call);
    std::uint16_t QuestionableCondition() const;
    std::uint16_t OperationCondition() const;
    void LatchConditions();

    // Amplitudes in a unit: the Vpp limits of the call's output and the conversions.
    struct TAmplitude {
        double Min = 0, Max = 0, Def = 0;
        // Vrms / Vpp of the waveform's alternating part; 0 for a flat one.
        double RmsRatio = 0;
        double Load = -1;
    };
    // For the output's waveform, or for the one given.
    std::optional<TAmplitude> AmplitudeOf(const TCall& call, const TWaveformTarn* wave = nullptr);
    std::optional<double> ToVpp(const TAmplitude& a, double value, TAmplitudeUnit unit);
    static double FromVpp(const TAmplitude& a, double vpp, TAmplitudeUnit unit);
    // A VOLTage value with its unit suffix, as a peak-to-peak voltage.
    std::optional<double> AmplitudeValue(const TAmplitude& a, const TParam& p);
    bool SetAmplitude(const TCall& call, double vpp);
    bool SetOffset(const TCall& call, const TParam& p);
    // Shapes: the library's standard waveform, made again when missing.
    bool PlayStandard(int shape);
    bool PlayArbitrary(const std::string& name);
    // -1 when the call names no shape (the error is queued).
    int ShapeParam(const TParam& p);
    int PlayingShape() const;
    TWaveformTarn* FindWaveform(const std::string& name);
    // A quoted or bare waveform name.
    std::optional<std::string> NameParam(const TParam& p);
    bool StoreVolatile(const std::vector<std::uint16_t>& codes);
    // 1 to kMaxName printable characters, else -224.
    bool ValidName(const std::string& name);
    // A name for the library (not VOLATILE), spelled as the list has it.
    std::optional<std::string> LibraryName(const TParam& p);
    // Into the library; an arbitrary waveform of the same name is replaced.
    bool AddOrReplace(const TWaveformTarn& wave);

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
    // Common generator commands: shapes, APPLy, units, high and low levels.
    void Function(TCall& call);
    void FunctionQuery(TCall& call);
    // FUNCtion:USER by tag 0, FUNCtion:ARBitrary by tag 1.
    void FunctionUser(TCall& call);
    void FunctionUserQuery(TCall& call);
    // APPLy:<shape> by tag (the shape).
    void Apply(TCall& call);
    void ApplyQuery(TCall& call);
    void VoltageUnit(TCall& call);
    void VoltageUnitQuery(TCall& call);
    // VOLTage:HIGH by tag 0, :LOW by tag 1.
    void HighLow(TCall& call);
    void HighLowQuery(TCall& call);
    // Arbitrary waveforms the common way.
    void VolatileData(TCall& call);
    void DataCopy(TCall& call);
    void DataCatalog(TCall& call);
    void DataDelete(TCall& call);
    void VolatileClear(TCall& call);
    void DataQuery(TCall& call);
    void ByteOrder(TCall& call);
    void ByteOrderQuery(TCall& call);
    // Burst and trigger source.
    void BurstState(TCall& call);
    void BurstStateQuery(TCall& call);
    void BurstCycles(TCall& call);
    void BurstCyclesQuery(TCall& call);
    void BurstMode(TCall& call);
    void BurstModeQuery(TCall& call);
    void TriggerSource(TCall& call);
    void TriggerSourceQuery(TCall& call);
    // Status registers: operation by tag 0, questionable by tag 1.
    void StatusPreset(TCall& call);
    void StatusEvent(TCall& call);
    void StatusCondition(TCall& call);
    void StatusEnable(TCall& call);
    void StatusEnableQuery(TCall& call);
    void ErrorAll(TCall& call);
    // *SAV, *RCL: setups 1 to 4 in the settings file.
    int SetupNumber(const TCall& call);
    void SaveSetup(TCall& call);
    void RecallSetup(TCall& call);
    // Settings this generator has only one value of: the square's duty
    // cycle (50 %), the ramp's symmetry (100 %), the burst phase (0) by tag.
    void Fixed(TCall& call);
    void FixedQuery(TCall& call);
    // SYSTem:BEEPer, DISPlay:TEXT: taken, nothing to do.
    void Ignored(TCall& call);
    void IgnoredQuery(TCall& call);
    // What this generator does not have: pulses, a burst period, arbitrary
    // advance and filter by tag; set or queried, -221 with the reason.
    void Absent(TCall& call);
    // OUTPut:TRIGger: there is no trigger output, so only OFF (the query
    // is IgnoredQuery's 0).
    void TriggerOutput(TCall& call);
    // SYSTem:COMMunicate:RLSTate: remembered, nothing to lock.
    void RemoteLocal(TCall& call);
    void RemoteLocalQuery(TCall& call);
    // FUNCtion:ARBitrary:SRATe: the frequency while an arbitrary waveform plays.
    void SampleRate(TCall& call);

    TSettingsTarn& settings_;
    TScpiHost& host_;
    std::string identity_;
    TErrorQueue errors_;
    // *ESE and *SRE masks.
    std::uint8_t eventEnable_ = 0;
    std::uint8_t serviceEnable_ = 0;
    std::vector<THeaderNode> path_;
    TAmplitudeUnit amplitudeUnit_ = TAmplitudeUnit::Vpp;
    // TRIGger:SOURce BUS rather than IMMediate (both: external trigger off).
    bool busTrigger_ = false;
    // Blocks of DATA are little-endian (FORMat:BORDer SWAPped).
    bool swapped_ = true;
    std::string userWave_{kVolatile};
    // SYSTem:COMMunicate:RLSTate: LOCal, REMote or RWLock.
    int remoteLocal_ = 1;
    // What DATA VOLATILE uploaded; not part of the library.
    std::unique_ptr<TWaveformTarn> volatile_;
    std::uint16_t operationEnable_ = 0;
    std::uint16_t questionableEnable_ = 0;
    std::uint16_t operationEvents_ = 0;
    std::uint16_t questionableEvents_ = 0;
    std::uint16_t operationSeen_ = 0;
    std::uint16_t questionableSeen_ = 0;
};

} // namespace tarn::scpi
