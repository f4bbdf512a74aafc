// SPDX-License-Identifier: MIT
#include "panels/FocusFrameTarn.h"

#include <QKeyEvent>
#include <QPainter>

namespace tarn {

void PaintFocusFrame(QPainter& painter, const QWidget& widget, const QRect& rect)
{
    if (!widget.hasFocus() || rect.width() < 6 || rect.height() < 6)
        return;
    const QPalette& palette = widget.palette();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(palette.color(QPalette::Highlight), 0));
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.drawRect(rect.adjusted(1, 1, -2, -2));
    painter.setPen(QPen(palette.color(QPalette::HighlightedText), 0));
    painter.drawRect(rect.adjusted(2, 2, -3, -3));
    painter.restore();
}

TFocusScrollBar::TFocusScrollBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void TFocusScrollBar::paintEvent(QPaintEvent* event)
{
    QScrollBar::paintEvent(event);
    QPainter painter(this);
    PaintFocusFrame(painter, *this, rect());
}

void TFocusScrollBar::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeyboardModifiers(Qt::KeypadModifier);
    const bool step = key == Qt::Key_Left || key == Qt::Key_Right;
    const bool page = key == Qt::Key_PageUp || key == Qt::Key_PageDown;
    if (orientation() == Qt::Horizontal && (step || page) && modifiers == Qt::KeyboardModifiers()) {
        if (step) {
            const bool up = (key == Qt::Key_Right) != isRightToLeft();
            triggerAction(up ? SliderSingleStepAdd : SliderSingleStepSub);
        } else {
            triggerAction(key == Qt::Key_PageUp ? SliderPageStepAdd : SliderPageStepSub);
        }
        event->accept();
        return;
    }
    QScrollBar::keyPressEvent(event);
}

TFocusToolButton::TFocusToolButton(QWidget* parent) : QToolButton(parent) {}

void TFocusToolButton::paintEvent(QPaintEvent* event)
{
    QToolButton::paintEvent(event);
    QPainter painter(this);
    PaintFocusFrame(painter, *this, rect());
}

} // namespace tarn
