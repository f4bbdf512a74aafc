// SPDX-License-Identifier: MIT
#include "panels/FrequencyScaleTarn.h"

#include "data/CommonFunctionsTarn.h"
#include "data/SettingsTarn.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tarn {

namespace {

// Far beyond any control, small enough for an int.
constexpr double kPixelBound = 1.0e6;
// More ticks than any span can produce; a guard against steps lost in rounding.
constexpr int kMaxTicks = 1000;

bool Positive(double x)
{
    return std::isfinite(x) && x > 0.0;
}

int Nint(double x)
{
    return static_cast<int>(std::nearbyint(x));
}

} // namespace

double TFrequencyLimits::FullSpan() const
{
    if (!Positive(Lo) || !Positive(Hi) || Hi <= Lo) {
        return 0.0;
    }
    return std::log10(Hi / Lo);
}

double TFrequencyLimits::Clamp(double f) const
{
    if (std::isnan(f) || f < Lo) {
        return Lo;
    }
    return f > Hi ? Hi : f;
}

TFrequencyLimits LimitsOf(const TSettingsTarn& settings)
{
    return {settings.MinFrequency(), settings.MaxFrequency()};
}

bool TFrequencyView::Valid() const
{
    return Positive(Start) && std::isfinite(Span) && Span >= 0.0;
}

int UsableWidth(int width)
{
    return std::max(0, width - 2 * kScaleMargin);
}

int PixelOf(const TFrequencyView& view, int width, double f)
{
    const int u = UsableWidth(width);
    if (!view.Valid() || u == 0 || view.Span <= 0.0 || std::isnan(f)) {
        return kScaleMargin;
    }
    const double x = std::log10(f / view.Start) * u / view.Span + kScaleMargin;
    return Nint(std::clamp(x, -kPixelBound, kPixelBound));
}

double FrequencyAt(const TFrequencyView& view, int width, double x)
{
    const int u = UsableWidth(width);
    if (u == 0) {
        return view.Start;
    }
    return std::pow(10.0, (x - kScaleMargin) * view.Span / u) * view.Start;
}

double StartFor(double f, double x, double span, int width)
{
    const int u = UsableWidth(width);
    if (u == 0) {
        return f;
    }
    return f / std::pow(10.0, (x - kScaleMargin) * span / u);
}

double LinearTickStep(const TFrequencyView& view)
{
    const double raw = (view.Start * std::pow(10.0, view.Span) - view.Start) / 5.0;
    if (!Positive(raw)) {
        return 0.0;
    }
    double e = std::floor(std::log10(raw));
    double m = raw / std::pow(10.0, e);
    // log10 may land one off at exact powers of ten.
    if (m >= 10.0) {
        m /= 10.0;
        e += 1.0;
    } else if (m < 1.0) {
        m *= 10.0;
        e -= 1.0;
    }
    const double unit = m >= 5.0 ? 5.0 : (m >= 2.5 ? 2.5 : 1.0);
    return unit * std::pow(10.0, e);
}

std::vector<TTick> Ticks(const TFrequencyView& view, int width)
{
    std::vector<TTick> ticks;
    if (!view.Valid() || UsableWidth(width) == 0 || view.Span <= 0.0) {
        return ticks;
    }
    const double end = view.Start * std::pow(10.0, view.Span);
    if (view.Span >= 2.0) {
        const double first = std::ceil(std::log10(view.Start) - 0.00001);
        for (int i = 0; i < kMaxTicks; ++i) {
            const double t = std::pow(10.0, first + i);
            if (!(t < end))
                break;
            ticks.push_back({t, PixelOf(view, width, t)});
        }
        return ticks;
    }
    const double step = LinearTickStep(view);
    if (!Positive(step)) {
        return ticks;
    }
    const double k0 = std::ceil(view.Start / step);
    for (int i = 0; i < kMaxTicks; ++i) {
        const double t = (k0 + i) * step;
        if (!(t < end))
            break;
        ticks.push_back({t, PixelOf(view, width, t)});
    }
    return ticks;
}

std::vector<TPlacedLabel> PlaceLabels(const std::vector<TTick>& ticks, double span, const TTextWidth& widthOf)
{
    std::vector<TPlacedLabel> labels;
    int previousRight = 0;
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        std::string text = FormatFrequency(ticks[i].Value);
        const int w = widthOf(text);
        const int left = ticks[i].X - w / 2;
        if (span < 2.0 && left <= previousRight + 4) {
            continue;
        }
        previousRight = left + w;
        labels.push_back({i, std::move(text), left, w});
    }
    return labels;
}

TMarkerShape MarkerShape(const TFrequencyView& view, int width, int height, double f)
{
    TMarkerShape shape;
    const int x = PixelOf(view, width, f);
    shape.X = x;
    if (x >= kScaleMargin && x <= width - kScaleMargin) {
        shape.Place = TMarkerPlace::Inside;
        shape.Hit = {x - 6, 3, x + 6, height - 19};
    } else if (x > width - kScaleMargin) {
        shape.Place = TMarkerPlace::BeyondRight;
        shape.Triangle = {TPoint{width - 6, height - 14}, TPoint{width - 14, height - 18},
                          TPoint{width - 14, height - 10}};
        shape.Hit = {width - 14, height - 18, width - 6, height - 10};
    } else {
        shape.Place = TMarkerPlace::BeyondLeft;
        shape.Triangle = {TPoint{5, height - 14}, TPoint{13, height - 18}, TPoint{13, height - 10}};
        shape.Hit = {5, height - 18, 13, height - 10};
    }
    return shape;
}

TScaleItem ItemAt(const TFrequencyView& view, int width, int height, int x, int y, double software, double device)
{
    if (!view.Valid() || x < 0 || x >= width || y < 0 || y >= height)
        return TScaleItem::None;
    const auto near = [&](double f) {
        const TMarkerShape shape = MarkerShape(view, width, height, f);
        if (shape.Place != TMarkerPlace::Inside)
            return shape.Hit.Contains(x, y);
        return std::abs(x - shape.X) <= kMarkerReach; // its line and its label
    };
    if (near(software))
        return TScaleItem::Software;
    if (MarkerShape(view, width, height, device).Place == TMarkerPlace::Inside && near(device))
        return TScaleItem::Device;
    if (x < kScaleMargin)
        return TScaleItem::LowEnd;
    if (x > width - kScaleMargin)
        return TScaleItem::HighEnd;
    return TScaleItem::None;
}

void TFrequencyBarModel::Reset(const TFrequencyLimits& limits)
{
    View.Start = limits.Lo;
    View.Span = limits.FullSpan();
}

void TFrequencyBarModel::Clamp(const TFrequencyLimits& limits, double& frequency)
{
    const double full = limits.FullSpan();
    if (!(View.Span <= full)) {
        View.Span = full;
    }
    if (View.Start < limits.Lo) {
        View.Start = limits.Lo;
    }
    if (View.Start * std::pow(10.0, View.Span) > limits.Hi) {
        View.Start = limits.Hi / std::pow(10.0, View.Span);
    }
    frequency = limits.Clamp(frequency);
}

void TFrequencyBarModel::Snap(double frequency, int width)
{
    Snapped = FrequencyAt(View, width, PixelOf(View, width, frequency));
    const int u = UsableWidth(width);
    DecadesPerPixel = u == 0 ? 0.0 : View.Span / u;
}

void TFrequencyBarModel::Zoom(double factor, double frequency, int width, const TFrequencyLimits& limits)
{
    ZoomAround(factor, frequency, PixelOf(View, width, frequency), frequency, width, limits);
}

void TFrequencyBarModel::ZoomAt(double factor, int x, double frequency, int width, const TFrequencyLimits& limits)
{
    ZoomAround(factor, FrequencyAt(View, width, x), x, frequency, width, limits);
}

void TFrequencyBarModel::ZoomAround(double factor, double anchor, int x, double frequency, int width,
                                    const TFrequencyLimits& limits)
{
    View.Span *= factor;
    View.Start = StartFor(anchor, x, View.Span, width);
    Clamp(limits, frequency);
    Snap(frequency, width);
}

void TFrequencyBarModel::ZoomAway(double frequency, int width, const TFrequencyLimits& limits)
{
    View.Span = limits.FullSpan();
    Clamp(limits, frequency);
    Snap(frequency, width);
}

bool TFrequencyBarModel::ZoomInEnabled(const TFrequencyLimits& limits) const
{
    return View.Span > limits.FullSpan() / 65536.0;
}

bool TFrequencyBarModel::ZoomOutEnabled(const TFrequencyLimits& limits) const
{
    return View.Span < limits.FullSpan() * 7.0 / 8.0;
}

double TFrequencyBarModel::FineShift(int position) const
{
    return std::pow(10.0, (position - kFineShiftCentre) * DecadesPerPixel / kFineShiftCentre) * Snapped;
}

int TFrequencyBarModel::FineShiftPosition(double frequency) const
{
    if (!Positive(DecadesPerPixel) || !Positive(Snapped) || !Positive(frequency)) {
        return kFineShiftCentre;
    }
    const double p = std::log10(frequency / Snapped) * kFineShiftCentre / DecadesPerPixel + kFineShiftCentre;
    return Nint(std::clamp(p, 0.0, double(kFineShiftMax)));
}

void TFrequencyBarModel::Press(int x, int y, int width)
{
    if (MarkerHit.Contains(x, y)) {
        Drag = TDragMode::Marker;
    } else {
        Drag = TDragMode::Pan;
        Grabbed = FrequencyAt(View, width, x);
    }
}

bool TFrequencyBarModel::Move(int x, int width, const TFrequencyLimits& limits, double& frequency)
{
    switch (Drag) {
    case TDragMode::Marker:
        PlaceMarker(x, width, limits, frequency);
        return true;
    case TDragMode::Pan:
        View.Start = StartFor(Grabbed, x, View.Span, width);
        Clamp(limits, frequency);
        Snap(frequency, width);
        return false;
    case TDragMode::None:
        break;
    }
    return false;
}

void TFrequencyBarModel::PlaceMarker(double x, int width, const TFrequencyLimits& limits, double& frequency)
{
    frequency = FrequencyAt(View, width, x);
    Clamp(limits, frequency);
    Snap(frequency, width);
}

bool TFrequencyBarModel::StepMarker(TMarkerStep step, int width, const TFrequencyLimits& limits, double& frequency)
{
    const double before = frequency;
    if (step == TMarkerStep::Lowest || step == TMarkerStep::Highest) {
        frequency = step == TMarkerStep::Lowest ? limits.Lo : limits.Hi;
        Clamp(limits, frequency);
        Snap(frequency, width);
    } else {
        // Whole pixels, as the pointer has: the marker stays on a pixel.
        const double page = std::round(UsableWidth(width) / 10.0);
        const double by = step == TMarkerStep::PixelDown  ? -1.0
                          : step == TMarkerStep::PixelUp  ? 1.0
                          : step == TMarkerStep::PageDown ? -page
                                                          : page;
        PlaceMarker(PixelOf(View, width, frequency) + by, width, limits, frequency);
    }
    return frequency != before;
}

} // namespace tarn
