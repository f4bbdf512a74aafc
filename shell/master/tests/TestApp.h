// SPDX-License-Identifier: MIT
// One QApplication for a test program, made on first use, always offscreen.
#pragma once
#include <QApplication>
#include <QInputDevice>

namespace tarn::test {

inline QApplication& TestApp()
{
    static int argc = 3;
    static char name[] = "tarn-test";
    static char platformOption[] = "-platform";
    static char platform[] = "offscreen";
    static char* argv[] = {name, platformOption, platform, nullptr};
    // Qt's list of input devices must outlive the application: QTest's key
    // events make a keyboard device that the application deletes at exit, and
    // a list first made after the application would be gone by then.
    static const bool deviceListFirst = (QInputDevice::devices(), true);
    static QApplication app(argc, argv);
    (void)deviceListFirst;
    return app;
}

} // namespace tarn::test
