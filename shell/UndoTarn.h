// SPDX-License-Identifier: MIT
// Undo and redo of the library's edits from the "Files" menu: each item names
// the step it takes, and is disabled with a plain "Undo" or "Redo" when
// there is none. The history itself is the settings model's (data/LibraryUndo).
#pragma once
#include "shell/master/ComponentsTarn.h"

#include <QPointer>

class QAction;

namespace tarn {

class TWaveListBoxTarn;

class TUndoTarn : public TComponentTarn {
    Q_OBJECT
public:
    TUndoTarn(QAction& undo, QAction& redo, TWaveListBoxTarn& list);
    ~TUndoTarn() override;

    void UndoClick();
    void RedoClick();
    // The items' texts and states as the history is now.
    void Refresh();

protected:
    void ObjMasterNotify(TObjMasterCode code, std::int32_t index, void* data) override;

private:
    void Step(bool undo);

    QPointer<QAction> undo_;
    QPointer<QAction> redo_;
    QPointer<TWaveListBoxTarn> list_;
};

} // namespace tarn
