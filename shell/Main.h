// SPDX-License-Identifier: MIT
// The main window: owns the object master, the settings model and every
// functional component, wires them in the fixed registration order, and
// handles the exit paths and the communication-broken window.
#pragma once
#include "data/WindowPlace.h"

#include <QMainWindow>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

class QAction;
class QGroupBox;
class QMenu;
class TSettingsTarn;
class TXMLSettings;
class TWaveformTarn;
struct TWaveformData;

namespace tarn {

class TChannelWrapperTarn;
class TCommBrokenForm;
class TDeviceAbstractionTarn;
class TDialogService;
class TStatusBarTarn;
class TSweepForm;
class TFrequencyBarTarn;
class THelpForm;
class TModuleManagerTarn;
class TObjMasterTarn;
class TRemoteControlTarn;
class TSweepRunnerTarn;
class TTriggerWrapperTarn;
class TUndoTarn;
class TWaveListBoxTarn;
class TWaveScreenTarn;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 792;
    static constexpr int kClientHeight = 554;

    explicit TMainForm(TDialogService& dialogs, QWidget* parent = nullptr);
    ~TMainForm() override;

    TObjMasterTarn& ObjMasterTarn1() { return *objMaster_; }
    TSettingsTarn& SettingsTarn1() { return *settings_; }
    TDeviceAbstractionTarn& DeviceAbstractionTarn1() { return *deviceAbstraction_; }
    // Channel panels: "Output L" and "Output H".
    TChannelWrapperTarn& ChannelWrapperTarn1() { return *channelWrappers_[0]; }
    TChannelWrapperTarn& ChannelWrapperTarn2() { return *channelWrappers_[1]; }
    TFrequencyBarTarn& FrequencyBarTarn1() { return *frequencyBar_; }
    TTriggerWrapperTarn& TriggerWrapperTarn1() { return *triggerWrapper_; }
    TWaveScreenTarn& WaveScreenTarn1() { return *waveScreen_; }
    TWaveListBoxTarn& WaveListBoxTarn1() { return *waveList_; }
    TModuleManagerTarn& ModuleManagerTarn1() { return *moduleManager_; }
    TRemoteControlTarn& RemoteControlTarn1() { return *remoteControl_; }
    TSweepRunnerTarn& SweepRunnerTarn1() { return *sweepRunner_; }
    // Pop-up menu 1 (on a list item) and 2 (on the empty list area).
    QMenu* PopupMenu1() const { return popupMenu1_; }
    QMenu* PopupMenu2() const { return popupMenu2_; }
    TDialogService& Dialogs() { return dialogs_; }

    bool ExitConfirmed() const { return exitConfirmed_; }
    // Set once the application was asked to end; the message loop then does not start.
    bool TerminateRequested() const { return terminateRequested_; }
    void RequestTerminate();
    // Told right before the message loop starts; only then does a request
    // to terminate end the loops that run.
    void MainLoopStarting() { mainLoopStarted_ = true; }
    // The communication-broken window while it is shown.
    TCommBrokenForm* CommBrokenForm() const { return commBrokenForm_; }
    int CommBrokenCount() const { return commBrokenCount_; }
    // Tests: the retry interval of the communication-broken windows to come (0: their own).
    void SetCommBrokenRetryInterval(int milliseconds) { commBrokenRetryMs_ = milliseconds; }

    // The seven group boxes: "Output L", "Output H", "Waveform", "ARM",
    // "Trigger", "Mode", "Frequency".
    enum TGroup {
        GroupOutputL,
        GroupOutputH,
        GroupWaveform,
        GroupArm,
        GroupTrigger,
        GroupMode,
        GroupFrequency,
        kGroupCount
    };
    QGroupBox* Group(TGroup group) const { return groups_[group]; }
    QAction* Exit1() const { return exit1_; }
    QAction* Exit2() const { return exit2_; }
    QAction* Help2() const { return help2_; }
    QAction* Options1() const { return options1_; }
    QAction* About1() const { return about1_; }
    QAction* Sweep1() const { return sweep1_; }
    // The "Sweep" window's group once "Sweep..." has opened it, else null.
    TSweepForm* SweepForm() const { return sweepForm_; }
    QAction* SendToGenerator1() const { return sendToGenerator_; }
    QAction* New1() const { return new1_; }
    // "Files" > "Undo ..." and "Redo ...".
    QAction* Undo1() const { return undo1_; }
    QAction* Redo1() const { return redo1_; }
    TUndoTarn& UndoTarn1() { return *undo_; }
    TStatusBarTarn& StatusBarTarn1() const { return *statusBar_; }
    // The manual's window once "Help" has opened it, else null.
    THelpForm* HelpWindow() const { return helpForm_.get(); }

    void Exit1Click();
    void Exit2Click();
    void Help2Click();
    // The manual's window at a section.
    void ShowHelp(const QString& anchor);
    void Options1Click();
    void About1Click();
    // The "Sweep" window: a detached window hosting the one sweep group.
    void Sweep1Click();
    // Moves the group into a detached window of its own and shows it.
    void GroupBox2DblClick(QGroupBox* group);
    void DeviceAbstractionTarn1CommBroken();
    void New1Click();
    void WaveListBoxTarn1PropertiesShow(TWaveListBoxTarn* sender, std::int32_t index, bool& changed);
    void ModuleManagerTarn1NewWaveDialog(TModuleManagerTarn* sender, bool& success, const TWaveformData& data);
    void ModuleManagerTarn1CreateWaveDialog(TModuleManagerTarn* sender, bool& success, TWaveformTarn& wave);

    // The window's place on the screen (without maximising) as the settings keep it.
    TWindowPlace Place() const;
    // Puts the window where the settings say, on a screen there is now; an
    // older file without the entries leaves it centred.
    void RestorePlace(const TXMLSettings& store);
    // Writes the place into the settings when it moved since it was last
    // restored, written or first looked at, or always; true when it wrote.
    bool StorePlace(TXMLSettings& store, bool always = false);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // A double click on the frame of a group box still in this window detaches it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void BuildMenus();
    void BuildGroups(QWidget* client);
    void WireComponents();
    void BuildWaveGroup();
    // The groups at the layout's places, grown and moved by what the window has more.
    void PlaceGroups();
    // Puts the window at wanted (frame corner, inside size), fitted to the screens.
    void PlaceOnScreens(const TWindowPlace& wanted);
    void BuildStatusBar();
    void WireStatusBar();

    TDialogService& dialogs_;
    // Declared first so that it goes last.
    std::unique_ptr<TObjMasterTarn> objMaster_;
    std::unique_ptr<TSettingsTarn> settings_;
    std::unique_ptr<TDeviceAbstractionTarn> deviceAbstraction_;
    std::array<std::unique_ptr<TChannelWrapperTarn>, 2> channelWrappers_;
    std::unique_ptr<TTriggerWrapperTarn> triggerWrapper_;
    std::unique_ptr<TModuleManagerTarn> moduleManager_;
    std::unique_ptr<TUndoTarn> undo_;
    std::unique_ptr<TSweepRunnerTarn> sweepRunner_;
    std::unique_ptr<TRemoteControlTarn> remoteControl_;
    // In the "Frequency" group box, which owns it.
    TFrequencyBarTarn* frequencyBar_ = nullptr;
    // In the "Waveform" group box, which owns them.
    TWaveScreenTarn* waveScreen_ = nullptr;
    TWaveListBoxTarn* waveList_ = nullptr;
    QMenu* popupMenu1_ = nullptr;
    QMenu* popupMenu2_ = nullptr;
    QMenu* editByMenu_ = nullptr;
    QMenu* createByMenu_ = nullptr;

    std::array<QGroupBox*, kGroupCount> groups_{};
    QMenu* filesMenu_ = nullptr;
    QMenu* settingsMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    QAction* undo1_ = nullptr;
    QAction* redo1_ = nullptr;
    QAction* exit1_ = nullptr;
    QAction* exit2_ = nullptr;
    QAction* options1_ = nullptr;
    QAction* help2_ = nullptr;
    QAction* about1_ = nullptr;
    QAction* sweep1_ = nullptr;
    QAction* sendToGenerator_ = nullptr;
    QAction* new1_ = nullptr;
    TStatusBarTarn* statusBar_ = nullptr;
    TCommBrokenForm* commBrokenForm_ = nullptr;
    std::optional<TWindowPlace> storedPlace_;
    bool fitWhenShown_ = false;
    // A window of its own, in no window's hierarchy: a dialog modal to the
    // main window leaves it usable.
    std::unique_ptr<THelpForm> helpForm_;
    // The sweep group lives here, hidden, while no window shows it, so that
    // what was set stays; its window takes it and gives it back.
    std::unique_ptr<QWidget> sweepPark_;
    TSweepForm* sweepForm_ = nullptr;
    int commBrokenCount_ = 0;
    int commBrokenRetryMs_ = 0;
    bool exitConfirmed_ = false;
    bool terminateRequested_ = false;
    bool mainLoopStarted_ = false;
};

} // namespace tarn
