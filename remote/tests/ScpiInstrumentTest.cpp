// SPDX-License-Identifier: MIT
// The commands over the settings model: what each one stores and announces,
// and the errors of what a panel would not take.
#include "panels/ChannelMathTarn.h"
#include "remote/tests/ScpiTestFixture.h"

#include <clocale>

#include <string>
#include <utility>
#include <vector>

namespace tarn::scpi {
namespace {

TEST_F(ScpiInstrument, QueriesAnswerInOneLine)
{
    EXPECT_EQ(Run("*IDN?"), "Tarn,Remote,0,1.0\n");
    EXPECT_EQ(Run("FREQ 1000;:FREQ?"), "1000\n");
    EXPECT_EQ(Run("freq?;*opc?;:SYST:ERR?"), "1000;1;0,\"No error\"\n");
    EXPECT_EQ(Run("SOUR:FREQ 2 kHz;FREQ?"), "2000\n"); // path rule: FREQ? under SOURce
    EXPECT_EQ(Run("FREQ? MAX;FREQ? MIN"), "50000000;0.002\n");
    EXPECT_EQ(Run("OUTP:LOAD?;LOAD 50 OHM;LOAD?"), "9.9E+37;50\n");
    EXPECT_EQ(Run("WAV:CAT?"), "\"Sine\",\"Saw\",\"Triangle\",\"Square\"\n");
    EXPECT_EQ(Run("FREQ 3000"), "");
    EXPECT_TRUE(Errors().empty());
}

TEST_F(ScpiInstrument, EachCommandStoresAndAnnouncesAsItsPanel)
{
    struct TCase {
        const char* command;
        std::vector<std::pair<C, std::int32_t>> announced;
        std::function<bool(const TSettingsTarn&)> holds;
    };
    const TCase cases[] = {
        {"FREQ 1.5MHZ", {{C::omFrequencyChanged, 0}}, [](auto& t) { return t.Device.Frequency == 1.5e6; }},
        {"FREQ:MODE STEP", {{C::omFrequencyModeChanged, 0}}, [](auto& t) { return t.Device.FrequencyMode == 1; }},
        {"FREQ:MODE STEP;MODE CONT",
         {{C::omFrequencyModeChanged, 0}, {C::omFrequencyModeChanged, 0}, {C::omApplyFrequency, 0}},
         [](auto& t) { return t.Device.FrequencyMode == 0; }},
        {"VOLT:OFFS 0.75", {{C::omShiftChanged, 0}}, [](auto& t) { return t.Device.Shift[0] == 3072; }},
        {"VOLT:OFFS:MODE STEP", {{C::omShiftModeChanged, 0}}, [](auto& t) { return t.Device.ShiftMode[0] == 1; }},
        {"VOLT:OFFS:MODE CONT", {{C::omShiftModeChanged, 0}, {C::omDeviceShiftChanged, 0}}, nullptr},
        {"OUTP OFF", {{C::omOutputOnOffChanged, 0}}, [](auto& t) { return t.Device.OutputOnOff[0] == 0; }},
        {"OUTP1:ATT ON", {{C::omAttenuatorChanged, 0}}, [](auto& t) { return t.Device.OutputAtn[0] == 1; }},
        {"OUTP:FILT 40MHZ", {{C::omFilterChanged, 0}}, [](auto& t) { return t.Device.Filter[0] == 1; }},
        {"OUTP:FILT 20E6", {{C::omFilterChanged, 0}}, [](auto& t) { return t.Device.Filter[0] == 2; }},
        {"OUTP:FILT:AUTO OFF", {}, [](auto& t) { return !t.Options->BoolValue(optFilterAutoset); }},
        {"OUTP:LOAD 1KOHM", {{C::omLoadChanged, 0}}, [](auto& t) { return t.Loads[0] == 1000.0; }},
        {"OUTP:LOAD INF", {{C::omLoadChanged, 0}}, [](auto& t) { return t.Loads[0] == -1.0; }},
        {"TRIG:MODE SING", {{C::omTriggerModeChanged, 0}}, [](auto& t) { return t.Device.TriggerMode == 1; }},
        {"TRIG:MODE SING;*TRG", {{C::omTriggerModeChanged, 0}, {C::omTriggerPulse, 0}}, nullptr},
        {"TRIG:MODE SING;EXT ON;SLOP NEG",
         {{C::omTriggerModeChanged, 0}, {C::omTriggerOnOffChanged, 0}, {C::omTriggerEdgeChanged, 0}},
         [](auto& t) { return t.Device.TriggerOnOff == 1 && t.Device.TriggerLeading == 0; }},
        {"RUN OFF", {{C::omRunOnOffChanged, 0}}, [](auto& t) { return t.Device.RunOnOff == 0; }},
        {"ARM ON;ARM:LEV 0",
         {{C::omArmOnOffChanged, 0}, {C::omArmStopLevelChanged, 0}},
         [](auto& t) { return t.Device.ArmOnOff == 1 && t.Device.ArmStopLevel == 0; }},
        {"WAV:SEL \"Square\"",
         {{C::omChannelWaveformChanged, 0}},
         [](auto& t) { return t.Device.Waveforms[0]->Name == "Square" && t.Device.Waveforms[0]->IsStandard; }},
        {"WAV:DATA \"ramp\",0,1,4095",
         {{C::omWaveformListChanged, -1}},
         [](auto& t) { return t.Repository.back()->Name == "ramp" && t.Repository.back()->Samples()[2] == 4095; }},
        {"WAV:DATA 'blk',#14\x01\x01\xff\x0f",
         {{C::omWaveformListChanged, -1}},
         [](auto& t) {
             const TWaveformTarn& w = *t.Repository.back();
             return w.SampleCount() == 2 && w.Samples()[0] == 257 && w.Samples()[1] == 4095 && !w.IsStandard;
         }},
    };
    for (const TCase& c : cases) {
        TSettingsTarn fresh;
        FirstStart(fresh);
        TRecordingHost h;
        TScpiInstrument instrument(fresh, h, "x");
        EXPECT_EQ(instrument.Execute(c.command), "") << c.command;
        EXPECT_EQ(instrument.Errors().Count(), 0u) << c.command << ": " << instrument.Errors().Pop().Text;
        EXPECT_EQ(h.notified, c.announced) << c.command;
        if (c.holds) {
            EXPECT_TRUE(c.holds(fresh)) << c.command;
        }
    }
}

TEST_F(ScpiInstrument, APeakToPeakVoltageSetsLevelAndAttenuatorAsTheTypedOne)
{
    // The sine spans codes 1..4095: 0.4 V needs the attenuator.
    Run("VOLT 0.4");
    EXPECT_EQ(s.Device.Level[0], 1638);
    EXPECT_EQ(s.Device.OutputAtn[0], 1);
    EXPECT_EQ(host.notified,
              (std::vector<std::pair<C, std::int32_t>>{{C::omLevelChanged, 0}, {C::omAttenuatorChanged, 0}}));
    const std::string answer = Run("VOLT?");
    EXPECT_NEAR(std::stod(answer), 0.4, 0.001);
    Run("VOLT MAX");
    EXPECT_EQ(s.Device.Level[0], 4095);
    EXPECT_EQ(s.Device.OutputAtn[0], 0);
    EXPECT_EQ(Run("MEAS:VPP?"), "10\n");
    EXPECT_EQ(Run("OUTP:LOAD 50;:MEAS:VPP?;DB? DBMV;VP? MIN"), "5;64.9;-2.5\n");
    EXPECT_TRUE(Errors().empty());
}

TEST_F(ScpiInstrument, WhatAPanelWouldNotTakeIsAnErrorAndChangesNothing)
{
    struct TCase {
        const char* message;
        std::vector<int> errors;
    };
    const TCase cases[] = {
        {"FREQ 60MHZ", {errDataOutOfRange}},
        {"FREQ 1V", {errInvalidSuffix}},
        {"FREQ \"1\"", {errDataType}},
        {"FREQ", {errMissingParameter}},
        {"FREQ 1,2", {errParameterNotAllowed}},
        {"FREQ:BOGUS 1", {errUndefinedHeader}},
        {"FREQ:MODE?;VOLT 1", {errUndefinedHeader}}, // the path rule: FREQ:VOLT does not exist
        {"FROB;FREQ 1000", {errUndefinedHeader}},    // the rest of a broken message is not run
        {"FREQ 1000 1000", {errInvalidSeparator}},
        {"FREQ\x01 1", {errInvalidCharacter}},
        {"FREQ 1\xff", {errInvalidCharacter}},
        {"VOLT 11", {errDataOutOfRange}},
        {"VOLT -1", {errDataOutOfRange}},
        {"VOLT:OFFS 1.6", {errDataOutOfRange}},
        {"SOUR2:VOLT 1", {errHardwareMissing}},
        {"VOLT2 1", {errUndefinedHeader}},
        {"SOUR3:VOLT 1", {errHeaderSuffix}},
        {"OUTP:STAT MAYBE", {errIllegalValue}},
        {"OUTP:FILT 30MHZ", {errIllegalValue}},
        {"OUTP:LOAD 0.5", {errDataOutOfRange}},
        {"TRIG:EXT ON", {errSettingsConflict}},
        {"*TRG", {errTriggerIgnored}},
        {"ARM:LEV 1", {errSettingsConflict}},
        {"FREQ:APPL", {errSettingsConflict}},
        {"WAV:SEL \"Nope\"", {errIllegalValue}},
        {"WAV:SEL Sine", {errDataType}},
        {"WAV:DATA \"x\",4096", {errDataOutOfRange}},
        {"WAV:DATA \"x\",1.5", {errDataType}},
        {"WAV:DATA \"x\",#13abc", {errInvalidBlock}},
        {"WAV:DATA \"x\",#0ab", {errInvalidBlock}},
        {"WAV:DATA \"x\",#15ab", {errInvalidBlock}},
        {"WAV:DATA \"\",1", {errIllegalValue}},
        {"WAV:DATA \"unterminated,1", {errInvalidString}},
        {"FREQ 1e999999", {errNumericData}},
        {"*FOO", {errUndefinedHeader}},
        {"VOLT 11;FREQ? MAXX", {errDataOutOfRange, errIllegalValue}},
    };
    for (const TCase& c : cases) {
        const double frequency = s.Device.Frequency;
        const auto repository = s.Repository.size();
        host.notified.clear();
        Run(c.message);
        EXPECT_EQ(Errors(), c.errors) << c.message;
        EXPECT_TRUE(host.notified.empty()) << c.message;
        EXPECT_EQ(s.Device.Frequency, frequency) << c.message;
        EXPECT_EQ(s.Repository.size(), repository) << c.message;
    }
}

TEST_F(ScpiInstrument, AResetRestoresTheDefaultsAndABreakRefusesChanges)
{
    Run("FREQ 1000;:OUTP OFF;:OUTP:LOAD 50;:TRIG:MODE SING");
    host.notified.clear();
    host.broken = true;
    EXPECT_EQ(Run("FREQ 2000;:FREQ?;*RST"), "1000\n");
    EXPECT_EQ(Errors(), (std::vector<int>{errHardware, errHardware}));
    EXPECT_TRUE(host.notified.empty());
    host.broken = false;
    Run("*RST");
    EXPECT_EQ(host.replaced, std::vector<bool>{true});
    EXPECT_EQ(s.Device.Frequency, 15000.0);
    EXPECT_EQ(s.Device.OutputOnOff[0], 0); // the safe state
    EXPECT_EQ(s.Device.TriggerMode, 0);
    EXPECT_EQ(s.Loads[0], -1.0);
    EXPECT_EQ(s.Device.Waveforms.size(), 1u);
}

TEST(ScpiErrors, EachErrorClassSetsItsEvent)
{
    const std::pair<int, int> cases[] = {{-100, esrCommandError},
                                         {-199, esrCommandError},
                                         {-222, esrExecutionError},
                                         {-241, esrExecutionError},
                                         {-350, esrDeviceError},
                                         {-410, esrQueryError},
                                         {0, 0},
                                         {-500, 0},
                                         {100, 0}};
    for (const auto& [code, event] : cases) {
        EXPECT_EQ(EventOf(code), event) << code;
    }
}

TEST_F(ScpiInstrument, StatusRegistersFollowEventsAndMasks)
{
    const std::pair<const char*, const char*> steps[] = {
        {"*ESR?;*ESR?;*STB?", "128;0;0\n"}, // power-on, read once
        {"FROB", ""},                       // command error
        {"*STB?", "4\n"},                   // the queue holds it
        {"*ESE 32;*ESE?;*STB?", "32;36\n"},
        {"*SRE 36;*SRE?;*STB?", "36;100\n"},
        {"*SRE 255;*SRE?", "191\n"},
        {"VOLT 11", ""},
        {"*ESR?;*STB?", "48;68\n"}, // read and cleared; the queue still asks for service
        {"*CLS;*STB?;SYST:ERR:COUN?", "0;0\n"},
        {"*OPC;*ESR?", "1\n"},
        {"*ESE 256;*ESE 2.5E2;*ESE?", "250\n"},
        {"*ESR?", "16\n"},
        {"*CLS;*ESE -0.5;*SRE -0.5;*ESE?;*SRE?", "0;0\n"}, // nearest, ties to even, then the range
        {"*ESE 254.5;*ESE?;*ESE 253.5;*ESE?", "254;254\n"},
        {"*ESE 255.5;*ESE -0.51;*SRE 255.5;*ESE?;SYST:ERR:COUN?", "254;3\n"},
        {"*CLS;*SRE 255", ""},
        {"*SRE \"1\";*RST;*SRE?", "191\n"},
        {"*ESR?;*TST?", "32;0\n"},
    };
    for (const auto& [message, answer] : steps) {
        EXPECT_EQ(Run(message), answer) << message;
    }
    host.broken = true;
    EXPECT_EQ(Run("*TST?;*ESR?"), "1;0\n");
}

// Decimal points and answers do not follow the user's locale.
TEST_F(ScpiInstrument, NumbersReadAndWriteTheSameUnderAGermanLocale)
{
    const std::string before = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed (localedef -i de_DE -f UTF-8 de_DE.UTF-8)";
    }
    const std::string freq = Run("FREQ 1.5KHZ;FREQ?");
    const std::string volt = Run("VOLT 0.35;VOLT?");
    s.Device.DeviceFrequency = 1500.01142174; // what the device reported
    const std::string device = Run("FREQ:DEV?");
    const std::string range = Run("FREQ 60.5MHZ;SYST:ERR?");
    std::setlocale(LC_ALL, before.c_str());
    EXPECT_EQ(freq, "1500\n");
    EXPECT_EQ(volt.substr(0, 6), "0.3499") << volt; // the nearest level the device has
    EXPECT_EQ(device, "1500.01142174\n");
    EXPECT_NE(range.find("60500000 HZ is outside 0.002 .. 50000000"), std::string::npos) << range;
    EXPECT_TRUE(Errors().empty());
}

TEST_F(ScpiInstrument, AnUnterminatedStringNamesWhereItBegan)
{
    EXPECT_EQ(Run("WAV:SEL \"Sine;SYST:ERR?"), "");
    EXPECT_EQ(Run("SYST:ERR?"), "-151,\"Invalid string data;string without its closing quote from column 9\"\n");
}

// One small message must not make an answer without bound, nor the library grow without one.
TEST_F(ScpiInstrument, AnswersAndTheLibraryHaveTheirBounds)
{
    TWaveformTarn wave;
    wave.Allocate(1, s.SampleRange, false);
    while (s.Repository.size() < TSettingsTarn::kMaxWaveforms) {
        wave.Name = std::string(60, 'w') + std::to_string(s.Repository.size());
        s.AddWaveform(wave);
    }
    const std::size_t catalog = Run("WAV:CAT?").size();
    ASSERT_GT(catalog, 600000u);
    std::string fitting;
    for (std::size_t i = 0; i < TScpiInstrument::kMaxAnswer / catalog; ++i) {
        fitting += ":WAV:CAT?;";
    }
    const std::size_t freq = Run("FREQ?").size();
    EXPECT_EQ(Run(fitting + ":FREQ?").size(), TScpiInstrument::kMaxAnswer / catalog * catalog + freq); // all of it
    EXPECT_EQ(Run("FREQ 1234;" + fitting + ":WAV:CAT?;:FREQ 4321").size(), 0u); // past it: nothing, the rest not run
    EXPECT_EQ(s.Device.Frequency, 1234);
    EXPECT_EQ(Errors(), std::vector<int>{errTooMuchData});
    EXPECT_EQ(Run("WAV:DATA \"one more\",1;:WAV:CAT?").size(), catalog);
    EXPECT_EQ(s.Repository.size(), TSettingsTarn::kMaxWaveforms);
    EXPECT_EQ(Errors(), std::vector<int>{errTooMuchData});
}

TEST_F(ScpiInstrument, RelativeDbEntriesMoveTheLevelFromTheSharedReference)
{
    struct TStep {
        const char* message;
        const char* answer;
        std::int32_t level;
        std::vector<int> errors;
    };
    const TStep steps[] = {
        {"VOLT:DB?;DB:MODE?", "0;AUTO\n", 2048, {}},
        {"VOLT:DB:ZERO", "", 2048, {errSettingsConflict}}, // "Set 0 dB" is for "Man dB"
        {"VOLT:DB:MODE MAN;ZERO;:VOLT:DB -6.0206", "", 1024, {}},
        {"VOLT:DB?", "-6\n", 1024, {}},
        {"VOLT:DB 3 DB;DB?", "3\n", 2893, {}},                 // from the mark, not from the level
        {"VOLT:DB:MODE OFF;:VOLT:DB 0;DB?", "0\n", 2048, {}},  // the last reference stays
        {"VOLT:DB:MODE AUTO;:VOLT:DB 6;DB?", "0\n", 4086, {}}, // from the present level
        {"OUTP:LOAD 50;:VOLT:DB 0", "", 4086, {}},             // the load divider is taken out again
        {"VOLT:DB 201;DB:MODE ON;:SOUR2:VOLT:DB?", "", 4086, {errDataOutOfRange, errIllegalValue, errHardwareMissing}},
    };
    for (const TStep& step : steps) {
        EXPECT_EQ(Run(step.message), step.answer) << step.message;
        EXPECT_EQ(s.Device.Level[0], step.level) << step.message;
        EXPECT_EQ(Errors(), step.errors) << step.message;
    }
    EXPECT_EQ(host.notified[1], std::make_pair(C::omdBReferenceChanged, 0));
    Run("*RST");
    EXPECT_EQ(Run("VOLT:DB:MODE?"), "AUTO\n");
}

TEST_F(ScpiInstrument, OutputHTakesCommandsWhileItIsActive)
{
    s.Device.HOutputActive = true;
    EXPECT_EQ(Run("OUTP2:ATT ON"), "");
    EXPECT_EQ(Errors(), std::vector<int>{errSettingsConflict});
    Run("SOUR2:VOLT:OFFS 8.3334;:OUTP2:LOAD 600");
    EXPECT_EQ(s.Device.Shift[0], 4096);
    EXPECT_EQ(s.Loads[1], 600.0);
    EXPECT_EQ(host.notified.back(), std::make_pair(C::omLoadChanged, 1));
    EXPECT_TRUE(Errors().empty());
}

} // namespace
} // namespace tarn::scpi
