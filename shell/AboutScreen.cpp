// SPDX-License-Identifier: MIT
#include "shell/AboutScreen.h"

#include "shell/master/DialogService.h"
#include "access/AccessibleTarn.h"
#include "data/StringsTarn.h"
#include "device/DriverAbstraction.h"
#include "panels/ThemeTarn.h"

#include <QApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolButton>
#include <QUrl>

#ifndef TARN_VERSION_MAJOR
#error "TARN_VERSION_MAJOR and TARN_VERSION_MINOR come from the project's version in CMake"
#endif

namespace tarn {

namespace {

constexpr int kLeft = 12;
constexpr int kFirstRow = 10;
constexpr int kRowStep = 18;
constexpr int kBannerHeight = 52;

QString Text(const char* text)
{
    return QString::fromUtf8(text);
}

QString VersionText(int major, int minor)
{
    return QString::asprintf(Strings::VersionFormat, major, minor);
}

} // namespace

QString DriverVersionText(std::uint8_t major, std::uint8_t minor)
{
    if (major == 0 && minor == 0)
        return Text(Strings::NotAvailable);
    return VersionText(major, minor);
}

QString ApplicationVersionText()
{
    // Both parts as bytes, as a version resource would hold them.
    return VersionText(TARN_VERSION_MAJOR & 0xFF, TARN_VERSION_MINOR & 0xFF);
}

QString SerialNumberText(std::int32_t serial)
{
    if (serial == 0)
        return Text(Strings::NotAvailable);
    return QString::asprintf(Strings::SerialNumberFormat, static_cast<int>(serial));
}

TLinkLabel::TLinkLabel(QWidget* parent) : QLabel(parent)
{
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    // Blue, as light or dark as the window behind it needs.
    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, PanelColours(QApplication::palette()).Link);
    setPalette(blue);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick)
        OnClick();
    QLabel::mouseReleaseEvent(event);
}

void TLinkLabel::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if ((key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) && OnClick) {
        OnClick();
        return;
    }
    QLabel::keyPressEvent(event);
}

TAboutForm::TAboutForm(QWidget* owner, TDriverAbstraction& driver)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowCloseButtonHint)
{
    MakeModalToOwner(*this);
    setFixedSize(kClientWidth, kClientHeight);
    for (int row = 0; row < kRowCount; ++row) {
        captions_[row] = new QLabel(this);
        QFont bold = captions_[row]->font();
        bold.setBold(true);
        captions_[row]->setFont(bold);
        captions_[row]->move(kLeft, kFirstRow + row * kRowStep);
        values_[row] = row >= RowWeb ? new TLinkLabel(this) : new QLabel(this);
        values_[row]->move(kLeft, kFirstRow + row * kRowStep);
    }
    static_cast<TLinkLabel*>(values_[RowWeb])->OnClick = [this] { Label6Click(); };
    static_cast<TLinkLabel*>(values_[RowSupport])->OnClick = [this] { Label8Click(); };

    logo_ = new QLabel(this);
    logo_->setPixmap(QPixmap(QStringLiteral(":/tarn/about-logo.png")));
    logo_->setGeometry(kClientWidth - 75 - 8, 8, 75, 28);
    banner_ = new QLabel(this);
    // The 400-pixel picture, cut at the window's right edge.
    banner_->setPixmap(QPixmap(QStringLiteral(":/tarn/about-banner.png")).copy(0, 0, kClientWidth, kBannerHeight));
    banner_->setGeometry(0, kClientHeight - kBannerHeight, kClientWidth, kBannerHeight);
    ok_ = new QToolButton(this);
    ok_->setAutoRaise(true);
    QFont bold = ok_->font();
    bold.setBold(true);
    ok_->setFont(bold);
    ok_->setText(Text(Strings::ButtonOK));
    ok_->setStyleSheet(QStringLiteral("QToolButton { color: white; }"));
    ok_->setGeometry(kClientWidth - 8 - 48, kClientHeight - kBannerHeight + (kBannerHeight - 28) / 2, 48, 28);
    connect(ok_, &QToolButton::clicked, this, &QDialog::accept);
    FormCreate(driver);
    if (owner != nullptr)
        move(owner->window()->frameGeometry().center() - rect().center());
}

void TAboutForm::FormCreate(TDriverAbstraction& driver)
{
    std::uint8_t version[2] = {0, 0};
    driver.GetDriverVersion(version);
    values_[RowDriver]->setText(DriverVersionText(version[0], version[1]));
    values_[RowApplication]->setText(ApplicationVersionText());
    values_[RowSerial]->setText(SerialNumberText(driver.GetSerialNumber()));

    setWindowTitle(Text(Strings::AboutCaption));
    captions_[RowApplication]->setText(Text(Strings::AboutApplicationVersion));
    captions_[RowDriver]->setText(Text(Strings::AboutDriverVersion));
    captions_[RowWeb]->setText(Text(Strings::AboutFindUs));
    captions_[RowSupport]->setText(Text(Strings::AboutContactUs));
    captions_[RowSerial]->setText(Text(Strings::AboutSerialNumber));
    values_[RowWeb]->setText(Text(Strings::AboutWebAddress));
    values_[RowSupport]->setText(Text(Strings::AboutSupportAddress));

    // Each value starts where its caption ends.
    for (int row = 0; row < kRowCount; ++row) {
        captions_[row]->adjustSize();
        values_[row]->adjustSize();
        values_[row]->move(captions_[row]->x() + captions_[row]->width(), values_[row]->y());
        values_[row]->setAccessibleDescription(QString());
        NameByValue(*values_[row], captions_[row]->text().trimmed());
    }
    logo_->setAccessibleName(Text(Strings::AboutCaption));
    banner_->setAccessibleName(Text(Strings::AboutCaption));
}

void TAboutForm::Label6Click()
{
    QDesktopServices::openUrl(QUrl(Text(Strings::AboutWebAddress)));
}

void TAboutForm::Label8Click()
{
    QDesktopServices::openUrl(QUrl(Text(Strings::AboutMailtoPrefix) + Text(Strings::AboutSupportAddress)));
}

} // namespace tarn
