// Small helpers the panels share to build their controls: two-state buttons
// with caption, hint and accessible texts, rows inside a group box, and the
// tag a two-button choice carries.
#pragma once
#include <QToolButton>

#include <initializer_list>

class QGroupBox;

namespace tarn {

// A checkable button in parent; its accessible name is the caption, or the
// hint when there is no caption; the hint is also its description.
QToolButton* MakeToggleButton(QWidget& parent, const char* caption, const char* hint);
// A plain (not checkable) button with the same texts.
QToolButton* MakeButton(QWidget& parent, const char* caption, const char* hint);
// Tool tip and accessible texts of any control.
void SetHint(QWidget& control, const char* hint, const char* accessibleName = nullptr);
// Lays the widgets out in one row in the group; nullptr leaves a gap.
void PlaceInRow(QGroupBox& group, std::initializer_list<QWidget*> widgets);

void SetTag(QObject& control, int tag);
int Tag(const QObject& control);

} // namespace tarn
