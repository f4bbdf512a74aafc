// SPDX-License-Identifier: MIT
#include "data/SettingsTarn.h"
#include "panels/FrequencyScaleTarn.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tarn {
namespace {

const TFrequencyLimits kArbitrary{16.384, 100000000.0};
const TFrequencyLimits kStandard{0.002, 50000000.0};
constexpr int kWidth = 497; // the bar in the main window
constexpr int kHeight = 56;

std::vector<double> Values(const std::vector<TTick>& ticks)
{
    std::vector<double> out;
    for (const TTick& t : ticks)
        out.push_back(t.Value);
    return out;
}

TEST(FrequencyScaleTarn, PixelMappingBothWays)
{
    struct Case {
        TFrequencyView view;
        int width;
        double f;
        int x;
    };
    const Case cases[] = {
        {{1000, 1}, 230, 1000, 15},
        {{1000, 1}, 230, 10000, 215},
        {{1000, 1}, 230, std::sqrt(10.0) * 1000, 115},
        {{1000, 1}, 230, 100000, 415}, // beyond the end: still mapped
        // Halves go to the even pixel: 15.5 -> 16, 16.5 -> 16, 17.5 -> 18.
        {{1, 4}, 32, 10, 16},
        {{1, 4}, 32, 1000, 16},
        {{1, 4}, 32, 100000, 18},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PixelOf(c.view, c.width, c.f), c.x) << c.f;
    }
    const TFrequencyView full{kArbitrary.Lo, kArbitrary.FullSpan()};
    EXPECT_NEAR(FrequencyAt(full, kWidth, kScaleMargin), kArbitrary.Lo, 1e-9);
    EXPECT_NEAR(FrequencyAt(full, kWidth, kWidth - kScaleMargin), kArbitrary.Hi, 1e-3);
    for (int x = kScaleMargin; x <= kWidth - kScaleMargin; ++x)
        ASSERT_EQ(PixelOf(full, kWidth, FrequencyAt(full, kWidth, x)), x);
}

TEST(FrequencyScaleTarn, TicksAndLabelsOfTheThreeExampleSpans)
{
    const auto sixDigits = [](const std::string& s) { return int(s.size()) * 6; };
    // The full arbitrary range: 6.79 decades, a labelled tick per power of ten.
    const TFrequencyView full{kArbitrary.Lo, kArbitrary.FullSpan()};
    EXPECT_NEAR(full.Span, 6.79, 0.005);
    std::vector<TTick> ticks = Ticks(full, kWidth);
    ASSERT_GE(ticks.size(), 6u);
    ASSERT_LE(ticks.size(), 7u);
    const double powers[] = {100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        EXPECT_DOUBLE_EQ(ticks[i].Value, powers[i]);
        EXPECT_EQ(ticks[i].X, PixelOf(full, kWidth, powers[i]));
    }
    std::vector<TPlacedLabel> labels = PlaceLabels(ticks, full.Span, sixDigits);
    ASSERT_EQ(labels.size(), ticks.size());
    EXPECT_EQ(labels[0].Text, "100");
    EXPECT_EQ(labels[1].Text, "1k");
    EXPECT_EQ(labels[4].Text, "1M");
    EXPECT_EQ(labels[1].Left, ticks[1].X - 6);

    // Exactly two decades: still powers of ten; the end itself is not below the end.
    const TFrequencyView two{100, 2};
    EXPECT_EQ(Values(Ticks(two, 230)), (std::vector<double>{100, 1000}));
    EXPECT_EQ(Ticks(two, 230)[1].X, 115);

    // One decade from 1 kHz: raw step 1800 -> 1 x 10^3.
    const TFrequencyView one{1000, 1};
    EXPECT_DOUBLE_EQ(LinearTickStep(one), 1000);
    EXPECT_EQ(Values(Ticks(one, 230)), (std::vector<double>{1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000}));
    labels = PlaceLabels(Ticks(one, 230), one.Span, sixDigits);
    ASSERT_FALSE(labels.empty());
    EXPECT_EQ(labels[0].Text, "1k");
}

TEST(FrequencyScaleTarn, LinearStepIsOneTwoAndAHalfOrFiveTimesAPowerOfTen)
{
    struct Case {
        double raw, step;
    };
    for (const Case c :
         {Case{1.8, 1}, Case{2.4, 1}, Case{3, 2.5}, Case{4.9, 2.5}, Case{7, 5}, Case{0.07, 0.05}, Case{36000, 25000}}) {
        const TFrequencyView view{1, std::log10(1 + 5 * c.raw)};
        EXPECT_NEAR(LinearTickStep(view), c.step, c.step * 1e-12) << c.raw;
    }
    // A step below the start's last digit still yields the ticks, within the end.
    const TFrequencyView narrow{99999999.0, 1e-8};
    for (const TTick& t : Ticks(narrow, kWidth)) {
        EXPECT_GE(t.X, kScaleMargin);
        EXPECT_LE(t.X, kWidth - kScaleMargin);
    }
}

TEST(FrequencyScaleTarn, LabelsBelowTwoDecadesKeepMoreThanFourPixelsApart)
{
    const std::vector<TTick> ticks = {{1, 9}, {2, 12}, {3, 30}, {4, 41}, {5, 44}, {6, 50}, {7, 90}};
    const auto ten = [](const std::string&) { return 10; };
    // Lefts 4, 7, 25, 36, 39, 45, 85: the first needs more than 4 from x = 0,
    // 36 and 39 are not more than 4 past the right edge 35.
    std::vector<std::size_t> kept;
    for (const TPlacedLabel& l : PlaceLabels(ticks, 1.5, ten))
        kept.push_back(l.Tick);
    EXPECT_EQ(kept, (std::vector<std::size_t>{1, 2, 5, 6}));
    EXPECT_EQ(PlaceLabels(ticks, 2.0, ten).size(), ticks.size());
}

TEST(FrequencyScaleTarn, ClampLimitsTheViewAndTheFrequency)
{
    struct Case {
        TFrequencyView before;
        double f;
        TFrequencyView after;
        double fAfter;
    };
    const double full = kArbitrary.FullSpan();
    const Case cases[] = {
        {{1000, 9}, 1e9, {kArbitrary.Lo, full}, 1e8},      // span too wide, frequency too high
        {{1, 1}, 1, {kArbitrary.Lo, 1}, kArbitrary.Lo},    // start below the range
        {{1e7, 2}, 5e6, {1e6, 2}, 5e6},                    // end beyond the range
        {{1e3, 1}, std::nan(""), {1e3, 1}, kArbitrary.Lo}, // no frequency at all
    };
    for (const Case& c : cases) {
        TFrequencyBarModel model;
        model.View = c.before;
        double f = c.f;
        model.Clamp(kArbitrary, f);
        EXPECT_NEAR(model.View.Start, c.after.Start, c.after.Start * 1e-12);
        EXPECT_NEAR(model.View.Span, c.after.Span, 1e-12);
        EXPECT_DOUBLE_EQ(f, c.fAfter);
    }
}

TEST(FrequencyScaleTarn, ZoomEnablesAtTheLimitsAndKeepsTheFrequencyInPlace)
{
    TFrequencyBarModel model;
    model.Reset(kArbitrary);
    EXPECT_TRUE(model.ZoomInEnabled(kArbitrary));
    EXPECT_FALSE(model.ZoomOutEnabled(kArbitrary));
    const double f = 1234567.0;
    for (int i = 0; i < 16; ++i) {
        const int x = PixelOf(model.View, kWidth, f);
        model.Zoom(0.5, f, kWidth, kArbitrary);
        EXPECT_EQ(PixelOf(model.View, kWidth, f), x) << "zoom " << i;
        EXPECT_TRUE(model.ZoomOutEnabled(kArbitrary));
    }
    EXPECT_DOUBLE_EQ(model.View.Span, kArbitrary.FullSpan() / 65536);
    EXPECT_FALSE(model.ZoomInEnabled(kArbitrary));
    // Zoom out stays available below 7/8 of the full span, then the clamp takes over.
    model.View.Span = kArbitrary.FullSpan() * 0.87;
    EXPECT_TRUE(model.ZoomOutEnabled(kArbitrary));
    model.Zoom(2.0, f, kWidth, kArbitrary);
    EXPECT_DOUBLE_EQ(model.View.Span, kArbitrary.FullSpan());
    EXPECT_NEAR(model.View.Start, kArbitrary.Lo, 1e-9);
    EXPECT_FALSE(model.ZoomOutEnabled(kArbitrary));
    // The wheel keeps the frequency under the pointer, not the marker's.
    const double under = FrequencyAt(model.View, kWidth, 100);
    model.ZoomAt(0.5, 100, f, kWidth, kArbitrary);
    EXPECT_NEAR(FrequencyAt(model.View, kWidth, 100), under, under * 1e-12);
    EXPECT_DOUBLE_EQ(model.View.Span, kArbitrary.FullSpan() / 2);
}

TEST(FrequencyScaleTarn, FineShiftMovesWithinOnePixelOfTheSnappedFrequency)
{
    TFrequencyBarModel model;
    model.View = {1000, 1};
    const double f = 2000;
    model.Snap(f, 230);
    const int x = PixelOf(model.View, 230, f);
    EXPECT_DOUBLE_EQ(model.Snapped, FrequencyAt(model.View, 230, x));
    EXPECT_DOUBLE_EQ(model.DecadesPerPixel, 1.0 / 200);
    EXPECT_NEAR(model.FineShift(100), FrequencyAt(model.View, 230, x + 1), 1e-9);
    EXPECT_NEAR(model.FineShift(0), FrequencyAt(model.View, 230, x - 1), 1e-9);
    EXPECT_DOUBLE_EQ(model.FineShift(50), model.Snapped);
    for (int p = 0; p <= 100; ++p)
        ASSERT_EQ(model.FineShiftPosition(model.FineShift(p)), p);
    EXPECT_EQ(model.FineShiftPosition(1e9), 100);
}

TEST(FrequencyScaleTarn, MarkerShapesInsideAndBeyondEitherEnd)
{
    // The drag that puts a marker there is tested through the widget.
    const TFrequencyView view{1000, 1};
    const int w = kWidth, h = kHeight;
    struct Case {
        double f;
        TMarkerPlace place;
        std::array<TPoint, 3> triangle;
        TRect hit;
    };
    const int x = PixelOf(view, w, 2000);
    const Case cases[] = {
        {2000, TMarkerPlace::Inside, {}, {x - 6, 3, x + 6, h - 19}},
        {1000, TMarkerPlace::Inside, {}, {9, 3, 21, h - 19}},
        {10000, TMarkerPlace::Inside, {}, {w - 21, 3, w - 9, h - 19}},
        {10100,
         TMarkerPlace::BeyondRight,
         {{{w - 6, h - 14}, {w - 14, h - 18}, {w - 14, h - 10}}},
         {w - 14, h - 18, w - 6, h - 10}},
        {990, TMarkerPlace::BeyondLeft, {{{5, h - 14}, {13, h - 18}, {13, h - 10}}}, {5, h - 18, 13, h - 10}},
    };
    for (const Case& c : cases) {
        const TMarkerShape shape = MarkerShape(view, w, h, c.f);
        EXPECT_EQ(shape.Place, c.place) << c.f;
        EXPECT_EQ(shape.Hit, c.hit) << c.f;
        if (c.place != TMarkerPlace::Inside) {
            EXPECT_EQ(shape.Triangle, c.triangle) << c.f;
        }
    }
    // A marker dragged far beyond the end stops at the limit.
    TFrequencyBarModel model;
    model.View = view;
    model.MarkerHit = cases[0].hit;
    model.Press(x, 10, w);
    double f = 2000;
    EXPECT_TRUE(model.Move(100000, w, kArbitrary, f));
    EXPECT_DOUBLE_EQ(f, kArbitrary.Hi);
}

TEST(FrequencyScaleTarn, DegenerateGeometryAndLimitsNeverDivideByZero)
{
    // A control narrower than its margins.
    TFrequencyBarModel model;
    model.Reset(kArbitrary);
    for (const int width : {0, 20, 30}) {
        EXPECT_EQ(PixelOf(model.View, width, 1e6), kScaleMargin);
        EXPECT_DOUBLE_EQ(FrequencyAt(model.View, width, 100), kArbitrary.Lo);
        EXPECT_TRUE(Ticks(model.View, width).empty());
        model.Snap(1e6, width);
        EXPECT_DOUBLE_EQ(model.DecadesPerPixel, 0);
        EXPECT_EQ(model.FineShiftPosition(1e6), kFineShiftCentre);
        double f = 1e6;
        model.Zoom(0.5, f, width, kArbitrary);
        model.Press(5, 5, width);
        model.Move(50, width, kArbitrary, f);
        EXPECT_TRUE(std::isfinite(model.View.Start));
        EXPECT_TRUE(std::isfinite(f));
        model.Reset(kArbitrary);
    }
    // A span of 0 (limits that coincide) and limits that make no range.
    for (const TFrequencyLimits limits : {TFrequencyLimits{5, 5}, TFrequencyLimits{0, 0}, TFrequencyLimits{10, 1}}) {
        EXPECT_DOUBLE_EQ(limits.FullSpan(), 0);
        model.Reset(limits);
        double f = 7;
        model.Clamp(limits, f);
        model.Snap(f, kWidth);
        EXPECT_EQ(PixelOf(model.View, kWidth, f), kScaleMargin);
        EXPECT_TRUE(Ticks(model.View, kWidth).empty());
        EXPECT_EQ(model.FineShiftPosition(f), kFineShiftCentre);
        EXPECT_FALSE(model.ZoomInEnabled(limits));
        EXPECT_FALSE(std::isnan(model.FineShift(0)));
    }
    // An empty standard waveform: the limits stay finite.
    TSettingsTarn settings;
    settings.SetDefaults();
    settings.Device.Waveforms.clear();
    settings.Device.Waveforms.push_back(std::make_unique<TWaveformTarn>());
    settings.Device.Waveforms[0]->IsStandard = true;
    const TFrequencyLimits empty = LimitsOf(settings);
    EXPECT_TRUE(std::isfinite(empty.Lo) && empty.Lo > 0);
    EXPECT_GT(empty.FullSpan(), 0);
}

} // namespace
} // namespace tarn

namespace tarn {
namespace {

TEST(FrequencyScaleTarn, KeyStepsMoveTheMarkerAsADragToThatPixelWould)
{
    // 200 usable pixels over one decade from 1 kHz: one pixel is 1/200 decade.
    const int width = 230;
    const auto at = [](double pixel) { return 1000.0 * std::pow(10.0, (pixel - 15) / 200.0); };
    const TFrequencyLimits limits{16.384, 100000000.0};
    struct Case {
        double f;
        TMarkerStep step;
        double expected;
        bool changed;
    };
    const Case cases[] = {
        {at(115), TMarkerStep::PixelUp, at(116), true},
        {at(115), TMarkerStep::PixelDown, at(114), true},
        {at(115), TMarkerStep::PageUp, at(135), true}, // a tenth of the span
        {at(115), TMarkerStep::PageDown, at(95), true},
        {at(115.4), TMarkerStep::PixelUp, at(116), true}, // from the marker's drawn pixel
        {at(115.6), TMarkerStep::PixelDown, at(115), true},
        {at(215), TMarkerStep::PixelUp, at(216), true}, // past the end of the scale, as a drag goes
        {at(115), TMarkerStep::Lowest, limits.Lo, true},
        {at(115), TMarkerStep::Highest, limits.Hi, true},
        {limits.Hi, TMarkerStep::PixelUp, limits.Hi, false}, // clamped at the limits
        {limits.Hi, TMarkerStep::PageUp, limits.Hi, false},
        {limits.Lo, TMarkerStep::PageDown, limits.Lo, false},
        {limits.Lo, TMarkerStep::Lowest, limits.Lo, false},
    };
    for (const Case& c : cases) {
        TFrequencyBarModel model;
        model.View = {1000, 1};
        double f = c.f;
        EXPECT_EQ(model.StepMarker(c.step, width, limits, f), c.changed) << c.f << " step " << int(c.step);
        EXPECT_NEAR(f / c.expected, 1.0, 1e-12) << c.f << " step " << int(c.step);
        // Snapped as after a drag: the fine shift's reference is the new pixel.
        EXPECT_NEAR(model.Snapped / FrequencyAt(model.View, width, PixelOf(model.View, width, f)), 1.0, 1e-12);
        EXPECT_DOUBLE_EQ(model.DecadesPerPixel, 1.0 / 200);
        if (c.step == TMarkerStep::PixelUp || c.step == TMarkerStep::PixelDown) {
            // The mouse lands on the same frequency.
            TFrequencyBarModel mouse;
            mouse.View = model.View;
            mouse.Drag = TDragMode::Marker;
            double dragged = c.f;
            const int x = PixelOf(mouse.View, width, c.f) + (c.step == TMarkerStep::PixelUp ? 1 : -1);
            mouse.Move(x, width, limits, dragged);
            EXPECT_DOUBLE_EQ(dragged, f);
        }
    }
}

} // namespace
} // namespace tarn
