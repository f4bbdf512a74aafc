// SPDX-License-Identifier: MIT
// Keys that open a modal window, which is closed again with Escape.
#pragma once
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <string>

namespace tarn::test {

// Runs press, which may open a modal window; the first one to come up gets
// Escape as a key of its window. Gives that window's class, or "" for none.
inline std::string ModalClosedByEscape(const std::function<void()>& press)
{
    std::string shown;
    QTimer closer;
    closer.setInterval(5);
    QObject::connect(&closer, &QTimer::timeout, [&shown] {
        QWidget* modal = QApplication::activeModalWidget();
        if (shown.empty() && modal != nullptr && modal->windowHandle() != nullptr) {
            shown = modal->metaObject()->className();
            QTest::keyClick(modal->windowHandle(), Qt::Key_Escape);
        }
    });
    closer.start();
    press();
    QApplication::processEvents();
    return shown;
}

// The headless platform gives the focus back to no window when a modal or
// pop-up window closes, where a desktop gives it back to the window below.
inline void RefocusAfterModal(QWidget& window)
{
    if (QGuiApplication::focusWindow() == nullptr && window.isVisible()) {
        window.activateWindow();
        (void)QTest::qWaitForWindowActive(&window);
    }
}

} // namespace tarn::test
