// SPDX-License-Identifier: MIT
#include "shell/UndoTarn.h"

#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "panels/WaveListBoxTarn.h"
#include "shell/KeyboardTarn.h"

#include <QAction>

#include <algorithm>

namespace tarn {

TUndoTarn::TUndoTarn(QAction& undo, QAction& redo, TWaveListBoxTarn& list) : undo_(&undo), redo_(&redo), list_(&list)
{
    connect(&undo, &QAction::triggered, this, &TUndoTarn::UndoClick);
    connect(&redo, &QAction::triggered, this, &TUndoTarn::RedoClick);
    Refresh();
}

TUndoTarn::~TUndoTarn()
{
    DetachFromMaster();
}

void TUndoTarn::ObjMasterNotify(TObjMasterCode code, std::int32_t, void*)
{
    // Every edit of the library, the remote control's included, is announced
    // so; a reload comes with the settings.
    if (code == TObjMasterCode::omWaveformListChanged || code == TObjMasterCode::omSettingsApplied
        || code == TObjMasterCode::omWireControls) {
        Refresh();
    }
}

void TUndoTarn::UndoClick()
{
    Step(true);
}

void TUndoTarn::RedoClick()
{
    Step(false);
}

void TUndoTarn::Step(bool undo)
{
    TSettingsTarn* settings = Settings();
    if (settings == nullptr) {
        return;
    }
    TLibraryUndo& history = settings->LibraryUndo;
    const TLibraryUndoResult result = undo ? history.Undo(settings->Repository) : history.Redo(settings->Repository);
    // Also when nothing was done: the history may have let go of everything.
    if (ObjMaster() != nullptr) {
        ObjMaster()->Notify(TObjMasterCode::omWaveformListChanged, std::max(result.Index, 0));
    }
    if (result.Done && result.Index >= 0 && list_ != nullptr) {
        list_->Reveal(result.Index);
    }
    Refresh();
}

void TUndoTarn::Refresh()
{
    const TLibraryUndo* history = Settings() != nullptr ? &Settings()->LibraryUndo : nullptr;
    if (undo_ != nullptr) {
        const std::string text = history != nullptr ? history->UndoText() : Strings::MenuUndo;
        undo_->setText(WithMnemonic(QString::fromStdString(text), QLatin1Char('U')));
        undo_->setEnabled(history != nullptr && history->CanUndo());
    }
    if (redo_ != nullptr) {
        const std::string text = history != nullptr ? history->RedoText() : Strings::MenuRedo;
        redo_->setText(WithMnemonic(QString::fromStdString(text), QLatin1Char('R')));
        redo_->setEnabled(history != nullptr && history->CanRedo());
    }
}

} // namespace tarn
