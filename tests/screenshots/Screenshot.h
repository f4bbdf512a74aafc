// SPDX-License-Identifier: MIT
// Where the screenshot states go: <build>/screenshots/scale<N>/<state>.png,
// N taken from QT_SCALE_FACTOR (1 without it), or under screenshots/dark/
// when TARN_TEST_PALETTE is "dark".
#pragma once
#include <QDir>
#include <QImage>
#include <QString>
#include <QWidget>

#include <cmath>

namespace tarn::test {

inline int ScreenshotScale()
{
    const double scale = qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble();
    return scale >= 1 ? static_cast<int>(std::lround(scale)) : 1;
}

inline bool DarkScreenshots()
{
    return qEnvironmentVariable("TARN_TEST_PALETTE") == QLatin1String("dark");
}

inline QString ScreenshotFolder()
{
    return QStringLiteral(TARN_SCREENSHOT_DIR "%1/scale%2")
        .arg(DarkScreenshots() ? QStringLiteral("/dark") : QString())
        .arg(ScreenshotScale());
}

// Renders widget and writes it as state.png; returns the image (null on failure).
inline QImage SaveScreenshot(QWidget& widget, const QString& state)
{
    const QString folder = ScreenshotFolder();
    QDir().mkpath(folder);
    QImage image = widget.grab().toImage();
    if (!image.save(folder + QLatin1Char('/') + state + QStringLiteral(".png"))) {
        return {};
    }
    return image;
}

} // namespace tarn::test
