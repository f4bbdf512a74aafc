// SPDX-License-Identifier: MIT
#include "shell/Main.h"

#include "access/AccessibleTarn.h"
#include "data/SettingsTarn.h"
#include "data/XMLSettings.h"
#include "data/StringsTarn.h"
#include "device/DeviceAbstractionTarn.h"
#include "modules/ModuleManagerTarn.h"
#include "panels/ChannelWrapperTarn.h"
#include "panels/FrequencyBarTarn.h"
#include "panels/TriggerWrapperTarn.h"
#include "panels/WaveListBoxTarn.h"
#include "panels/WaveScreenTarn.h"
#include "remote/RemoteControlTarn.h"
#include "sweep/SweepRunnerTarn.h"
#include "shell/AboutScreen.h"
#include "shell/AccessibleParts.h"
#include "shell/CommBrokenScreen.h"
#include "shell/DetachedScreen.h"
#include "shell/HelpScreen.h"
#include "shell/KeyboardTarn.h"
#include "shell/NewWaveScreen.h"
#include "shell/OptionsScreen.h"
#include "shell/StatusBarTarn.h"
#include "shell/SweepScreen.h"
#include "shell/UndoTarn.h"
#include "shell/WavePropertiesScreen.h"
#include "shell/master/DialogService.h"
#include "shell/master/ObjMasterTarn.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace tarn {

namespace {

struct TGroupPlace {
    const char* caption;
    int left, top, width, height;
};

constexpr std::array<TGroupPlace, TMainForm::kGroupCount> kGroupPlaces = {{
    {Strings::GroupOutputL, 0, 0, 276, 275},
    {Strings::GroupOutputH, 0, 278, 276, 275},
    {Strings::GroupWaveform, 279, 2, 513, 367},
    {Strings::GroupArm, 279, 368, 191, 55},
    {Strings::GroupTrigger, 471, 368, 226, 55},
    {Strings::GroupMode, 698, 368, 94, 55},
    {Strings::GroupFrequency, 279, 421, 513, 133},
}};

// Inside the "Waveform" group at the layout's size.
const QRect kPreviewPlace(4, 17, 348, 345);
const QRect kListPlace(356, 17, 153, 281);
// Where "settings.xml" keeps the window's place.
constexpr const char* kPlaceElement = "/window";

QString Text(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

TMainForm::TMainForm(TDialogService& dialogs, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                              | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      dialogs_(dialogs), objMaster_(std::make_unique<TObjMasterTarn>()), settings_(std::make_unique<TSettingsTarn>()),
      deviceAbstraction_(std::make_unique<TDeviceAbstractionTarn>(dialogs))
{
    InstallAccessibility();
    setWindowTitle(QStringLiteral("Tarn Generator"));
    auto* client = new QWidget(this);
    // The layout's size at least; what a larger window adds goes to the preview and the scale.
    client->setMinimumSize(kClientWidth, kClientHeight);
    client->resize(kClientWidth, kClientHeight);
    client->installEventFilter(this);
    setCentralWidget(client);
    BuildGroups(client);
    BuildMenus();
    BuildStatusBar();
    WireComponents();
    FormCreate();
    SetUpKeyboard(*this);
    NameMainWindowParts(*this);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

TMainForm::~TMainForm()
{
    // Controls first, then the components in reverse order, the master last.
    // Detached groups come home first, so that they go with the other controls.
    for (TDetachedForm* detached : findChildren<TDetachedForm*>(Qt::FindDirectChildrenOnly))
        delete detached;
    sweepPark_.reset(); // before the runner the sweep group shows
    if (QWidget* client = takeCentralWidget()) {
        std::unique_ptr<QWidget> owned(client);
    }
    remoteControl_.reset();
    undo_.reset();
    sweepRunner_.reset();
    moduleManager_.reset();
    triggerWrapper_.reset();
    for (auto wrapper = channelWrappers_.rbegin(); wrapper != channelWrappers_.rend(); ++wrapper) {
        wrapper->reset();
    }
    deviceAbstraction_.reset();
    settings_.reset();
    objMaster_.reset();
}

void TMainForm::BuildGroups(QWidget* client)
{
    for (std::size_t i = 0; i < kGroupPlaces.size(); ++i) {
        const TGroupPlace& place = kGroupPlaces[i];
        auto* group = new QGroupBox(client);
        group->setGeometry(place.left, place.top, place.width, place.height);
        groups_[i] = group;
        group->installEventFilter(this);
    }
}

void TMainForm::BuildMenus()
{
    filesMenu_ = menuBar()->addMenu(QString());
    undo1_ = filesMenu_->addAction(QString());
    redo1_ = filesMenu_->addAction(QString());
    filesMenu_->addSeparator();
    exit2_ = filesMenu_->addAction(QString());
    exit1_ = filesMenu_->addAction(QString());
    settingsMenu_ = menuBar()->addMenu(QString());
    options1_ = settingsMenu_->addAction(QString());
    sweep1_ = settingsMenu_->addAction(QString());
    helpMenu_ = menuBar()->addMenu(QString());
    help2_ = helpMenu_->addAction(QString());
    helpMenu_->addSeparator();
    about1_ = helpMenu_->addAction(QString());
    connect(exit1_, &QAction::triggered, this, &TMainForm::Exit1Click);
    connect(exit2_, &QAction::triggered, this, &TMainForm::Exit2Click);
    connect(help2_, &QAction::triggered, this, &TMainForm::Help2Click);
    // F1 in the dialogs, which the action's shortcut does not reach.
    qApp->installEventFilter(
        new THelpKeyFilter(this, [this](QWidget* window) { ShowHelp(HelpAnchorFor(*this, window)); }));
    connect(options1_, &QAction::triggered, this, &TMainForm::Options1Click);
    connect(about1_, &QAction::triggered, this, &TMainForm::About1Click);
    connect(sweep1_, &QAction::triggered, this, &TMainForm::Sweep1Click);
}

void TMainForm::WireComponents()
{
    // Registration order is broadcast order: frequency bar, waveform preview,
    // waveform list, device abstraction, channel panels L and H, trigger panel,
    // module manager, undo, remote control. The device abstraction must come before the channel
    // panels, which read the frequency it stores.
    frequencyBar_ = TFrequencyBarTarn::CreateInGroup(*groups_[GroupFrequency]);
    frequencyBar_->SetObjMaster(objMaster_.get());
    frequencyBar_->SetSettings(settings_.get());
    BuildWaveGroup();

    deviceAbstraction_->SetObjMaster(objMaster_.get());
    deviceAbstraction_->SetSettings(settings_.get());
    deviceAbstraction_->OnCommBroken = [this](TDeviceAbstractionTarn*) { DeviceAbstractionTarn1CommBroken(); };
    deviceAbstraction_->OnTerminateRequest = [this] { RequestTerminate(); };
    // Channel panels: "Output L" then "Output H", each on the controls of its group box.
    for (std::size_t i = 0; i < channelWrappers_.size(); ++i) {
        const auto index = static_cast<std::int32_t>(i);
        channelWrappers_[i] = std::make_unique<TChannelWrapperTarn>();
        channelWrappers_[i]->SetChannelIndex(index);
        channelWrappers_[i]->SetControls(BuildChannelPanel(*groups_[GroupOutputL + i], index));
        channelWrappers_[i]->SetObjMaster(objMaster_.get());
        channelWrappers_[i]->SetSettings(settings_.get());
    }
    // Trigger panel last.
    triggerWrapper_ = std::make_unique<TTriggerWrapperTarn>();
    triggerWrapper_->CreateControls(*groups_[GroupArm], *groups_[GroupTrigger], *groups_[GroupMode]);
    triggerWrapper_->SetObjMaster(objMaster_.get());
    triggerWrapper_->SetSettings(settings_.get());
    // Module manager last: its menus are filled at omWireControls.
    moduleManager_ = std::make_unique<TModuleManagerTarn>(dialogs_);
    moduleManager_->EditorMenuItem = editByMenu_;
    moduleManager_->CreatorMenuItem = createByMenu_;
    moduleManager_->MainWindow = this;
    moduleManager_->OnNewWaveDialog = [this](TModuleManagerTarn* sender, bool& success, const TWaveformData& data) {
        ModuleManagerTarn1NewWaveDialog(sender, success, data);
    };
    moduleManager_->OnCreateWaveDialog = [this](TModuleManagerTarn* sender, bool& success, TWaveformTarn& wave) {
        ModuleManagerTarn1CreateWaveDialog(sender, success, wave);
    };
    moduleManager_->SetObjMaster(objMaster_.get());
    moduleManager_->SetSettings(settings_.get());
    // Undo and redo follow every announced change of the library.
    undo_ = std::make_unique<TUndoTarn>(*undo1_, *redo1_, *waveList_);
    undo_->SetObjMaster(objMaster_.get());
    undo_->SetSettings(settings_.get());
    // The sweep steps the values through the same broadcasts as the panels.
    sweepRunner_ = std::make_unique<TSweepRunnerTarn>();
    sweepRunner_->SetObjMaster(objMaster_.get());
    sweepRunner_->SetSettings(settings_.get());
    // Remote control after every panel: its commands are announced to all of them.
    remoteControl_ = std::make_unique<TRemoteControlTarn>(dialogs_);
    remoteControl_->SetObjMaster(objMaster_.get());
    remoteControl_->SetSettings(settings_.get());
    remoteControl_->SetSweep(sweepRunner_.get());
    WireStatusBar();
}

void TMainForm::BuildStatusBar()
{
    // Under the groups, which keep their places in the client area.
    statusBar_ = new TStatusBarTarn(this);
    setStatusBar(statusBar_);
}

void TMainForm::WireStatusBar()
{
    statusBar_->Driver = [this] { return deviceAbstraction_->Driver(); };
    const auto report = [this](const QString& text) { statusBar_->ReportAdjustment(text); };
    frequencyBar_->OnAdjusted = report;
    for (auto& wrapper : channelWrappers_) {
        wrapper->OnAdjusted = report;
    }
    sweepRunner_->OnStopMessage = [this](const QString& text) { statusBar_->ReportSweep(text); };
    // A new sweep clears why the last one stopped.
    connect(sweepRunner_.get(), &TSweepRunnerTarn::StateChanged, statusBar_, [this] {
        if (sweepRunner_->Running())
            statusBar_->ReportSweep(QString());
    });
    statusBar_->SetObjMaster(objMaster_.get(), settings_.get());
}

void TMainForm::BuildWaveGroup()
{
    QGroupBox& group = *groups_[GroupWaveform];
    waveScreen_ = new TWaveScreenTarn(&group);
    waveScreen_->setGeometry(kPreviewPlace);
    waveScreen_->SetChannelIndex(0);
    waveScreen_->SetObjMaster(objMaster_.get());
    waveScreen_->SetSettings(settings_.get());

    waveList_ = TWaveListBoxTarn::CreateInGroup(group, kListPlace);
    popupMenu1_ = new QMenu(this);
    // What a drop on the preview does, as the item's default (bold) action.
    sendToGenerator_ = popupMenu1_->addAction(Text(Strings::PopupSendToGenerator));
    popupMenu1_->setDefaultAction(sendToGenerator_);
    connect(sendToGenerator_, &QAction::triggered, waveList_, &TWaveListBoxTarn::PlayClick);
    popupMenu1_->addSeparator();
    new1_ = popupMenu1_->addAction(Text(Strings::PopupNew));
    waveList_->DuplicateMenuItem = popupMenu1_->addAction(Text(Strings::PopupDuplicate));
    waveList_->DeleteMenuItem = popupMenu1_->addAction(Text(Strings::PopupDelete));
    popupMenu1_->addSeparator();
    editByMenu_ = popupMenu1_->addMenu(Text(Strings::PopupEditBy));
    popupMenu1_->addSeparator();
    waveList_->PropertiesMenuItem = popupMenu1_->addAction(Text(Strings::PopupProperties));
    popupMenu2_ = new QMenu(this);
    QAction* new2 = popupMenu2_->addAction(Text(Strings::PopupNew));
    popupMenu2_->addSeparator();
    createByMenu_ = popupMenu2_->addMenu(Text(Strings::PopupCreateBy));
    for (QAction* item : {new1_, new2}) {
        connect(item, &QAction::triggered, this, &TMainForm::New1Click);
    }
    waveList_->ItemMenu = popupMenu1_;
    waveList_->NonItemMenu = popupMenu2_;
    waveList_->OnPropertiesShow = [this](TWaveListBoxTarn* sender, std::int32_t index, bool& changed) {
        WaveListBoxTarn1PropertiesShow(sender, index, changed);
    };
    // A standard waveform is asked for, as a first start made it; No is the default.
    waveList_->ConfirmDelete = [this](const TWaveformTarn& waveform) {
        return !waveform.IsStandard
               || dialogs_.Message(
                      TDialogKind::Question, TDialogButtons::YesNoDefaultNo,
                      Text(Strings::DeleteStandardQuestion).arg(QString::fromStdString(waveform.Name)).toStdString())
                      == TDialogResult::Yes;
    };
    // Enter on an item does what dropping it on the preview does.
    waveList_->OnPlay = [this](TWaveListBoxTarn*, std::int32_t index) { waveScreen_->Play(index); };
    waveList_->SetObjMaster(objMaster_.get());
    waveList_->SetSettings(settings_.get());
}

void TMainForm::New1Click()
{
    TNewWaveForm form(dialogs_, this);
    if (form.Execute(*settings_, nullptr)) {
        settings_->AddWaveform(form.Waveform());
        settings_->LibraryUndo.Added(settings_->Repository, settings_->Repository.size() - 1, TLibraryEdit::New);
        objMaster_->Notify(TObjMasterCode::omWaveformListChanged, -1);
    }
}

void TMainForm::WaveListBoxTarn1PropertiesShow(TWaveListBoxTarn*, std::int32_t index, bool& changed)
{
    if (index < 0 || static_cast<std::size_t>(index) >= settings_->Repository.size()) {
        return;
    }
    TWavePropertiesForm form(this);
    const std::string before = settings_->Repository[index]->Name;
    changed = form.Execute(*settings_->Repository[index],
                           [this](const TModuleData& data) { return moduleManager_->EditorCaption(data); });
    if (changed) {
        settings_->LibraryUndo.Renamed(settings_->Repository, static_cast<std::size_t>(index), before);
    }
}

void TMainForm::ModuleManagerTarn1NewWaveDialog(TModuleManagerTarn*, bool& success, const TWaveformData& data)
{
    TNewWaveForm form(dialogs_, this);
    success = form.Execute(*settings_, &data);
    if (success) {
        TWaveformTarn& added = settings_->AddWaveform(form.Waveform());
        moduleManager_->StampWaveform(added);
        settings_->LibraryUndo.Added(settings_->Repository, settings_->Repository.size() - 1, TLibraryEdit::Create);
        objMaster_->Notify(TObjMasterCode::omWaveformListChanged, -1);
    }
}

void TMainForm::ModuleManagerTarn1CreateWaveDialog(TModuleManagerTarn*, bool& success, TWaveformTarn& wave)
{
    TNewWaveForm form(dialogs_, this);
    success = form.Execute(*settings_, nullptr);
    if (success) {
        wave.Assign(form.Waveform());
        moduleManager_->StampWaveform(wave);
    }
}

void TMainForm::FormCreate()
{
    setWindowTitle(Text(Strings::MainCaption));
    filesMenu_->setTitle(Text(Strings::MenuFiles));
    exit1_->setText(Text(Strings::MenuExit));
    exit2_->setText(Text(Strings::MenuExitPreserveH));
    settingsMenu_->setTitle(Text(Strings::MenuSettings));
    options1_->setText(Text(Strings::MenuOptions));
    sweep1_->setText(Text(Strings::MenuSweep));
    helpMenu_->setTitle(Text(Strings::MenuHelp));
    help2_->setText(Text(Strings::MenuHelpItem));
    about1_->setText(Text(Strings::MenuAbout));
    for (std::size_t i = 0; i < kGroupPlaces.size(); ++i) {
        groups_[i]->setTitle(Text(kGroupPlaces[i].caption));
    }
}

void TMainForm::RequestTerminate()
{
    terminateRequested_ = true;
    // Before the message loop has started (Abort in the device search, or Exit
    // in a communication-broken window during start-up, perhaps nested in
    // another one) the flag alone keeps the loop from starting; exiting then
    // would make every later modal box, such as a save error, return at once.
    // Not quit(): that would first ask every window to close, and the main
    // window would put its exit question on a way out that must not ask.
    if (mainLoopStarted_) {
        QCoreApplication::exit(0);
    }
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (!exitConfirmed_
        && dialogs_.Message(TDialogKind::Warning, TDialogButtons::YesNo, Strings::ExitConfirmation)
               == TDialogResult::No) {
        event->ignore();
        return;
    }
    exitConfirmed_ = true;
    event->accept();
    if (helpForm_ != nullptr)
        helpForm_->close();
    RequestTerminate();
}

void TMainForm::Exit1Click()
{
    close();
}

void TMainForm::Exit2Click()
{
    close();
    if (exitConfirmed_ && deviceAbstraction_->Driver() != nullptr) {
        deviceAbstraction_->Driver()->SetKeepPowerAtExit(1);
    }
}

void TMainForm::Help2Click()
{
    // Relative to the current folder, the program's folder. Shown here: a
    // desktop without a browser or launcher still has the manual.
    ShowHelp(HelpAnchorFor(*this, QApplication::focusWidget()));
}

void TMainForm::ShowHelp(const QString& anchor)
{
    if (helpForm_ == nullptr)
        helpForm_ = std::make_unique<THelpForm>(nullptr);
    helpForm_->Open(QDir::current().absoluteFilePath(QStringLiteral("help/help.htm")), anchor);
}

void TMainForm::Options1Click()
{
    TOptionsForm form(this);
    if (form.Execute(*settings_) != QDialog::Accepted)
        return;
    BroadcastSettingsApplied(*objMaster_);
    update();
}

void TMainForm::About1Click()
{
    TDAO_DEMO none;
    TDriverAbstraction* driver = deviceAbstraction_->Driver();
    TAboutForm form(this, driver != nullptr ? *driver : none);
    form.exec();
}

void TMainForm::Sweep1Click()
{
    if (sweepForm_ == nullptr) {
        sweepPark_ = std::make_unique<QWidget>(this);
        sweepPark_->hide();
        sweepForm_ = new TSweepForm(*sweepRunner_, sweepPark_.get());
        sweepForm_->OnHelp = [this] { Help2Click(); };
    }
    if (auto* shown = qobject_cast<TDetachedForm*>(sweepForm_->window())) {
        shown->showNormal();
        shown->raise();
        shown->activateWindow();
        return;
    }
    sweepForm_->resize(sweepForm_->sizeHint());
    // Over the main window, a little in from its corner, where it is found.
    sweepForm_->move(sweepPark_->mapFrom(this, QPoint(width() / 3, height() / 6)));
    GroupBox2DblClick(sweepForm_);
    sweepForm_->StartBtn->setFocus(Qt::OtherFocusReason);
}

void TMainForm::GroupBox2DblClick(QGroupBox* group)
{
    auto* detached = new TDetachedForm(*this);
    detached->Detach(*group);
    detached->show();
    detached->KeepHostedInPlace();
}

void TMainForm::PlaceGroups()
{
    QWidget* client = centralWidget();
    if (client == nullptr || waveScreen_ == nullptr || waveList_ == nullptr)
        return;
    const int dx = std::max(0, client->width() - kClientWidth);
    const int dy = std::max(0, client->height() - kClientHeight);
    // The output panels and the small groups keep their size; "Mode" stays at
    // the right edge, the lower groups under the preview.
    const std::array<QPoint, kGroupCount> moves = {{{0, 0}, {0, 0}, {0, 0}, {0, dy}, {0, dy}, {dx, dy}, {0, dy}}};
    const std::array<QSize, kGroupCount> grows = {{{0, 0}, {0, 0}, {dx, dy}, {0, 0}, {0, 0}, {0, 0}, {dx, 0}}};
    for (std::size_t i = 0; i < kGroupPlaces.size(); ++i) {
        // A detached group is placed when it comes back.
        if (groups_[i]->parentWidget() != client)
            continue;
        const TGroupPlace& place = kGroupPlaces[i];
        groups_[i]->setGeometry(
            QRect(QPoint(place.left, place.top) + moves[i], QSize(place.width, place.height) + grows[i]));
    }
    waveScreen_->setGeometry(kPreviewPlace.adjusted(0, 0, dx, dy));
    waveList_->Place(kListPlace.translated(dx, 0).adjusted(0, 0, 0, dy));
}

TWindowPlace TMainForm::Place() const
{
    // The frame's corner (what move() takes) and the inside's size (what resize() takes).
    const QRect inside = isMaximized() && normalGeometry().isValid() ? normalGeometry() : geometry();
    const QPoint corner = isMaximized() ? inside.topLeft() - (geometry().topLeft() - pos()) : pos();
    return {corner.x(), corner.y(), inside.width(), inside.height()};
}

void TMainForm::RestorePlace(const TXMLSettings& store)
{
    const std::optional<TWindowPlace> stored = ReadWindowPlace(store, kPlaceElement);
    if (!stored)
        return;
    PlaceOnScreens(*stored);
    // The frame is known once the window shows: fitted again then.
    fitWhenShown_ = true;
}

void TMainForm::PlaceOnScreens(const TWindowPlace& wanted)
{
    std::vector<TWindowPlace> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect a = screen->availableGeometry();
        // The primary screen first: a place on no screen goes there.
        screens.insert(screen == QGuiApplication::primaryScreen() ? screens.begin() : screens.end(),
                       {a.x(), a.y(), a.width(), a.height()});
    }
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize least = minimumSizeHint().expandedTo(minimumSize()) + frame;
    const TWindowPlace fit =
        FitWindowPlace({wanted.Left, wanted.Top, wanted.Width + frame.width(), wanted.Height + frame.height()},
                       least.width(), least.height(), screens);
    resize(fit.Width - frame.width(), fit.Height - frame.height());
    move(fit.Left, fit.Top);
    storedPlace_ = Place();
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (fitWhenShown_) {
        fitWhenShown_ = false;
        PlaceOnScreens(Place());
    }
}

bool TMainForm::StorePlace(TXMLSettings& store, bool always)
{
    const TWindowPlace now = Place();
    // The first look only notes where the window opened: not a change of the user's.
    if (!always && (!storedPlace_ || *storedPlace_ == now)) {
        storedPlace_ = now;
        return false;
    }
    WriteWindowPlace(store, kPlaceElement, now);
    storedPlace_ = now;
    return true;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == centralWidget()) {
        if (event->type() == QEvent::Resize)
            PlaceGroups();
        // A group back from its own window: placed once its window has let it go.
        if (event->type() == QEvent::ChildAdded)
            QTimer::singleShot(0, this, &TMainForm::PlaceGroups);
        return false;
    }
    if (event->type() == QEvent::MouseButtonDblClick) {
        auto* group = qobject_cast<QGroupBox*>(watched);
        if (group != nullptr && group->window() == this) {
            GroupBox2DblClick(group);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::DeviceAbstractionTarn1CommBroken()
{
    ++commBrokenCount_;
    // Before the window's own event loop: no step may go in meanwhile.
    sweepRunner_->CommBroken();
    TCommBrokenForm form(*objMaster_, this);
    if (commBrokenRetryMs_ > 0) {
        form.SetRetryInterval(commBrokenRetryMs_);
    }
    commBrokenForm_ = &form;
    // Remote commands that change settings are refused while the window is up.
    remoteControl_->BrokenWindowOpened();
    statusBar_->CommBroken();
    const bool reconnected = form.Execute();
    remoteControl_->BrokenWindowClosed();
    commBrokenForm_ = nullptr;
    if (reconnected) {
        statusBar_->Reconnected();
    } else {
        RequestTerminate();
    }
}

} // namespace tarn
