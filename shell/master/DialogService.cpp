// SPDX-License-Identifier: MIT
#include "shell/master/DialogService.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>

namespace tarn {

namespace {

bool HeadlessPlatform()
{
    const QString name = QGuiApplication::platformName();
    return name == QLatin1String("offscreen") || name == QLatin1String("minimal");
}

} // namespace

TDialogResult DefaultAnswer(TDialogButtons buttons)
{
    switch (buttons) {
    case TDialogButtons::Ok:
        return TDialogResult::Ok;
    case TDialogButtons::YesNo:
        return TDialogResult::Yes;
    case TDialogButtons::YesNoAbort:
    case TDialogButtons::YesNoDefaultNo:
        return TDialogResult::No;
    }
    return TDialogResult::Closed;
}

TDialogResult TMessageBoxDialogService::Message(TDialogKind kind, TDialogButtons buttons, const std::string& text,
                                                const std::string& caption)
{
    if (HeadlessPlatform()) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return DefaultAnswer(buttons);
    }
    // Over the modal window in front, if any, so that it waits for the answer too.
    QWidget* modal = QApplication::activeModalWidget();
    QMessageBox box(modal != nullptr ? modal : parent_);
    MakeModalToOwner(box);
    switch (kind) {
    case TDialogKind::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case TDialogKind::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case TDialogKind::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case TDialogKind::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    if (!caption.empty()) {
        box.setWindowTitle(QString::fromStdString(caption));
    } else {
        box.setWindowTitle(QGuiApplication::applicationDisplayName());
    }
    box.setText(QString::fromStdString(text));
    switch (buttons) {
    case TDialogButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case TDialogButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case TDialogButtons::YesNoAbort:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Abort);
        break;
    case TDialogButtons::YesNoDefaultNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return TDialogResult::Ok;
    case QMessageBox::Yes:
        return TDialogResult::Yes;
    case QMessageBox::No:
        return TDialogResult::No;
    case QMessageBox::Abort:
        return TDialogResult::Abort;
    default:
        return TDialogResult::Closed;
    }
}

void MakeModalToOwner(QWidget& window)
{
    window.setWindowModality(window.parentWidget() != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
}

} // namespace tarn
