// SPDX-License-Identifier: MIT
// The user manual in a window of the program: it needs no browser or desktop
// launcher, and F1 opens it at the section of the control that has the focus.
#pragma once
#include <QUrl>
#include <QWidget>

#include <functional>

class QTextBrowser;

namespace tarn {

class TMainForm;

class THelpForm : public QWidget {
    Q_OBJECT
public:
    using TOpener = std::function<void(const QUrl&)>;
    explicit THelpForm(QWidget* parent);
    // Shows the manual at the anchor (empty: its top) and raises the window.
    void Open(const QString& manualPath, const QString& anchor);
    QTextBrowser* Browser() const { return browser_; }
    // Where a link out of the manual goes; the desktop's handler unless replaced.
    void SetExternalOpener(TOpener opener) { opener_ = std::move(opener); }

private:
    void LinkClicked(const QUrl& url);

    QTextBrowser* browser_;
    QString loaded_;
    TOpener opener_;
};

// The manual's section for the control that has the focus: in a dialog (or a
// message over it) the dialog's section, in the main window or one of its
// detached groups the group's; "window" when nothing there has it.
QString HelpAnchorFor(TMainForm& form, const QWidget* focus);

// F1 in a modal window of the program (a dialog, a message, a module's
// window), where the main window's shortcut cannot reach: runs open with
// the widget that took the key, to show the manual at that window's section.
class THelpKeyFilter : public QObject {
public:
    THelpKeyFilter(QObject* parent, std::function<void(QWidget*)> open) : QObject(parent), open_(std::move(open)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(QWidget*)> open_;
};

} // namespace tarn
