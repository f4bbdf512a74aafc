// SPDX-License-Identifier: MIT
#include "shell/CommBrokenScreen.h"

#include "data/StringsTarn.h"
#include "shell/master/ObjMasterTarn.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

namespace tarn {

namespace {
constexpr int kRetryIntervalMs = 500;
}

TCommBrokenForm::TCommBrokenForm(TObjMasterTarn& master, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint),
      master_(master), retryTimer_(new QTimer(this)), exitButton_(new QPushButton(this))
{
    setWindowTitle(QString::fromUtf8(Strings::CommBrokenCaption));
    setFixedSize(273, 130);

    auto* icon = new QLabel(this);
    icon->setGeometry(11, 25, 31, 31);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(31, 31));

    auto* message = new QPlainTextEdit(this);
    message->setGeometry(56, 16, 201, 86);
    message->setFrameStyle(QFrame::NoFrame);
    message->setReadOnly(true);
    message->setFocusPolicy(Qt::NoFocus);
    message->viewport()->setAutoFillBackground(false);
    message->setStyleSheet(QStringLiteral("background: transparent;"));
    message->setPlainText(QString::fromUtf8(Strings::CommBrokenMessage));
    // Read as the window's message: its text is the value.
    message->setAccessibleName(windowTitle());

    exitButton_->setGeometry(198, 104, 75, 25);
    exitButton_->setText(QString::fromUtf8(Strings::CommBrokenExit));
    connect(exitButton_, &QPushButton::clicked, this, &QDialog::reject);

    retryTimer_->setInterval(kRetryIntervalMs);
    connect(retryTimer_, &QTimer::timeout, this, &TCommBrokenForm::RetryTick);
    retryTimer_->start();
}

bool TCommBrokenForm::RetryActive() const
{
    return retryTimer_->isActive();
}

void TCommBrokenForm::SetRetryInterval(int milliseconds)
{
    retryTimer_->setInterval(milliseconds);
}

bool TCommBrokenForm::Execute()
{
    reconnected_ = false;
    exec();
    return reconnected_;
}

void TCommBrokenForm::RetryTick()
{
    // An attempt may outlast the interval; ticks must not pile up behind it.
    if (attemptRunning_) {
        return;
    }
    attemptRunning_ = true;
    bool r = false;
    master_.Notify(TObjMasterCode::omReconnect, 0, &r);
    attemptRunning_ = false;
    if (r) {
        retryTimer_->stop();
        reconnected_ = true;
        accept();
    }
}

} // namespace tarn
