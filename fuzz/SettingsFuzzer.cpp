// SPDX-License-Identifier: MIT
// "settings.xml" with the settings model on top: the load reads every typed
// value the program uses; then typed reads at paths the input names.
#include "data/SettingsTarn.h"
#include "data/WaveformRepositoryFile.h"
#include "data/XMLSettings.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/TempFolder.h"

#include <cstdint>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tarn::fuzz;
    TFuzzInput input(data, size);
    // The first bytes choose the extra paths; the rest is the file.
    const std::string path1(input.Bytes(input.Take<std::uint8_t>() % 24));
    const std::string path2(input.Bytes(input.Take<std::uint8_t>() % 24));
    // A small valid library beside it keeps the standard waveforms from being
    // remade on every run.
    static const bool library = [] {
        TSettingsTarn small;
        small.SetDefaults();
        small.Device.Waveforms.push_back(std::make_unique<TWaveformTarn>());
        small.Device.Waveforms[0]->Allocate(1, 4096, false);
        return small.Save(ScratchFolder()).RepositorySaved;
    }();
    (void)library;
    WriteFile(ScratchFolder() / SettingsFileName, input.Rest());

    TSettingsTarn settings;
    settings.SetDefaults();
    settings.Load(ScratchFolder());
    const TXMLSettings& store = *settings.XMLStore;
    for (const std::string& path : {path1, path2}) {
        (void)store.ReadInt(path, 0);
        (void)store.ReadFloat(path, 0.0);
        (void)store.ReadBool(path, false);
        (void)store.ReadIntArray(path, {});
        (void)store.ReadBoolArray(path, {});
    }
    (void)store.FormattedText();
    return 0;
}
