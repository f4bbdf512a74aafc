// SPDX-License-Identifier: MIT
// The strip of the sample clock over time: the switches the generator took,
// one per frequency change, drawn where their moment and rate put them.
#include "shell/master/tests/TestApp.h"
#include "virtualdevice/FrequencyStrip.h"
#include "virtualdevice/VirtualDeviceWindow.h"
#include "virtualdevice/tests/BenchSignal.h"

#include <QImage>

#include <gtest/gtest.h>

namespace vdev::test {
namespace {

using namespace std::chrono_literals;

bool IsTrace(const QImage& image, QPointF at)
{
    // The trace is 2 px wide; any pixel next to the point will do.
    const double dpr = image.devicePixelRatio();
    for (int dy = -1; dy <= 1; ++dy) {
        const QColor c = image.pixelColor(int(at.x() * dpr), int(at.y() * dpr) + dy);
        if (c.green() > 170 && c.red() < 170 && c.blue() < 170)
            return true;
    }
    return false;
}

// The middle of the trace's pixels in a column, in widget pixels.
double TraceRow(const QImage& image, double x)
{
    const double dpr = image.devicePixelRatio();
    double sum = 0;
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QColor c = image.pixelColor(int(x * dpr), y);
        if (c.green() > 170 && c.red() < 170 && c.blue() < 170) {
            sum += y;
            ++n;
        }
    }
    return n > 0 ? sum / n / dpr : -1000.0;
}

TEST(FrequencyStrip, DrawsEachClockSwitchTheGeneratorTookWhereItsMomentAndRatePutIt)
{
    tarn::test::TestApp();
    BenchSignal bench;
    ASSERT_EQ(bench.Start(3000, 2048, 1000, 1e6), 0);
    const double wanted[] = {2e6, 5e6, 20e6, 500e3};
    std::vector<double> taken;
    for (const double f : wanted) {
        const std::size_t before = bench.generator.ClockSteps({}).size();
        taken.push_back(bench.device.SetFrequency(f, false));
        // Exactly one switch per change, even when clock word and selector travel together.
        EXPECT_EQ(bench.generator.ClockSteps({}).size(), before + 1) << f;
        EXPECT_EQ(bench.device.SetFrequency(f, false), taken.back()) << "the same rate again is no switch";
        EXPECT_EQ(bench.generator.ClockSteps({}).size(), before + 1) << f;
    }
    std::vector<vg::ClockStep> real = bench.generator.ClockSteps({});
    ASSERT_GE(real.size(), 5u);
    real.erase(real.begin(), real.end() - 5);
    EXPECT_NEAR(real[0].rate, 1e6, 1.0);
    for (std::size_t i = 0; i < taken.size(); ++i)
        EXPECT_NEAR(real[i + 1].rate, taken[i], taken[i] * 1e-9) << "the clock the registers select";

    // The same rates at known moments: 12, 7, 5, 3 and 1 s ago.
    const vg::Clock::time_point now = vg::Clock::now();
    const std::chrono::milliseconds ago[] = {12000ms, 7000ms, 5000ms, 3000ms, 1000ms};
    for (std::size_t i = 0; i < real.size(); ++i)
        real[i].at = now - ago[i];
    FrequencyStrip strip;
    strip.resize(600, 140);
    strip.Show(real, now);
    EXPECT_TRUE(strip.Switching());
    EXPECT_EQ(strip.Switches(), 4) << "the step in force at the left edge is no switch";
    EXPECT_EQ(strip.LowRate(), 1e5);
    EXPECT_EQ(strip.HighRate(), 1e8);
    EXPECT_NE(strip.accessibleDescription().indexOf(QStringLiteral("Sample clock 500 kHz; 4 switches")), -1)
        << strip.accessibleDescription().toStdString();
    const QImage picture = strip.grab().toImage();
    struct Segment {
        double from, to, rate;
    };
    const Segment drawn[] = {
        {10, 7, real[0].rate}, {7, 5, real[1].rate}, {5, 3, real[2].rate}, {3, 1, real[3].rate}, {1, 0, real[4].rate}};
    for (const Segment& s : drawn) {
        const double mid = (s.from + s.to) / 2;
        EXPECT_TRUE(IsTrace(picture, strip.At(mid, s.rate))) << mid << " s ago at " << s.rate;
        for (const Segment& other : drawn) {
            if (other.rate != s.rate) {
                EXPECT_FALSE(IsTrace(picture, strip.At(mid, other.rate))) << mid << " s ago at " << other.rate;
            }
        }
    }
    // The switch at 5 s ago is a vertical edge between its two rates.
    EXPECT_TRUE(IsTrace(picture, strip.At(5, std::sqrt(real[1].rate * real[2].rate))));
    // Read back from the picture alone: higher rates higher up, a decade the
    // same height anywhere, time running to the right.
    std::vector<double> heights;
    for (const Segment& s : drawn)
        heights.push_back(TraceRow(picture, strip.At((s.from + s.to) / 2, s.rate).x()));
    const double decade = (heights[0] - heights[2]) / std::log10(real[2].rate / real[0].rate);
    EXPECT_GT(decade, 10.0) << "the axis spans three decades in " << strip.height() << " px";
    for (std::size_t i = 0; i < heights.size(); ++i)
        EXPECT_NEAR(heights[0] - heights[i], decade * std::log10(real[i].rate / real[0].rate), 2.0) << i;
    EXPECT_LT(strip.At(7, 1e6).x(), strip.At(5, 1e6).x());
    EXPECT_GT(strip.At(0, 1e6).x(), strip.width() * 0.9) << "now at the right";

    // Steady for longer than the strip, or one change: no sweep to show.
    strip.Show({{now - 30s, 1e6}}, now);
    EXPECT_FALSE(strip.Switching());
    strip.Show({{now - 30s, 1e6}, {now - 3s, 2e6}}, now);
    EXPECT_FALSE(strip.Switching());
    EXPECT_EQ(strip.Switches(), 1);

    // The window shows it while the clock switches.
    VirtualDeviceWindow window(bench.generator, nullptr);
    window.show();
    window.Refresh();
    EXPECT_TRUE(window.Strip()->isVisible());
    EXPECT_EQ(window.Strip()->accessibleName().toStdString(), "Sample clock over time");
}

} // namespace
} // namespace vdev::test
