// SPDX-License-Identifier: MIT
// Small helpers the panels share to build their controls: two-state buttons
// with caption, hint and accessible texts, rows inside a group box, and the
// tag a two-button choice carries.
#pragma once
#include <string>
#include <QString>
#include <QToolButton>

#include <initializer_list>

class QGroupBox;

namespace tarn {

// A checkable button in parent, read as one button of a choice; its accessible
// name is the caption, or the hint when there is no caption; the hint is also
// its description.
QToolButton* MakeToggleButton(QWidget& parent, const char* caption, const char* hint);
// A plain (not checkable) button with the same texts.
QToolButton* MakeButton(QWidget& parent, const char* caption, const char* hint);
// Tool tip and accessible texts of any control: the accessible name is the
// caption (as the control shows it), else the hint, else the given name; the
// hint is the description.
void Describe(QWidget& control, const QString& caption, const QString& hint, const QString& name = {});
// A formatted value and its unit, the prefix going with the unit: "1k", "Sa/s" gives "1 kSa/s".
QString ValueWithUnit(const std::string& value, const char* unit);
void SetHint(QWidget& control, const char* hint, const char* accessibleName = nullptr);
// The panels' common look, set on a group box: a down toggle reads as down at a glance.
void ApplyPanelStyle(QWidget& group);
// Smaller type, in half-point steps down to half the application's, for each
// button caption of the group that does not fit its button (a larger
// desktop font in a group of fixed size); the group's layout runs again
// after each step.
void FitCaptions(QWidget& group);
// Lays the widgets out in one row in the group; nullptr leaves a gap.
void PlaceInRow(QGroupBox& group, std::initializer_list<QWidget*> widgets);

void SetTag(QObject& control, int tag);
int Tag(const QObject& control);

} // namespace tarn
