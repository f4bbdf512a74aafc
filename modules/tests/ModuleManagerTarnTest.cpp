// SPDX-License-Identifier: MIT
// The module manager against real shared libraries built for the tests.
#include "data/SettingsTarn.h"
#include "data/StringsTarn.h"
#include "data/WaveformTarn.h"
#include "modules/ModuleManagerTarn.h"
#include "shell/master/DialogService.h"
#include "shell/master/tests/TestApp.h"

#include <QMenu>
#include <QTemporaryDir>

#include <dlfcn.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

namespace tarn {
namespace {

namespace fs = std::filesystem;
using TRequest = std::int32_t (*)(std::int32_t, std::intptr_t, void*, void*);
using THandler = void (*)(TRequest, std::int32_t, std::intptr_t);

// What the running test module does with the request function.
std::function<void(TRequest, std::int32_t)> script;
void RunScript(TRequest request, std::int32_t code, std::intptr_t)
{
    if (script) {
        script(request, code);
    }
}

struct TRecordingDialogs : TDialogService {
    std::vector<std::string> texts;
    TDialogResult Message(TDialogKind, TDialogButtons, const std::string& text, const std::string&) override
    {
        texts.push_back(text);
        return TDialogResult::Ok;
    }
};

// Stands in for the waveform list: one selected waveform or none.
class TFakeList : public TComponentTarn {
public:
    std::unique_ptr<TWaveformTarn> selected;
    std::vector<std::int32_t> listChanges;

protected:
    void ObjMasterNotify(TObjMasterCode code, std::int32_t index, void* data) override
    {
        if (code == TObjMasterCode::omGetSelectedWaveform && selected) {
            static_cast<TWaveformTarn*>(data)->Assign(*selected);
        } else if (code == TObjMasterCode::omReplaceSelectedWaveform && selected) {
            selected->Assign(*static_cast<const TWaveformTarn*>(data));
        } else if (code == TObjMasterCode::omWaveformListChanged) {
            listChanges.push_back(index);
        }
    }
};

// One copy of a test library in a modules folder, held loaded so that the
// test talks to the same instance the manager loads.
struct TLoadedModule {
    void* handle = nullptr;
    ~TLoadedModule()
    {
        if (handle != nullptr) {
            dlclose(handle);
        }
    }
    template <class F> F Get(const char* name) const { return reinterpret_cast<F>(dlsym(handle, name)); }
    std::vector<std::int32_t> TakeLog(TRequest* request = nullptr) const
    {
        std::vector<std::int32_t> codes(64);
        TRequest kept = nullptr;
        codes.resize(static_cast<std::size_t>(Get<std::int32_t (*)(std::int32_t*, std::int32_t, TRequest*)>(
            "TestModuleTakeLog")(codes.data(), 64, &kept)));
        if (request != nullptr) {
            *request = kept;
        }
        return codes;
    }
};

class ModuleManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings.SetDefaults();
        list.SetObjMaster(&master);
        manager.SetObjMaster(&master);
        manager.SetSettings(&settings);
        manager.EditorMenuItem = &editMenu;
        manager.CreatorMenuItem = &createMenu;
        manager.MainWindow = &editMenu;
        programModules = fs::path(dir.path().toStdString()) / "modules";
        script = nullptr;
    }
    void TearDown() override { script = nullptr; }

    // Copies a built library into folder under name; with hold, keeps it loaded.
    void Install(const char* built, const fs::path& folder, const std::string& name, TLoadedModule* hold = nullptr)
    {
        fs::create_directories(folder);
        fs::copy_file(built, folder / name, fs::copy_options::overwrite_existing);
        if (hold != nullptr) {
            hold->handle = dlopen((folder / name).c_str(), RTLD_NOW | RTLD_LOCAL);
            ASSERT_NE(hold->handle, nullptr);
            hold->Get<void (*)(THandler)>("TestModuleSetHandler")(&RunScript);
        }
    }
    void Discover(std::vector<fs::path> folders)
    {
        manager.ModuleFolders = std::move(folders);
        master.Notify(TObjMasterCode::omWireControls);
    }
    static QStringList Captions(const QMenu& menu)
    {
        QStringList captions;
        for (const QAction* item : menu.actions()) {
            captions << item->text();
        }
        return captions;
    }
    void Select(std::int32_t count, std::uint32_t ownerKey = 0, const std::string& ownerName = {},
                std::vector<std::string> blocks = {})
    {
        list.selected = std::make_unique<TWaveformTarn>();
        list.selected->Allocate(count, 4096, false);
        list.selected->Name = "W";
        list.selected->ModuleData.Reset(ownerKey, ownerName);
        for (const std::string& block : blocks) {
            list.selected->ModuleData.AddBlock(ownerKey, ownerName, static_cast<std::int32_t>(block.size()),
                                               block.data());
        }
    }

    // Before any widget.
    QApplication& app = test::TestApp();
    QTemporaryDir dir;
    fs::path programModules;
    TObjMasterTarn master;
    TSettingsTarn settings;
    TRecordingDialogs dialogs;
    TFakeList list;
    QMenu editMenu;
    QMenu createMenu;
    TModuleManagerTarn manager{dialogs};
};

TEST_F(ModuleManagerTest, DiscoveryListsModulesAndSkipsOtherFilesSilently)
{
    Discover({programModules});
    EXPECT_TRUE(manager.Modules().empty());
    EXPECT_TRUE(editMenu.actions().isEmpty());
    EXPECT_TRUE(createMenu.actions().isEmpty());

    TLoadedModule alpha;
    Install(TARN_TEST_MODULE_ALPHA, programModules, "a_alpha.so", &alpha);
    Install(TARN_TEST_MODULE_BETA, programModules, "b_beta.so");
    Install(TARN_TEST_NO_ENTRY, programModules, "c_noentry.so");
    std::ofstream(programModules / "d_text.so") << "no library";
    Install(TARN_TEST_MODULE_PLAIN, programModules, "e_plain.so");
    Install(TARN_TEST_MODULE_PLAIN, programModules, "f_plain.txt");
    const fs::path dataModules = fs::path(dir.path().toStdString()) / "data" / "modules";
    Install(TARN_TEST_MODULE_KEEPER, dataModules, "keeper.so");
    alpha.TakeLog();
    editMenu.addAction(QStringLiteral("existing"));

    Discover({programModules, dataModules});
    ASSERT_EQ(manager.Modules().size(), 4u);
    const TModuleInfo& first = manager.Modules()[0];
    EXPECT_EQ(first.FileName, (programModules / "a_alpha.so").string());
    EXPECT_EQ(first.ModuleName, "Alpha");
    EXPECT_EQ(first.Caption, "Alpha module");
    EXPECT_EQ(first.ModuleKey, 7);
    EXPECT_EQ(first.Flags, 3);
    // Flags 0: listed, so that it can still name a waveform's editor, but in no menu.
    EXPECT_EQ(manager.Modules()[2].ModuleName, "Plain");
    EXPECT_EQ(manager.Modules()[3].ModuleName, "Keeper");
    EXPECT_EQ(alpha.TakeLog(), (std::vector<std::int32_t>{2, 2, 3, 3, 4, 5}));
    EXPECT_TRUE(dialogs.texts.empty());
    // Inserted at position 0: the later-found module first, items already there last.
    EXPECT_EQ(Captions(editMenu), (QStringList{"Keeper module", "Beta module", "Alpha module", "existing"}));
    EXPECT_EQ(Captions(createMenu), (QStringList{"Keeper module", "Beta module", "Alpha module"}));

    EXPECT_EQ(manager.FindModule("Beta", 8), 1);
    EXPECT_EQ(manager.FindModule("beta", 8), -1);
    EXPECT_EQ(manager.FindModule("Beta", 7), -1);
    EXPECT_FALSE(manager.ModuleInfo(4).has_value());
    EXPECT_FALSE(manager.ModuleInfo(-1).has_value());
    TModuleData owned;
    owned.Reset(8, "Beta");
    EXPECT_EQ(manager.EditorCaption(owned), "Beta module");
    owned.Reset(9, "Beta");
    EXPECT_EQ(manager.EditorCaption(owned), "");
}

TEST_F(ModuleManagerTest, RequestsOutsideARunningModuleAnswerZeroAndWriteNothing)
{
    const std::size_t before = settings.Repository.size();
    std::int32_t value = 55;
    void* pointer = &value;
    char buffer[8] = "keep";
    for (std::int32_t code = 0; code <= 13; ++code) {
        EXPECT_EQ(TModuleManagerTarn::Request(code, sizeof buffer,
                                              code == 11 ? static_cast<void*>(buffer) : static_cast<void*>(&pointer),
                                              &value),
                  0)
            << code;
    }
    EXPECT_EQ(value, 55);
    EXPECT_EQ(pointer, &value);
    EXPECT_STREQ(buffer, "keep");
    EXPECT_EQ(settings.Repository.size(), before);
}

TEST_F(ModuleManagerTest, EditByServesEveryEditingRequest)
{
    TLoadedModule alpha;
    Install(TARN_TEST_MODULE_ALPHA, programModules, "alpha.so", &alpha);
    Discover({programModules});

    manager.EditBy(0);
    EXPECT_EQ(dialogs.texts, (std::vector<std::string>{Strings::UnableToLoadModule}));
    TRequest kept = nullptr;
    EXPECT_EQ(alpha.TakeLog(&kept), (std::vector<std::int32_t>{2, 2, 3, 3, 4, 5, 11}));
    EXPECT_EQ(kept, &TModuleManagerTarn::Request);

    Select(1000, 1, "Other", {"old"});
    bool ran = false;
    script = [&](TRequest request, std::int32_t code) {
        ran = true;
        EXPECT_EQ(code, 12);
        const std::string text = "W (mode: Arbitrary - size 1000 samples)";
        char buffer[64];
        std::memset(buffer, 'x', sizeof buffer);
        std::int32_t needed = 0;
        EXPECT_EQ(request(11, static_cast<std::intptr_t>(text.size()), buffer, &needed), 1);
        EXPECT_EQ(needed, static_cast<std::int32_t>(text.size()) + 1);
        EXPECT_EQ(buffer[0], 'x');
        needed = 0;
        request(11, -1, buffer, &needed);
        EXPECT_EQ(needed, static_cast<std::int32_t>(text.size()) + 1);
        EXPECT_EQ(buffer[0], 'x');
        request(11, static_cast<std::intptr_t>(text.size()) + 1, buffer, &needed);
        EXPECT_EQ(std::string(buffer), text);

        TWaveformData* view = nullptr;
        EXPECT_EQ(request(1, 0, &view, nullptr), 1);
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->Count, 1000);
        EXPECT_EQ(view->Range, 4096);
        view->Samples[0] = 4095;
        std::int32_t range = 0;
        request(7, 0, &range, nullptr);
        EXPECT_EQ(range, 4096);

        // Reset at start: owned by Alpha, blocks gone.
        std::int32_t own = -5;
        request(5, 0, &own, nullptr);
        EXPECT_EQ(own, 1);
        const void* block = &own;
        std::int32_t length = 0;
        request(6, 0, &block, &length);
        EXPECT_EQ(block, nullptr);
        EXPECT_EQ(length, -1);

        request(3, 0, nullptr, nullptr);
        request(4, 0, nullptr, nullptr);
        request(4, 3, const_cast<char*>("abc"), nullptr);
        request(4, -2, const_cast<char*>("zz"), nullptr);
        request(5, 0, &own, nullptr);
        for (const std::int32_t expected : {0, 3, -1, -1}) {
            request(6, 0, &block, &length);
            EXPECT_EQ(length, expected);
            if (expected == 3) {
                EXPECT_EQ(std::string(static_cast<const char*>(block), 3), "abc");
            }
        }
        EXPECT_EQ(request(2, 0, nullptr, nullptr), 1);
        EXPECT_EQ(request(12, 0, nullptr, nullptr), 0);
        EXPECT_EQ(request(0, 0, nullptr, nullptr), 0);
    };
    dialogs.texts.clear();
    editMenu.actions().value(0)->trigger();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(dialogs.texts.empty());
    EXPECT_EQ(alpha.Get<std::intptr_t (*)()>("TestModuleLastParam")(), reinterpret_cast<std::intptr_t>(&editMenu));
    EXPECT_EQ(manager.WorkWaveform(), nullptr);
    const TWaveformTarn& committed = *list.selected;
    EXPECT_EQ(committed.Samples()[0], 4095);
    EXPECT_EQ(committed.MaxSample(), 4095);
    EXPECT_EQ(committed.ModuleData.ModuleName, "Alpha");
    EXPECT_EQ(committed.ModuleData.ModuleKey, 7u);
    EXPECT_EQ(committed.ModuleData.Blocks, (std::vector<std::string>{"", "abc"}));
}

TEST_F(ModuleManagerTest, KeepDataFlagLeavesAnotherOwnersBlocksUntouched)
{
    TLoadedModule keeper;
    Install(TARN_TEST_MODULE_KEEPER, programModules, "keeper.so", &keeper);
    Discover({programModules});
    Select(16, 7, "Alpha", {"p", "qr"});
    script = [&](TRequest request, std::int32_t) {
        std::int32_t own = -5;
        request(5, 0, &own, nullptr);
        EXPECT_EQ(own, 0);
        request(4, 1, const_cast<char*>("k"), nullptr);
        const void* block = nullptr;
        std::int32_t length = 0;
        for (const std::int32_t expected : {1, 2, -1}) {
            request(6, 0, &block, &length);
            EXPECT_EQ(length, expected);
        }
        request(2, 0, nullptr, nullptr);
    };
    manager.EditBy(0);
    EXPECT_EQ(list.selected->ModuleData.ModuleName, "Alpha");
    EXPECT_EQ(list.selected->ModuleData.Blocks, (std::vector<std::string>{"p", "qr"}));
}

TEST_F(ModuleManagerTest, CreateByAsksForTheDialogsAndAddsTheWaveform)
{
    TLoadedModule alpha;
    Install(TARN_TEST_MODULE_ALPHA, programModules, "alpha.so", &alpha);
    Discover({programModules});
    std::vector<std::int32_t> dialogSizes;
    manager.OnNewWaveDialog = [&](TModuleManagerTarn* sender, bool& success, const TWaveformData& data) {
        EXPECT_EQ(sender, &manager);
        dialogSizes.push_back(data.Count);
        success = true;
    };
    manager.OnCreateWaveDialog = [&](TModuleManagerTarn*, bool& success, TWaveformTarn& wave) {
        wave.Allocate(3, 4096, false);
        wave.Name = "Made";
        success = true;
    };
    const std::size_t before = settings.Repository.size();
    script = [&](TRequest request, std::int32_t code) {
        EXPECT_EQ(code, 13);
        std::vector<std::uint16_t> samples(16385, 100);
        for (const auto& [count, accepted] : {std::pair{16384, 1}, {16385, 0}, {0, 0}}) {
            TWaveformData data{samples.data(), count, 4096};
            std::uint8_t success = 7;
            EXPECT_EQ(request(8, 0, &data, &success), 1);
            EXPECT_EQ(success, accepted) << count;
        }
        TWaveformData* view = nullptr;
        std::uint8_t success = 0;
        request(9, 0, &view, &success);
        EXPECT_EQ(success, 1);
        ASSERT_NE(view, nullptr);
        ASSERT_EQ(view->Count, 3);
        view->Samples[1] = 9;
        request(10, 0, nullptr, nullptr);
    };
    createMenu.actions().value(0)->trigger();
    EXPECT_EQ(dialogSizes, (std::vector<std::int32_t>{16384}));
    char message[160];
    std::snprintf(message, sizeof message, Strings::WaveformSizeOutOfRange, 1, 16384);
    EXPECT_EQ(dialogs.texts, (std::vector<std::string>{message, message}));
    ASSERT_EQ(settings.Repository.size(), before + 1);
    const TWaveformTarn& added = *settings.Repository.back();
    EXPECT_EQ(added.Name, "Made");
    EXPECT_EQ(added.Samples()[1], 9);
    EXPECT_EQ(added.ModuleData.ModuleName, "Alpha");
    EXPECT_EQ(list.listChanges, (std::vector<std::int32_t>{-1}));
}

TEST_F(ModuleManagerTest, ModulesOthersCouldChangeAreRefusedWithAMessageNamingThem)
{
    // Owned by another user is tried only where the test may give a file away.
    const bool root = ::getuid() == 0;
    struct Case {
        const char* name;
        fs::perms folderPerms;
        fs::perms filePerms;
        bool otherOwner;
        bool loaded;
        const char* named; // what the message names; the file when empty
    } cases[] = {
        {"own.so", fs::perms(0755), fs::perms(0755), false, true, ""},
        {"group.so", fs::perms(0755), fs::perms(0775), false, false, ""},
        {"others.so", fs::perms(0755), fs::perms(0757), false, false, ""},
        {"folder.so", fs::perms(0777), fs::perms(0755), false, false, "folder"},
        {"stranger.so", fs::perms(0755), fs::perms(0755), true, false, ""},
    };
    for (const Case& c : cases) {
        if (c.otherOwner && !root) {
            continue;
        }
        const fs::path folder = programModules / c.name;
        Install(TARN_TEST_MODULE_BETA, folder, c.name);
        fs::permissions(folder / c.name, c.filePerms);
        fs::permissions(folder, c.folderPerms);
        if (c.otherOwner) {
            ASSERT_EQ(::chown((folder / c.name).c_str(), 65534, 65534), 0);
        }
        dialogs.texts.clear();
        Discover({folder});
        EXPECT_EQ(manager.Modules().size(), c.loaded ? 1u : 0u) << c.name;
        if (c.loaded) {
            EXPECT_TRUE(dialogs.texts.empty()) << c.name;
            continue;
        }
        ASSERT_EQ(dialogs.texts.size(), 1u) << c.name;
        const std::string named = (*c.named != 0 ? folder : folder / c.name).string();
        EXPECT_NE(dialogs.texts[0].find("The module " + named + " was not loaded"), std::string::npos)
            << dialogs.texts[0];
        fs::permissions(folder, fs::perms(0700));
    }
}

TEST_F(ModuleManagerTest, AModuleGoneSinceDiscoveryIsReported)
{
    Install(TARN_TEST_MODULE_BETA, programModules, "beta.so");
    Discover({programModules});
    fs::remove(programModules / "beta.so");
    manager.CreateBy(0);
    EXPECT_EQ(dialogs.texts, (std::vector<std::string>{Strings::UnableToLoadModule}));
    EXPECT_EQ(manager.ActiveModule(), 0);
}

} // namespace
} // namespace tarn
