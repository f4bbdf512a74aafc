// SPDX-License-Identifier: MIT
#include "panels/WaveScreenTarn.h"

#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "panels/PanelControlsTarn.h"
#include "panels/WaveListBoxTarn.h"

#include <QDragEnterEvent>
#include <QPainter>
#include <QPen>

namespace tarn {

TWaveScreenTarn::TWaveScreenTarn(QWidget* parent) : TGraphicControlTarn(parent)
{
    resize(200, 100);
    setAcceptDrops(true);
    Describe(*this, QString(), QString(), QString::fromUtf8(Strings::AccessibleWavePreview));
}

TWaveScreenTarn::~TWaveScreenTarn()
{
    DetachFromMaster();
}

void TWaveScreenTarn::ObjMasterNotify(TObjMasterCode code, std::int32_t index, void*)
{
    if ((code == TObjMasterCode::omSettingsApplied && index == 5) || code == TObjMasterCode::omChannelWaveformChanged) {
        Redraw();
        DescribePlaying();
        update();
    }
}

void TWaveScreenTarn::DescribePlaying()
{
    const TSettingsTarn* settings = Settings();
    QString text;
    if (settings != nullptr && channelIndex_ >= 0
        && static_cast<std::size_t>(channelIndex_) < settings->Device.Waveforms.size()) {
        text = QString::fromUtf8(Strings::WavePreviewPlaying)
                   .arg(QString::fromStdString(settings->Device.Waveforms[channelIndex_]->Name));
    }
    setToolTip(text);
    setAccessibleDescription(text);
}

void TWaveScreenTarn::SetHighlighted(bool on)
{
    if (highlighted_ != on) {
        highlighted_ = on;
        update();
    }
}

void TWaveScreenTarn::Redraw()
{
    // One bar per device pixel column: crisp on a screen of any scale.
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = PixelSize();
    if (bitmap_.size() != pixels) {
        bitmap_ = QImage(pixels, QImage::Format_RGB32);
    }
    bitmap_.setDevicePixelRatio(ratio);
    bitmap_.fill(Qt::black);
    const TSettingsTarn* settings = Settings();
    if (settings == nullptr || channelIndex_ < 0
        || static_cast<std::size_t>(channelIndex_) >= settings->Device.Waveforms.size()) {
        return;
    }
    const TWaveformTarn& waveform = *settings->Device.Waveforms[channelIndex_];
    bitmap_ = RenderWavePicture(waveform, size(), TWaveMapping{static_cast<double>(height() - 1), 0}, ratio);
}

QSize TWaveScreenTarn::PixelSize() const
{
    const qreal ratio = devicePixelRatioF();
    return ratio > 1.0 ? QSize(qRound(width() * ratio), qRound(height() * ratio)) : size();
}

void TWaveScreenTarn::paintEvent(QPaintEvent*)
{
    if (bitmap_.size() != PixelSize()) {
        Redraw();
    }
    QPainter painter(this);
    painter.drawImage(0, 0, bitmap_);
    if (highlighted_) {
        // A drop here would be taken: a frame in the highlight colour.
        painter.setPen(QPen(palette().highlight().color(), 3));
        painter.drawRect(rect().adjusted(1, 1, -2, -2));
    }
}

std::int32_t TWaveScreenTarn::QueryDragged()
{
    std::int32_t index = -1;
    if (ObjMaster() != nullptr) {
        ObjMaster()->Notify(TObjMasterCode::omQueryDraggedWaveform, 0, &index);
    }
    return index;
}

void TWaveScreenTarn::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
    SetHighlighted(dragged_ >= 0);
}

void TWaveScreenTarn::dragLeaveEvent(QDragLeaveEvent* event)
{
    SetHighlighted(false);
    event->accept();
}

void TWaveScreenTarn::dragMoveEvent(QDragMoveEvent* event)
{
    dragged_ = QueryDragged();
    if (dragged_ >= 0) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

bool TWaveScreenTarn::Play(std::int32_t repositoryIndex)
{
    TSettingsTarn* settings = Settings();
    if (settings == nullptr || repositoryIndex < 0
        || static_cast<std::size_t>(repositoryIndex) >= settings->Repository.size() || channelIndex_ < 0
        || static_cast<std::size_t>(channelIndex_) >= settings->Device.Waveforms.size()) {
        return false;
    }
    settings->Device.Waveforms[channelIndex_]->Assign(*settings->Repository[repositoryIndex]);
    if (ObjMaster() != nullptr) {
        ObjMaster()->Notify(TObjMasterCode::omChannelWaveformChanged, channelIndex_);
    }
    return true;
}

void TWaveScreenTarn::dropEvent(QDropEvent* event)
{
    const std::int32_t index = dragged_;
    dragged_ = -1;
    SetHighlighted(false);
    if (Play(index)) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

} // namespace tarn
