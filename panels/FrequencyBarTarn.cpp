// SPDX-License-Identifier: MIT
#include "panels/FrequencyBarTarn.h"

#include "access/AccessibleTarn.h"
#include "data/CommonFunctionsTarn.h"
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "panels/FocusFrameTarn.h"
#include "panels/HLEditTarn.h"
#include "panels/PanelControlsTarn.h"
#include "panels/ThemeTarn.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <iterator>
#include <utility>

namespace tarn {

namespace {

// Scale labels are sized in logical pixels so that they fit the fixed geometry
// under the scale at every screen scale.
constexpr int kLabelPixelSize = 10;
constexpr int kWheelStep = 120;
constexpr int kEditWidth = 66;
// Room for the scale, its ticks and one line of labels.
constexpr int kBarMinimumHeight = 56;

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

TFrequencyBarTarn::TFrequencyBarTarn(QWidget* parent) : TGraphicControlTarn(parent)
{
    setAccessibleName(QString::fromUtf8(Strings::AccessibleFrequencyScale));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    QFont labels = font();
    labels.setPixelSize(kLabelPixelSize);
    setFont(labels);
}

TFrequencyBarTarn::~TFrequencyBarTarn()
{
    DetachFromMaster();
}

TFrequencyBarTarn* TFrequencyBarTarn::CreateInGroup(QGroupBox& group)
{
    ApplyPanelStyle(group);
    auto* bar = new TFrequencyBarTarn(&group);
    bar->GroupBox = &group;
    bar->setMinimumHeight(kBarMinimumHeight);
    bar->ZoomInBtn = MakeButton(group, Strings::ButtonZoomIn, "");
    bar->ZoomOutBtn = MakeButton(group, Strings::ButtonZoomOut, "");
    bar->ZoomAwayBtn = MakeButton(group, Strings::ButtonZoomAway, "");
    auto* fine = new TFocusScrollBar(Qt::Horizontal, &group);
    fine->setAccessibleName(QString::fromUtf8(Strings::AccessibleFineShift));
    bar->FineShiftBar = fine;
    auto* edit = new THLEditTarn(&group);
    ApplyStyle(*edit, THLEditStyle::Pending);
    SetHint(*edit, Strings::HintFrequencyEdit);
    NameByValue(*edit, edit->accessibleName());
    edit->setFixedWidth(kEditWidth);
    bar->FrequencyEdit = edit;
    auto* device = new THLEditTarn(&group);
    ApplyStyle(*device, THLEditStyle::Device);
    SetHint(*device, Strings::HintDevFrequencyEdit);
    NameByValue(*device, device->accessibleName());
    device->setFixedWidth(kEditWidth);
    bar->DevFrequencyEdit = device;
    bar->ConModeBtn = MakeToggleButton(group, Strings::ButtonCon, Strings::HintConMode);
    bar->StepModeBtn = MakeToggleButton(group, Strings::ButtonStep, Strings::HintStepMode);
    bar->SetBtn = MakeButton(group, Strings::ButtonSet, "");

    auto* column = new QVBoxLayout(&group);
    column->setContentsMargins(5, 2, 5, 5);
    column->setSpacing(3);
    column->addWidget(bar, 1);
    column->addWidget(fine);
    auto* row = new QHBoxLayout;
    row->setSpacing(2);
    for (QToolButton* b : {bar->ZoomInBtn.data(), bar->ZoomOutBtn.data(), bar->ZoomAwayBtn.data()})
        row->addWidget(b);
    row->addSpacing(4);
    row->addWidget(edit);
    row->addWidget(device);
    row->addSpacing(4);
    // The short captions keep their natural width; the zoom buttons take the rest.
    for (QToolButton* b : {bar->ConModeBtn.data(), bar->StepModeBtn.data(), bar->SetBtn.data()}) {
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        row->addWidget(b);
    }
    column->addLayout(row);
    FitCaptions(group);
    // The three zoom buttons alike, in the smallest type any of them needed.
    QFont zoom = bar->ZoomInBtn->font();
    for (QToolButton* b : {bar->ZoomOutBtn.data(), bar->ZoomAwayBtn.data()})
        if (b->font().pointSizeF() < zoom.pointSizeF())
            zoom = b->font();
    for (QToolButton* b : {bar->ZoomInBtn.data(), bar->ZoomOutBtn.data(), bar->ZoomAwayBtn.data()})
        b->setFont(zoom);
    return bar;
}

bool TFrequencyBarTarn::Active() const
{
    return Settings() != nullptr && ObjMaster() != nullptr;
}

TFrequencyLimits TFrequencyBarTarn::Limits() const
{
    return LimitsOf(*Settings());
}

double& TFrequencyBarTarn::Frequency()
{
    return Settings()->Device.Frequency;
}

void TFrequencyBarTarn::Announce(TObjMasterCode code)
{
    if (ObjMaster() == nullptr)
        return;
    const bool outer = announcing_;
    announcing_ = true;
    ObjMaster()->Notify(code);
    announcing_ = outer;
}

void TFrequencyBarTarn::ObjMasterNotify(TObjMasterCode code, std::int32_t index, void*)
{
    if (Settings() == nullptr)
        return;
    switch (code) {
    case TObjMasterCode::omSettingsApplied:
        if (index == 5) {
            model_.Reset(Limits());
            wideView_ = true;
            // The picture no longer shows the view: the next paint redraws it.
            stale_ = true;
            update();
        }
        break;
    case TObjMasterCode::omStart:
        WireControls();
        model_.Snap(Frequency(), width());
        break;
    case TObjMasterCode::omFrequencyChanged:
        // A frequency set elsewhere (a remote command) becomes the fine
        // shift's reference, as a typed one does; the bar's own fine shift
        // keeps its reference while it moves.
        if (!announcing_ && model_.Ready())
            model_.Snap(Frequency(), width());
        [[fallthrough]];
    case TObjMasterCode::omFrequencyModeChanged:
    case TObjMasterCode::omApplyFrequency:
        RedrawAndPaint();
        // The bar hears these before the device abstraction stores the
        // frequency in device; once the announcement is over, show that too.
        if (!refreshQueued_) {
            refreshQueued_ = true;
            QTimer::singleShot(0, this, [this] {
                refreshQueued_ = false;
                RedrawAndPaint();
            });
        }
        break;
    case TObjMasterCode::omWaveformLoaded:
        WaveformLoaded();
        break;
    default:
        break;
    }
}

void TFrequencyBarTarn::WireControls()
{
    if (wired_)
        return;
    wired_ = true;
    const auto onClick = [this](QToolButton* button, void (TFrequencyBarTarn::*handler)()) {
        if (button != nullptr)
            connect(button, &QToolButton::clicked, this, handler);
    };
    onClick(ZoomInBtn, &TFrequencyBarTarn::ZoomInBtnClick);
    onClick(ZoomOutBtn, &TFrequencyBarTarn::ZoomOutBtnClick);
    onClick(ZoomAwayBtn, &TFrequencyBarTarn::ZoomAwayBtnClick);
    onClick(ConModeBtn, &TFrequencyBarTarn::ConModeBtnClick);
    onClick(StepModeBtn, &TFrequencyBarTarn::StepModeBtnClick);
    onClick(SetBtn, &TFrequencyBarTarn::SetBtnClick);
    if (FineShiftBar != nullptr) {
        updating_ = true;
        FineShiftBar->setRange(0, kFineShiftMax);
        updating_ = false;
        connect(FineShiftBar, &QScrollBar::valueChanged, this, &TFrequencyBarTarn::FineShiftBarChange);
    }
    if (FrequencyEdit != nullptr)
        FrequencyEdit->OnUserEnter = [this](THLEditTarn*, const QString& text) { FrequencyEditUserEnter(text); };
}

void TFrequencyBarTarn::WaveformLoaded()
{
    if (!Active())
        return;
    const TFrequencyLimits limits = Limits();
    if (wideView_)
        model_.Reset(limits);
    // Clamped before it is announced, so the device never gets a frequency
    // outside the new waveform's limits.
    model_.Clamp(limits, Frequency());
    model_.Snap(Frequency(), width());
    Announce(TObjMasterCode::omFrequencyChanged);
    if (Settings()->Device.FrequencyMode == 1)
        Announce(TObjMasterCode::omApplyFrequency);
    RedrawAndPaint();
}

void TFrequencyBarTarn::RedrawAndPaint()
{
    Redraw();
    update();
}

void TFrequencyBarTarn::Zoom(double factor)
{
    if (!Active() || !model_.Ready())
        return;
    model_.Zoom(factor, Frequency(), width(), Limits());
    RedrawAndPaint();
}

void TFrequencyBarTarn::ZoomInBtnClick()
{
    Zoom(0.5);
}

void TFrequencyBarTarn::ZoomOutBtnClick()
{
    Zoom(2.0);
}

void TFrequencyBarTarn::ZoomAwayBtnClick()
{
    if (!Active() || !model_.Ready())
        return;
    model_.ZoomAway(Frequency(), width(), Limits());
    RedrawAndPaint();
}

void TFrequencyBarTarn::FineShiftBarChange(int position)
{
    if (updating_ || !Active() || !model_.Ready())
        return;
    double f = model_.FineShift(position);
    model_.Clamp(Limits(), f);
    Frequency() = f;
    Announce(TObjMasterCode::omFrequencyChanged);
    RedrawAndPaint();
}

void TFrequencyBarTarn::FrequencyEditUserEnter(const QString& text)
{
    if (!Active() || !model_.Ready())
        return;
    double f = 0.0;
    try {
        f = ParseFrequency(text.toStdString());
    } catch (const std::exception&) {
        return; // the field stays highlighted with what was typed
    }
    const double typed = f;
    model_.Clamp(Limits(), f);
    if (f != typed && OnAdjusted) {
        OnAdjusted(
            QString::fromUtf8(f < typed ? Strings::StatusFrequencyAbove : Strings::StatusFrequencyBelow)
                .arg(QString::fromStdString(FormatFrequency(typed)), QString::fromStdString(FormatFrequency(f))));
    }
    Frequency() = f;
    model_.Snap(f, width());
    Announce(TObjMasterCode::omFrequencyChanged);
    RedrawAndPaint();
}

bool TFrequencyBarTarn::SetMode(std::int32_t mode)
{
    if (!Active())
        return false;
    Settings()->Device.FrequencyMode = mode;
    Announce(TObjMasterCode::omFrequencyModeChanged);
    SetModeButtons();
    return true;
}

void TFrequencyBarTarn::ConModeBtnClick()
{
    // Leaving "Step" applies what was pending.
    if (!SetMode(0))
        return;
    Announce(TObjMasterCode::omApplyFrequency);
    RedrawAndPaint();
}

void TFrequencyBarTarn::StepModeBtnClick()
{
    SetMode(1);
}

void TFrequencyBarTarn::SetBtnClick()
{
    if (!Active())
        return;
    Announce(TObjMasterCode::omApplyFrequency);
    RedrawAndPaint();
}

void TFrequencyBarTarn::mousePressEvent(QMouseEvent* event)
{
    if (!Active() || !model_.Ready())
        return;
    const QPoint p = event->position().toPoint();
    model_.Press(p.x(), p.y(), width());
}

void TFrequencyBarTarn::mouseMoveEvent(QMouseEvent* event)
{
    if (!Active() || model_.Drag == TDragMode::None)
        return;
    if (model_.Move(event->position().toPoint().x(), width(), Limits(), Frequency()))
        Announce(TObjMasterCode::omFrequencyChanged);
    RedrawAndPaint();
}

void TFrequencyBarTarn::mouseReleaseEvent(QMouseEvent*)
{
    model_.Release();
}

void TFrequencyBarTarn::keyPressEvent(QKeyEvent* event)
{
    static const std::pair<int, TMarkerStep> keys[] = {
        {Qt::Key_Left, TMarkerStep::PixelDown},    {Qt::Key_Down, TMarkerStep::PixelDown},
        {Qt::Key_Right, TMarkerStep::PixelUp},     {Qt::Key_Up, TMarkerStep::PixelUp},
        {Qt::Key_PageDown, TMarkerStep::PageDown}, {Qt::Key_PageUp, TMarkerStep::PageUp},
        {Qt::Key_Home, TMarkerStep::Lowest},       {Qt::Key_End, TMarkerStep::Highest},
    };
    const auto* found = std::find_if(std::begin(keys), std::end(keys),
                                     [event](const auto& entry) { return entry.first == event->key(); });
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeyboardModifiers(Qt::KeypadModifier);
    if (found == std::end(keys) || modifiers != Qt::KeyboardModifiers()) {
        TGraphicControlTarn::keyPressEvent(event);
        return;
    }
    event->accept();
    // Not while the mouse drags: the two would fight over the marker.
    if (!Active() || !model_.Ready() || model_.Drag != TDragMode::None)
        return;
    if (model_.StepMarker(found->second, width(), Limits(), Frequency()))
        Announce(TObjMasterCode::omFrequencyChanged);
    RedrawAndPaint();
}

void TFrequencyBarTarn::wheelEvent(QWheelEvent* event)
{
    event->accept();
    if (!Active() || !model_.Ready())
        return;
    // Fine-grained wheels and touch pads send parts of a notch; one zoom step per notch.
    wheelRest_ += event->angleDelta().y();
    const int steps = wheelRest_ / kWheelStep;
    wheelRest_ -= steps * kWheelStep;
    const TFrequencyLimits limits = Limits();
    const int x = event->position().toPoint().x();
    bool zoomed = false;
    for (int i = 0; i < std::abs(steps); ++i) {
        const bool in = steps > 0;
        if (in ? !model_.ZoomInEnabled(limits) : !model_.ZoomOutEnabled(limits))
            break;
        model_.ZoomAt(in ? 0.5 : 2.0, x, Frequency(), width(), limits);
        zoomed = true;
    }
    if (zoomed)
        RedrawAndPaint();
}

void TFrequencyBarTarn::resizeEvent(QResizeEvent*)
{
    // The fine shift's reference is a pixel of the scale; new pixels, new reference.
    if (Active() && model_.Ready())
        model_.Snap(Frequency(), width());
}

void TFrequencyBarTarn::paintEvent(QPaintEvent*)
{
    const QSize pixels = size() * devicePixelRatioF();
    if (stale_ || bitmap_.size() != pixels)
        Redraw();
    QPainter painter(this);
    if (bitmap_.isNull() || bitmap_.size() != pixels)
        painter.fillRect(rect(), ScaleColours().Background);
    else
        painter.drawImage(0, 0, bitmap_);
    PaintFocusFrame(painter, *this, rect());
}

void TFrequencyBarTarn::Redraw()
{
    if (!Active() || !model_.Ready())
        return;
    model_.Clamp(Limits(), Frequency());
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = size() * ratio;
    if (bitmap_.size() != pixels)
        bitmap_ = QImage(pixels, QImage::Format_RGB32);
    if (!bitmap_.isNull()) {
        bitmap_.setDevicePixelRatio(ratio);
        bitmap_.fill(ScaleColours().Background);
        QPainter painter(&bitmap_);
        painter.setFont(font());
        DrawScale(painter, MarkerLabels());
        DrawMarkers(painter);
    }
    stale_ = false;
    UpdateControls();
}

QRect TFrequencyBarTarn::LabelRect(int x, const QString& text) const
{
    const QFontMetrics metrics(font());
    const int w = metrics.horizontalAdvance(text);
    return {x - w / 2, height() - 16, w, metrics.height()};
}

std::vector<QRect> TFrequencyBarTarn::MarkerLabels() const
{
    std::vector<QRect> labels;
    const TDeviceSettings& device = Settings()->Device;
    for (const double f : {device.DeviceFrequency, device.Frequency}) {
        const TMarkerShape shape = MarkerShape(model_.View, width(), height(), f);
        if (shape.Place == TMarkerPlace::Inside)
            labels.push_back(LabelRect(shape.X, Text(FormatFrequency(f))));
    }
    return labels;
}

void TFrequencyBarTarn::DrawScale(QPainter& painter, const std::vector<QRect>& markerLabels)
{
    const int w = width();
    const int h = height();
    painter.setPen(ScaleColours().Scale);
    painter.drawLine(kScaleMargin, 3, w - kScaleMargin, 3);
    painter.drawLine(kScaleMargin, h - 20, w - kScaleMargin, h - 20);
    const std::vector<TTick> ticks = Ticks(model_.View, w);
    for (const TTick& tick : ticks)
        painter.drawLine(tick.X, 3, tick.X, h - 19);
    const QFontMetrics metrics(painter.font());
    const auto widthOf = [&metrics](const std::string& text) { return metrics.horizontalAdvance(Text(text)); };
    for (const TPlacedLabel& label : PlaceLabels(ticks, model_.View.Span, widthOf)) {
        // A tick label under a marker's label would make one unreadable number of the two.
        const QRect r(label.Left - 3, h - 16, label.Width + 6, metrics.height());
        if (std::none_of(markerLabels.begin(), markerLabels.end(), [&r](const QRect& m) { return m.intersects(r); }))
            painter.drawText(label.Left, h - 16 + metrics.ascent(), Text(label.Text));
    }
}

void TFrequencyBarTarn::DrawMarkers(QPainter& painter)
{
    const int w = width();
    const int h = height();
    const QFontMetrics metrics(painter.font());
    const auto line = [&](const TMarkerShape& shape, const QColor& colour, double f) {
        const QString text = Text(FormatFrequency(f));
        const QRect label = LabelRect(shape.X, text);
        painter.setPen(colour);
        painter.drawLine(shape.X, 3, shape.X, h - 19);
        // On a clear patch: the red label covers the green one at nearby frequencies.
        painter.fillRect(label.adjusted(-1, 0, 1, 0), ScaleColours().Background);
        painter.drawText(label.left(), h - 16 + metrics.ascent(), text);
    };
    const TDeviceSettings& device = Settings()->Device;
    const TMarkerShape green = MarkerShape(model_.View, w, h, device.DeviceFrequency);
    if (green.Place == TMarkerPlace::Inside)
        line(green, ScaleColours().DeviceMarker, device.DeviceFrequency);
    const TMarkerShape red = MarkerShape(model_.View, w, h, device.Frequency);
    model_.MarkerHit = red.Hit;
    if (red.Place == TMarkerPlace::Inside) {
        line(red, ScaleColours().SoftwareMarker, device.Frequency);
    } else {
        const QPoint triangle[] = {{red.Triangle[0].X, red.Triangle[0].Y},
                                   {red.Triangle[1].X, red.Triangle[1].Y},
                                   {red.Triangle[2].X, red.Triangle[2].Y}};
        painter.setPen(ScaleColours().SoftwareMarker);
        painter.setBrush(ScaleColours().SoftwareMarker);
        painter.drawPolygon(triangle, 3);
        painter.setBrush(Qt::NoBrush);
    }
}

void TFrequencyBarTarn::UpdateControls()
{
    const TDeviceSettings& device = Settings()->Device;
    if (FineShiftBar != nullptr) {
        updating_ = true;
        FineShiftBar->setValue(model_.FineShiftPosition(device.Frequency));
        updating_ = false;
    }
    if (FrequencyEdit != nullptr)
        FrequencyEdit->SetText(Text(FormatFrequency(device.Frequency)));
    if (DevFrequencyEdit != nullptr)
        DevFrequencyEdit->SetText(Text(FormatFrequency(device.DeviceFrequency)));
    SetModeButtons();
    UpdateDescription();
    const TFrequencyLimits limits = Limits();
    const bool out = model_.ZoomOutEnabled(limits);
    wideView_ = !out;
    if (ZoomAwayBtn != nullptr)
        ZoomAwayBtn->setEnabled(out);
    if (ZoomOutBtn != nullptr)
        ZoomOutBtn->setEnabled(out);
    if (ZoomInBtn != nullptr)
        ZoomInBtn->setEnabled(model_.ZoomInEnabled(limits));
    if (GroupBox != nullptr) {
        const TWaveformList& waves = device.Waveforms;
        const bool standard = !waves.empty() && waves.front() && waves.front()->IsStandard;
        GroupBox->setTitle(
            QString::fromUtf8(standard ? Strings::CaptionWaveformFrequency : Strings::CaptionSamplingRate));
    }
}

void TFrequencyBarTarn::SetModeButtons()
{
    const std::int32_t mode = Settings()->Device.FrequencyMode;
    if (ConModeBtn != nullptr)
        ConModeBtn->setChecked(mode == 0);
    if (StepModeBtn != nullptr)
        StepModeBtn->setChecked(mode == 1);
    if (SetBtn != nullptr)
        SetBtn->setEnabled(mode == 1);
}

bool TFrequencyBarTarn::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return TGraphicControlTarn::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QString text = ToolTipAt(help->pos());
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        // Shown again as the pointer moves from one marker to the next.
        const int x = help->pos().x();
        QToolTip::showText(help->globalPos(), text, this, QRect(x - kMarkerReach, 0, 2 * kMarkerReach + 1, height()));
    }
    return true;
}

QString TFrequencyBarTarn::FrequencyText(double f) const
{
    const TWaveformList& waves = Settings()->Device.Waveforms;
    const bool rate = !waves.empty() && waves.front() && !waves.front()->IsStandard;
    return ValueWithUnit(FormatFrequency(f), rate ? "Sa/s" : "Hz");
}

QString TFrequencyBarTarn::ItemText(TScaleItem item) const
{
    const TDeviceSettings& device = Settings()->Device;
    const TFrequencyLimits limits = Limits();
    const auto tip = [](const char* text) { return QString::fromUtf8(text); };
    const auto end = [&](double at, double limit, const char* atLimit, const char* view) {
        // The view's end sits on the limit within a pixel's rounding.
        if (std::abs(std::log10(at / limit)) < 1e-9)
            return tip(atLimit).arg(FrequencyText(limit));
        return tip(view).arg(FrequencyText(at), FrequencyText(limit));
    };
    const TFrequencyView& view = model_.View;
    switch (item) {
    case TScaleItem::Software: {
        const TMarkerPlace place = MarkerShape(view, width(), height(), device.Frequency).Place;
        const bool pending = device.FrequencyMode == 1 && device.Frequency != device.DeviceFrequency;
        return tip(place != TMarkerPlace::Inside ? Strings::TipSoftwareBeyond
                   : pending                     ? Strings::TipSoftwarePending
                                                 : Strings::TipSoftwareMarker)
            .arg(FrequencyText(device.Frequency));
    }
    case TScaleItem::Device:
        return tip(Strings::TipDeviceMarker).arg(FrequencyText(device.DeviceFrequency));
    case TScaleItem::LowEnd:
        return end(view.Start, limits.Lo, Strings::TipLowestFrequency, Strings::TipViewStart);
    case TScaleItem::HighEnd:
        return end(view.Start * std::pow(10.0, view.Span), limits.Hi, Strings::TipHighestFrequency,
                   Strings::TipViewEnd);
    case TScaleItem::None:
        break;
    }
    return {};
}

QString TFrequencyBarTarn::ToolTipAt(const QPoint& point) const
{
    if (!Active() || !model_.Ready())
        return {};
    const TDeviceSettings& device = Settings()->Device;
    return ItemText(
        ItemAt(model_.View, width(), height(), point.x(), point.y(), device.Frequency, device.DeviceFrequency));
}

void TFrequencyBarTarn::UpdateDescription()
{
    QStringList parts;
    for (const TScaleItem item : {TScaleItem::Software, TScaleItem::Device, TScaleItem::LowEnd, TScaleItem::HighEnd})
        parts << ItemText(item);
    const QString description = parts.join(QStringLiteral(". "));
    if (accessibleDescription() != description)
        setAccessibleDescription(description);
}

} // namespace tarn
