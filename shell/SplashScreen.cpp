// SPDX-License-Identifier: MIT
#include "shell/SplashScreen.h"

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

// The picture lives in a static library; its resource must be pulled in by hand.
static void InitTarnResources()
{
    Q_INIT_RESOURCE(tarn);
}

namespace tarn {

namespace {
constexpr int kWidth = 390;
constexpr int kHeight = 268;
constexpr int kPictureHeight = 249;
constexpr int kStatusHeight = 20;
} // namespace

TSplashForm::TSplashForm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), picture_(new QLabel(this)), status_(new QLabel(this))
{
    InitTarnResources();
    setFixedSize(kWidth, kHeight);
    picture_->setGeometry(0, 0, kWidth, kPictureHeight);
    QPixmap pixmap(QStringLiteral(":/tarn/splash.jpg"), "JPEG");
    pictureLoaded_ = !pixmap.isNull();
    picture_->setPixmap(pixmap);
    status_->setGeometry(0, kHeight - kStatusHeight, kWidth, kStatusHeight);
    status_->setAlignment(Qt::AlignCenter);
    QFont font = status_->font();
    font.setPixelSize(16);
    status_->setFont(font);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->geometry().center() - rect().center());
    }
}

void TSplashForm::SetStatus(const QString& text)
{
    status_->setText(text);
    status_->repaint();
}

QString TSplashForm::Status() const
{
    return status_->text();
}

} // namespace tarn
