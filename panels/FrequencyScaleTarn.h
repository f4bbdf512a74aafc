// SPDX-License-Identifier: MIT
// The frequency bar's computations, free of the toolkit: the view of the
// logarithmic scale, clamping, snapping, the pixel mapping, ticks and label
// placement, marker shapes and the user's actions on the view. The widget
// draws from these and owns nothing of the arithmetic.
#pragma once
#include <array>
#include <functional>
#include <string>
#include <vector>

class TSettingsTarn;

namespace tarn {

// Pixels left free at each end of the scale.
inline constexpr int kScaleMargin = 15;
// The fine-shift bar runs 0..100 with 50 steps per pixel of the scale.
inline constexpr int kFineShiftMax = 100;
inline constexpr int kFineShiftCentre = 50;

struct TFrequencyLimits {
    double Lo = 0.0;
    double Hi = 0.0;
    // Decades between the limits; 0 when the limits make no scale.
    double FullSpan() const;
    // Clamps f into [Lo, Hi]; a NaN becomes Lo.
    double Clamp(double f) const;
};

// The limits for the waveform of device channel 0.
TFrequencyLimits LimitsOf(const TSettingsTarn& settings);

struct TFrequencyView {
    double Start = 0.0; // v, Hz at the left end; 0 until the first reset
    double Span = 0.0;  // s, decades across the scale
    // A view the mapping can use.
    bool Valid() const;
};

// Pixels between the margins (W - 30), never below 0.
int UsableWidth(int width);
// Nint(log10(f / v) x U / s + 15); the left margin for a view without width or span.
int PixelOf(const TFrequencyView& view, int width, double f);
// 10^((x - 15) x s / U) x v; v for a view without width or span.
double FrequencyAt(const TFrequencyView& view, int width, double x);
// The start that puts f at pixel x with span s.
double StartFor(double f, double x, double span, int width);

struct TTick {
    double Value = 0.0;
    int X = 0;
};
// Power-of-ten ticks from 2 decades up, otherwise steps of 1, 2.5 or 5 x 10^e.
std::vector<TTick> Ticks(const TFrequencyView& view, int width);
// The step of the linear ticks (spans below 2 decades), 0 when there is none.
double LinearTickStep(const TFrequencyView& view);

struct TPlacedLabel {
    std::size_t Tick = 0; // index into the ticks
    std::string Text;
    int Left = 0;
    int Width = 0;
};
using TTextWidth = std::function<int(const std::string&)>;
// Labels centred under their ticks; below 2 decades a label is kept only
// with more than 4 pixels of room after the previous kept one.
std::vector<TPlacedLabel> PlaceLabels(const std::vector<TTick>& ticks, double span, const TTextWidth& widthOf);

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
    bool operator==(const TRect&) const = default;
};
struct TPoint {
    int X = 0, Y = 0;
    bool operator==(const TPoint&) const = default;
};

enum class TMarkerPlace { Inside, BeyondLeft, BeyondRight };
struct TMarkerShape {
    TMarkerPlace Place = TMarkerPlace::Inside;
    int X = 0;                      // the line's pixel (Inside)
    std::array<TPoint, 3> Triangle; // beyond either end
    TRect Hit;                      // where a press grabs the red marker
};
TMarkerShape MarkerShape(const TFrequencyView& view, int width, int height, double f);

// What the pointer is on, for its tool tip: a marker (the red one first, it
// is drawn over the green), else an end of the scale (a limit when the view
// reaches it).
enum class TScaleItem { None, Software, Device, LowEnd, HighEnd };
// Pixels either side of a marker's line that still point at it.
inline constexpr int kMarkerReach = 4;
TScaleItem ItemAt(const TFrequencyView& view, int width, int height, int x, int y, double software, double device);

enum class TDragMode { None, Marker, Pan };

// What a key does to the red marker: one pixel, one tenth of the span (in
// whole pixels), or a limit.
enum class TMarkerStep { PixelDown, PixelUp, PageDown, PageUp, Lowest, Highest };

// The view state of the bar and what the user does to it. Frequencies are
// passed in and out; the caller owns the settings and the announcements.
class TFrequencyBarModel {
public:
    TFrequencyView View;
    double Snapped = 0.0;         // f_s
    double DecadesPerPixel = 0.0; // d
    TDragMode Drag = TDragMode::None;
    double Grabbed = 0.0; // f_g
    TRect MarkerHit;

    bool Ready() const { return View.Valid(); }
    void Reset(const TFrequencyLimits& limits);
    // Limits the view to the range and the frequency to the limits.
    void Clamp(const TFrequencyLimits& limits, double& frequency);
    void Snap(double frequency, int width);

    // Halves (factor 0.5) or doubles the span keeping f at its pixel.
    void Zoom(double factor, double frequency, int width, const TFrequencyLimits& limits);
    // The same around the frequency under pixel x (mouse wheel).
    void ZoomAt(double factor, int x, double frequency, int width, const TFrequencyLimits& limits);
    void ZoomAway(double frequency, int width, const TFrequencyLimits& limits);
    bool ZoomInEnabled(const TFrequencyLimits& limits) const;
    bool ZoomOutEnabled(const TFrequencyLimits& limits) const;

    // The frequency for a fine-shift position, around the snapped frequency.
    double FineShift(int position) const;
    int FineShiftPosition(double frequency) const;

    void Press(int x, int y, int width);
    // True when the frequency was changed (marker drag).
    bool Move(int x, int width, const TFrequencyLimits& limits, double& frequency);
    void Release() { Drag = TDragMode::None; }
    // Moves the frequency as a marker drag to the stepped pixel would (the
    // limits are the frequencies there); true when it changed.
    bool StepMarker(TMarkerStep step, int width, const TFrequencyLimits& limits, double& frequency);

private:
    // The marker drag's rule: the frequency at pixel x, clamped, snapped.
    void PlaceMarker(double x, int width, const TFrequencyLimits& limits, double& frequency);
    // Keeps anchor at pixel x while the span changes by factor.
    void ZoomAround(double factor, double anchor, int x, double frequency, int width, const TFrequencyLimits& limits);
};

} // namespace tarn
