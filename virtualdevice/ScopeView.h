// SPDX-License-Identifier: MIT
// The oscilloscope screen: a volts and time grid with the two outputs'
// traces, drawn as the lowest and highest voltage of each pixel column.
#pragma once
#include "sim/AnalogModel.h"

#include <QColor>
#include <QWidget>

#include <vector>

namespace vdev {

// The screens of the window are dark in every palette, as an instrument's.
inline const QColor kScreenBackground(16, 24, 20);
inline const QColor kScreenGrid(70, 90, 80);

class ScopeView : public QWidget {
public:
    static constexpr int kDivisionsX = 10;
    static constexpr int kDivisionsY = 8;

    explicit ScopeView(QWidget* parent = nullptr);

    // Columns of both outputs over `seconds`; empty columns draw nothing.
    void Show(std::vector<vg::EnvelopeColumn> l, std::vector<vg::EnvelopeColumn> h, double seconds);
    // Device pixel columns of the trace area, for the caller's envelopes.
    int TraceWidth() const;
    double VoltsPerDivision() const { return voltsPerDivision_; }
    double SecondsPerDivision() const { return seconds_ / kDivisionsX; }

    QSize sizeHint() const override { return {560, 340}; }
    QSize minimumSizeHint() const override { return {320, 200}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect TraceArea() const;
    std::vector<vg::EnvelopeColumn> l_, h_;
    double seconds_ = 0.0;
    double voltsPerDivision_ = 1.0;
};

// "12.5 mV", "30.0003 MHz": up to `digits` significant digits and an SI
// prefix; a readout keeps its trailing zeros ("1.560 V"), a setting does not.
QString Engineering(double value, const char* unit, int digits = 6, bool readout = false);
// The smallest of 1, 2, 5 x 10^k volts per division that holds |peak| in four divisions.
double ChooseVoltsPerDivision(double peak);

} // namespace vdev
