// SPDX-License-Identifier: MIT
// The running program driven through its remote control with pyvisa: the
// commands reach the panels and the virtual generator as the panels' own
// actions do, and bad input leaves the program working.
#include "data/CommonFunctionsTarn.h"
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "panels/ChannelMathTarn.h"
#include "panels/ChannelWrapperTarn.h"
#include "panels/FrequencyBarTarn.h"
#include "panels/HLEditTarn.h"
#include "remote/RemoteControlTarn.h"
#include "shell/Main.h"
#include "shell/master/tests/TestApp.h"
#include "tests/program/DeviceExpectations.h"
#include "tests/program/ProgramHarness.h"
#include "tests/program/ScpiClient.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QTcpServer>
#include <QTest>
#include <QToolButton>

#include <charconv>
#include <cmath>
#include <memory>

namespace tarn::test {
namespace {

using namespace std::chrono_literals;

// An answer's number as the remote writes it, whatever the test's locale.
double Number(const std::string& answer)
{
    double value = std::nan("");
    std::from_chars(answer.data(), answer.data() + answer.size(), value);
    return value;
}

class RemoteControl : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(run.started); }
    TMainForm& Form() const { return run.Form(); }
    TSettingsTarn& Settings() const { return Form().SettingsTarn1(); }
    const TChannelControls& PanelL() const { return Form().ChannelWrapperTarn1().Controls(); }
    const TChannelControls& PanelH() const { return Form().ChannelWrapperTarn2().Controls(); }
    void Run(std::vector<TStepper::Step> steps) { RunSteps(*run.program, std::move(steps)); }
    void TypeInto(THLEditTarn* edit, const QString& text)
    {
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    static std::string Volts(const std::string& answer) { return FormatVoltage(Number(answer)) + "V"; }

    TStartedProgram run;
    // Turned on in the running program, as a user does.
    TScpiClient scpi{EnableRemote(run, FreePort())};
};

TEST_F(RemoteControl, CommandsDoWhatThePanelsDoDownToTheGenerator)
{
    const TCalibration calibration = ReadCalibration(*run.vg);
    TFrequencyBarTarn& bar = Form().FrequencyBarTarn1();
    struct TTyped {
        std::int32_t level = 0, atn = 0, code = 0, shift = 0;
    } typed;
    std::vector<std::uint16_t> ramp(1000);
    QJsonArray codes;
    for (std::size_t i = 0; i < ramp.size(); ++i) {
        ramp[i] = static_cast<std::uint16_t>((i * 7) % 4096);
        codes.append(ramp[i]);
    }
    Run({scpi.Query("*IDN?",
                    [](const std::string& a) {
                        EXPECT_EQ(a.rfind(Strings::RemoteIdentity, 0), 0u) << a;
                        EXPECT_EQ(a.substr(a.rfind(',') + 1), "1.0.0");
                    }),
         // Con mode: at once, down to the clock registers and the bar's fields.
         scpi.Write("FREQ 2.5MHZ"), TStepper::Wait(50ms), Do([&] {
             EXPECT_NEAR(GeneratorFrequency(*run.vg, false), 2.5e6, 2.5e6 * 1e-4);
             EXPECT_EQ(bar.FrequencyEdit->Text(), QStringLiteral("2.5M"));
             EXPECT_EQ(bar.DevFrequencyEdit->Text().toStdString(), FormatFrequency(Settings().Device.DeviceFrequency));
         }),
         // Step mode: prepared, and produced only on APPLy.
         scpi.Query("FREQ:MODE STEP;:FREQ 3MHZ;:FREQ?",
                    [&](const std::string& a) {
                        EXPECT_EQ(a, "3000000");
                        EXPECT_NEAR(GeneratorFrequency(*run.vg, false), 2.5e6, 2.5e6 * 1e-4);
                        EXPECT_TRUE(bar.StepModeBtn->isChecked());
                        EXPECT_TRUE(bar.SetBtn->isEnabled());
                    }),
         scpi.Query("FREQ:APPL;:FREQ:DEV?",
                    [&](const std::string& a) {
                        EXPECT_NEAR(GeneratorFrequency(*run.vg, false), 3e6, 3e6 * 1e-4);
                        EXPECT_NEAR(Number(a), GeneratorFrequency(*run.vg, false), 1.0);
                    }),
         scpi.Write("FREQ:MODE CONT"),
         // 0.4 V typed into the panel, then the same through the socket.
         Do([&] {
             TypeInto(PanelL().VppEdit, QStringLiteral("0.4"));
             typed = {Settings().Device.Level[0], Settings().Device.OutputAtn[0], run.vg->Register(1)};
             EXPECT_EQ(typed.atn, 1);
         }),
         scpi.Write("VOLT 2"), TStepper::Wait(20ms), Do([&] { EXPECT_NE(Settings().Device.Level[0], typed.level); }),
         scpi.Query("VOLT 0.4;:VOLT:OFFS -20MV;:VOLT?",
                    [&](const std::string& a) {
                        EXPECT_EQ(Settings().Device.Level[0], typed.level);
                        EXPECT_EQ(Settings().Device.OutputAtn[0], typed.atn);
                        EXPECT_EQ(run.vg->Register(1), typed.code);
                        EXPECT_EQ(Volts(a), PanelL().VppEdit->Text().toStdString());
                        EXPECT_TRUE(PanelL().Output20Btn->isChecked());
                        EXPECT_EQ(Settings().Device.Shift[0], ShiftFromVoltage(*ChannelSetup(Settings(), 0), -0.02));
                        EXPECT_EQ(PanelL().DevShiftEdit->Text(), PanelL().ShiftEdit->Text());
                        ExpectDeviceHolds(*run.vg, Settings(), calibration);
                    }),
         // Measurements are the panel's own readings.
         scpi.Query("OUTP:LOAD 50;:MEAS:VPP?;VP?;VRMS?;VAVG?;DB?",
                    [&](const std::string& a) {
                        const QStringList v = QString::fromStdString(a).split(';');
                        ASSERT_EQ(v.size(), 5);
                        EXPECT_EQ(Volts(v[0].toStdString()), PanelL().VppEdit->Text().toStdString());
                        EXPECT_EQ(Volts(v[1].toStdString()), PanelL().VpEdit->Text().toStdString());
                        EXPECT_EQ(Volts(v[2].toStdString()), PanelL().VrmsEdit->text().toStdString());
                        EXPECT_EQ(Volts(v[3].toStdString()), PanelL().VavgEdit->text().toStdString());
                        EXPECT_EQ(FormatDb(v[4].toDouble()), PanelL().dBAbsEdit->text().toStdString());
                        EXPECT_TRUE(PanelL().Load50Btn->isChecked());
                    }),
         // Output H: typed into its panel, then the same through the socket.
         Do([&] {
             TypeInto(PanelH().VppEdit, QStringLiteral("10"));
             TypeInto(PanelH().ShiftEdit, QStringLiteral("2"));
             typed = {Settings().Device.Level[0], Settings().Device.OutputAtn[0], run.vg->Register(1),
                      Settings().Device.Shift[0]};
             PanelH().dBUnitsBox->setCurrentIndex(2);
         }),
         scpi.Write("SOUR2:VOLT 3;VOLT:OFFS 0"), TStepper::Wait(20ms),
         Do([&] { EXPECT_NE(Settings().Device.Shift[0], typed.shift); }),
         scpi.Query("SOUR2:VOLT 10;VOLT:OFFS 2;:SOUR2:VOLT?;:MEAS2:VRMS?;DB? DBMV",
                    [&](const std::string& a) {
                        EXPECT_EQ(Settings().Device.Level[0], typed.level);
                        EXPECT_EQ(Settings().Device.OutputAtn[0], typed.atn);
                        EXPECT_EQ(Settings().Device.Shift[0], typed.shift);
                        EXPECT_EQ(run.vg->Register(1), typed.code);
                        ExpectDeviceHolds(*run.vg, Settings(), calibration);
                        const QStringList v = QString::fromStdString(a).split(';');
                        ASSERT_EQ(v.size(), 3);
                        EXPECT_EQ(Volts(v[0].toStdString()), PanelH().VppEdit->Text().toStdString());
                        EXPECT_EQ(Volts(v[1].toStdString()), PanelH().VrmsEdit->text().toStdString());
                        EXPECT_EQ(FormatDb(v[2].toDouble()), PanelH().dBAbsEdit->text().toStdString());
                    }),
         // The 0 dB mark is the panel's own.
         scpi.Query("SOUR2:VOLT:DB:MODE MAN;ZERO;:SOUR2:VOLT 5;:SOUR2:VOLT:DB?",
                    [&](const std::string& a) {
                        EXPECT_TRUE(PanelH().ManualdBBtn->isChecked());
                        EXPECT_EQ(a, "-6");
                        EXPECT_EQ(PanelH().dBRelEdit->Text().toStdString(), a);
                    }),
         Do([&] { QTest::mouseClick(PanelH().AutodBBtn, Qt::LeftButton); }),
         scpi.Query("SOUR2:VOLT:DB:MODE?;:SOUR2:VOLT:DB?", [](const std::string& a) { EXPECT_EQ(a, "AUTO;0"); }),
         // A library waveform as the device waveform, as the drop does.
         scpi.Write("WAV:SEL \"Square\""), TStepper::Wait(50ms), Do([&] {
             EXPECT_EQ(Settings().Device.Waveforms[0]->Name, "Square");
             EXPECT_EQ(bar.GroupBox->title().toStdString(), Strings::CaptionWaveformFrequency);
             ExpectDeviceHolds(*run.vg, Settings(), calibration);
         }),
         // A binary upload adds to the library; selected, it reaches the sample memory.
         scpi.Ask({{"op", "block"}, {"text", "WAV:DATA \"ramp\","}, {"codes", codes}}),
         scpi.Query("WAV:CAT?;:WAV:SEL \"ramp\";:WAV:SEL?",
                    [&](const std::string& a) {
                        EXPECT_NE(a.find("\"ramp\";\"ramp\""), std::string::npos) << a;
                        const TWaveformTarn& w = *Settings().Device.Waveforms[0];
                        ASSERT_EQ(w.SampleCount(), 1000);
                        EXPECT_TRUE(std::equal(ramp.begin(), ramp.end(), w.Samples()));
                        EXPECT_FALSE(w.IsStandard);
                        ExpectDeviceHolds(*run.vg, Settings(), calibration);
                    }),
         // The standard error codes.
         scpi.Write("FROB 1"), scpi.ExpectError(-113, "an unknown header"), scpi.Write("FREQ ,1"),
         scpi.ExpectError(-102, "a missing value"), scpi.Write("FREQ 200MHZ"),
         scpi.ExpectError(-222, "a frequency beyond the limit"), scpi.Write("WAV:SEL \"nothing\""),
         scpi.ExpectError(-224, "an unknown waveform"), scpi.ExpectError(0, "the queue emptied")});
}

TEST_F(RemoteControl, BadInputLeavesTheProgramWorkingAndTheQueueSaysWhy)
{
    const QByteArray longLine = "FREQ " + QByteArray((1 << 20) + 16, '1') + '\n';
    QByteArray garbage;
    for (int i = 0; i < 256; ++i)
        if (i != '\n' && i != '"' && i != '\'')
            garbage += static_cast<char>(i);
    garbage += '\n';
    const std::string busy = Strings::RemoteBusy;
    double frequency = 0;
    Run({Do([&] { frequency = Settings().Device.Frequency; }), scpi.Raw(longLine),
         scpi.ExpectError(-223, "a line over 1 MiB"), scpi.Raw(garbage),
         scpi.Query("SYST:ERR?;*IDN?",
                    [](auto& a) {
                        EXPECT_EQ(a.find("-101,"), 0u) << a;
                        EXPECT_NE(a.find(Strings::RemoteIdentity), std::string::npos);
                    }),
         // A hundred attempts within about a second: each is refused politely.
         scpi.Ask({{"op", "refused"}, {"count", 100}},
                  [&](const QJsonObject& a) {
                      const QJsonArray lines = a["answer"].toArray();
                      ASSERT_EQ(lines.size(), 100);
                      for (const auto& line : lines)
                          EXPECT_EQ(line.toString().toStdString(), busy);
                      EXPECT_LT(a["seconds"].toDouble(), 5.0);
                  }),
         // The client goes right after a command and in the middle of another:
         // the whole one is carried out, the unterminated one is not.
         scpi.Raw("FREQ 1500\nFREQ 1234"), scpi.Ask({{"op", "close"}}), scpi.Ask({{"op", "open"}}),
         scpi.ExpectError(-100, "an unterminated message"),
         scpi.Query("FREQ?",
                    [&](const std::string& a) {
                        EXPECT_NE(frequency, 1500.0);
                        EXPECT_EQ(a, "1500");
                    }),
         // A client that sends queries and never reads: output stays bounded.
         scpi.Ask({{"op", "close"}}),
         scpi.Ask({{"op", "stall"}, {"seconds", 1.5}},
                  [&](const QJsonObject& a) {
                      EXPECT_GT(a["answer"].toDouble(), 1e6);
                      const TRemoteControlTarn& remote = Form().RemoteControlTarn1();
                      EXPECT_LE(remote.PendingOutput(), TRemoteControlTarn::kOutputLimit + 4096);
                      // The window goes on meanwhile.
                      TypeInto(Form().FrequencyBarTarn1().FrequencyEdit, QStringLiteral("1k"));
                      EXPECT_EQ(Settings().Device.Frequency, 1000.0);
                  }),
         // Its last query may have been cut off in the middle (-100): start clean.
         scpi.Ask({{"op", "release"}}), scpi.Ask({{"op", "open"}}), scpi.Write("*CLS"),
         scpi.Query("FREQ?", [](const std::string& a) { EXPECT_EQ(a, "1000"); }),
         // During a communication break settings are refused and queries answered.
         Do([&] { run.vg->SetPlugged(false); }), [&] { return Form().CommBrokenForm() != nullptr; },
         scpi.Query("FREQ 2000;:FREQ?", [](const std::string& a) { EXPECT_EQ(a, "1000"); }),
         scpi.ExpectError(-240, "a setting during the break"), Do([&] { run.vg->SetPlugged(true); }),
         [&] { return Form().CommBrokenForm() == nullptr; }, scpi.Query("FREQ 2000;:FREQ?", [&](const std::string& a) {
             EXPECT_EQ(a, "2000");
             EXPECT_NEAR(GeneratorFrequency(*run.vg, false), 2000.0, 0.5);
         })});
}

TEST(RemoteControlListening, APortTakenIsShownOnceAndTheOptionSwitchesListeningAtOnce)
{
    TestApp();
    TProgramFolder folder;
    WriteDistinctSettings(folder.Path());
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(QHostAddress::LocalHost, 0));
    const std::uint16_t port = holder.serverPort();
    EnableRemoteInFile(folder.Path(), port);
    TProgramOptions options;
    options.programFolder = folder.Path().string();
    options.singleInstanceCheck = false;
    const auto start = [&](TScriptedDialogs& dialogs) {
        auto program = std::make_unique<TTarnProgram>(dialogs, options);
        EXPECT_TRUE(program->Start());
        return program;
    };
    TScriptedDialogs first;
    start(first)->Finish();
    ASSERT_EQ(first.shown.size(), 1u);
    EXPECT_NE(first.shown[0].text.find(std::to_string(port)), std::string::npos);
    // The next start remembers that it was told.
    TScriptedDialogs second;
    const auto program = start(second);
    EXPECT_TRUE(second.shown.empty());
    TRemoteControlTarn& remote = program->MainForm()->RemoteControlTarn1();
    EXPECT_FALSE(remote.Listening());
    holder.close();
    // As the options dialog's OK does: the option, then the settings announced.
    const auto choose = [&](bool on) {
        program->MainForm()->SettingsTarn1().Options->SetBoolValue(optRemoteControl, on);
        BroadcastSettingsApplied(program->MainForm()->ObjMasterTarn1());
    };
    choose(true);
    EXPECT_TRUE(remote.Listening());
    EXPECT_EQ(remote.Port(), port);
    choose(false);
    EXPECT_FALSE(remote.Listening());
    program->Finish();
    EXPECT_TRUE(second.shown.empty());
}

} // namespace
} // namespace tarn::test
