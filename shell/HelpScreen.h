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

// The manual's section for the control that has the focus in the main window
// or one of its detached groups; "window" when nothing there has it.
QString HelpAnchorFor(TMainForm& form, const QWidget* focus);

} // namespace tarn
