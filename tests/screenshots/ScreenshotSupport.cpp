// SPDX-License-Identifier: MIT
#include "tests/screenshots/ScreenshotSupport.h"

#include "data/SettingsTarn.h"
#include "device/DeviceAbstractionTarn.h"
#include "device/DriverAbstraction.h"
#include "shell/Main.h"
#include "shell/master/ObjMasterTarn.h"
#include "shell/master/tests/TestApp.h"
#include "panels/ThemeTarn.h"
#include "tests/screenshots/Screenshot.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QStyle>
#include <QStyleFactory>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <vector>

namespace tarn::test {

int ScaleFactor()
{
    const char* scale = std::getenv("QT_SCALE_FACTOR");
    const int n = scale != nullptr ? std::atoi(scale) : 0;
    return n > 0 ? n : 1;
}

void ScreenApp()
{
    static const bool done = [] {
        TestApp();
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QPalette palette = QApplication::style()->standardPalette();
        if (DarkScreenshots()) {
            // A dark palette as desktops ship them.
            const QColor window(45, 45, 48), base(30, 30, 32), text(235, 235, 235);
            palette = QPalette(text, window, QColor(70, 70, 74), QColor(20, 20, 22), QColor(110, 110, 116), text,
                               QColor(255, 255, 255), base, window);
            palette.setColor(QPalette::Button, QColor(55, 55, 58));
            palette.setColor(QPalette::ButtonText, text);
            palette.setColor(QPalette::Highlight, QColor(38, 110, 190));
            palette.setColor(QPalette::HighlightedText, Qt::white);
            palette.setColor(QPalette::ToolTipBase, window);
            palette.setColor(QPalette::ToolTipText, text);
            palette.setColor(QPalette::PlaceholderText, QColor(150, 150, 155));
            palette.setColor(QPalette::Link, QColor(110, 170, 255));
            for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
                palette.setColor(QPalette::Disabled, role, QColor(120, 120, 125));
        }
        QApplication::setPalette(palette);
        QDir().mkpath(ScreenshotFolder());
        QFile::remove(ScreenshotFolder() + QStringLiteral("/contrast.txt"));
        return true;
    }();
    (void)done;
}

TMeasuredContrast MeasureContrast(const QImage& picture, const QRect& rect, const TColourTest& accept)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    const QRect area = rect.intersected(image.rect());
    std::map<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[line[x] | 0xFF000000u];
    }
    TMeasuredContrast out;
    QRgb background = 0;
    int most = 0;
    for (const auto& [colour, n] : counts)
        if (n > most && !(accept && accept(QColor(colour)))) {
            most = n;
            background = colour;
        }
    std::vector<std::pair<QRgb, int>> taken;
    for (const auto& [colour, n] : counts) {
        if (colour == background || (accept && !accept(QColor(colour))))
            continue;
        out.Pixels += n;
        taken.emplace_back(colour, n);
    }
    // Small type at scale 1 is mostly blended edge pixels, all between the
    // colour and the background: the colour itself is the strongest of them
    // (a single pixel may be noise).
    QRgb foreground = background;
    double strongest = 0;
    for (const auto& [colour, n] : taken) {
        const double ratio = ContrastRatio(QColor(colour), QColor(background));
        if (n >= 2 && ratio > strongest) {
            strongest = ratio;
            foreground = colour;
        }
    }
    out.Background = QColor(background);
    out.Foreground = QColor(foreground);
    out.Ratio = out.Pixels > 0 ? ContrastRatio(out.Foreground, out.Background) : 0;
    return out;
}

TColourTest HueNear(int hue, int within)
{
    return [hue, within](const QColor& c) {
        const QColor hsv = c.toHsv();
        const int d = std::abs(hsv.hsvHue() - hue) % 360;
        return hsv.hsvHue() >= 0 && hsv.hsvSaturation() > 60 && hsv.value() > 60 && std::min(d, 360 - d) <= within;
    };
}

TColourTest Whitish()
{
    return [](const QColor& c) { return c.toHsv().hsvSaturation() < 30 && c.value() > 200; };
}

QRect PictureRect(const QWidget& widget, const QImage& windowPicture, int inset)
{
    const qreal ratio = windowPicture.devicePixelRatio();
    const QRect logical(widget.mapTo(widget.window(), QPoint(0, 0)), widget.size());
    const QRect r = logical.adjusted(inset, inset, -inset, -inset);
    return {qRound(r.x() * ratio), qRound(r.y() * ratio), qRound(r.width() * ratio), qRound(r.height() * ratio)};
}

void ExpectReadable(const std::string& element, const TMeasuredContrast& measured)
{
    QFile log(ScreenshotFolder() + QStringLiteral("/contrast.txt"));
    if (log.open(QIODevice::Append | QIODevice::Text))
        log.write(QStringLiteral("%1 %2 %3 on %4\n")
                      .arg(QString::fromStdString(element))
                      .arg(measured.Ratio, 0, 'f', 2)
                      .arg(measured.Foreground.name(), measured.Background.name())
                      .toUtf8());
    EXPECT_GT(measured.Pixels, 0) << element << ": nothing of its colour drawn";
    EXPECT_GE(measured.Ratio, kReadableContrast) << element << ": " << measured.Foreground.name().toStdString()
                                                 << " on " << measured.Background.name().toStdString();
}

bool HasDevicePixelDetail(const QImage& picture, const QRect& rect)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    const QRect area = rect.intersected(image.rect());
    for (int y = area.top() & ~1; y + 1 <= area.bottom(); y += 2) {
        const auto* a = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(image.constScanLine(y + 1));
        for (int x = area.left() & ~1; x + 1 <= area.right(); x += 2)
            if (a[x] != a[x + 1] || a[x] != b[x] || a[x] != b[x + 1])
                return true;
    }
    return false;
}

TScreenWindow::TScreenWindow()
{
    ScreenApp();
    form_ = std::make_unique<TMainForm>(dialogs_);
    TSettingsTarn& settings = form_->SettingsTarn1();
    settings.SetDefaults();
    TObjMasterTarn& master = form_->ObjMasterTarn1();
    // The demonstration device reports back what it is given, as a generator would.
    form_->DeviceAbstractionTarn1().SetDriverFactory([] { return std::make_unique<TDAO_DEMO>(); });
    master.Notify(TObjMasterCode::omConnectDevice);
    master.Notify(TObjMasterCode::omWireControls);
    settings.Load(folder_.path().toStdString());
    for (int phase = 0; phase < 10; ++phase)
        master.Notify(TObjMasterCode::omSettingsApplied, phase);
    master.Notify(TObjMasterCode::omStart);
    form_->show();
    Settle();
}

TScreenWindow::~TScreenWindow() = default;

void TScreenWindow::Settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

std::filesystem::path TScreenWindow::Save(const std::string& state)
{
    Settle();
    return SavePicture(*form_, state);
}

std::filesystem::path SavePicture(QWidget& window, const std::string& state)
{
    const std::filesystem::path dir = ScreenshotFolder().toStdString();
    std::filesystem::create_directories(dir);
    const std::filesystem::path file = dir / (state + ".png");
    window.grab().save(QString::fromStdString(file.string()));
    return file;
}

std::vector<std::string> SqueezedControls(const QWidget& group)
{
    std::vector<std::string> out;
    const QRect inside = group.rect();
    for (const QWidget* w : group.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!w->isVisible())
            continue;
        const QString name = w->accessibleName().isEmpty() ? w->metaObject()->className() : w->accessibleName();
        QSize least = w->minimumSizeHint();
        // A button needs its caption and picture with 2 pixels on each side,
        // not the roomier size its style would like.
        if (const auto* b = qobject_cast<const QAbstractButton*>(w)) {
            const int icon = b->icon().isNull() ? 0 : b->iconSize().width();
            least.setWidth(b->fontMetrics().horizontalAdvance(b->text()) + icon + 4);
        }
        if (w->width() < least.width() || w->height() < least.height())
            out.push_back(name.toStdString() + " is " + std::to_string(w->width()) + "x" + std::to_string(w->height())
                          + ", needs " + std::to_string(least.width()) + "x" + std::to_string(least.height()));
        if (!inside.contains(w->geometry()))
            out.push_back(name.toStdString() + " reaches outside " + group.objectName().toStdString());
    }
    return out;
}

} // namespace tarn::test
