// SPDX-License-Identifier: MIT
// The program and the device program together, offscreen: the program's
// virtual libvireo.so finds the device program's socket, and the trace the
// device program computes from its registers follows the program's settings,
// through an unplug and a plug-in.
#include "data/SettingsTarn.h"
#include "panels/ChannelMathTarn.h"
#include "panels/ChannelPanelTarn.h"
#include "panels/ChannelWrapperTarn.h"
#include "shell/CommBrokenScreen.h"
#include "shell/Main.h"
#include "shell/TarnProgram.h"
#include "shell/master/tests/TestApp.h"
#include "sim/DeviceServer.h"
#include "tests/program/ProgramHarness.h"
#include "virtualdevice/VirtualDeviceWindow.h"

#include <QPushButton>
#include <QScrollBar>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>

namespace vdev::test {
namespace {

using namespace std::chrono_literals;
using tarn::test::TStepper;
using vg::AnalogOutput;

// Points the program's virtual library at the test's own socket while it lives.
struct SocketVariable {
    explicit SocketVariable(const std::string& path) { ::setenv(vg::kSocketEnvironment, path.c_str(), 1); }
    ~SocketVariable() { ::unsetenv(vg::kSocketEnvironment); }
};

class BothPrograms : public ::testing::Test {
protected:
    void SetUp() override
    {
        tarn::test::TestApp();
        QApplication::setQuitOnLastWindowClosed(false);
        ASSERT_EQ(server.Start(), "");
        window = std::make_unique<VirtualDeviceWindow>(generator, &server);
        window->show();
        tarn::TProgramOptions options;
        options.programFolder = folder.Path().string();
        options.singleInstanceCheck = false;
        program = std::make_unique<tarn::TTarnProgram>(dialogs, options);
        ASSERT_TRUE(program->Start());
        ASSERT_TRUE(dialogs.shown.empty()) << dialogs.Texts().front();
    }
    tarn::TMainForm& Form() { return *program->MainForm(); }
    const tarn::TChannelControls& L() { return Form().ChannelWrapperTarn1().Controls(); }
    static TStepper::Step Do(std::function<void()> action)
    {
        return [action] {
            action();
            return true;
        };
    }
    // What the channel panel of an output shows.
    tarn::TChannelReadings Panel(int output)
    {
        const auto& settings = Form().SettingsTarn1();
        const auto setup = tarn::ChannelSetup(settings, output);
        EXPECT_TRUE(setup.has_value());
        return tarn::ComputeReadings(setup.value_or(tarn::TChannelSetup{}),
                                     tarn::StatsOf(tarn::ChannelWaveform(settings, output)), tarn::TPeakSide::Plus);
    }
    double Vpp(AnalogOutput output)
    {
        window->Refresh();
        return window->Measured(output).vpp;
    }
    // The trace against the panels and the frequency bar: one level converter
    // step (of the default calibration) in Vpp, the device frequency.
    void ExpectTraceMatchesPanels()
    {
        for (const AnalogOutput output : {AnalogOutput::L, AnalogOutput::H}) {
            const auto panel = Panel(int(output));
            EXPECT_NEAR(Vpp(output), panel.Vpp, 0.0055 * panel.Scale) << int(output);
            EXPECT_NEAR(window->Measured(output).frequency, Form().SettingsTarn1().Device.DeviceFrequency,
                        Form().SettingsTarn1().Device.DeviceFrequency * 1e-9);
        }
    }

    tarn::test::TProgramFolder folder;
    vg::VirtualGenerator generator;
    vg::DeviceServer server{generator, (folder.Path() / "device.socket").string()};
    SocketVariable variable{server.Path()};
    std::unique_ptr<VirtualDeviceWindow> window;
    tarn::test::TScriptedDialogs dialogs;
    std::unique_ptr<tarn::TTarnProgram> program;
};

TEST_F(BothPrograms, TheTraceFollowsTheLevelAndComesBackWholeAfterUnplugAndPlugIn)
{
    std::array<vg::Measurement, 2> before{};
    std::array<int, 4> registers{};
    constexpr std::array<int, 4> kCompared = {1, 2, 8, 10}; // level, shift, relays, control word
    double firstVpp = 0.0;
    TStepper stepper({[&] { return server.ClientConnected() && Vpp(AnalogOutput::L) > 0.0; }, Do([&] {
                          EXPECT_TRUE(generator.Configured());
                          ExpectTraceMatchesPanels();
                          firstVpp = Vpp(AnalogOutput::L);
                          L().LevelBar->setValue(4096 - 1024);
                      }),
                      [&] { return std::abs(Vpp(AnalogOutput::L) - firstVpp) > 0.1; }, Do([&] {
                          ExpectTraceMatchesPanels();
                          for (const AnalogOutput output : {AnalogOutput::L, AnalogOutput::H})
                              before[std::size_t(output)] = window->Measured(output);
                          for (std::size_t i = 0; i < kCompared.size(); ++i)
                              registers[i] = generator.Register(kCompared[i]);
                          window->PlugButton()->click(); // "Unplug"
                      }),
                      [&] { return Form().CommBrokenForm() != nullptr; }, Do([&] {
                          EXPECT_EQ(Vpp(AnalogOutput::L), 0.0);
                          window->PlugButton()->click(); // "Plug in"
                      }),
                      [&] { return Form().CommBrokenForm() == nullptr && Vpp(AnalogOutput::L) > 0.0; },
                      TStepper::Wait(300ms), Do([&] {
                          EXPECT_EQ(window->PlugButton()->text().toStdString(), "Unplug");
                          ExpectTraceMatchesPanels();
                          for (const AnalogOutput output : {AnalogOutput::L, AnalogOutput::H}) {
                              const vg::Measurement& m = window->Measured(output);
                              const vg::Measurement& b = before[std::size_t(output)];
                              EXPECT_DOUBLE_EQ(m.vpp, b.vpp);
                              EXPECT_DOUBLE_EQ(m.vmax, b.vmax);
                              EXPECT_DOUBLE_EQ(m.vmin, b.vmin);
                              EXPECT_DOUBLE_EQ(m.vrms, b.vrms);
                              EXPECT_NEAR(m.frequency, b.frequency, b.frequency * 1e-12);
                          }
                          for (std::size_t i = 0; i < kCompared.size(); ++i)
                              EXPECT_EQ(generator.Register(kCompared[i]), registers[i]) << kCompared[i];
                          Form().Exit1Click();
                      })},
                     30s);
    program->Exec();
    EXPECT_FALSE(stepper.TimedOut()) << "after step " << stepper.StepsDone();
    EXPECT_TRUE(stepper.Finished()) << "stopped at step " << stepper.StepsDone();
    program->Finish();
}

} // namespace
} // namespace vdev::test
