// SPDX-License-Identifier: MIT
// The frequency bar: a logarithmic frequency scale with the frequency the user
// set (red) and the one the device produces (green), dragged, panned, zoomed,
// finely shifted or typed; it also drives the group's buttons and edits and
// decides whether a change reaches the device at once ("Con") or on "Set".
#pragma once
#include "panels/FrequencyScaleTarn.h"
#include "panels/HLEditTarn.h"
#include "shell/master/ComponentsTarn.h"

#include <QGroupBox>
#include <QImage>
#include <QPointer>
#include <QScrollBar>
#include <QToolButton>

#include <functional>
#include <vector>

namespace tarn {

class TFrequencyBarTarn : public TGraphicControlTarn {
    Q_OBJECT
public:
    // A typed frequency the limits changed: what the program set instead.
    std::function<void(const QString&)> OnAdjusted;
    explicit TFrequencyBarTarn(QWidget* parent = nullptr);
    ~TFrequencyBarTarn() override;

    // Builds the bar and the group's controls inside group (which owns them)
    // and returns the bar with its control properties set.
    static TFrequencyBarTarn* CreateInGroup(QGroupBox& group);

    // The group's controls, not owned.
    QPointer<QToolButton> ZoomInBtn;
    QPointer<QToolButton> ZoomOutBtn;
    QPointer<QToolButton> ZoomAwayBtn;
    QPointer<QScrollBar> FineShiftBar;
    QPointer<THLEditTarn> FrequencyEdit;
    QPointer<THLEditTarn> DevFrequencyEdit;
    QPointer<QToolButton> ConModeBtn;
    QPointer<QToolButton> StepModeBtn;
    QPointer<QToolButton> SetBtn;
    QPointer<QGroupBox> GroupBox;

    const TFrequencyBarModel& Model() const { return model_; }
    // The off-screen picture as last drawn.
    const QImage& Bitmap() const { return bitmap_; }
    // Draws into the off-screen picture and sets the group's controls.
    void Redraw();
    // The tool tip at a point of the bar: the marker or scale end there and its value.
    QString ToolTipAt(const QPoint& point) const;

    void ZoomInBtnClick();
    void ZoomOutBtnClick();
    void ZoomAwayBtnClick();
    void FineShiftBarChange(int position);
    void FrequencyEditUserEnter(const QString& text);
    void ConModeBtnClick();
    void StepModeBtnClick();
    void SetBtnClick();

protected:
    bool event(QEvent* event) override;
    void ObjMasterNotify(TObjMasterCode code, std::int32_t index, void* data) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Arrows move the red marker by a pixel, Page keys by a tenth of the
    // span, Home and End to the limits, as dragging it there would.
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool Active() const;
    TFrequencyLimits Limits() const;
    double& Frequency();
    void WireControls();
    void Announce(TObjMasterCode code);
    void RedrawAndPaint();
    void Zoom(double factor);
    void WaveformLoaded();
    // Where the markers inside the scale put their labels.
    std::vector<QRect> MarkerLabels() const;
    QRect LabelRect(int x, const QString& text) const;
    void DrawScale(QPainter& painter, const std::vector<QRect>& markerLabels);
    void DrawMarkers(QPainter& painter);
    void UpdateControls();
    // Every marker and the limits, for those who cannot point.
    void UpdateDescription();
    QString ItemText(TScaleItem item) const;
    QString FrequencyText(double f) const;
    void SetModeButtons();
    // Stores and announces the frequency mode; false when not wired.
    bool SetMode(std::int32_t mode);

    TFrequencyBarModel model_;
    QImage bitmap_;
    bool stale_ = true;
    bool wired_ = false;
    bool updating_ = false;
    // The view covered at least 7/8 of the range when last drawn.
    bool wideView_ = true;
    // A redraw waits for the end of the announcement in progress.
    bool refreshQueued_ = false;
    // The bar's own announcement is under way.
    bool announcing_ = false;
    int wheelRest_ = 0;
};

} // namespace tarn
