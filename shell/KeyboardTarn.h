// SPDX-License-Identifier: MIT
// The main window from the keyboard alone: mnemonics on its menus, the common
// shortcuts, and Tab through its controls in reading order.
#pragma once
#include <QString>

namespace tarn {

class TMainForm;

// caption with an ampersand before the first occurrence of letter (either
// case), so the letter is underlined and picks the item; the caption's own
// ampersands are doubled, so they show as they are.
QString WithMnemonic(const QString& caption, QChar letter);

// Called once the window's captions are set.
void SetUpKeyboard(TMainForm& form);

} // namespace tarn
