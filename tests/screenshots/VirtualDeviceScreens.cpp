// SPDX-License-Identifier: MIT
// The device program's window "Virtual generator" with a signal on both outputs.
#include "tests/screenshots/ScreenshotSupport.h"
#include "virtualdevice/ScopeView.h"
#include "virtualdevice/VirtualDeviceWindow.h"
#include "virtualdevice/tests/BenchSignal.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QSpinBox>
#include <QTest>

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

} // namespace
} // namespace tarn::test
