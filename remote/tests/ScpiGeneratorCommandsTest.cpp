// SPDX-License-Identifier: MIT
// The commands that drivers written for other function generators send:
// shapes, APPLy, amplitude units, high and low levels, VOLATILE uploads,
// burst and trigger source, the status registers, and the conformance rules
// of the error queue and the header suffixes.
#include "data/WaveformTarn.h"
#include "remote/tests/ScpiTestFixture.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <vector>

namespace tarn::scpi {
namespace {

using namespace std::string_literals;

// Each step runs on the state the steps before it left; the answer and the
// error codes are exact.
struct TStep {
    std::string message;
    std::string answer;
    std::vector<int> errors;
};

class ScpiGenerator : public ScpiInstrument {
protected:
    const TWaveformTarn& Playing() const { return *s.Device.Waveforms[0]; }
    double Number(const std::string& query) { return std::stod(Run(query)); }
    void Steps(const std::vector<TStep>& steps)
    {
        for (const TStep& step : steps) {
            EXPECT_EQ(Run(step.message), step.answer) << step.message;
            EXPECT_EQ(Errors(), step.errors) << step.message;
        }
    }
};

TEST_F(ScpiGenerator, ShapesPlayTheLibrarysStandardWaveformsAndTheChosenArbitraryOne)
{
    Steps({
        {"FUNC?", "SIN\n", {}}, // the first start's unnamed sine, known by its samples
        {"FUNC SQU;FUNC?;:WAV:SEL?", "SQU;\"Square\"\n", {}},
        {"SOUR1:FUNC:SHAP RAMP;:FUNC?;:WAV:SEL?", "RAMP;\"Saw\"\n", {}},
        {"FUNCTION TRIANGLE;FUNC?", "TRI\n", {}},
        {"FUNC SINUSOID;FUNC?", "SIN\n", {}},
        {"FUNC PULS;FUNC NOIS", "", {errSettingsConflict, errSettingsConflict}}, // each skips only itself
        {"FUNC WOBBLE", "", {errIllegalValue}},
        {"FUNC 1", "", {errDataType}},
        {"FUNC USER", "", {errSettingsConflict}}, // VOLATILE is empty
        {"FUNC:USER?", "\"VOLATILE\"\n", {}},
        {"DATA VOLATILE,-1,0,1,0.5;:FUNC?", "SIN\n", {}}, // FUNC:USER chooses, FUNC USER plays
        {"FUNC USER;FUNC?;:WAV:SEL?", "USER;\"VOLATILE\"\n", {}},
        {"DATA:COPY Ramp1;:FUNC:ARB ramp1;:FUNC:ARB?;:WAV:SEL?", "\"RAMP1\";\"RAMP1\"\n", {}}, // bare: upper case
        {"FUNC:USER \"Sine\"", "", {errSettingsConflict}},
        {"FUNC:USER \"nope\"", "", {errIllegalValue}},
        {"FUNC SIN;:FUNC:USER VOLATILE;:FUNC?", "SIN\n", {}},
        {"SOUR2:FUNC SIN", "", {errHardwareMissing}},
    });
    EXPECT_EQ(Playing().Name, "Sine");
}

TEST_F(ScpiGenerator, AMissingStandardWaveformIsMadeAgainAsAtAFirstStart)
{
    Run("DATA:DEL \"Square\"");
    ASSERT_EQ(Run("WAV:CAT?"), "\"Sine\",\"Saw\",\"Triangle\"\n");
    // Deleted as "Delete" does: the window's Undo can bring it back.
    EXPECT_EQ(s.LibraryUndo.UndoText(), "Undo delete \"Square\"");
    host.notified.clear();
    Run("FUNC SQU");
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(Run("WAV:CAT?"), "\"Sine\",\"Saw\",\"Triangle\",\"Square\"\n");
    EXPECT_EQ(host.notified, (std::vector<std::pair<C, std::int32_t>>{{C::omWaveformListChanged, -1},
                                                                      {C::omChannelWaveformChanged, 0}}));
    const auto expected = MakeStandardWaveform(TStandardWaveform::Square);
    ASSERT_EQ(Playing().SampleCount(), expected->SampleCount());
    EXPECT_TRUE(Playing().IsStandard);
    EXPECT_EQ(std::memcmp(Playing().Samples(), expected->Samples(), 2 * 8192), 0);
    // Playing it again loads nothing.
    host.notified.clear();
    Run("FUNC SQU");
    EXPECT_TRUE(host.notified.empty());
}

TEST_F(ScpiGenerator, VolatileUploadsAndTheirCopiesInTheLibrary)
{
    const auto floats = [](std::initializer_list<float> values, bool little) {
        std::string bytes;
        for (const float v : values) {
            const auto w = std::bit_cast<std::uint32_t>(v);
            for (int i = 0; i < 4; ++i) {
                bytes += static_cast<char>(w >> (little ? 8 * i : 24 - 8 * i));
            }
        }
        return bytes;
    };
    const std::size_t library = s.Repository.size();
    Steps({
        {"DATA VOLATILE,-1,0,1,0.5,-0.5;:WAV:DATA? VOLATILE", "1,2048,4095,3072,1024\n", {}}, // halves to even
        {"DATA:CAT?", "\"VOLATILE\",\"Sine\",\"Saw\",\"Triangle\",\"Square\"\n", {}},
        {"DATA:DAC VOLATILE,-2047,0,2047;:WAV:DATA? \"VOLATILE\"", "1,2048,4095\n", {}},
        {"DATA VOLATILE,#18" + floats({-1.0F, 1.0F}, true) + ";:WAV:DATA? VOLATILE", "1,4095\n", {}},
        {"FORM:BORD NORM;:FORM:BORD?;:DATA VOLATILE,#18" + floats({0.0F, -1.0F}, false) + ";:WAV:DATA? VOLATILE",
         "NORM;2048,1\n",
         {}},
        {"DATA:DAC VOLATILE,#14\xf8\x01\x07\xff;:WAV:DATA? VOLATILE", "1,4095\n", {}},
        {"FORM:BORD SWAP;:DATA:DAC VOLATILE,#14\x01\x00\x02\x00;:WAV:DATA? VOLATILE"s, "2049,2050\n", {}},
        {"DATA:COPY mine;:DATA:COPY mine,VOLATILE;:WAV:DATA? \"MINE\"", "2049,2050\n", {}}, // replaced, not added
        {"DATA VOLATILE,1.5", "", {errDataOutOfRange}},
        {"DATA:DAC VOLATILE,2048", "", {errDataOutOfRange}},
        {"DATA:DAC VOLATILE,0.5", "", {errDataType}},
        {"DATA:DAC VOLATILE,#13abc", "", {errInvalidBlock}},
        {"DATA mine,1;:WAV:DATA? MINE", "4095\n", {}}, // a named upload replaces too
        {"DATA VOLATILE", "", {errMissingParameter}},
        {"DATA:COPY Sine", "", {errSettingsConflict}}, // a standard waveform is not overwritten
        {"DATA:COPY VOLATILE;:DATA:COPY \"volatile\"", "", {errIllegalValue, errIllegalValue}}, // no unreachable name
        {"DATA:COPY mine,Sine", "", {errIllegalValue}},
        {"WAV:DATA? \"nope\"", "", {errIllegalValue}},
        {"DATA:DEL mine;:DATA:VOL:CLE;:DATA:CAT?", "\"Sine\",\"Saw\",\"Triangle\",\"Square\"\n", {}},
        {"DATA:COPY again", "", {errSettingsConflict}}, // nothing left to copy
        {"WAV:DATA \"w\",1,2;:WAV:DATA \"w\",3;:WAV:DATA? \"w\"", "3\n", {}},
        {"WAV:DATA \"Saw\",1", "", {errSettingsConflict}},
    });
    EXPECT_EQ(s.Repository.size(), library + 1);
}

// A named upload is DATA VOLATILE and DATA:COPY <name> in one command.
TEST_F(ScpiGenerator, NamedUploadsGoIntoTheLibraryAndIntoVolatile)
{
    const std::size_t library = s.Repository.size();
    Steps({
        {"DATA:VOL:CLE;:DATA:ARB:DAC TarnArb, -2047, 0, 2047;:WAV:DATA? TARNARB;:WAV:DATA? VOLATILE",
         "1,2048,4095;1,2048,4095\n",
         {}},
        {"FUNC ARB;:FUNC:ARB TARNARB;:FUNC?;:WAV:SEL?", "USER;\"TARNARB\"\n", {}},
        {"DATA:ARB \"TARNARB\",1,-1;:WAV:DATA? \"TARNARB\";:WAV:SEL?", "4095,1;\"TARNARB\"\n", {}},
        {"SOUR1:DATA:ARB:DAC \"Sine\",1;:WAV:DATA? VOLATILE", "4095,1\n", {errSettingsConflict}}, // nothing changed
        {"DATA:ARB:DAC big,2048;:DATA:ARB big,-1.5;:DATA:ARB:DAC big,0.5;:DATA big",
         "",
         {errDataOutOfRange, errDataOutOfRange, errDataType, errMissingParameter}},
        {"DATA:ARB 0.5,1;:DATA:ARB:DAC \"volatile\",1;:DATA:ARB \"" + std::string(65, 'x') + "\",1",
         "",
         {errDataType, errIllegalValue, errIllegalValue}},
        {"FORM:BORD SWAP;:DATA:ARB:DAC blk,#14\x01\x00\x02\x00;:WAV:DATA? BLK"s, "2049,2050\n", {}},
        {"DATA:COPY tarnarb;:WAV:DATA? TARNARB", "2049,2050\n", {}}, // a bare name finds the list's of any case
    });
    EXPECT_EQ(s.Repository.size(), library + 2);
    // Replacing in the list leaves what plays, as DATA:COPY does.
    EXPECT_EQ(Playing().SampleCount(), 3);
    EXPECT_EQ(Playing().Samples()[0], 1);
}

// What drivers of other generators set that this one does not have: -221
// with the reason, set or queried; what it has one value of is taken.
TEST_F(ScpiGenerator, WhatTheGeneratorLacksIsRefusedWithItsReason)
{
    Steps({
        {"VOLT:UNIT VRMS;:VOLT:UNIT DEF;:VOLT:UNIT?", "VPP\n", {}},
        {"FUNC:ARB:SRAT 1000;:FUNC:ARB:SRAT?;:FREQ?", "15000\n", {errSettingsConflict, errSettingsConflict}},
        {"DATA VOLATILE,-1,1;:FUNC USER;:FUNC:ARB:SRAT 2E6;SRAT?;:FREQ?", "2000000;2000000\n", {}},
        {"SOUR1:FUNC:ARB:SRAT MIN;SRAT? MAX;:FREQ?", "100000000;16.384\n", {}},
        {"FUNC:ARB:SRAT 1GHZ;:FREQ?", "16.384\n", {errDataOutOfRange}},
        {"OUTP:TRIG 0;TRIG?;:OUTP:TRIG OFF;:OUTP2:TRIG:STAT?", "0;0\n", {}},
        {"OUTP:TRIG 1;:OUTP:TRIG ON;:OUTP:TRIG?", "0\n", {errSettingsConflict, errSettingsConflict}},
        {"SYST:COMM:RLST?;RLST LOC;RLST?;RLST RWLOCK;RLST?;RLST REM;RLST?", "REM;LOC;RWL;REM\n", {}},
        {"SYST:COMM:RLST MAYBE;RLST 1", "", {errIllegalValue, errDataType}},
        {"PULS:PER 1e-3;:FUNC:PULS:PER?;:FUNC:PULS:HOLD WIDT;:FUNC:PULS:WIDT?;:SOUR1:FUNC:PULS:DCYC 50;"
         ":FUNC:PULS:TRAN:BOTH 1e-8;:FUNC:PULS:TRAN?;:BURS:INT:PER 1;:BURS:INT:PER?;:FUNC:ARB:ADV SRAT;"
         ":FUNC:ARB:FILT?;:FREQ?",
         "16.384\n", std::vector<int>(11, errSettingsConflict)},
        {"OUTP:TRIG 1;:SYST:ERR?",
         "-221,\"Settings conflict;no trigger output: the generator has a trigger input only (TRIG:EXT)\"\n",
         {}},
    });
}

TEST_F(ScpiGenerator, UploadingIntoThePlayingVolatileWaveformChangesTheOutput)
{
    Run("DATA VOLATILE,0,1;:FUNC USER");
    host.notified.clear();
    Run("DATA VOLATILE,-1,0,1");
    EXPECT_EQ(host.notified, (std::vector<std::pair<C, std::int32_t>>{{C::omChannelWaveformChanged, 0}}));
    EXPECT_EQ(Playing().SampleCount(), 3);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(ScpiGenerator, ApplySetsShapeFrequencyAmplitudeAndOffsetOnlyWhenAllFit)
{
    Steps({
        {"APPL:SQU 10e3,2,0;:APPL?", "\"SQU +1.0E+04,+2.0E+00,+0.0E+00\"\n", {}},
        {"APPL:SIN 1000,20", "", {errDataOutOfRange}},
        {"APPL:RAMP 60MHZ", "", {errDataOutOfRange}}, // a standard waveform goes to 50 MHz
        {"APPL:TRI 1000,2,5", "", {errDataOutOfRange}},
        {"APPL?", "\"SQU +1.0E+04,+2.0E+00,+0.0E+00\"\n", {}}, // none of them changed anything
        {"APPL:USER", "", {errSettingsConflict}},
        {"APPL:SIN;:APPL?", "\"SIN +1.5E+04,+5.001221001221001E+00,+0.0E+00\"\n", {}}, // the defaults
        {"APPL:TRI 2.5KHZ,MAX,-0.75;:FREQ?;:VOLT?;:VOLT:OFFS?", "2500;10;-0.75\n", {}},
        {"DATA VOLATILE,-1,1;:APPL:USER 80MHZ,1,DEF;:FUNC?;:FREQ?", "USER;80000000\n", {}},
        {"APPL:SIN 1,2,3,4", "", {errParameterNotAllowed}},
    });
}

TEST_F(ScpiGenerator, AmplitudesTakeTheirUnitFromTheSuffixOrFromVoltUnit)
{
    // The sine spans 4094 codes; its alternating part is Vpp / 2.828.
    struct TCase {
        const char* message;
        double vpp;
    };
    const TCase cases[] = {
        {"VOLT 2", 2.0},       {"VOLT 1VRMS", 2.828},
        {"VOLT 400MVPP", 0.4}, {"VOLT:UNIT VRMS;:VOLT 1", 2.828},
        {"VOLT 2VPP", 2.0},    {"VOLT:UNIT VPP;:VOLT MAX", 10.0},
    };
    for (const TCase& c : cases) {
        Run(c.message);
        EXPECT_TRUE(Errors().empty()) << c.message;
        EXPECT_NEAR(Number("MEAS:VPP?"), c.vpp, 0.01) << c.message;
    }
    Steps({
        {"VOLT:UNIT VRMS;UNIT?;:VOLT 1;:VOLT? MAX", "VRMS;3.53553080219\n", {}},
        {"VOLT:UNIT DBM;:VOLT 0", "", {errSettingsConflict}}, // an open output has no power
        {"VOLT 1V", "", {errInvalidSuffix}},
        {"VOLT:UNIT AMPS", "", {errIllegalValue}},
        {"VOLT 20VPP", "", {errDataOutOfRange}},
    });
    // 10 dBm into 50 ohm: 0.707 V rms, 2 V peak to peak as typed (the panel shows what the load sees).
    Run("OUTP:LOAD 50;:VOLT:UNIT DBM;:VOLT 10");
    EXPECT_TRUE(Errors().empty());
    EXPECT_NEAR(Number("MEAS:VPP?"), 1.0, 0.01);
    EXPECT_NEAR(Number("VOLT?"), 3.98, 0.05);
    Run("*RST");
    EXPECT_EQ(Run("VOLT:UNIT?"), "VPP\n");
}

TEST_F(ScpiGenerator, HighAndLowMoveLevelAndShiftTogether)
{
    struct TCase {
        const char* message;
        double high, low;
    };
    const TCase cases[] = {
        {"VOLT:HIGH 1;LOW -1", 1.0, -1.0},
        {"VOLT:HIGH 1.5", 1.5, -1.0}, // LOW stays
        {"VOLT:LOW 0", 1.5, 0.0},
        {"SOUR1:VOLT:LEV:IMM:LOW -0.2", 1.5, -0.2},
    };
    for (const TCase& c : cases) {
        Run(c.message);
        EXPECT_TRUE(Errors().empty()) << c.message;
        EXPECT_NEAR(Number("VOLT:HIGH?"), c.high, 0.005) << c.message;
        EXPECT_NEAR(Number("VOLT:LOW?"), c.low, 0.005) << c.message;
        EXPECT_NEAR(Number("VOLT?"), c.high - c.low, 0.005) << c.message;
    }
    Steps({
        {"VOLT:HIGH -1", "", {errSettingsConflict}},
        {"VOLT:HIGH 9", "", {errDataOutOfRange}},
        {"VOLT:HIGH? MAX;LOW? MIN", "6.5;-6.5\n", {}},
    });
}

TEST_F(ScpiGenerator, EveryNumericQueryTakesMinMaxAndDefault)
{
    Steps({
        {"VOLT? MIN;VOLT? MAX;VOLT? DEF", "0;10;5.00122100122\n", {}},
        {"VOLT:OFFS? MIN;OFFS? MAX;OFFS? DEF", "-1.5;1.5;0\n", {}},
        {"OUTP:LOAD? MIN;LOAD? MAX;LOAD? DEF", "1;1E+12;9.9E+37\n", {}},
        {"VOLT:DB? MIN;DB? MAX", "-200;200\n", {}},
        {"FREQ:FIX 2000;FIX?;FIX? MAX", "2000;50000000\n", {}},
        {"BURS:NCYC? MAX", "1\n", {}},
        {"VOLT? BIG", "", {errIllegalValue}},
        {"VOLT? MIN,MAX", "", {errParameterNotAllowed}},
    });
}

TEST_F(ScpiGenerator, BurstAndTriggerSourceDriveTheTriggerPanel)
{
    Steps({
        {"BURS:STAT?;:TRIG:SOUR?", "0;IMM\n", {}},
        {"BURS:STAT ON;STAT?;NCYC 1;NCYC?;MODE TRIG;MODE?", "1;1;TRIG\n", {}},
        {"BURS:NCYC 5", "", {errDataOutOfRange}},
        {"BURS:NCYC INF", "", {errDataOutOfRange}},
        {"BURS:MODE GAT", "", {errSettingsConflict}},
        {"TRIG:SOUR EXT;SOUR?;:TRIG:EXT?", "EXT;1\n", {}},
        {"*TRG", "", {errTriggerIgnored}},
        {"TRIG:SOUR BUS;SOUR?;*TRG", "BUS\n", {}},
        {"TRIG:SOUR IMM;SOUR?;:BURS:STAT OFF;:TRIG:MODE?", "IMM;PER\n", {}},
        {"TRIG:SOUR MAN", "", {errIllegalValue}},
        // What the generator has one value of: taken as that value, else -222.
        {"FUNC:SQU:DCYC 50;DCYC?;:FUNC:RAMP:SYMM 100;SYMM? MAX;:BURS:PHAS 0;PHAS?", "50;100;0\n", {}},
        {"FUNC:SQU:DCYC 20;:FUNC:RAMP:SYMM 50;:BURS:PHAS 90",
         "",
         {errDataOutOfRange, errDataOutOfRange, errDataOutOfRange}},
        {"SYST:REM;:SYST:LOC", "", {}},
    });
    EXPECT_EQ(host.notified.back(), std::make_pair(C::omTriggerModeChanged, 0));
    EXPECT_NE(std::find(host.notified.begin(), host.notified.end(), std::make_pair(C::omTriggerPulse, 0)),
              host.notified.end());
}

TEST_F(ScpiGenerator, StatusRegistersLatchTheirEventsAndSummariseInTheStatusByte)
{
    Steps({
        {"STAT:OPER?;QUES?;:STAT:QUES:COND?", "0;0;0\n", {}},
        {"BURS:STAT ON;:STAT:OPER:COND?;:STAT:OPER?;:STAT:OPER?", "32;32;0\n", {}},
        {"STAT:OPER:ENAB 32;ENAB?;:BURS:STAT OFF;STAT ON;*STB?", "32;128\n", {}},
        {"STAT:OPER?;*STB?", "32;0\n", {}},
        {"VOLT:DB:MODE MAN;ZERO;:VOLT:DB 100;:STAT:QUES?;QUES?", "1;0\n", {}}, // the level was clamped
        {"STAT:QUES:ENAB 65535;ENAB?;:STAT:PRES;:STAT:QUES:ENAB?;:STAT:OPER:ENAB?", "65535;0;0\n", {}},
        {"STAT:QUES:ENAB 65536", "", {errDataOutOfRange}},
        {"STAT:QUES:ENAB ON", "", {errDataType}},
    });
    host.broken = true;
    EXPECT_EQ(Run("STAT:QUES:ENAB 512;:STAT:QUES:COND?;*STB?;:STAT:QUES?;:STAT:QUES?"), "512;8;512;0\n");
    // A frequency past the limits of the new shape is clamped by the frequency bar.
    host.broken = false;
    Run("DATA VOLATILE,0,1;:FUNC USER;:FREQ 80MHZ;:FUNC SIN");
    EXPECT_EQ(Run("STAT:QUES?"), "32\n");
}

TEST_F(ScpiGenerator, TheErrorQueueKeepsItsOldestAndEndsInOverflow)
{
    Steps({
        {"SYST:ERR:ALL?", "0,\"No error\"\n", {}},
        {"VOLT 20;:FUNC PULS;:SYST:ERR:ALL?",
         "-222,\"Data out of range;20 VPP is outside 0 .. 10\",-221,\"Settings conflict;PULS: not a shape of this "
         "generator (SIN, SQU, TRI, RAMP, USER)\"\n",
         {}},
    });
    for (int i = 0; i < 40; ++i) {
        Run("FREQ " + std::to_string(100 + i) + "MHZ");
    }
    const std::vector<int> codes = Errors();
    ASSERT_EQ(codes.size(), TErrorQueue::kCapacity);
    EXPECT_EQ(codes.back(), errQueueOverflow);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), errDataOutOfRange), 31);
}

TEST_F(ScpiGenerator, ConformanceOfSuffixesUnreadAnswersNoOpsAndReset)
{
    Steps({
        {"SOUR0:FREQ 1000", "", {errHeaderSuffix}},
        {"SOUR3:FUNC SIN;:FREQ?", "15000\n", {errHeaderSuffix}}, // only its own command is skipped
        {"OUTP0 OFF;:SOUR2:APPL?", "", {errHeaderSuffix, errHardwareMissing}},
        {"SYST:BEEP;BEEP:STAT OFF;STAT?;:DISP:TEXT \"hello\";TEXT?;TEXT:CLE", "0;\"\"\n", {}},
        {"OUTP:LOAD INF;LOAD?", "9.9E+37\n", {}},
        {"OUTP ON;*RST;:OUTP?", "0\n", {}}, // the safe state
    });
    EXPECT_EQ(scpi.Execute("FREQ 1000", true), "");
    EXPECT_TRUE(Errors().empty()); // no query, nothing interrupted
    EXPECT_EQ(scpi.Execute("FREQ?;FREQ?", true), "1000;1000\n");
    EXPECT_EQ(Errors(), std::vector<int>{errQueryInterrupted});
}

TEST_F(ScpiGenerator, SavedSetupsComeBackWholeAndADamagedOneChangesNothing)
{
    Steps({
        {"*RCL 2", "", {errSettingsConflict}},                // never saved
        {"*SAV 2;*RCL 2;:SYST:ERR?", "0,\"No error\"\n", {}}, // the first start's unnamed sine stays
        {"APPL:SQU 2KHZ,0.4,0.1;:OUTP:LOAD 50;:BURS:STAT ON;*SAV 2", "", {}},
        {"*RST;:APPL?", "\"SQU +1.5E+04,+5.001221001221001E+00,+0.0E+00\"\n", {}},
        {"*RCL 2;:FUNC?;:FREQ?;:OUTP:LOAD?;:BURS:STAT?;:OUTP:ATT?", "SQU;2000;50;1;1\n", {}},
        {"*SAV 0", "", {errDataOutOfRange}},
        {"*RCL 5", "", {errDataOutOfRange}},
        {"*SAV 1.5", "", {errDataOutOfRange}},
    });
    EXPECT_EQ(host.replaced, (std::vector<bool>{true, true, true}));
    // The file is the user's: a level out of range or a lost waveform is refused whole.
    s.XMLStore->WriteIntArray("/remote/setup2/level", {5000});
    Run("FREQ 1234;*RCL 2");
    EXPECT_EQ(Errors(), std::vector<int>{errSettingsConflict});
    EXPECT_EQ(s.Device.Frequency, 1234);
    Run("*SAV 3;:DATA:DEL \"Square\";*RCL 3");
    EXPECT_EQ(Errors(), std::vector<int>{errSettingsConflict});
    EXPECT_EQ(host.replaced.size(), 3u);
}

// Output H has the level of output 1 times its gain and no attenuator: when
// a level needs output 1's attenuator, output H gets ten times the voltage.
TEST_F(ScpiGenerator, OutputHFollowsTheSharedLevelAndNotTheAttenuatorOfOutputL)
{
    s.Device.HOutputActive = true;
    std::string ramp = "WAV:DATA \"ramp\"";
    for (int i = 0; i < 256; ++i) {
        ramp += "," + std::to_string(i * 4095 / 255);
    }
    struct TCase {
        std::string select;
        std::int32_t attenuator;
        double outputH;
    };
    const TCase cases[] = {
        {ramp + ";:WAV:SEL \"ramp\"", 1, 55.6}, // codes 0..4095: just below a tenth of full scale
        {"WAV:SEL \"Sine\"", 0, 5.56},          // codes 1..4095: exactly a tenth, no attenuator
    };
    for (const TCase& c : cases) {
        Run(c.select + ";:VOLT 1");
        EXPECT_TRUE(Errors().empty()) << c.select;
        EXPECT_EQ(s.Device.OutputAtn[0], c.attenuator) << c.select;
        EXPECT_NEAR(Number("VOLT?"), 1.0, 0.002) << c.select;
        EXPECT_NEAR(Number("SOUR2:VOLT?"), c.outputH, 0.05) << c.select;
    }
}

} // namespace
} // namespace tarn::scpi
