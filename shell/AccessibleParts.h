// SPDX-License-Identifier: MIT
// Names for the parts of the program's windows that show no text of their
// own: menu bars, the central area, pop-up menus; menus by their titles.
#pragma once

class QMainWindow;
class QMenu;

namespace tarn {

class TMainForm;

void NameWindowParts(QMainWindow& window);
void NameMainWindowParts(TMainForm& form);

} // namespace tarn
