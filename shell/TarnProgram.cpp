// SPDX-License-Identifier: MIT
#include "shell/TarnProgram.h"

#include "data/LibraryPrefetch.h"
#include "data/SettingsTarn.h"
#include "data/WaveformRepositoryFile.h"
#include "data/XMLSettings.h"
#include "data/StringsTarn.h"
#include "shell/master/DialogService.h"
#include "shell/CommBrokenScreen.h"
#include "shell/Main.h"
#include "shell/master/ObjMasterTarn.h"
#include "shell/DataFolder.h"
#include "modules/ModuleManagerTarn.h"
#include "shell/SingleInstance.h"
#include "shell/SplashScreen.h"
#include "shell/TerminationSignals.h"
#include "sweep/SweepRunnerTarn.h"

#include <QApplication>
#include <QTimer>

#include <exception>
#include <filesystem>

namespace tarn {

TTarnProgram::TTarnProgram(TDialogService& dialogs, TProgramOptions options)
    : dialogs_(dialogs), options_(std::move(options))
{
}

TTarnProgram::~TTarnProgram() = default;

void TTarnProgram::Status(const char* text)
{
    lastStatus_ = text;
    if (splash_) {
        splash_->SetStatus(QString::fromUtf8(text));
    }
}

bool TTarnProgram::Start()
{
    std::error_code ec;
    std::filesystem::current_path(options_.programFolder, ec);
    dataFolder_ = !options_.dataFolder.empty() ? std::filesystem::path(options_.dataFolder)
                                               : ChooseDataFolder(std::filesystem::current_path(ec)).folder;

    if (options_.singleInstanceCheck && OtherInstanceRunning()) {
        dialogs_.Message(TDialogKind::Error, TDialogButtons::Ok, Strings::OtherInstanceRunning);
        return false;
    }

    // The library's record headers are read on another core meanwhile.
    TLibraryPrefetch library(dataFolder_ / WaveformRepositoryFileName);

    splash_ = std::make_unique<TSplashForm>();
    splash_->show();
    QApplication::processEvents();

    // The splash goes away however the steps below end.
    struct SplashCloser {
        std::unique_ptr<TSplashForm>& splash;
        ~SplashCloser() { splash.reset(); }
    } closer{splash_};

    Status(Strings::SplashCreatingUserInterface);
    mainForm_ = std::make_unique<TMainForm>(dialogs_);
    SetModuleFolders();
    if (options_.mainFormCreated) {
        options_.mainFormCreated(*mainForm_);
    }

    Status(Strings::SplashCreatingDeviceContext);
    TSettingsTarn& settings = mainForm_->SettingsTarn1();
    settings.SetDefaults();

    Status(Strings::SplashStartingUserInterface);
    TObjMasterTarn& master = mainForm_->ObjMasterTarn1();
    master.Notify(TObjMasterCode::omConnectDevice);
    master.Notify(TObjMasterCode::omWireControls);
    settings.Load(dataFolder_, &library);
    mainForm_->RestorePlace(*settings.XMLStore);
    BroadcastSettingsApplied(master);
    master.Notify(TObjMasterCode::omStart);
    // Changes reach the files during the run, so a killed program loses
    // nothing older than about two seconds.
    settings.AutosaveFromHere();
    auto* autosave = new QTimer(mainForm_.get());
    TMainForm& form = *mainForm_;
    QObject::connect(autosave, &QTimer::timeout, mainForm_.get(), [&settings, &master, &form] {
        if (form.isVisible())
            form.StorePlace(*settings.XMLStore);
        if (settings.AutosaveTick()) {
            master.Notify(TObjMasterCode::omWaveformListChanged, 0);
        }
    });
    autosave->start(TSettingsTarn::AutosaveIntervalMs);
    return true;
}

void TTarnProgram::SetModuleFolders()
{
    // Modules come from the program's own folder; when the files live in the
    // user's data folder, that folder's modules follow.
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::absolute(options_.programFolder, ec);
    std::vector<std::filesystem::path> folders{program / "modules"};
    if (!dataFolder_.empty() && !std::filesystem::equivalent(dataFolder_, program, ec)) {
        folders.push_back(std::filesystem::absolute(dataFolder_, ec) / "modules");
    }
    mainForm_->ModuleManagerTarn1().ModuleFolders = std::move(folders);
}

int TTarnProgram::Exec()
{
    if (!mainForm_) {
        return 0;
    }
    if (exitRequested_ || mainForm_->TerminateRequested()) {
        return 0;
    }
    mainForm_->show();
    if (mainForm_->TerminateRequested()) {
        return 0;
    }
    mainForm_->MainLoopStarting();
    return QApplication::exec();
}

void TTarnProgram::RequestExit()
{
    exitRequested_ = true;
    if (mainForm_) {
        mainForm_->RequestTerminate();
        // Before the message loop runs, the windows of a broken connection
        // (one may be nested in another) would wait on for the generator:
        // leave them as their "Exit" does.
        for (TCommBrokenForm* broken : mainForm_->findChildren<TCommBrokenForm*>()) {
            broken->reject();
        }
    }
}

void TTarnProgram::Finish()
{
    if (!mainForm_) {
        return;
    }
    TSettingsTarn& settings = mainForm_->SettingsTarn1();
    // A running sweep ends where it began: the files never keep a value from its middle.
    mainForm_->SweepRunnerTarn1().StopForExit();
    // Where the window was left, unless it never showed (a start ended early).
    if (mainForm_->isVisible() || mainForm_->ExitConfirmed())
        mainForm_->StorePlace(*settings.XMLStore, true);
    const TSettingsSaveResult saved = settings.Save(dataFolder_);
    if (!saved.SettingsSaved) {
        dialogs_.Message(TDialogKind::Error, TDialogButtons::Ok, Strings::UnableToSaveSettings, Strings::ErrorCaption);
    }
    if (!saved.RepositorySaved) {
        dialogs_.Message(TDialogKind::Error, TDialogButtons::Ok, Strings::UnableToSaveRepository,
                         Strings::ErrorCaption);
    }
    mainForm_.reset();
}

int RunTarn(TDialogService& dialogs)
{
    QApplication::setQuitOnLastWindowClosed(false);
    TProgramOptions options;
    options.programFolder = QCoreApplication::applicationDirPath().toStdString();
    TTarnProgram program(dialogs, std::move(options));
    // A session that ends, or a service manager, asks with a signal: leave as
    // after a confirmed exit, with both files saved.
    const TTerminationSignals terminationSignals([&program] { program.RequestExit(); });
    try {
        if (!program.Start()) {
            return 0;
        }
    } catch (const std::exception& error) {
        // The files on disk are still as they were; leaving them unsaved keeps them so.
        dialogs.Message(TDialogKind::Error, TDialogButtons::Ok, error.what());
        return 1;
    }
    const int result = program.Exec();
    program.Finish();
    return result;
}

} // namespace tarn
