// SPDX-License-Identifier: MIT
// The sample clock over the last seconds, on a logarithmic axis: the steps of
// a sweep as the generator took them (from its own clock history, not from
// what the program asked for).
#pragma once
#include "sim/ClockHistory.h"

#include <QWidget>

#include <vector>

namespace vdev {

class FrequencyStrip : public QWidget {
public:
    static constexpr double kSeconds = 10.0;

    explicit FrequencyStrip(QWidget* parent = nullptr);

    // The steps as ClockHistory::Since(now - kSeconds) gives them.
    void Show(std::vector<vg::ClockStep> steps, vg::Clock::time_point now);
    // Whether the clock switched twice within the strip's time (a sweep, not
    // one change of frequency): the window shows the strip only then.
    bool Switching() const { return switches_ >= 2; }
    int Switches() const { return switches_; }
    // The axis runs over whole decades around the rates shown.
    double LowRate() const { return low_; }
    double HighRate() const { return high_; }
    // Where a rate at a moment is drawn, in the widget's coordinates.
    QPointF At(double secondsAgo, double rate) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF PlotArea() const;
    // Each step as seconds before now, oldest first, clipped to the strip.
    struct Segment {
        double from, to, rate;
    };
    std::vector<Segment> segments_;
    double low_ = 1.0, high_ = 10.0;
    int switches_ = 0;
};

} // namespace vdev
