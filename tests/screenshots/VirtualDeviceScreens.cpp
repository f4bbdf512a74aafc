// SPDX-License-Identifier: MIT
// The device program's window "Virtual generator" with a signal on both outputs.
#include "tests/screenshots/ScreenshotSupport.h"
#include "virtualdevice/FrequencyStrip.h"
#include "virtualdevice/ScopeView.h"
#include "virtualdevice/VirtualDeviceWindow.h"
#include "virtualdevice/tests/BenchSignal.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QSpinBox>
#include <QTest>

#include <cmath>

#include <gtest/gtest.h>

namespace tarn::test {
namespace {

TEST(VirtualDeviceScreens, SignalOnBothOutputsWithA50OhmLoad)
{
    TScreenWindow screen; // the application and the screen scale, as for every picture
    vdev::test::BenchSignal bench;
    ASSERT_EQ(bench.Start(2600, 2700), 0);
    bench.device.SetFilter(2);
    vdev::VirtualDeviceWindow window(bench.generator, nullptr);
    window.PeriodsBox()->setValue(3);
    window.LoadBox()->setCurrentIndex(1);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QApplication::processEvents();
    window.Refresh();
    QApplication::processEvents();
    for (QGroupBox* group : window.findChildren<QGroupBox*>())
        EXPECT_EQ(SqueezedControls(*group), std::vector<std::string>{}) << group->title().toStdString();
    EXPECT_TRUE(std::filesystem::exists(SavePicture(window, "virtual_device")));
    // The scope's traces and texts on its screen, in either palette.
    const QImage picture = window.grab().toImage();
    const QRect scope = PictureRect(*window.Scope(), picture);
    ExpectReadable("scope trace L", MeasureContrast(picture, scope, HueNear(47, 12)));
    ExpectReadable("scope trace H", MeasureContrast(picture, scope, HueNear(198, 12)));
    ExpectReadable("scope texts", MeasureContrast(picture, scope, Whitish()));
    if (ScaleFactor() >= 2) {
        EXPECT_TRUE(HasDevicePixelDetail(picture, scope)) << "the traces are drawn in the screen's pixels";
    }
}

TEST(VirtualDeviceScreens, ALogarithmicSweepOnTheSampleClockStrip)
{
    TScreenWindow screen;
    vdev::test::BenchSignal bench;
    ASSERT_EQ(bench.Start(2600, 2048), 0);
    vdev::VirtualDeviceWindow window(bench.generator, nullptr);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // Two decades in eight steps, 150 ms each, as a sweep would take them.
    for (int i = 0; i <= 8; ++i) {
        bench.device.SetFrequency(1e5 * std::pow(10.0, i / 4.0), false);
        QTest::qWait(150);
    }
    window.Refresh();
    QApplication::processEvents();
    ASSERT_TRUE(window.Strip()->isVisible());
    EXPECT_GE(window.Strip()->Switches(), 8);
    EXPECT_TRUE(std::filesystem::exists(SavePicture(window, "virtual_device_sweep")));
    const QImage picture = window.grab().toImage();
    const QRect strip = PictureRect(*window.Strip(), picture);
    ExpectReadable("strip trace", MeasureContrast(picture, strip, HueNear(120, 15)));
    ExpectReadable("strip texts", MeasureContrast(picture, strip, Whitish()));
}

} // namespace
} // namespace tarn::test
