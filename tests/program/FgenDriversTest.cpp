// SPDX-License-Identifier: MIT
// The function-generator drivers that ship with pymeasure drive the running
// program unchanged (fgen_drivers.py); after each of their steps the settings
// hold what the step set and the generator's registers hold the settings.
// A step marked as awaiting a command of the remote control must fail (and
// is reported); once it passes, the mark has to go.
#include "data/SettingsTarn.h"
#include "panels/ChannelMathTarn.h"
#include "shell/Main.h"
#include "tests/program/DeviceExpectations.h"
#include "tests/program/ProgramHarness.h"
#include "tests/program/ScpiClient.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QProcess>

#include <cmath>
#include <iostream>
#include <memory>

namespace tarn::test {
namespace {

using namespace std::chrono_literals;

bool PymeasureInstalled()
{
    QProcess probe;
    probe.start(QStringLiteral(TARN_SYSTEM_PYTHON),
                {QStringLiteral("-c"), QStringLiteral("import pymeasure, pyvisa_py")});
    return probe.waitForFinished(30000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
}

class FgenDrivers : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!PymeasureInstalled())
            GTEST_SKIP() << "python3-pymeasure or python3-pyvisa-py is not installed for " TARN_SYSTEM_PYTHON;
        run = std::make_unique<TStartedProgram>();
        ASSERT_TRUE(run->started);
        calibration = ReadCalibration(*run->vg);
        client = std::make_unique<TScpiClient>(EnableRemote(*run, FreePort()), QStringLiteral(TARN_FGEN_DRIVERS));
    }
    TSettingsTarn& Settings() const { return run->Form().SettingsTarn1(); }

    // What the step says the program holds now, on the output it names.
    void ExpectHeld(const QJsonObject& expect) const
    {
        const int channel = expect["out"].toInt(1) - 1;
        const auto setup = ChannelSetup(Settings(), channel);
        ASSERT_TRUE(setup);
        const TDeviceSettings& device = Settings().Device;
        const int real = Settings().ChannelAssignments.at(static_cast<std::size_t>(channel)).RealChannel;
        const TWaveformTarn* wave = ChannelWaveform(Settings(), channel);
        ASSERT_NE(wave, nullptr);
        if (expect.contains("frequency")) {
            EXPECT_NEAR(device.Frequency, expect["frequency"].toDouble(), expect["frequency"].toDouble() * 1e-9);
        }
        if (expect.contains("waveform")) {
            EXPECT_EQ(wave->Name, expect["waveform"].toString().toStdString());
        }
        if (expect.contains("vpp")) {
            const double want = expect["vpp"].toDouble();
            EXPECT_NEAR(ComputeReadings(*setup, StatsOf(wave), TPeakSide::Plus).Vpp, want, want * 0.01 + 0.002);
        }
        if (expect.contains("offset")) {
            EXPECT_NEAR(ShiftVoltage(*setup, setup->Shift), expect["offset"].toDouble(), 0.01);
        }
        if (expect.contains("output")) {
            EXPECT_EQ(device.OutputOnOff.at(static_cast<std::size_t>(real)), expect["output"].toBool() ? 1 : 0);
        }
        if (expect.contains("load")) {
            EXPECT_EQ(setup->Load, expect["load"].toDouble());
        }
        if (expect.contains("single")) {
            EXPECT_EQ(device.TriggerMode, expect["single"].toBool() ? 1 : 0);
        }
        if (expect.contains("external")) {
            EXPECT_EQ(device.TriggerOnOff, expect["external"].toBool() ? 1 : 0);
        }
        if (expect.contains("codes")) {
            const QJsonArray codes = expect["codes"].toArray();
            ASSERT_EQ(wave->SampleCount(), codes.size());
            for (int i = 0; i < codes.size(); ++i)
                EXPECT_EQ(wave->Samples()[i], codes[i].toInt()) << "sample " << i;
        }
    }

    // One step's answer: the driver's own findings, then the program's state.
    void Judge(const std::string& where, const QJsonObject& a)
    {
        reconnects = a["reconnects"].toInt();
        std::cout << where;
        for (const auto& command : a["sent"].toArray())
            std::cout << "\n    " << command.toString().toStdString();
        std::cout << std::endl;
        // Whatever the step did, the registers follow the settings.
        ExpectDeviceHolds(*run->vg, Settings(), calibration);
        ::testing::TestPartResultArray failures;
        {
            ::testing::ScopedFakeTestPartResultReporter intercept(
                ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
            for (const auto& problem : a["problems"].toArray())
                ADD_FAILURE() << problem.toString().toStdString();
            ExpectHeld(a["expect"].toObject());
        }
        const std::string awaiting = a["awaiting"].toString().toStdString();
        if (!awaiting.empty() && failures.size() > 0) {
            std::cout << "  expected failure, awaiting " << awaiting << ": " << failures.GetTestPartResult(0).message()
                      << std::endl;
            ++expectedFailures;
        } else if (!awaiting.empty()) {
            ADD_FAILURE() << where << " passes now: take away its mark (awaiting " << awaiting << ")";
        }
        for (int i = 0; awaiting.empty() && i < failures.size(); ++i)
            ADD_FAILURE() << where << ": " << failures.GetTestPartResult(i).message();
    }

    std::unique_ptr<TStartedProgram> run;
    TCalibration calibration{};
    std::unique_ptr<TScpiClient> client;
    int expectedFailures = 0;
    int reconnects = 0;
};

TEST_F(FgenDrivers, EachStepOfEachDriverReachesTheGenerator)
{
    QStringList drivers;
    std::vector<TStepper::Step> steps{client->Ask({{"op", "drivers"}}, [&](const QJsonObject& a) {
        for (const auto& d : a["answer"].toArray())
            drivers << d.toString();
    })};
    // The next step of the current driver, then of the next driver, until all are done.
    int driver = 0, index = 0;
    std::shared_ptr<TStepper::Step> pending;
    steps.push_back([&] {
        if (driver >= drivers.size())
            return true;
        if (!pending) {
            const QString name = drivers[driver];
            pending = std::make_shared<TStepper::Step>(
                client->Ask({{"op", "step"}, {"driver", name}, {"index", index}}, [&, name](const QJsonObject& a) {
                    Judge(name.toStdString() + " #" + std::to_string(index) + " " + a["name"].toString().toStdString(),
                          a);
                    if (a["last"].toBool() || !a["ok"].toBool()) {
                        ++driver;
                        index = 0;
                    } else {
                        ++index;
                    }
                }));
        }
        if ((*pending)())
            pending.reset();
        return false;
    });
    steps.push_back([] {
        QCoreApplication::exit(0);
        return true;
    });
    TStepper stepper(std::move(steps), 240s);
    run->program->Exec();
    EXPECT_FALSE(stepper.TimedOut()) << "after step " << stepper.StepsDone();
    EXPECT_TRUE(stepper.Finished());
    EXPECT_FALSE(drivers.isEmpty());
    std::cout << expectedFailures << " steps awaiting commands of the remote control; " << reconnects
              << " connections turned away after the client before had closed" << std::endl;
}

} // namespace
} // namespace tarn::test
