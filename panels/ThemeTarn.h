// SPDX-License-Identifier: MIT
// Colours that stay readable in any palette: the fixed colours of the panels
// (red warnings and pending values, green device values, the frequency
// scale, links) keep their hue and move their lightness only as far as a
// contrast of 4.5:1 to what lies behind them needs (WCAG relative luminance).
#pragma once
#include <QColor>
#include <QPalette>

#include <functional>

class QObject;

namespace tarn {

inline constexpr double kReadableContrast = 4.5;

// Relative luminance of an sRGB colour: 0 for black, 1 for white.
double RelativeLuminance(const QColor& colour);
// (lighter + 0.05) / (darker + 0.05): 1 for equal colours, 21 for black on white.
double ContrastRatio(const QColor& a, const QColor& b);
// wanted itself when it has ratio against background; otherwise the nearest
// lightness of the same hue and saturation that has it, away from the
// background first; the best reachable when none has.
QColor Readable(const QColor& wanted, const QColor& background, double ratio = kReadableContrast);

// Calls changed after every change of the application's palette, for as long
// as owner lives. (The toolkit tells the application, not a widget that has a
// palette of its own.)
void OnPaletteChange(QObject& owner, std::function<void()> changed);

// The panels' fixed colours as they are drawn on the palette's backgrounds
// (the value fields make theirs themselves, see THLEditTarn).
struct TPanelColours {
    QColor WarningBack; // level and shift labels out of range
    QColor WarningText;
    QColor Link;
    QColor CheckedBack; // a down button of the panels
    QColor CheckedText;
    QColor ButtonText;
};
TPanelColours PanelColours(const QPalette& palette);

// The frequency scale is a dark display of its own in every palette: grey
// behind a white scale, the frequency in software red, in device green.
struct TScaleColours {
    QColor Background;
    QColor Scale;
    QColor SoftwareMarker;
    QColor DeviceMarker;
};
const TScaleColours& ScaleColours();

} // namespace tarn
