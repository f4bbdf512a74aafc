// SPDX-License-Identifier: MIT
// Shown while the link to the device is broken; asks the device abstraction
// every 500 ms to re-initialise the device and closes itself on success.
#pragma once
#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;

namespace tarn {

class TObjMasterTarn;

class TCommBrokenForm : public QDialog {
    Q_OBJECT
public:
    TCommBrokenForm(TObjMasterTarn& master, QWidget* parent);
    // Shows the window modally; true when the device came back.
    bool Execute();
    QPushButton* ExitButton() const { return exitButton_; }
    QLabel* Message() const { return message_; }
    bool RetryActive() const;
    // Tests: retries at a shorter interval than the user's 500 ms.
    void SetRetryInterval(int milliseconds);

private:
    void RetryTick();

    TObjMasterTarn& master_;
    QTimer* retryTimer_;
    QPushButton* exitButton_;
    QLabel* message_ = nullptr;
    bool reconnected_ = false;
    bool attemptRunning_ = false;
};

} // namespace tarn
