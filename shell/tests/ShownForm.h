// SPDX-License-Identifier: MIT
// A main window with the standard waveforms, wired, shown and active, as the
// keyboard reaches it.
#pragma once
#include "data/SettingsTarn.h"
#include "shell/Main.h"
#include "shell/master/ObjMasterTarn.h"
#include "shell/master/tests/TestApp.h"

#include <QTest>

#include <memory>

namespace tarn::test {

inline std::unique_ptr<TMainForm> ShownForm(TDialogService& dialogs)
{
    TestApp();
    QApplication::setQuitOnLastWindowClosed(false);
    auto form = std::make_unique<TMainForm>(dialogs);
    form->SettingsTarn1().MakeStandardWaveforms();
    form->ObjMasterTarn1().Notify(TObjMasterCode::omWireControls);
    form->ObjMasterTarn1().Notify(TObjMasterCode::omSettingsApplied, 5);
    form->show();
    form->activateWindow();
    return form;
}

} // namespace tarn::test
