// One QApplication for a test program, made on first use, always offscreen.
// It is destroyed when the tests end rather than among the exit handlers: by
// then some of Qt's own static data is gone, and the application's input
// devices crash on their way out.
#pragma once
#include <QApplication>

#include <gtest/gtest.h>

namespace tarn::test {

inline QApplication& TestApp()
{
    static QApplication* app = [] {
        static int argc = 3;
        static char name[] = "tarn-test";
        static char platformOption[] = "-platform";
        static char platform[] = "offscreen";
        static char* argv[] = {name, platformOption, platform, nullptr};
        auto* created = new QApplication(argc, argv);
        class TEnd : public ::testing::Environment {
        public:
            explicit TEnd(QApplication* application) : application_(application) {}
            void TearDown() override { delete application_; }

        private:
            QApplication* application_;
        };
        ::testing::AddGlobalTestEnvironment(new TEnd(created));
        return created;
    }();
    return *app;
}

} // namespace tarn::test
