// SPDX-License-Identifier: MIT
// The device program's window in-process: what it measures, and what its
// test bench buttons do to the generator and to the driver's next start.
#include "data/XMLSettings.h"
#include "shell/master/tests/TestApp.h"
#include "virtualdevice/DeviceTexts.h"
#include "virtualdevice/ScopeView.h"
#include "virtualdevice/VirtualDeviceWindow.h"
#include "virtualdevice/tests/BenchSignal.h"

#include <QAccessible>
#include <QAbstractButton>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>

#include <gtest/gtest.h>

#include <numbers>

namespace vdev::test {
namespace {

using vg::AnalogOutput;

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tarn::test::TestApp();
        ASSERT_EQ(bench.Start(4095, 2048), 0);
        window = std::make_unique<VirtualDeviceWindow>(bench.generator, nullptr);
        window->resize(1000, 640);
        window->show();
    }
    double Vpp(AnalogOutput output)
    {
        window->Refresh();
        return window->Measured(output).vpp;
    }

    BenchSignal bench;
    std::unique_ptr<VirtualDeviceWindow> window;
};

TEST_F(WindowTest, MeasuresBothOutputsAtTheChosenLoadOverTheChosenPeriods)
{
    EXPECT_EQ(window->windowTitle().toStdString(), Texts::WindowTitle);
    EXPECT_NEAR(Vpp(AnalogOutput::L), 10.0, 0.01);
    EXPECT_NEAR(Vpp(AnalogOutput::H), 55.556, 0.06);
    EXPECT_NEAR(window->Measured(AnalogOutput::L).frequency, 1000.0, 0.01); // the synthesiser's step
    EXPECT_NEAR(window->Measured(AnalogOutput::L).vrms, 10.0 / 2 / std::sqrt(2.0), 0.01);
    EXPECT_NEAR(window->Measured(AnalogOutput::L).vavg, 10.0 / std::numbers::pi, 0.01);
    struct Row {
        int index;
        double l, h;
    };
    for (const Row row : {Row{1, 0.5, 50.0 / 650}, Row{2, 600.0 / 650, 0.5}, Row{0, 1.0, 1.0}}) {
        window->LoadBox()->setCurrentIndex(row.index);
        EXPECT_NEAR(window->Measured(AnalogOutput::L).vpp, 10.0 * row.l, 0.01);
        EXPECT_NEAR(window->Measured(AnalogOutput::H).vpp, 55.556 * row.h, 0.06);
    }
    window->PeriodsBox()->setValue(1);
    const double one = window->Scope()->SecondsPerDivision();
    window->PeriodsBox()->setValue(10);
    EXPECT_NEAR(window->Scope()->SecondsPerDivision(), 10 * one, one * 1e-9);
    EXPECT_NEAR(one, 1e-3 / ScopeView::kDivisionsX, 1e-9);
    EXPECT_EQ(window->Scope()->VoltsPerDivision(), 10.0); // H peaks at 27.8 V: four divisions of 10 V
    EXPECT_NE(window->RegisterLabel()->text().indexOf(QStringLiteral(" 7 playback        0x3c18 15384")), -1)
        << window->RegisterLabel()->text().toStdString();
}

TEST_F(WindowTest, UnplugAndPlugInToggleTheDeviceAndFailNextFailsOneRequest)
{
    QPushButton* plug = window->PlugButton();
    EXPECT_TRUE(plug->isCheckable());
    plug->click();
    EXPECT_EQ(bench.generator.Attach(), 0u);
    EXPECT_EQ(plug->text().toStdString(), Texts::PlugIn);
    EXPECT_EQ(Vpp(AnalogOutput::L), 0.0);
    plug->click();
    EXPECT_NE(bench.generator.Attach(), 0u);
    EXPECT_EQ(plug->text().toStdString(), Texts::Unplug);
    EXPECT_EQ(Vpp(AnalogOutput::L), 0.0); // plugging in is a power cycle: the driver starts again
    ASSERT_EQ(bench.Start(4095, 2048), 0);
    EXPECT_NEAR(Vpp(AnalogOutput::L), 10.0, 0.01);

    window->FailButton()->click();
    const std::uint64_t session = bench.generator.Attach();
    EXPECT_FALSE(bench.generator.Ready(session));
    EXPECT_TRUE(bench.generator.Ready(session));
}

TEST_F(WindowTest, ADamagedPageGivesTheDriverItsDefaultsAtItsNextStart)
{
    bench.device.SetAttenuator(1);
    EXPECT_NEAR(Vpp(AnalogOutput::L), 1.0, 0.005);
    window->DamageButton()->click();
    EXPECT_FALSE(window->DamageButton()->isEnabled());
    EXPECT_NE(window->StateLabel()->text().indexOf(QStringLiteral("Calibration page: damaged")), -1);
    EXPECT_NEAR(Vpp(AnalogOutput::L), 1.0, 0.005);
    // The driver falls back to its defaults, which match this generator's page.
    ASSERT_EQ(bench.Start(4095, 2048), 5);
    bench.device.SetAttenuator(1);
    EXPECT_NEAR(Vpp(AnalogOutput::L), 1.0, 0.005);
}

TEST_F(WindowTest, TriggerInFiresOneShotOnlyWithExternalTriggeringOn)
{
    bench.device.SetTriggerMode(1);
    EXPECT_EQ(Vpp(AnalogOutput::L), 0.0);
    window->TriggerButton()->click();
    EXPECT_EQ(Vpp(AnalogOutput::L), 0.0);
    bench.device.SetTrigger(true);
    window->TriggerButton()->click();
    EXPECT_NEAR(Vpp(AnalogOutput::L), 10.0, 0.01);
    EXPECT_EQ(window->Measured(AnalogOutput::L).frequency, 0.0);
    EXPECT_NE(window->StateLabel()->text().indexOf(QStringLiteral("last shot shown")), -1);
}

TEST_F(WindowTest, EveryControlHasAnAccessibleNameAndEveryButtonItsHint)
{
    for (QWidget* w : window->findChildren<QWidget*>()) {
        // The editor inside a spin box is named through the spin box.
        if ((w->focusPolicy() == Qt::NoFocus && qobject_cast<QLabel*>(w) == nullptr)
            || qobject_cast<QSpinBox*>(w->parentWidget()) != nullptr)
            continue;
        if (auto* label = qobject_cast<QLabel*>(w); label != nullptr && label->accessibleName().isEmpty()) {
            // Captions and values speak for themselves.
            EXPECT_FALSE(label->text().isEmpty());
            continue;
        }
        EXPECT_FALSE(QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).isEmpty())
            << w->metaObject()->className();
        if (qobject_cast<QAbstractButton*>(w) != nullptr || qobject_cast<QSpinBox*>(w) != nullptr
            || qobject_cast<QComboBox*>(w) != nullptr) {
            EXPECT_FALSE(w->accessibleDescription().isEmpty()) << w->accessibleName().toStdString();
        }
    }
    EXPECT_FALSE(window->Scope()->accessibleName().isEmpty());
}

TEST_F(WindowTest, ItsPlaceIsKeptInTheUsersFileAndComesBackOnTheScreen)
{
    EXPECT_EQ(PlaceFile("/x/data", "/home/u"), std::filesystem::path("/x/data/tarn-virtual/virtual-device.xml"));
    EXPECT_EQ(PlaceFile("relative", "/home/u"),
              std::filesystem::path("/home/u/.local/share/tarn-virtual/virtual-device.xml"));
    EXPECT_EQ(PlaceFile(nullptr, nullptr), std::filesystem::path());
    const std::filesystem::path folder = std::filesystem::path(::testing::TempDir()) / "tarn-vdev-place";
    std::filesystem::remove_all(folder);
    const std::filesystem::path file = folder / "tarn-virtual" / "virtual-device.xml";
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    window->RestorePlace(file); // no file: stays
    EXPECT_EQ(window->size(), QSize(1000, 640));
    window->resize(screen.width() - 50, screen.height() - 60);
    window->move(screen.left() + 7, screen.top() + 9);
    ASSERT_TRUE(window->SavePlace(file));
    VirtualDeviceWindow next(bench.generator, nullptr);
    next.RestorePlace(file);
    // As it was, but never larger than the screen (the test screen may be narrower than the window).
    const bool fits = window->width() <= screen.width();
    EXPECT_EQ(next.pos(), QPoint(fits ? window->x() : screen.left(), window->y()));
    EXPECT_EQ(next.size(), window->size().boundedTo(screen.size()));
    // A place beyond every screen comes back onto the primary one; other entries stay.
    TXMLSettings store;
    ASSERT_TRUE(store.LoadFromFile(file));
    store.WriteInt("/window/left", screen.right() + 5000);
    store.WriteInt("/other", 7);
    ASSERT_TRUE(store.SaveToFile(file));
    VirtualDeviceWindow away(bench.generator, nullptr);
    away.RestorePlace(file);
    EXPECT_TRUE(screen.contains(QRect(away.pos(), away.size()))) << away.pos().x();
    ASSERT_TRUE(away.SavePlace(file));
    TXMLSettings again;
    ASSERT_TRUE(again.LoadFromFile(file));
    EXPECT_EQ(again.ReadInt("/other", 0), 7);
    std::filesystem::remove_all(folder);
}

TEST(ScopeScale, VoltsPerDivisionHoldTheLargestPeakInFourDivisions)
{
    struct Row {
        double peak, expected;
    };
    for (const Row r : {Row{0.0, 0.01}, Row{0.04, 0.01}, Row{0.041, 0.02}, Row{5.0, 2.0}, Row{8.0, 2.0}, Row{8.01, 5.0},
                        Row{27.8, 10.0}, Row{41.0, 20.0}})
        EXPECT_DOUBLE_EQ(ChooseVoltsPerDivision(r.peak), r.expected) << r.peak;
    EXPECT_EQ(Engineering(30.0003e6, "Hz").toStdString(), "30.0003 MHz");
    EXPECT_EQ(Engineering(-0.0125, "V", 4, true).toStdString(), "-12.50 mV");
    EXPECT_EQ(Engineering(999.9996, "Hz", 6, true).toStdString(), "1.00000 kHz");
    EXPECT_EQ(Engineering(500e-3, "V").toStdString(), "500 mV");
    EXPECT_EQ(Engineering(20e6, "Hz").toStdString(), "20 MHz");
    EXPECT_EQ(Engineering(0.0, "V").toStdString(), "0 V");
}

} // namespace
} // namespace vdev::test
