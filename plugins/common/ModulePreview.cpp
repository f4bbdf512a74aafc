// SPDX-License-Identifier: MIT
#include "ModulePreview.h"

#include <QPainter>

#include <algorithm>

namespace tarnplugin {

TModulePreview::TModulePreview(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(320, 160);
    setAccessibleName(QStringLiteral("Preview"));
    setAccessibleDescription(QStringLiteral("One period of the waveform, full code range from bottom to top"));
}

void TModulePreview::Show(std::vector<unsigned short> samples, int range)
{
    samples_ = std::move(samples);
    range_ = std::max(range, 2);
    update();
}

void TModulePreview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    painter.setPen(palette().mid().color());
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.drawLine(0, height() / 2, width(), height() / 2);
    if (samples_.empty()) {
        return;
    }
    painter.setPen(QPen(palette().highlight().color(), 1.5));
    painter.setRenderHint(QPainter::Antialiasing);
    const auto y = [this](unsigned short code) {
        return (height() - 1) * (1.0 - static_cast<double>(code) / (range_ - 1));
    };
    if (samples_.size() == 1) {
        painter.drawLine(QPointF(0, y(samples_[0])), QPointF(width() - 1, y(samples_[0])));
        return;
    }
    QPolygonF curve;
    for (std::size_t i = 0; i < samples_.size(); ++i) {
        curve << QPointF(static_cast<double>(i) * (width() - 1) / static_cast<double>(samples_.size() - 1),
                         y(samples_[i]));
    }
    painter.drawPolyline(curve);
}

QString ErrorTextStyle(const QWidget& widget)
{
    const bool dark = widget.palette().color(QPalette::Window).lightness() < 128;
    return dark ? QStringLiteral("color: #ff7070") : QStringLiteral("color: #b00000");
}

} // namespace tarnplugin
