// SPDX-License-Identifier: MIT
#include "data/LibraryPrefetch.h"

#include "data/SampleFile.h"
#include "data/WaveformRepositoryFile.h"

#include <exception>
#include <utility>

TLibraryPrefetch::TLibraryPrefetch(std::filesystem::path file) : FFile(std::move(file)), FThread([this] { Run(); }) {}

TLibraryPrefetch::~TLibraryPrefetch()
{
    if (FThread.joinable())
        FThread.join();
}

void TLibraryPrefetch::Run() noexcept
{
    try {
        FSamples = TSampleFile::Open(FFile);
        if (FSamples)
            FAsRead = ReadWaveformRepositoryFile(FSamples, FDevice, FRepository);
    } catch (const std::exception&) {
        // The load reads the file again and handles the error there.
        FAsRead.reset();
    } catch (...) {
        FAsRead.reset();
    }
}

std::optional<bool> TLibraryPrefetch::Take(TWaveformList& device, TWaveformList& repository)
{
    if (FThread.joinable())
        FThread.join();
    const std::optional<bool> asRead = std::exchange(FAsRead, std::nullopt);
    if (!asRead || !FSamples->IsFileAt(FFile))
        return std::nullopt;
    device = std::move(FDevice);
    repository = std::move(FRepository);
    return asRead;
}
