// SPDX-License-Identifier: MIT
// "waveforms.dat" as the program loads it at start: the whole file, then the
// decision to recover the standard waveforms.
#include "data/SettingsTarn.h"
#include "data/WaveformRepositoryFile.h"
#include "fuzz/TempFolder.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tarn::fuzz;
    WriteFile(ScratchFolder() / WaveformRepositoryFileName,
              std::string_view(reinterpret_cast<const char*>(data), size));
    TSettingsTarn settings;
    settings.SetDefaults();
    const TSettingsLoadResult result = settings.Load(ScratchFolder());
    // Whatever the file held, the device has a waveform with samples to play.
    if (settings.Device.Waveforms.empty() || settings.Device.Waveforms[0]->SampleCount() < 1) {
        std::abort();
    }
    if (!result.RepositoryRecovered) {
        for (const auto& waveform : settings.Repository) {
            (void)waveform->ModeText();
            (void)waveform->SizeText();
        }
    }
    return 0;
}
