// SPDX-License-Identifier: MIT
#include "virtualdevice/FrequencyStrip.h"

#include "virtualdevice/DeviceTexts.h"
#include "virtualdevice/ScopeView.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vdev {
namespace {

const QColor kTrace(120, 235, 120);

double SecondsBetween(vg::Clock::time_point earlier, vg::Clock::time_point later)
{
    return std::chrono::duration<double>(later - earlier).count();
}

} // namespace

FrequencyStrip::FrequencyStrip(QWidget* parent) : QWidget(parent)
{
    setAccessibleName(QString::fromUtf8(Texts::Strip));
    setToolTip(QString::fromUtf8(Texts::StripHint));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    Show({}, vg::Clock::now());
}

QSize FrequencyStrip::sizeHint() const
{
    return {560, fontMetrics().height() * 7};
}

QSize FrequencyStrip::minimumSizeHint() const
{
    return {320, fontMetrics().height() * 7};
}

void FrequencyStrip::Show(std::vector<vg::ClockStep> steps, vg::Clock::time_point now)
{
    segments_.clear();
    switches_ = 0;
    double lo = 0.0, hi = 0.0;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const double from = std::min(SecondsBetween(steps[i].at, now), kSeconds);
        const double to = i + 1 < steps.size() ? std::max(SecondsBetween(steps[i + 1].at, now), 0.0) : 0.0;
        const double rate = steps[i].rate;
        if (!(rate > 0.0) || !std::isfinite(rate) || from < to)
            continue;
        if (!segments_.empty() && SecondsBetween(steps[i].at, now) < kSeconds)
            ++switches_;
        segments_.push_back({from, to, rate});
        lo = lo == 0.0 ? rate : std::min(lo, rate);
        hi = std::max(hi, rate);
    }
    if (lo > 0.0) {
        low_ = std::pow(10.0, std::floor(std::log10(lo) + 1e-9));
        high_ = std::pow(10.0, std::ceil(std::log10(hi) - 1e-9));
        if (high_ <= low_)
            high_ = low_ * 10.0;
    }
    // A screen reader hears what the picture shows.
    const QString current =
        segments_.empty() ? QString::fromUtf8(Texts::None) : Engineering(segments_.back().rate, "Hz");
    setAccessibleDescription(QStringLiteral("Sample clock %1; %2 switches in the last %3 s, axis %4 to %5")
                                 .arg(current)
                                 .arg(switches_)
                                 .arg(kSeconds)
                                 .arg(Engineering(low_, "Hz"), Engineering(high_, "Hz")));
    update();
}

QRectF FrequencyStrip::PlotArea() const
{
    const QFontMetrics m = fontMetrics();
    const double left = m.horizontalAdvance(QStringLiteral("100 MHz")) + 10;
    return QRectF(rect()).adjusted(left, m.height() / 2.0 + 2, -8, -(m.height() + 6));
}

QPointF FrequencyStrip::At(double secondsAgo, double rate) const
{
    const QRectF a = PlotArea();
    const double x = a.right() - secondsAgo / kSeconds * a.width();
    const double share = std::log10(rate / low_) / std::log10(high_ / low_);
    return {x, a.bottom() - std::clamp(share, 0.0, 1.0) * a.height()};
}

void FrequencyStrip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), kScreenBackground);
    const QRectF a = PlotArea();
    const QFontMetrics m = fontMetrics();
    // A line at every decade, a label where there is room for one, seconds below.
    const double decadeHeight = At(0, low_).y() - At(0, low_ * 10.0).y();
    const int every = std::max(1, static_cast<int>(std::ceil(m.height() / std::max(decadeHeight, 1.0))));
    int index = 0;
    for (double decade = low_; decade <= high_ * 1.0001; decade *= 10.0, ++index) {
        const double y = At(0, decade).y();
        p.setPen(QPen(kScreenGrid, 1.0));
        p.drawLine(QPointF(a.left(), y), QPointF(a.right(), y));
        if (index % every != 0)
            continue;
        p.setPen(Qt::white);
        p.drawText(QRectF(0, y - m.height() / 2.0, a.left() - 6, m.height()), Qt::AlignRight | Qt::AlignVCenter,
                   Engineering(decade, "Hz", 3));
    }
    for (int s = 0; s <= int(kSeconds); s += 2) {
        const double x = At(s, low_).x();
        p.setPen(QPen(kScreenGrid, 1.0, s == 0 ? Qt::SolidLine : Qt::DotLine));
        p.drawLine(QPointF(x, a.top()), QPointF(x, a.bottom()));
        p.setPen(Qt::white);
        const QString label = s == 0 ? QStringLiteral("now") : QStringLiteral("-%1 s").arg(s);
        const double w = m.horizontalAdvance(label);
        p.drawText(
            QPointF(std::clamp(x - w / 2, a.left() - w / 2, double(width()) - w - 2), a.bottom() + m.ascent() + 3),
            label);
    }
    p.setPen(QPen(kTrace, 2.0));
    QPointF last;
    for (std::size_t i = 0; i < segments_.size(); ++i) {
        const Segment& s = segments_[i];
        const QPointF from = At(s.from, s.rate), to = At(s.to, s.rate);
        if (i > 0)
            p.drawLine(last, from); // the switch itself
        p.drawLine(from, to);
        last = to;
    }
}

} // namespace vdev
