// SPDX-License-Identifier: MIT
// The plug-in module manager: finds the modules at start, lists them in the
// "Edit by" and "Create by" sub-menus and serves their requests while one runs.
#pragma once
#include "data/ModuleTypesTarn.h"
#include "shell/master/ComponentsTarn.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QMenu;
class QWidget;
class TModuleData;
class TWaveformTarn;

namespace tarn {

class TDialogService;

struct TModuleInfo {
    // Absolute path of the library as found.
    std::string FileName;
    std::string Caption;
    std::string ModuleName;
    std::int32_t ModuleKey = 0;
    std::int32_t Flags = 0;
};

class TModuleManagerTarn : public TComponentTarn {
    Q_OBJECT
public:
    static constexpr std::int32_t FlagCreate = 1;
    static constexpr std::int32_t FlagEdit = 2;
    static constexpr std::int32_t FlagKeepData = 4;
    static constexpr std::int32_t MaxSamples = 16384;

    using TNewWaveDialogNotify =
        std::function<void(TModuleManagerTarn* sender, bool& success, const TWaveformData& data)>;
    using TCreateWaveDialogNotify = std::function<void(TModuleManagerTarn* sender, bool& success, TWaveformTarn& wave)>;

    explicit TModuleManagerTarn(TDialogService& dialogs, QObject* parent = nullptr);
    ~TModuleManagerTarn() override;

    // Searched in this order for "*.so" at omWireControls; only these
    // folders, never the current directory or a search path. Empty: the
    // "modules" folder beside the running program.
    std::vector<std::filesystem::path> ModuleFolders;
    QMenu* EditorMenuItem = nullptr;
    QMenu* CreatorMenuItem = nullptr;
    TNewWaveDialogNotify OnNewWaveDialog;
    TCreateWaveDialogNotify OnCreateWaveDialog;
    // Param of codes 12 and 13.
    QWidget* MainWindow = nullptr;

    const std::vector<TModuleInfo>& Modules() const { return modules_; }
    std::int32_t ActiveModule() const { return activeModule_; }
    // Index of the module with exactly this name and key, or -1.
    std::int32_t FindModule(const std::string& moduleName, std::int32_t moduleKey) const;
    std::optional<TModuleInfo> ModuleInfo(std::int32_t index) const;
    // Caption of the module that owns the blocks of data; empty when none is installed.
    std::string EditorCaption(const TModuleData& data) const;
    // Resets the waveform's module data to the active module.
    void StampWaveform(TWaveformTarn& waveform) const;

    // What the "Edit by" and "Create by" items do for module index.
    void EditBy(std::int32_t index);
    void CreateBy(std::int32_t index);

    // The work waveform while a module runs, else null.
    TWaveformTarn* WorkWaveform() const { return workWaveform_.get(); }
    // The program's side of the interface; reaches the manager whose module runs.
    static std::int32_t Request(std::int32_t code, std::intptr_t param, void* p3, void* p4);

protected:
    void ObjMasterNotify(TObjMasterCode code, std::int32_t index, void* data) override;

private:
    void Discover();
    void DiscoverFolder(const std::filesystem::path& folder);
    // Warns, naming path, and answers true when others could change it.
    bool RefuseIfUnsafe(const std::filesystem::path& path);
    void BuildMenus();
    // Loads module index and runs it with code (12 or 13); edit takes the selected waveform.
    void Run(std::int32_t index, bool edit);
    std::int32_t Serve(std::int32_t code, std::intptr_t param, void* p3, void* p4);
    void NewWaveData(const TWaveformData* data, std::uint8_t* success);

    TDialogService& dialogs_;
    std::vector<TModuleInfo> modules_;
    std::int32_t activeModule_ = 0;
    std::unique_ptr<TWaveformTarn> workWaveform_;
};

} // namespace tarn
