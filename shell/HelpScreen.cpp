// SPDX-License-Identifier: MIT
#include "shell/HelpScreen.h"

#include "data/StringsTarn.h"
#include "panels/WaveListBoxTarn.h"
#include "panels/WaveScreenTarn.h"
#include "shell/Main.h"
#include "shell/SweepScreen.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace tarn {

THelpForm::THelpForm(QWidget* parent)
    : QWidget(parent, Qt::Window), browser_(new QTextBrowser(this)),
      opener_([](const QUrl& url) { QDesktopServices::openUrl(url); })
{
    setWindowTitle(QString::fromUtf8(Strings::MenuHelpItem));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    // Links are followed here: only a link out of the manual leaves the program.
    browser_->setOpenLinks(false);
    browser_->setAccessibleName(windowTitle());
    connect(browser_, &QTextBrowser::anchorClicked, this, &THelpForm::LinkClicked);
    resize(760, 600);
}

void THelpForm::Open(const QString& manualPath, const QString& anchor)
{
    const QString path = QFileInfo(manualPath).absoluteFilePath();
    if (!QFileInfo(path).isFile()) {
        loaded_.clear();
        browser_->setPlainText(QString::fromUtf8(Strings::HelpMissing).arg(path));
    } else {
        QUrl url = QUrl::fromLocalFile(path);
        if (!anchor.isEmpty())
            url.setFragment(anchor);
        // Loading again only to move to an anchor would lose the history.
        if (loaded_ == path && !anchor.isEmpty())
            browser_->scrollToAnchor(anchor);
        else
            browser_->setSource(url);
        loaded_ = path;
    }
    show();
    raise();
    activateWindow();
}

void THelpForm::LinkClicked(const QUrl& url)
{
    const QUrl target = browser_->source().resolved(url);
    if (target.isLocalFile() || target.scheme().isEmpty()) {
        browser_->setSource(target);
        return;
    }
    opener_(target);
}

QString HelpAnchorFor(TMainForm& form, const QWidget* focus)
{
    if (focus == nullptr)
        return QStringLiteral("window");
    if (qobject_cast<const QMenuBar*>(focus) != nullptr || qobject_cast<const QMenu*>(focus) != nullptr)
        return QStringLiteral("menus");
    if (focus == &form.WaveScreenTarn1())
        return QStringLiteral("preview");
    for (const QWidget* w = focus; w != nullptr; w = w->parentWidget()) {
        if (qobject_cast<const TSweepForm*>(w) != nullptr)
            return QStringLiteral("sweep");
    }
    struct Section {
        TMainForm::TGroup group;
        const char* anchor;
    };
    static constexpr Section kSections[] = {
        {TMainForm::GroupOutputL, "outputs"}, {TMainForm::GroupOutputH, "outputs"},
        {TMainForm::GroupWaveform, "waveform"}, {TMainForm::GroupArm, "arm"},
        {TMainForm::GroupTrigger, "trigger"},  {TMainForm::GroupMode, "mode"},
        {TMainForm::GroupFrequency, "frequency"},
    };
    for (const Section& s : kSections) {
        const QGroupBox* box = form.Group(s.group);
        if (box != nullptr && (box == focus || box->isAncestorOf(focus)))
            return QString::fromLatin1(s.anchor);
    }
    return QStringLiteral("window");
}

} // namespace tarn
