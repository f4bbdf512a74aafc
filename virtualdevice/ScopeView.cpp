// SPDX-License-Identifier: MIT
#include "virtualdevice/ScopeView.h"

#include "virtualdevice/DeviceTexts.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vdev {
namespace {

const QColor kColourL(250, 210, 60);
const QColor kColourH(80, 200, 250);
constexpr double kSmallestVoltsPerDivision = 0.01;

double Peak(const std::vector<vg::EnvelopeColumn>& columns)
{
    double peak = 0.0;
    for (const auto& c : columns)
        if (std::isfinite(c.low) && std::isfinite(c.high))
            peak = std::max({peak, std::abs(c.low), std::abs(c.high)});
    return peak;
}

} // namespace

QString Engineering(double value, const char* unit, int digits, bool readout)
{
    static const struct {
        double scale;
        const char* prefix;
    } prefixes[] = {{1e9, "G"}, {1e6, "M"}, {1e3, "k"}, {1.0, ""}, {1e-3, "m"}, {1e-6, "\u00B5"}, {1e-9, "n"}};
    const double magnitude = std::abs(value);
    if (magnitude == 0.0)
        return QStringLiteral("0 ") + QString::fromUtf8(unit);
    for (const auto& p : prefixes) {
        if (magnitude < p.scale * 0.99995 && p.scale != 1e-9)
            continue;
        const double scaled = value / p.scale;
        const int whole = static_cast<int>(std::floor(std::log10(std::max(std::abs(scaled), 1e-300))));
        int decimals = std::max(0, digits - 1 - whole);
        // 0.9999996 rounds up to 1.00000, one decimal fewer.
        if (std::abs(std::round(scaled * std::pow(10.0, decimals))) >= std::pow(10.0, digits))
            decimals = std::max(0, decimals - 1);
        QString number = QString::number(scaled, 'f', decimals);
        if (!readout && number.contains(QLatin1Char('.'))) {
            while (number.endsWith(QLatin1Char('0')))
                number.chop(1);
            if (number.endsWith(QLatin1Char('.')))
                number.chop(1);
        }
        return QStringLiteral("%1 %2%3").arg(number, QString::fromUtf8(p.prefix), QString::fromUtf8(unit));
    }
    return QString::number(value);
}

double ChooseVoltsPerDivision(double peak)
{
    const double wanted = std::max(peak / (ScopeView::kDivisionsY / 2), kSmallestVoltsPerDivision);
    double decade = std::pow(10.0, std::floor(std::log10(wanted)));
    for (;;) {
        for (const double m : {1.0, 2.0, 5.0})
            if (m * decade >= wanted * (1.0 - 1e-9))
                return m * decade;
        decade *= 10.0;
    }
}

ScopeView::ScopeView(QWidget* parent) : QWidget(parent)
{
    setAccessibleName(QString::fromUtf8(Texts::Scope));
    setAccessibleDescription(QString::fromUtf8(Texts::ScopeHint));
    setToolTip(QString::fromUtf8(Texts::ScopeHint));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ScopeView::Show(std::vector<vg::EnvelopeColumn> l, std::vector<vg::EnvelopeColumn> h, double seconds)
{
    l_ = std::move(l);
    h_ = std::move(h);
    seconds_ = seconds;
    voltsPerDivision_ = ChooseVoltsPerDivision(std::max(Peak(l_), Peak(h_)));
    update();
}

QRect ScopeView::TraceArea() const
{
    const int text = fontMetrics().height() + 6;
    return rect().adjusted(6, text, -6, -text);
}

int ScopeView::TraceWidth() const
{
    // One column per device pixel: the trace is as fine as the screen.
    return std::max(1, static_cast<int>(std::lround(TraceArea().width() * devicePixelRatioF())));
}

void ScopeView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), kScreenBackground);
    const QRect area = TraceArea();
    const double dx = area.width() / double(kDivisionsX), dy = area.height() / double(kDivisionsY);
    for (int i = 0; i <= kDivisionsX; ++i) {
        p.setPen(
            QPen(kScreenGrid, i == kDivisionsX / 2 ? 1.5 : 1.0, i % kDivisionsX == 0 ? Qt::SolidLine : Qt::DotLine));
        p.drawLine(QPointF(area.left() + i * dx, area.top()), QPointF(area.left() + i * dx, area.bottom()));
    }
    for (int i = 0; i <= kDivisionsY; ++i) {
        p.setPen(
            QPen(kScreenGrid, i == kDivisionsY / 2 ? 1.5 : 1.0, i % kDivisionsY == 0 ? Qt::SolidLine : Qt::DotLine));
        p.drawLine(QPointF(area.left(), area.top() + i * dy), QPointF(area.right(), area.top() + i * dy));
    }
    const double zero = area.top() + area.height() / 2.0;
    const double perVolt = dy / voltsPerDivision_;
    auto draw = [&](const std::vector<vg::EnvelopeColumn>& columns, const QColor& colour) {
        if (columns.empty())
            return;
        p.setPen(QPen(colour, 1.5));
        const double step = area.width() / double(columns.size());
        double lastLow = 0, lastHigh = 0;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const auto& c = columns[i];
            if (!std::isfinite(c.low) || !std::isfinite(c.high))
                continue;
            double low = zero - c.low * perVolt, high = zero - c.high * perVolt;
            // Joined to the column before, so steep edges stay visible.
            if (i > 0) {
                low = std::max(low, lastHigh);
                high = std::min(high, lastLow);
            }
            const double x = area.left() + (i + 0.5) * step;
            p.drawLine(QPointF(x, std::clamp(high, double(area.top()), double(area.bottom()))),
                       QPointF(x, std::clamp(std::max(low, high + 0.5), double(area.top()), double(area.bottom()))));
            lastLow = zero - c.low * perVolt;
            lastHigh = zero - c.high * perVolt;
        }
    };
    draw(l_, kColourL);
    draw(h_, kColourH);

    const int baseline = fontMetrics().ascent() + 3;
    p.setPen(kColourL);
    p.drawText(area.left(), baseline, QString::fromUtf8(Texts::OutputL));
    p.setPen(kColourH);
    p.drawText(area.left() + fontMetrics().horizontalAdvance(QString::fromUtf8(Texts::OutputL)) + 16, baseline,
               QString::fromUtf8(Texts::OutputH));
    p.setPen(Qt::white);
    const QString volts = Engineering(voltsPerDivision_, "V") + QStringLiteral("/div");
    p.drawText(QRect(area.left(), 0, area.width(), baseline + 3), Qt::AlignRight | Qt::AlignTop, volts);
    const QString time = seconds_ > 0 ? Engineering(SecondsPerDivision(), "s") + QStringLiteral("/div") : QString();
    p.drawText(QRect(area.left(), area.bottom() + 2, area.width(), height() - area.bottom() - 2),
               Qt::AlignRight | Qt::AlignVCenter, time);
}

} // namespace vdev
