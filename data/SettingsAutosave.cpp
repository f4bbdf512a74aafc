// SPDX-License-Identifier: MIT
// The settings model's saves during a run: a background saver fed from the
// window's thread, and the recovery of a library whose file went bad.
#include "data/FileReplace.h"
#include "data/SampleFile.h"
#include "data/SettingsTarn.h"
#include "data/WaveformRepositoryFile.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <utility>
#include <vector>

namespace {

// Whether a waveform's samples are lost. Each file is asked once per pass:
// a large library shares one, and asking costs a system call.
class TLostCheck {
public:
    bool operator()(const std::unique_ptr<TWaveformTarn>& waveform)
    {
        if (!waveform)
            return false;
        if (waveform->SamplesLost())
            return true;
        const TSampleFile* file = waveform->SampleFile();
        if (file == nullptr)
            return false;
        for (const auto& [known, valid] : FFiles) {
            if (known == file)
                return !valid;
        }
        const bool valid = file->StillValid();
        FFiles.emplace_back(file, valid);
        return !valid;
    }

private:
    std::vector<std::pair<const TSampleFile*, bool>> FFiles;
};

} // namespace

bool TSettingsTarn::RecoverDamagedLibrary()
{
    TLostCheck check;
    const auto lost = std::ref(check);
    const bool deviceLost = std::any_of(Device.Waveforms.begin(), Device.Waveforms.end(), lost);
    if (!deviceLost && std::none_of(Repository.begin(), Repository.end(), lost))
        return false;
    // As at start: records that cannot be read are not kept, and the standard
    // waveforms lead the list. Waveforms already read are intact and stay,
    // so the standard ones are put in front of them, not over them.
    std::erase_if(Repository, lost);
    TWaveformList kept = std::move(Repository);
    Repository.resize(4);
    std::move(kept.begin(), kept.end(), std::back_inserter(Repository));
    if (deviceLost) {
        Device.Waveforms.clear();
        Device.Waveforms.push_back(MakeStandardWaveform(TStandardWaveform::Sine));
    }
    MakeStandardWaveforms();
    FRepositoryBaseline.Forget();
    FSubmitted.Forget();
    return true;
}

void TSettingsTarn::LoadUnreadSamplesIfInPlace() const
{
    // The same rule as the save's: a folder of someone else's takes no
    // temporary file even where the user may write.
    if (!RewritesInPlace(FFolder / WaveformRepositoryFileName))
        return;
    for (const auto* list : {&Device.Waveforms, &Repository}) {
        for (const auto& waveform : *list) {
            if (waveform && waveform->SampleFile() != nullptr)
                std::as_const(*waveform).Samples();
        }
    }
}

void TSettingsTarn::AdoptBackgroundSave()
{
    const auto done = FSaver->TakeLibraryResult();
    if (!done || done->Generation != FSubmittedGeneration)
        return;
    if (done->Saved) {
        // Nothing was handed in since: what was handed in last is in the file.
        FRepositoryBaseline = FSubmitted;
        FRepositoryBaseline.RecordFile(FFolder / WaveformRepositoryFileName);
    } else {
        // Tried again at the next tick.
        FSubmitted.Forget();
    }
}

void TSettingsTarn::AutosaveFromHere()
{
    WriteXMLValues();
    FSubmittedSettings = XMLStore->FormattedText();
}

bool TSettingsTarn::AutosaveTick()
{
    if (!FLoaded)
        return false;
    if (!FSaver)
        FSaver = std::make_unique<TBackgroundSaver>();
    AdoptBackgroundSave();
    const bool recovered = RecoverDamagedLibrary();
    if (!FSubmitted.SameLists(Device.Waveforms, Repository)) {
        LoadUnreadSamplesIfInPlace();
        TLibraryImage image = MakeLibraryImage(Device.Waveforms, Repository, true);
        image.File = FFolder / WaveformRepositoryFileName;
        image.Generation = ++FSubmittedGeneration;
        FSaver->SaveLibrary(std::move(image));
        FSubmitted.RecordLists(Device.Waveforms, Repository);
    }
    WriteXMLValues();
    std::string text = XMLStore->FormattedText();
    if (text != FSubmittedSettings) {
        FSubmittedSettings = text;
        FSaver->SaveSettings(FFolder / SettingsFileName, std::move(text));
    }
    return recovered;
}
