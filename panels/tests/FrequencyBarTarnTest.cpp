// SPDX-License-Identifier: MIT
#include "data/CommonFunctionsTarn.h"
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "panels/FrequencyBarTarn.h"
#include "panels/PanelControlsTarn.h"
#include "panels/ThemeTarn.h"
#include "panels/HLEditTarn.h"
#include "shell/master/tests/TestApp.h"

#include <QAccessible>
#include <QGroupBox>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace tarn {
namespace {

using Code = TObjMasterCode;

// Stands behind the bar where the device abstraction would: in "Con" mode a
// new frequency is set at once, in "Step" mode only when applied. The device
// produces a frequency slightly off the requested one, as a real clock does.
struct TDeviceStandIn {
    TSettingsTarn* settings = nullptr;
    std::vector<Code> codes;
    double pending = 0;
    void Handle(Code code, std::int32_t, void*)
    {
        if (code == Code::omMasterDestroying)
            return;
        TDeviceSettings& d = settings->Device;
        if (code == Code::omFrequencyChanged) {
            pending = d.Frequency * 1.0001;
            if (d.FrequencyMode == 0)
                d.DeviceFrequency = pending;
        } else if (code == Code::omApplyFrequency) {
            d.DeviceFrequency = pending;
        }
        // What the bar announced, not what the test broadcast.
        if (code != Code::omSettingsApplied && code != Code::omWaveformLoaded)
            codes.push_back(code);
    }
};

std::unique_ptr<TWaveformTarn> Wave(int samples, bool standard)
{
    auto wave = std::make_unique<TWaveformTarn>();
    wave->Allocate(samples, 4096, standard);
    return wave;
}

class FrequencyBarTarnTest : public ::testing::Test {
protected:
    FrequencyBarTarnTest()
    {
        settings.SetDefaults();
        settings.Device.Waveforms.clear();
        settings.Device.Waveforms.push_back(Wave(1000, false));
        group.setGeometry(0, 0, 513, 133);
        bar = TFrequencyBarTarn::CreateInGroup(group);
        bar->SetObjMaster(&master);
        bar->SetSettings(&settings);
        device.settings = &settings;
        master.RegisterListener(TObjMasterNotifyEvent::Bind<&TDeviceStandIn::Handle>(&device));
        group.show();
        QApplication::processEvents();
        for (int phase = 0; phase < 10; ++phase)
            master.Notify(Code::omSettingsApplied, phase);
        master.Notify(Code::omStart);
        QApplication::processEvents(); // the layout settles on the first texts
        bar->Redraw();
        device.codes.clear();
    }
    const TFrequencyView& View() const { return bar->Model().View; }
    int W() const { return bar->width(); }
    int H() const { return bar->height(); }
    double& F() { return settings.Device.Frequency; }
    int MarkerX() const { return PixelOf(View(), W(), settings.Device.Frequency); }
    void Mouse(QEvent::Type type, int x, int y)
    {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, QPointF(x, y), bar->mapToGlobal(QPointF(x, y)), button, held, Qt::NoModifier);
        QApplication::sendEvent(bar, &event);
    }
    void Drag(int fromX, int fromY, int toX)
    {
        Mouse(QEvent::MouseButtonPress, fromX, fromY);
        Mouse(QEvent::MouseMove, (fromX + toX) / 2, fromY);
        Mouse(QEvent::MouseMove, toX, fromY);
        Mouse(QEvent::MouseButtonRelease, toX, fromY);
    }
    void Type(const QString& text)
    {
        bar->FrequencyEdit->selectAll();
        QTest::keyClicks(bar->FrequencyEdit, text);
        QTest::keyClick(bar->FrequencyEdit, Qt::Key_Return);
    }
    QColor Pixel(int x, int y) const
    {
        const qreal r = bar->Bitmap().devicePixelRatio();
        return bar->Bitmap().pixelColor(int(x * r), int(y * r));
    }

    QApplication& app = test::TestApp();
    TDeviceStandIn device; // outlives the master, which calls it last
    TObjMasterTarn master;
    TSettingsTarn settings;
    QGroupBox group;
    TFrequencyBarTarn* bar = nullptr;
};

TEST_F(FrequencyBarTarnTest, StartShowsTheFullRangeWithBothMarkersAndTheControls)
{
    EXPECT_DOUBLE_EQ(View().Start, 16.384);
    EXPECT_NEAR(View().Span, 6.79, 0.005);
    EXPECT_EQ(bar->FineShiftBar->minimum(), 0);
    EXPECT_EQ(bar->FineShiftBar->maximum(), 100);
    EXPECT_EQ(bar->FrequencyEdit->Text(), "15k");
    EXPECT_EQ(group.title().toStdString(), Strings::CaptionSamplingRate);
    EXPECT_TRUE(bar->ConModeBtn->isChecked());
    EXPECT_FALSE(bar->StepModeBtn->isChecked());
    EXPECT_FALSE(bar->SetBtn->isEnabled());
    EXPECT_TRUE(bar->ZoomInBtn->isEnabled());
    EXPECT_FALSE(bar->ZoomOutBtn->isEnabled());
    EXPECT_FALSE(bar->ZoomAwayBtn->isEnabled());
    // Grey ground, white scale, red marker line (in their readable shades).
    EXPECT_EQ(Pixel(2, 2), ScaleColours().Background);
    EXPECT_EQ(Pixel(W() / 2, 3), QColor(Qt::white));
    EXPECT_EQ(Pixel(MarkerX(), 10), ScaleColours().SoftwareMarker);
    EXPECT_EQ(bar->Model().MarkerHit, (TRect{MarkerX() - 6, 3, MarkerX() + 6, H() - 19}));
}

TEST_F(FrequencyBarTarnTest, ControlsHaveAccessibleNamesAndHints)
{
    EXPECT_EQ(bar->accessibleName().toStdString(), Strings::AccessibleFrequencyScale);
    EXPECT_EQ(bar->FineShiftBar->accessibleName().toStdString(), Strings::AccessibleFineShift);
    // Named by the frequency it shows, described by its hint.
    EXPECT_EQ(bar->FrequencyEdit->accessibleName(), bar->FrequencyEdit->text());
    EXPECT_EQ(bar->FrequencyEdit->accessibleDescription().toStdString(), Strings::HintFrequencyEdit);
    EXPECT_EQ(bar->DevFrequencyEdit->accessibleDescription().toStdString(), Strings::HintDevFrequencyEdit);
    EXPECT_TRUE(bar->DevFrequencyEdit->isReadOnly());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(bar->ZoomAwayBtn)->text(QAccessible::Name).toStdString(),
              Strings::ButtonZoomAway);
    EXPECT_EQ(bar->StepModeBtn->toolTip().toStdString(), Strings::HintStepMode);
    EXPECT_TRUE(bar->ConModeBtn->isCheckable());
    EXPECT_TRUE(bar->StepModeBtn->isCheckable());
    EXPECT_FALSE(bar->SetBtn->isCheckable());
}

// Pointing at a marker or an end of the scale names it with its value; the
// accessible description says the same of all of them.
TEST_F(FrequencyBarTarnTest, MarkersAndEndsNameThemselvesAndTheirValuesWhereTheUserPoints)
{
    struct Case {
        std::function<void()> setUp;
        std::function<QPoint()> at;
        const char* tip;
    };
    const int y = 10;
    const auto deviceX = [&] { return PixelOf(View(), W(), settings.Device.DeviceFrequency); };
    const Case cases[] = {
        {[] {}, [&] { return QPoint(MarkerX() + kMarkerReach, y); }, "Frequency in software (red): 15 kSa/s"},
        {[] {}, [&] { return QPoint(5, y); }, "Lowest frequency of this waveform: 16.384 Sa/s"},
        {[] {}, [&] { return QPoint(W() - 5, H() - 30); }, "Highest frequency of this waveform: 100 MSa/s"},
        {[] {}, [&] { return QPoint(W() / 2 + 60, y); }, ""},
        // Step mode: the red marker waits for "Set", the green one stays where the device is.
        {[&] {
             Type(QStringLiteral("15k")); // the device follows
             QTest::mouseClick(bar->StepModeBtn, Qt::LeftButton);
             Drag(MarkerX(), y, MarkerX() + 60);
         },
         [&] { return QPoint(MarkerX(), H() - 12); }, "Frequency in software (red): %1, sent to the device by \"Set\""},
        {[] {}, [&] { return QPoint(deviceX() - kMarkerReach, y); }, "Frequency in device (green): 15.002 kSa/s"},
        {[&] {
             QTest::mouseClick(bar->SetBtn, Qt::LeftButton);
             for (int i = 0; i < 3; ++i)
                 QTest::mouseClick(bar->ZoomInBtn, Qt::LeftButton);
         },
         [&] { return QPoint(3, y); }, "Left end of the view: %2 (lowest frequency 16.384 Sa/s)"},
        {[&] { Drag(MarkerX(), y, W() + 40); }, [&] { return QPoint(W() - 10, H() - 14); },
         "Frequency in software (red): %1, outside the view: drag the triangle back"},
        // A standard waveform counts in hertz.
        {[&] {
             settings.Device.Waveforms[0] = Wave(8192, true);
             master.Notify(Code::omWaveformLoaded);
         },
         [&] { return QPoint(W() - 3, y); }, "Right end of the view: %3 (highest frequency 50 MHz)"},
    };
    for (const Case& c : cases) {
        c.setUp();
        bar->Redraw();
        const auto unit = [](double v, const char* u) { return ValueWithUnit(FormatFrequency(v), u); };
        const QString start = unit(View().Start, "Sa/s");
        const QString end = unit(View().Start * std::pow(10.0, View().Span), "Hz");
        const QString tip =
            QString::fromUtf8(c.tip).replace("%1", unit(F(), "Sa/s")).replace("%2", start).replace("%3", end);
        const QPoint at = c.at();
        EXPECT_EQ(bar->ToolTipAt(at).toStdString(), tip.toStdString()) << c.tip << " at " << at.x() << "," << at.y();
        if (!tip.isEmpty()) {
            EXPECT_TRUE(bar->accessibleDescription().contains(tip)) << bar->accessibleDescription().toStdString();
        }
        // The tool tip event shows the same text (an empty one hides the last after a while).
        QHelpEvent help(QEvent::ToolTip, at, bar->mapToGlobal(at));
        QApplication::sendEvent(bar, &help);
        if (!tip.isEmpty()) {
            EXPECT_TRUE(QToolTip::isVisible()) << c.tip;
            EXPECT_EQ(QToolTip::text().toStdString(), tip.toStdString()) << c.tip;
        }
    }
}

TEST_F(FrequencyBarTarnTest, TypedFrequencies)
{
    struct Case {
        const char* typed;
        double f;
        bool announced;
        bool highlighted;
    };
    const Case cases[] = {
        {"2.5M", 2.5e6, true, false}, {"1G", 1e8, true, false},     // above the limit: the highest
        {"5", 16.384, true, false},   {"abc", 16.384, false, true}, // not a frequency: nothing changes
        {"", 16.384, false, true},    {"15kHz", 16.384, false, true},
        {"1,5k", 1500, true, false},  {"1e400", 1500, false, true}, // beyond any number
        {"-5", 16.384, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        device.codes.clear();
        Type(QString::fromUtf8(c.typed));
        EXPECT_DOUBLE_EQ(F(), c.f);
        EXPECT_EQ(device.codes.empty(), !c.announced);
        EXPECT_EQ(bar->FrequencyEdit->Highlighted(), c.highlighted);
        EXPECT_EQ(bar->FrequencyEdit->Text().toStdString(), FormatFrequency(c.f));
    }
    EXPECT_EQ(bar->DevFrequencyEdit->Text().toStdString(), FormatFrequency(16.384 * 1.0001));
}

TEST_F(FrequencyBarTarnTest, ZoomButtonsFollowTheSpanLimits)
{
    for (int i = 0; i < 16; ++i) {
        ASSERT_TRUE(bar->ZoomInBtn->isEnabled()) << i;
        QTest::mouseClick(bar->ZoomInBtn, Qt::LeftButton);
    }
    EXPECT_FALSE(bar->ZoomInBtn->isEnabled());
    EXPECT_TRUE(bar->ZoomOutBtn->isEnabled());
    EXPECT_TRUE(bar->ZoomAwayBtn->isEnabled());
    EXPECT_DOUBLE_EQ(F(), 15000) << "zooming changes the view only";
    EXPECT_TRUE(device.codes.empty());
    QTest::mouseClick(bar->ZoomOutBtn, Qt::LeftButton);
    EXPECT_TRUE(bar->ZoomInBtn->isEnabled());
    QTest::mouseClick(bar->ZoomAwayBtn, Qt::LeftButton);
    EXPECT_NEAR(View().Start, 16.384, 1e-9);
    EXPECT_FALSE(bar->ZoomAwayBtn->isEnabled());
}

TEST_F(FrequencyBarTarnTest, MarkerDraggedPastTheRightEndShowsATriangleThatCanBeGrabbedAgain)
{
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(bar->ZoomInBtn, Qt::LeftButton);
    const double viewEnd = FrequencyAt(View(), W(), W() - kScaleMargin);
    ASSERT_LT(viewEnd, 1e8);
    Drag(MarkerX(), 10, W() + 30);
    EXPECT_GT(F(), viewEnd);
    EXPECT_LE(F(), 1e8);
    EXPECT_EQ(device.codes.front(), Code::omFrequencyChanged);
    EXPECT_EQ(Pixel(W() - 10, H() - 14), ScaleColours().SoftwareMarker) << "triangle";
    EXPECT_EQ(bar->Model().MarkerHit, (TRect{W() - 14, H() - 18, W() - 6, H() - 10}));
    Drag(W() - 10, H() - 14, 200);
    EXPECT_EQ(MarkerX(), 200);
    EXPECT_EQ(Pixel(200, 10), ScaleColours().SoftwareMarker);
    EXPECT_EQ(bar->FrequencyEdit->Text().toStdString(), FormatFrequency(F()));
}

TEST_F(FrequencyBarTarnTest, KeysMoveTheMarkerByAPixelATenthOfTheSpanOrToALimit)
{
    QTest::mouseClick(bar->ZoomInBtn, Qt::LeftButton); // a span whose tenth is not a whole decade
    const double span = View().Span;
    const int page = static_cast<int>(std::round(UsableWidth(W()) / 10.0));
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        int pixels;   // the marker's move, or 0 for
        double limit; // the frequency it goes to (0: it stays)
    };
    const Case cases[] = {
        {Qt::Key_Right, {}, 1, 0},
        {Qt::Key_Up, {}, 1, 0},
        {Qt::Key_Left, {}, -1, 0},
        {Qt::Key_Down, {}, -1, 0},
        {Qt::Key_Left, Qt::KeypadModifier, -1, 0},
        {Qt::Key_Right, Qt::ControlModifier, 0, 0},
        {Qt::Key_Right, Qt::ShiftModifier, 0, 0},
        {Qt::Key_End, Qt::AltModifier, 0, 0},
        {Qt::Key_PageUp, {}, page, 0},
        {Qt::Key_PageDown, {}, -page, 0},
        {Qt::Key_PageDown, {}, -page, 0},
        {Qt::Key_End, {}, 0, 1e8},
        {Qt::Key_Home, {}, 0, 16.384},
        {Qt::Key_Home, {}, 0, 16.384}, // again: already there
    };
    for (const Case& c : cases) {
        device.codes.clear();
        const int x = MarkerX();
        const double f = F();
        QTest::keyClick(bar, Qt::Key(c.key), c.modifiers);
        if (c.pixels != 0) {
            EXPECT_EQ(MarkerX(), x + c.pixels) << c.key;
            EXPECT_DOUBLE_EQ(F(), FrequencyAt(View(), W(), x + c.pixels)) << c.key;
            // The fine shift's reference follows the key, as it follows a drag.
            EXPECT_EQ(bar->FineShiftBar->value(), kFineShiftCentre) << c.key;
        } else {
            EXPECT_DOUBLE_EQ(F(), c.limit != 0 ? c.limit : f) << c.key;
        }
        const bool moved = F() != f;
        EXPECT_EQ(device.codes, moved ? std::vector<Code>{Code::omFrequencyChanged} : std::vector<Code>{}) << c.key;
        EXPECT_EQ(bar->FrequencyEdit->Text().toStdString(), FormatFrequency(F())) << c.key;
        EXPECT_DOUBLE_EQ(View().Span, span) << "the view stays";
    }
    EXPECT_NEAR(page * span / UsableWidth(W()), span / 10, span / UsableWidth(W()) / 2) << "a tenth of the span";
    // Not while the mouse drags the marker.
    Mouse(QEvent::MouseButtonPress, MarkerX(), 10);
    QTest::keyClick(bar, Qt::Key_End);
    EXPECT_DOUBLE_EQ(F(), 16.384);
    Mouse(QEvent::MouseButtonRelease, MarkerX(), 10);
}

TEST_F(FrequencyBarTarnTest, PanningBesideTheMarkerMovesTheScaleNotTheFrequency)
{
    QTest::mouseClick(bar->ZoomInBtn, Qt::LeftButton);
    QTest::mouseClick(bar->ZoomInBtn, Qt::LeftButton);
    const double start = View().Start;
    const int x = MarkerX() + 60;
    const double grabbed = FrequencyAt(View(), W(), x);
    Drag(x, 10, x - 40);
    EXPECT_DOUBLE_EQ(F(), 15000);
    EXPECT_TRUE(device.codes.empty());
    EXPECT_GT(View().Start, start);
    EXPECT_NEAR(FrequencyAt(View(), W(), x - 40), grabbed, grabbed * 1e-12);
}

TEST_F(FrequencyBarTarnTest, FineShiftMovesAtMostOnePixelAndKeepsItsReference)
{
    const int x = MarkerX();
    const double snapped = bar->Model().Snapped;
    bar->FineShiftBar->setValue(100);
    EXPECT_EQ(PixelOf(View(), W(), F()), x + 1);
    EXPECT_EQ(bar->FineShiftBar->value(), 100);
    bar->FineShiftBar->setValue(25);
    EXPECT_NEAR(F(), FrequencyAt(View(), W(), x - 0.5), F() * 1e-12);
    EXPECT_DOUBLE_EQ(bar->Model().Snapped, snapped);
    EXPECT_EQ(device.codes, (std::vector<Code>{Code::omFrequencyChanged, Code::omFrequencyChanged}));
}

TEST_F(FrequencyBarTarnTest, AFrequencySetElsewhereBecomesTheFineShiftReference)
{
    F() = 12345.0;
    master.Notify(Code::omFrequencyChanged);
    EXPECT_EQ(bar->FineShiftBar->value(), kFineShiftCentre);
    bar->FineShiftBar->setValue(kFineShiftCentre + 1);
    EXPECT_NEAR(F(), 12345.0, 12345.0 * 0.01);
}

TEST_F(FrequencyBarTarnTest, FineShiftFollowsTheScaleAfterAResize)
{
    bar->setFixedWidth(300);
    const int x = MarkerX();
    bar->FineShiftBar->setValue(100);
    EXPECT_EQ(PixelOf(View(), W(), F()), x + 1);
}

TEST_F(FrequencyBarTarnTest, ReloadedSettingsShowTheFullRangeAtTheNextPaint)
{
    QTest::mouseClick(bar->ZoomInBtn, Qt::LeftButton);
    ASSERT_TRUE(bar->ZoomAwayBtn->isEnabled());
    master.Notify(Code::omSettingsApplied, 5);
    bar->repaint();
    EXPECT_FALSE(bar->ZoomAwayBtn->isEnabled());
    EXPECT_EQ(Pixel(PixelOf(View(), W(), 100), 10), QColor(Qt::white)) << "the 100 Hz tick of the full range";
}

TEST_F(FrequencyBarTarnTest, StepModeReachesTheDeviceOnlyOnSet)
{
    const QString before = bar->DevFrequencyEdit->Text();
    QTest::mouseClick(bar->StepModeBtn, Qt::LeftButton);
    EXPECT_EQ(settings.Device.FrequencyMode, 1);
    EXPECT_TRUE(bar->StepModeBtn->isChecked());
    EXPECT_FALSE(bar->ConModeBtn->isChecked());
    EXPECT_TRUE(bar->SetBtn->isEnabled());
    Drag(MarkerX(), 10, MarkerX() + 50);
    EXPECT_EQ(bar->FrequencyEdit->Text().toStdString(), FormatFrequency(F()));
    EXPECT_EQ(bar->DevFrequencyEdit->Text(), before);
    QTest::mouseClick(bar->SetBtn, Qt::LeftButton);
    EXPECT_EQ(bar->DevFrequencyEdit->Text().toStdString(), FormatFrequency(F() * 1.0001));
    device.codes.clear();
    Type(QStringLiteral("1M"));
    QTest::mouseClick(bar->ConModeBtn, Qt::LeftButton);
    EXPECT_EQ(device.codes,
              (std::vector<Code>{Code::omFrequencyChanged, Code::omFrequencyModeChanged, Code::omApplyFrequency}));
    EXPECT_EQ(bar->DevFrequencyEdit->Text().toStdString(), FormatFrequency(1e6 * 1.0001));
    EXPECT_FALSE(bar->SetBtn->isEnabled());
}

TEST_F(FrequencyBarTarnTest, NewWaveformResetsAWideViewAndKeepsAZoomedOne)
{
    // Full view: the new limits 0.002 Hz .. 50 MHz.
    F() = 80e6;
    settings.Device.Waveforms[0] = Wave(8192, true);
    master.Notify(Code::omWaveformLoaded);
    EXPECT_NEAR(View().Start, 0.002, 1e-12);
    EXPECT_NEAR(View().Span, std::log10(50e6 / 0.002), 1e-12);
    EXPECT_EQ(group.title().toStdString(), Strings::CaptionWaveformFrequency);
    EXPECT_DOUBLE_EQ(F(), 50e6) << "clamped before the device is told";
    EXPECT_DOUBLE_EQ(device.pending, 50e6 * 1.0001);
    EXPECT_EQ(device.codes, std::vector<Code>{Code::omFrequencyChanged});

    // Zoomed in, in Step mode: the view keeps start and span, clamped to the new limits.
    QTest::mouseClick(bar->StepModeBtn, Qt::LeftButton);
    Type(QStringLiteral("10"));
    for (int i = 0; i < 4; ++i)
        QTest::mouseClick(bar->ZoomInBtn, Qt::LeftButton);
    const TFrequencyView zoomed = View();
    ASSERT_LT(zoomed.Start, 16.384);
    device.codes.clear();
    settings.Device.Waveforms[0] = Wave(1000, false);
    master.Notify(Code::omWaveformLoaded);
    EXPECT_DOUBLE_EQ(View().Span, zoomed.Span);
    EXPECT_DOUBLE_EQ(View().Start, 16.384);
    EXPECT_DOUBLE_EQ(F(), 16.384);
    EXPECT_EQ(device.codes, (std::vector<Code>{Code::omFrequencyChanged, Code::omApplyFrequency}));
    EXPECT_EQ(group.title().toStdString(), Strings::CaptionSamplingRate);
}

TEST_F(FrequencyBarTarnTest, WheelZoomsAroundThePointer)
{
    const double under = FrequencyAt(View(), W(), 120);
    const double span = View().Span;
    QWheelEvent in(QPointF(120, 10), bar->mapToGlobal(QPointF(120, 10)), QPoint(), QPoint(0, 120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(bar, &in);
    EXPECT_DOUBLE_EQ(View().Span, span / 2);
    EXPECT_NEAR(FrequencyAt(View(), W(), 120), under, under * 1e-12);
    EXPECT_TRUE(bar->ZoomOutBtn->isEnabled());
    // Half a notch does nothing yet; the other half makes one step out.
    for (int i = 0; i < 2; ++i) {
        QWheelEvent out(QPointF(120, 10), bar->mapToGlobal(QPointF(120, 10)), QPoint(), QPoint(0, -60), Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(bar, &out);
        EXPECT_DOUBLE_EQ(View().Span, i == 0 ? span / 2 : span);
    }
    EXPECT_DOUBLE_EQ(F(), 15000);
}

TEST_F(FrequencyBarTarnTest, ANarrowControlDrawsWhatItCanAndKeepsTheFrequencyClamped)
{
    for (const QSize size : {QSize(20, 10), QSize(0, 0), QSize(31, 40)}) {
        bar->setMinimumSize(0, 0);
        bar->setFixedSize(size);
        F() = 5e9;
        bar->Redraw();
        EXPECT_DOUBLE_EQ(F(), 1e8);
        Drag(5, 5, 15);
        QTest::mouseClick(bar->ZoomInBtn, Qt::LeftButton);
        bar->FineShiftBar->setValue(0);
        EXPECT_TRUE(std::isfinite(F()));
        EXPECT_GE(F(), 16.384);
        EXPECT_LE(F(), 1e8);
        bar->repaint();
    }
}

TEST_F(FrequencyBarTarnTest, NothingHappensBeforeTheFirstViewReset)
{
    TFrequencyBarTarn fresh;
    fresh.SetSettings(&settings);
    fresh.SetObjMaster(&master);
    fresh.resize(300, 60);
    fresh.Redraw();
    EXPECT_TRUE(fresh.Bitmap().isNull());
    fresh.FrequencyEditUserEnter(QStringLiteral("1k"));
    fresh.ZoomInBtnClick();
    EXPECT_DOUBLE_EQ(F(), 15000);
    EXPECT_FALSE(fresh.Model().Ready());
}

} // namespace
} // namespace tarn
