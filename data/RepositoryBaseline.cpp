// SPDX-License-Identifier: MIT
#include "data/RepositoryBaseline.h"

#include <sys/stat.h>

void TRepositoryBaseline::Record(const std::filesystem::path& file, const TWaveformList& device,
                                 const TWaveformList& repository)
{
    Forget();
    auto deviceEntries = Entries(device);
    auto repositoryEntries = Entries(repository);
    FDevice = std::move(deviceEntries);
    FRepository = std::move(repositoryEntries);
    FFile = Identify(file);
    FRecorded = true;
}

void TRepositoryBaseline::RecordLists(const TWaveformList& device, const TWaveformList& repository)
{
    Record({}, device, repository);
    FFile.reset();
}

void TRepositoryBaseline::RecordFile(const std::filesystem::path& file)
{
    FFile = Identify(file);
}

bool TRepositoryBaseline::SameLists(const TWaveformList& device, const TWaveformList& repository) const
{
    return FRecorded && Same(FDevice, device) && Same(FRepository, repository);
}

void TRepositoryBaseline::Forget() noexcept
{
    FFile.reset();
    FRecorded = false;
    FDevice.reset();
    FRepository.reset();
}

bool TRepositoryBaseline::Unchanged(const std::filesystem::path& file, const TWaveformList& device,
                                    const TWaveformList& repository) const
{
    return FFile && Same(FDevice, device) && Same(FRepository, repository) && Identify(file) == FFile;
}

std::optional<TRepositoryBaseline::TFileIdentity> TRepositoryBaseline::Identify(const std::filesystem::path& file)
{
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return TFileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                         static_cast<std::int64_t>(info.st_size), static_cast<std::int64_t>(info.st_mtim.tv_sec),
                         static_cast<std::int64_t>(info.st_mtim.tv_nsec)};
}

TRepositoryBaseline::TEntries TRepositoryBaseline::Entries(const TWaveformList& list)
{
    auto entries = std::make_shared<std::vector<TEntry>>();
    entries->reserve(list.size());
    for (const auto& w : list) {
        TEntry& e = entries->emplace_back();
        if (!w)
            continue;
        e.Waveform = w.get();
        e.Stamp = w->ChangeStamp();
        e.Name = w->Name;
        e.IsStandard = w->IsStandard;
        e.ModuleKey = w->ModuleData.ModuleKey;
        e.ModuleName = w->ModuleData.ModuleName;
        e.Blocks = w->ModuleData.Blocks;
    }
    return entries;
}

bool TRepositoryBaseline::Same(const TEntries& entries, const TWaveformList& list)
{
    if (!entries || entries->size() != list.size())
        return false;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const TEntry& e = (*entries)[i];
        const TWaveformTarn* w = list[i].get();
        // The cursor is not part of the file.
        if (w == nullptr || w != e.Waveform || w->SamplesShared() || w->ChangeStamp() != e.Stamp || w->Name != e.Name
            || w->IsStandard != e.IsStandard || w->ModuleData.ModuleKey != e.ModuleKey
            || w->ModuleData.ModuleName != e.ModuleName || w->ModuleData.Blocks != e.Blocks)
            return false;
    }
    return true;
}
