// SPDX-License-Identifier: MIT
#include "shell/HelpScreen.h"

#include "data/StringsTarn.h"
#include "panels/WaveListBoxTarn.h"
#include "panels/WaveScreenTarn.h"
#include "shell/AboutScreen.h"
#include "shell/CommBrokenScreen.h"
#include "shell/Main.h"
#include "shell/NewWaveScreen.h"
#include "shell/OptionsScreen.h"
#include "shell/SweepScreen.h"
#include "shell/WavePropertiesScreen.h"

#include <QApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMessageBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace tarn {

namespace {

// Pictures wider than the page come narrower, so that none is cut and no
// sideways scrolling is needed.
class TManualBrowser final : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;
    QVariant loadResource(int type, const QUrl& name) override
    {
        QVariant resource = QTextBrowser::loadResource(type, name);
        if (type != QTextDocument::ImageResource)
            return resource;
        QImage image = resource.canConvert<QImage>() ? resource.value<QImage>() : QImage();
        if (image.isNull())
            image = QImage::fromData(resource.toByteArray());
        // The room beside a vertical scroll bar, which a long page shows.
        const qreal room = width() - 2 * frameWidth() - style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this)
                           - 2 * document()->documentMargin() - 4;
        if (image.isNull() || room < 32 || image.width() / image.devicePixelRatio() <= room)
            return resource;
        QImage fitted = image.scaledToWidth(qRound(room * devicePixelRatioF()), Qt::SmoothTransformation);
        fitted.setDevicePixelRatio(devicePixelRatioF());
        return fitted;
    }
};

} // namespace

THelpForm::THelpForm(QWidget* parent)
    : QWidget(parent, Qt::Window), browser_(new TManualBrowser(this)),
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
    // Shown first: the pictures are fitted to the page's width as it loads.
    show();
    const QString path = QFileInfo(manualPath).absoluteFilePath();
    if (!QFileInfo(path).isFile()) {
        loaded_.clear();
        browser_->setPlainText(QString::fromUtf8(Strings::HelpMissing).arg(path));
    } else {
        QUrl url = QUrl::fromLocalFile(path);
        if (!anchor.isEmpty())
            url.setFragment(anchor);
        // Loading again only to move to an anchor would lose the history.
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

namespace {

// The section of the dialog that holds w, or of the dialog a message stands
// over; empty outside dialogs.
QString DialogAnchor(const QWidget* w)
{
    for (; w != nullptr; w = w->parentWidget()) {
        w = w->window();
        if (qobject_cast<const TOptionsForm*>(w) != nullptr)
            return QStringLiteral("options");
        if (qobject_cast<const TAboutForm*>(w) != nullptr)
            return QStringLiteral("about");
        if (qobject_cast<const TNewWaveForm*>(w) != nullptr)
            return QStringLiteral("newwave");
        if (qobject_cast<const TWavePropertiesForm*>(w) != nullptr)
            return QStringLiteral("properties");
        if (qobject_cast<const TCommBrokenForm*>(w) != nullptr)
            return QStringLiteral("commbroken");
        // Any other dialog is a module's own window; a message says nothing by itself.
        if (qobject_cast<const QDialog*>(w) != nullptr && qobject_cast<const QMessageBox*>(w) == nullptr)
            return QStringLiteral("modules");
    }
    return {};
}

} // namespace

bool THelpKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    // Only while a modal window holds up the main window's own F1.
    if (event->type() == QEvent::KeyPress && QApplication::activeModalWidget() != nullptr && watched->isWidgetType()
        && qobject_cast<THelpForm*>(static_cast<QWidget*>(watched)->window()) == nullptr) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1 && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            open_(static_cast<QWidget*>(watched));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

QString HelpAnchorFor(TMainForm& form, const QWidget* focus)
{
    if (focus == nullptr)
        return QStringLiteral("window");
    if (const QString dialog = DialogAnchor(focus); !dialog.isEmpty())
        return dialog;
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
        {TMainForm::GroupOutputL, "outputs"},     {TMainForm::GroupOutputH, "outputs"},
        {TMainForm::GroupWaveform, "waveform"},   {TMainForm::GroupArm, "arm"},
        {TMainForm::GroupTrigger, "trigger"},     {TMainForm::GroupMode, "mode"},
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
