// SPDX-License-Identifier: MIT
// The life of the program: start-up, message loop and the orderly end.
// main() runs it with the message-box dialogs; tests run the same steps
// in-process with scripted dialogs and a program folder of their own.
#pragma once
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace tarn {

class TDialogService;
class TMainForm;
class TSplashForm;

struct TProgramOptions {
    // The folder made current at start; it holds libtarndrv.so.
    std::string programFolder;
    // Where the two files live; empty: the program folder when it is writable,
    // else the user's data folder.
    std::string dataFolder;
    bool singleInstanceCheck = true;
    // Called once the main window exists, before the first broadcast (tests).
    std::function<void(TMainForm&)> mainFormCreated;
};

class TTarnProgram {
public:
    TTarnProgram(TDialogService& dialogs, TProgramOptions options);
    ~TTarnProgram();
    TTarnProgram(const TTarnProgram&) = delete;
    TTarnProgram& operator=(const TTarnProgram&) = delete;

    // Start-up up to the message loop. False when the program must end at
    // once without a window (another instance runs).
    bool Start();
    // The message loop; returns at once when termination was already asked for.
    int Exec();
    // Saves both files, reporting failures, then destroys the main window.
    void Finish();

    // Ends the program as a confirmed exit does, with both files saved; asked
    // before the message loop, the loop does not start.
    void RequestExit();

    TMainForm* MainForm() const { return mainForm_.get(); }
    const std::filesystem::path& DataFolder() const { return dataFolder_; }
    // The splash window while it exists, and the last status it showed.
    TSplashForm* Splash() const { return splash_.get(); }
    const std::string& LastSplashStatus() const { return lastStatus_; }

private:
    void Status(const char* text);
    void SetModuleFolders();

    TDialogService& dialogs_;
    TProgramOptions options_;
    std::unique_ptr<TSplashForm> splash_;
    std::unique_ptr<TMainForm> mainForm_;
    std::string lastStatus_;
    std::filesystem::path dataFolder_;
    bool exitRequested_ = false;
};

// The whole program on an existing QApplication, in the folder of its executable.
int RunTarn(TDialogService& dialogs);

} // namespace tarn
