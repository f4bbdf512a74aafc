// SPDX-License-Identifier: MIT
// The visible keyboard focus of the controls the program draws itself or
// whose style shows none (scroll bars, the panels' flat buttons): a ring in
// the palette's highlight colour with a highlighted-text ring inside it, so it
// shows on a plain and on a highlighted (down) control alike.
#pragma once
#include <QScrollBar>
#include <QToolButton>

class QPainter;

namespace tarn {

// Draws the ring just inside rect when widget has the focus; nothing otherwise.
void PaintFocusFrame(QPainter& painter, const QWidget& widget, const QRect& rect);

// A scroll bar that takes the focus by Tab or click and shows it.
class TFocusScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit TFocusScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    // Across: Right and Page Up go towards the right end, the higher values
    // (the toolkit's scroll bar goes back, as a vertical one goes up).
    void keyPressEvent(QKeyEvent* event) override;
};

// A tool button that shows its focus.
class TFocusToolButton : public QToolButton {
    Q_OBJECT
public:
    explicit TFocusToolButton(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace tarn
