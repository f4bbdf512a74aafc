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
    // Never destroyed: at exit Qt's own globals made after it (the input
    // devices of simulated key clicks) are gone before it would be.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

} // namespace tarn::test
