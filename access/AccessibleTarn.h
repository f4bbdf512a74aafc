// SPDX-License-Identifier: MIT
// What screen readers are told about the windows' controls, beyond what Qt
// tells them itself: readings named by the value they show, two-button
// choices read as radio buttons, drop-down lists named by what they choose,
// menus named by their titles.
#pragma once
#include <QString>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QWidget;

namespace tarn {

// Puts the factory in place; once the application is up (the last factory
// installed is asked first, and the widgets' own comes with the application),
// before the first window is built. The helpers below call it too.
void InstallAccessibility();

// The text as read, without mnemonic ampersands ("&&" stays one "&").
QString StripMnemonic(const QString& text);

// A value shown in a label: read by its value (Qt follows the text), with the
// caption as its description.
void NameByValue(QLabel& label, const QString& caption);
// A value shown in a field: named by its text, or by the caption while it is
// empty, following every change; the hint (or the caption) describes it.
void NameByValue(QLineEdit& field, const QString& caption);

// One button of a choice of two (or more): read as a radio button that is
// checked while it is down.
void MarkChoice(QAbstractButton& button);

// Every menu under root is named by its title, mnemonics stripped, and
// follows later titles.
void NameMenus(QWidget& root);

} // namespace tarn
