// SPDX-License-Identifier: MIT
#include "shell/CommBrokenScreen.h"

#include "shell/master/DialogService.h"
#include "data/StringsTarn.h"
#include "shell/master/ObjMasterTarn.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include <algorithm>

namespace tarn {

namespace {
constexpr int kRetryIntervalMs = 500;
}

TCommBrokenForm::TCommBrokenForm(TObjMasterTarn& master, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint),
      master_(master), retryTimer_(new QTimer(this)), exitButton_(new QPushButton(this))
{
    MakeModalToOwner(*this);
    setWindowTitle(QString::fromUtf8(Strings::CommBrokenCaption));

    auto* icon = new QLabel(this);
    icon->setGeometry(11, 25, 31, 31);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(31, 31));

    // A label as tall as its wrapped text: a larger font makes the window
    // taller instead of hiding the last line behind a scroll bar.
    message_ = new QLabel(QString::fromUtf8(Strings::CommBrokenMessage), this);
    message_->setWordWrap(true);
    message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    message_->setTextInteractionFlags(Qt::NoTextInteraction);
    constexpr int width = 201;
    const int height = std::max(86, message_->heightForWidth(width));
    message_->setGeometry(56, 16, width, height);

    exitButton_->setText(QString::fromUtf8(Strings::CommBrokenExit));
    const QSize button(std::max(75, exitButton_->fontMetrics().horizontalAdvance(exitButton_->text()) + 24),
                       std::max(25, exitButton_->fontMetrics().height() + 10));
    const int right = 56 + width + 16;
    exitButton_->setGeometry(right - button.width(), 16 + height + 2, button.width(), button.height());
    setFixedSize(right, exitButton_->y() + button.height() + 1);
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
