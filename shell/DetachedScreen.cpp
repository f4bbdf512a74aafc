// SPDX-License-Identifier: MIT
#include "shell/DetachedScreen.h"

#include "shell/AccessibleParts.h"

#include "data/StringsTarn.h"
#include "shell/KeyboardTarn.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLayout>
#include <QMenuBar>

#include <algorithm>

namespace tarn {

namespace {

QString Text(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

TFormTransparency::TFormTransparency(QWidget& owner, bool available)
    : QObject(&owner), owner_(owner), available_(available)
{
}

bool TFormTransparency::PlatformHasWindowOpacity()
{
    // Only these platforms make a whole window translucent; Wayland, the
    // offscreen and the frame-buffer platforms would ignore the request.
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform == QLatin1String("windows")
           || platform == QLatin1String("cocoa");
}

void TFormTransparency::SetTransparency(int value)
{
    if (!available_)
        return;
    value = std::clamp(value, 0, 255);
    owner_.setWindowOpacity(value / 255.0);
    transparency_ = value;
}

TDetachedForm::TDetachedForm(QWidget& mainWindow, bool opacityAvailable)
    : QMainWindow(&mainWindow, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                                   | Qt::WindowStaysOnTopHint),
      mainWindow_(mainWindow), transparency_(new TFormTransparency(*this, opacityAvailable))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("DetachedForm"));
    mainWindowMenu_ = menuBar()->addMenu(QString());
    show1_ = mainWindowMenu_->addAction(QString(), this, &TDetachedForm::Show1Click);
    hide1_ = mainWindowMenu_->addAction(QString(), this, &TDetachedForm::Hide1Click);
    settingsMenu_ = menuBar()->addMenu(QString());
    transparencyMenu_ = settingsMenu_->addMenu(QString());
    auto* radio = new QActionGroup(this);
    for (std::size_t i = 0; i < transparencyItems_.size(); ++i) {
        QAction* item = transparencyMenu_->addAction(QString());
        item->setCheckable(true);
        radio->addAction(item);
        connect(item, &QAction::triggered, this, [this, i] { SetTransparencyIndex(static_cast<int>(i)); });
        transparencyItems_[i] = item;
    }
    alwaysOnTop1_ = settingsMenu_->addAction(QString(), this, &TDetachedForm::AlwaysOnTop1Click);
    alwaysOnTop1_->setCheckable(true);
    FormCreate();
    NameWindowParts(*this);
    UpdateChecks();
}

TDetachedForm::~TDetachedForm()
{
    GiveBack();
}

void TDetachedForm::FormCreate()
{
    // With mnemonics, unique within each menu and the bar.
    const auto caption = [](const char* text, char letter) { return WithMnemonic(Text(text), QLatin1Char(letter)); };
    mainWindowMenu_->setTitle(caption(Strings::DetachedMainWindow, 'M'));
    show1_->setText(caption(Strings::DetachedShow, 'S'));
    hide1_->setText(caption(Strings::DetachedHide, 'H'));
    settingsMenu_->setTitle(caption(Strings::DetachedSettings, 'S'));
    transparencyMenu_->setTitle(caption(Strings::DetachedTransparency, 'T'));
    const char* names[] = {Strings::TransparencyNone, Strings::TransparencyLow, Strings::TransparencyMedium,
                           Strings::TransparencyHigh};
    for (std::size_t i = 0; i < transparencyItems_.size(); ++i)
        transparencyItems_[i]->setText(caption(names[i], names[i][0]));
    alwaysOnTop1_->setText(caption(Strings::DetachedAlwaysOnTop, 'A'));
}

void TDetachedForm::Detach(QWidget& control)
{
    oldParent_ = control.parentWidget();
    oldPlace_ = control.pos();
    hostScreen_ = control.mapToGlobal(QPoint(0, 0));
    const QSize size = control.size();
    hosted_ = &control;
    auto* client = new QWidget(this);
    client->setFixedSize(size);
    control.setParent(client);
    control.move(0, 0);
    control.show();
    setCentralWidget(client);
    QString caption = control.accessibleName();
    if (auto* group = qobject_cast<QGroupBox*>(&control))
        caption = group->title();
    setWindowTitle(caption + Text(Strings::DetachedCaptionSeparator) + mainWindow_.windowTitle());
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    layout()->activate();
    adjustSize();
    KeepHostedInPlace();
    UpdateChecks();
}

void TDetachedForm::KeepHostedInPlace()
{
    // Move by what the control moved, so that it stays where it was on the screen.
    if (hosted_ != nullptr)
        move(pos() + hostScreen_ - hosted_->mapToGlobal(QPoint(0, 0)));
}

void TDetachedForm::GiveBack()
{
    if (hosted_ == nullptr)
        return;
    QWidget* control = hosted_;
    hosted_ = nullptr;
    if (oldParent_ == nullptr)
        return;
    control->setParent(oldParent_);
    control->move(oldPlace_);
    control->show();
}

void TDetachedForm::closeEvent(QCloseEvent* event)
{
    GiveBack();
    // The last window still hosting a group brings back a hidden main window.
    int others = 0;
    for (const TDetachedForm* form : mainWindow_.findChildren<TDetachedForm*>(Qt::FindDirectChildrenOnly)) {
        if (form != this && form->Hosted() != nullptr)
            ++others;
    }
    if (mainWindow_.isHidden() && others == 0)
        mainWindow_.show();
    event->accept();
}

void TDetachedForm::Show1Click()
{
    mainWindow_.show();
}

void TDetachedForm::Hide1Click()
{
    mainWindow_.hide();
}

void TDetachedForm::SetTransparencyIndex(int index)
{
    transparency_->SetTransparency(kTransparencies[static_cast<std::size_t>(index)]);
    transparencyIndex_ = index;
    UpdateChecks();
}

void TDetachedForm::AlwaysOnTop1Click()
{
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, !(windowFlags() & Qt::WindowStaysOnTopHint));
    // Changing the flags takes the window off the screen.
    if (visible)
        show();
    UpdateChecks();
}

void TDetachedForm::UpdateChecks()
{
    for (std::size_t i = 0; i < transparencyItems_.size(); ++i)
        transparencyItems_[i]->setChecked(static_cast<int>(i) == transparencyIndex_);
    alwaysOnTop1_->setChecked(windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

} // namespace tarn
