// SPDX-License-Identifier: MIT
#include "modules/ModuleManagerTarn.h"

#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "data/WaveformTarn.h"
#include "shell/master/DialogService.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarn {

namespace {

using TAppRequest = void (*)(std::int32_t code, std::intptr_t param, void* p3, void* p4);

// The manager whose module runs now; the request function carries no instance.
TModuleManagerTarn* runningManager = nullptr;

struct TDlClose {
    void operator()(void* handle) const { dlclose(handle); }
};
using TLibrary = std::unique_ptr<void, TDlClose>;

// Loads by absolute path only, so that no search path is consulted.
TLibrary LoadModule(const std::filesystem::path& path, TAppRequest& entry)
{
    entry = nullptr;
    if (!path.is_absolute()) {
        return nullptr;
    }
    TLibrary library(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (library) {
        entry = reinterpret_cast<TAppRequest>(dlsym(library.get(), "AppRequest"));
    }
    return entry != nullptr ? std::move(library) : nullptr;
}

// Why others could change what path holds (the code that a module runs in the
// program), or empty when only this user or root can.
std::string UnsafeBecause(const std::filesystem::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {}; // nothing there to load
    }
    if (st.st_uid != ::getuid() && st.st_uid != 0) {
        return "owned by user " + std::to_string(st.st_uid);
    }
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return "writable by its group or by others";
    }
    return {};
}

std::string AskText(TAppRequest entry, std::int32_t code)
{
    std::int32_t length = 0;
    entry(code, 0, nullptr, &length);
    if (length <= 0) {
        return {};
    }
    std::string buffer(static_cast<std::size_t>(length) + 1, '\0');
    entry(code, 0, buffer.data(), nullptr);
    return std::string(buffer.c_str(), strnlen(buffer.c_str(), static_cast<std::size_t>(length)));
}

} // namespace

TModuleManagerTarn::TModuleManagerTarn(TDialogService& dialogs, QObject* parent)
    : TComponentTarn(parent), dialogs_(dialogs)
{
}

TModuleManagerTarn::~TModuleManagerTarn()
{
    DetachFromMaster();
}

void TModuleManagerTarn::ObjMasterNotify(TObjMasterCode code, std::int32_t, void*)
{
    if (code == TObjMasterCode::omWireControls) {
        Discover();
        BuildMenus();
    }
}

void TModuleManagerTarn::Discover()
{
    modules_.clear();
    if (ModuleFolders.empty()) {
        DiscoverFolder(std::filesystem::path(QCoreApplication::applicationDirPath().toStdString()) / "modules");
    }
    for (const std::filesystem::path& folder : ModuleFolders) {
        DiscoverFolder(folder);
    }
}

void TModuleManagerTarn::DiscoverFolder(const std::filesystem::path& folder)
{
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(folder, ec);
    if (!ec && RefuseIfUnsafe(absolute)) {
        return;
    }
    std::vector<std::filesystem::path> files;
    for (std::filesystem::directory_iterator it(absolute, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() == ".so") {
            files.push_back(it->path());
        }
    }
    // Directory order is arbitrary on Linux; by name the menus come out the same at every start.
    std::sort(files.begin(), files.end());
    for (const std::filesystem::path& file : files) {
        if (RefuseIfUnsafe(file)) {
            continue;
        }
        TAppRequest entry = nullptr;
        const TLibrary library = LoadModule(file, entry);
        if (!library) {
            continue;
        }
        TModuleInfo info;
        info.FileName = file.string();
        info.ModuleName = AskText(entry, 2);
        info.Caption = AskText(entry, 3);
        entry(4, 0, &info.ModuleKey, nullptr);
        info.Flags = 0;
        entry(5, 0, &info.Flags, nullptr);
        modules_.push_back(std::move(info));
    }
}

bool TModuleManagerTarn::RefuseIfUnsafe(const std::filesystem::path& path)
{
    const std::string why = UnsafeBecause(path);
    if (why.empty()) {
        return false;
    }
    const std::string name = path.string();
    const int length = std::snprintf(nullptr, 0, Strings::UnsafeModulePath, name.c_str(), why.c_str());
    std::string message(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
    std::snprintf(message.data(), message.size(), Strings::UnsafeModulePath, name.c_str(), why.c_str());
    message.resize(message.size() - 1);
    dialogs_.Message(TDialogKind::Warning, TDialogButtons::Ok, message);
    return true;
}

void TModuleManagerTarn::BuildMenus()
{
    for (std::size_t i = 0; i < modules_.size(); ++i) {
        const auto index = static_cast<std::int32_t>(i);
        const std::pair<QMenu*, std::int32_t> menus[] = {{EditorMenuItem, FlagEdit}, {CreatorMenuItem, FlagCreate}};
        for (const auto& [menu, flag] : menus) {
            if (menu == nullptr || (modules_[i].Flags & flag) == 0) {
                continue;
            }
            auto* item = new QAction(QString::fromStdString(modules_[i].Caption), menu);
            item->setData(index);
            menu->insertAction(menu->actions().value(0), item);
            connect(item, &QAction::triggered, this,
                    [this, index, edit = flag == FlagEdit] { edit ? EditBy(index) : CreateBy(index); });
        }
    }
}

std::int32_t TModuleManagerTarn::FindModule(const std::string& moduleName, std::int32_t moduleKey) const
{
    for (std::size_t i = 0; i < modules_.size(); ++i) {
        if (modules_[i].ModuleKey == moduleKey && modules_[i].ModuleName == moduleName) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

std::optional<TModuleInfo> TModuleManagerTarn::ModuleInfo(std::int32_t index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= modules_.size()) {
        return std::nullopt;
    }
    return modules_[static_cast<std::size_t>(index)];
}

std::string TModuleManagerTarn::EditorCaption(const TModuleData& data) const
{
    const auto info = ModuleInfo(FindModule(data.ModuleName, static_cast<std::int32_t>(data.ModuleKey)));
    return info ? info->Caption : std::string();
}

void TModuleManagerTarn::StampWaveform(TWaveformTarn& waveform) const
{
    if (const auto info = ModuleInfo(activeModule_)) {
        waveform.ModuleData.Reset(static_cast<std::uint32_t>(info->ModuleKey), info->ModuleName);
    }
}

void TModuleManagerTarn::EditBy(std::int32_t index)
{
    Run(index, true);
}

void TModuleManagerTarn::CreateBy(std::int32_t index)
{
    Run(index, false);
}

void TModuleManagerTarn::Run(std::int32_t index, bool edit)
{
    const auto info = ModuleInfo(index);
    if (!info || workWaveform_) {
        return;
    }
    activeModule_ = index;
    // Checked again: the file or its folder may have changed since discovery.
    const std::filesystem::path file(info->FileName);
    if (RefuseIfUnsafe(file.parent_path()) || RefuseIfUnsafe(file)) {
        return;
    }
    TAppRequest entry = nullptr;
    const TLibrary library = LoadModule(info->FileName, entry);
    if (!library) {
        dialogs_.Message(TDialogKind::Error, TDialogButtons::Ok, Strings::UnableToLoadModule);
        return;
    }
    entry(11, 0, reinterpret_cast<void*>(&TModuleManagerTarn::Request), nullptr);
    workWaveform_ = std::make_unique<TWaveformTarn>();
    if (edit) {
        if (ObjMaster() != nullptr) {
            ObjMaster()->Notify(TObjMasterCode::omGetSelectedWaveform, 0, workWaveform_.get());
        }
        if (workWaveform_->SampleCount() == 0) {
            workWaveform_.reset();
            dialogs_.Message(TDialogKind::Error, TDialogButtons::Ok, Strings::UnableToLoadModule);
            return;
        }
    }
    if ((info->Flags & FlagKeepData) == 0) {
        StampWaveform(*workWaveform_);
    }
    TModuleManagerTarn* const outer = runningManager;
    runningManager = this;
    entry(edit ? 12 : 13, reinterpret_cast<std::intptr_t>(MainWindow), nullptr, nullptr);
    runningManager = outer;
    // What the module committed during this run is one step to undo.
    if (Settings() != nullptr) {
        Settings()->LibraryUndo.Seal();
    }
    workWaveform_.reset();
}

std::int32_t TModuleManagerTarn::Request(std::int32_t code, std::intptr_t param, void* p3, void* p4)
{
    // Outside a running module there is no work waveform to act on.
    return runningManager != nullptr ? runningManager->Serve(code, param, p3, p4) : 0;
}

std::int32_t TModuleManagerTarn::Serve(std::int32_t code, std::intptr_t param, void* p3, void* p4)
{
    if (code < 1 || code > 11 || !workWaveform_) {
        return 0;
    }
    TWaveformTarn& work = *workWaveform_;
    const TModuleInfo& active = modules_[static_cast<std::size_t>(activeModule_)];
    const auto activeKey = static_cast<std::uint32_t>(active.ModuleKey);
    switch (code) {
    case 1:
        if (p3 != nullptr) {
            *static_cast<TWaveformData**>(p3) = work.DataView();
        }
        break;
    case 2:
        work.UpdateStatistics();
        if (ObjMaster() != nullptr) {
            ObjMaster()->Notify(TObjMasterCode::omReplaceSelectedWaveform, 0, &work);
        }
        break;
    case 3:
        work.ModuleData.Reset(activeKey, active.ModuleName);
        break;
    case 4:
        if (param >= 0 && param <= INT32_MAX && (p3 != nullptr || param == 0)) {
            work.ModuleData.AddBlock(activeKey, active.ModuleName, static_cast<std::int32_t>(param), p3);
        }
        break;
    case 5:
        work.ModuleData.Rewind();
        if (p3 != nullptr) {
            *static_cast<std::int32_t*>(p3) = work.ModuleData.ModuleKey == activeKey ? 1 : 0;
        }
        break;
    case 6: {
        const char* block = nullptr;
        std::int32_t length = -1;
        work.ModuleData.NextBlock(block, length);
        if (p3 != nullptr) {
            *static_cast<const void**>(p3) = block;
        }
        if (p4 != nullptr) {
            *static_cast<std::int32_t*>(p4) = length;
        }
        break;
    }
    case 7:
        if (p3 != nullptr) {
            *static_cast<std::int32_t*>(p3) = Settings() != nullptr ? Settings()->SampleRange : 4096;
        }
        break;
    case 8:
        NewWaveData(static_cast<const TWaveformData*>(p3), static_cast<std::uint8_t*>(p4));
        break;
    case 9: {
        bool success = false;
        if (OnCreateWaveDialog) {
            OnCreateWaveDialog(this, success, work);
        }
        if (p4 != nullptr) {
            *static_cast<std::uint8_t*>(p4) = success ? 1 : 0;
        }
        if (p3 != nullptr) {
            *static_cast<TWaveformData**>(p3) = work.DataView();
        }
        break;
    }
    case 10:
        if (Settings() != nullptr) {
            Settings()->AddWaveform(work);
            Settings()->LibraryUndo.Added(Settings()->Repository, Settings()->Repository.size() - 1,
                                          TLibraryEdit::Create);
        }
        if (ObjMaster() != nullptr) {
            ObjMaster()->Notify(TObjMasterCode::omWaveformListChanged, -1);
        }
        break;
    case 11: {
        const std::string mode = work.ModeText();
        const std::string size = work.SizeText();
        const int length =
            std::snprintf(nullptr, 0, Strings::ModuleWaveformInfo, work.Name.c_str(), mode.c_str(), size.c_str());
        if (p4 != nullptr) {
            *static_cast<std::int32_t*>(p4) = length + 1;
        }
        // A negative or short size gets only the needed size.
        if (p3 != nullptr && param >= static_cast<std::intptr_t>(length) + 1) {
            std::snprintf(static_cast<char*>(p3), static_cast<std::size_t>(length) + 1, Strings::ModuleWaveformInfo,
                          work.Name.c_str(), mode.c_str(), size.c_str());
        }
        break;
    }
    default:
        break;
    }
    return 1;
}

void TModuleManagerTarn::NewWaveData(const TWaveformData* data, std::uint8_t* success)
{
    if (success != nullptr) {
        *success = 0;
    }
    if (data == nullptr) {
        return;
    }
    if (data->Count < 1 || data->Count > MaxSamples) {
        char message[160];
        std::snprintf(message, sizeof message, Strings::WaveformSizeOutOfRange, 1, MaxSamples);
        dialogs_.Message(TDialogKind::Error, TDialogButtons::Ok, message);
        return;
    }
    bool accepted = false;
    if (OnNewWaveDialog) {
        OnNewWaveDialog(this, accepted, *data);
    }
    if (success != nullptr) {
        *success = accepted ? 1 : 0;
    }
}

} // namespace tarn
