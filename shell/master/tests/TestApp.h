// One QApplication for a test program, made on first use, always offscreen.
#pragma once
#include <QApplication>

namespace tarn::test {

inline QApplication& TestApp()
{
    static int argc = 3;
    static char name[] = "tarn-test";
    static char platformOption[] = "-platform";
    static char platform[] = "offscreen";
    static char* argv[] = {name, platformOption, platform, nullptr};
    static QApplication app(argc, argv);
    return app;
}

} // namespace tarn::test
