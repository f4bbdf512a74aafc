// SPDX-License-Identifier: MIT
#include "shell/AccessibleParts.h"

#include "access/AccessibleTarn.h"
#include "data/StringsTarn.h"
#include "shell/Main.h"

#include <QMenu>
#include <QMenuBar>

namespace tarn {

void NameWindowParts(QMainWindow& window)
{
    window.menuBar()->setAccessibleName(QString::fromUtf8(Strings::AccessibleMenuBar));
    NameMenus(window);
}

void NameMainWindowParts(TMainForm& form)
{
    NameWindowParts(form);
    form.centralWidget()->setAccessibleName(QString::fromUtf8(Strings::AccessibleControls));
    form.PopupMenu1()->setAccessibleName(QString::fromUtf8(Strings::AccessibleItemMenu));
    form.PopupMenu2()->setAccessibleName(QString::fromUtf8(Strings::AccessibleListMenu));
}

} // namespace tarn
