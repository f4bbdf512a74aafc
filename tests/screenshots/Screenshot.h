// SPDX-License-Identifier: MIT
// Where the screenshot states go: <build>/screenshots/scale<N>/<state>.png,
// N taken from QT_SCALE_FACTOR (1 without it).
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

// Renders widget and writes it as state.png; returns the image (null on failure).
inline QImage SaveScreenshot(QWidget& widget, const QString& state)
{
    const QString folder = QStringLiteral(TARN_SCREENSHOT_DIR "/scale%1").arg(ScreenshotScale());
    QDir().mkpath(folder);
    QImage image = widget.grab().toImage();
    if (!image.save(folder + QLatin1Char('/') + state + QStringLiteral(".png"))) {
        return {};
    }
    return image;
}

} // namespace tarn::test
