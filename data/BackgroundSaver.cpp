// SPDX-License-Identifier: MIT
#include "data/BackgroundSaver.h"

#include "data/BinStreamEx.h"
#include "data/FileReplace.h"

#include <ostream>
#include <utility>

TBackgroundSaver::TBackgroundSaver() : FThread([this] { Run(); }) {}

TBackgroundSaver::~TBackgroundSaver()
{
    {
        std::lock_guard lock(FLock);
        FStopping = true;
    }
    FChanged.notify_all();
    FThread.join();
}

void TBackgroundSaver::SaveLibrary(TLibraryImage image)
{
    {
        std::lock_guard lock(FLock);
        FLibrary = std::move(image);
    }
    FChanged.notify_all();
}

void TBackgroundSaver::SaveSettings(std::filesystem::path file, std::string text)
{
    {
        std::lock_guard lock(FLock);
        FSettings.emplace(std::move(file), std::move(text));
    }
    FChanged.notify_all();
}

void TBackgroundSaver::Wait()
{
    std::unique_lock lock(FLock);
    FChanged.wait(lock, [this] { return !FBusy && !FLibrary && !FSettings; });
}

bool TBackgroundSaver::Idle()
{
    std::lock_guard lock(FLock);
    return !FBusy && !FLibrary && !FSettings;
}

std::optional<TBackgroundSaver::TLibraryResult> TBackgroundSaver::TakeLibraryResult()
{
    std::lock_guard lock(FLock);
    return std::exchange(FLibraryResult, std::nullopt);
}

void TBackgroundSaver::Run()
{
    std::unique_lock lock(FLock);
    for (;;) {
        FChanged.wait(lock, [this] { return FStopping || FLibrary || FSettings; });
        if (!FLibrary && !FSettings)
            return;
        auto library = std::exchange(FLibrary, std::nullopt);
        auto settings = std::exchange(FSettings, std::nullopt);
        FBusy = true;
        lock.unlock();
        std::optional<TLibraryResult> result;
        if (library) {
            bool saved = false;
            try {
                saved = ReplaceFileContents(library->File, [&](std::ostream& out) {
                    TBinStreamEx stream(out);
                    WriteLibraryImage(stream, *library);
                });
            } catch (const std::exception&) {
                saved = false;
            }
            result = TLibraryResult{library->Generation, saved};
            // The images may hold the last references to files and buffers:
            // let them go here, not on the window's thread.
            library.reset();
        }
        if (settings)
            ReplaceFileContents(settings->first, settings->second);
        lock.lock();
        if (result)
            FLibraryResult = result;
        FBusy = false;
        FChanged.notify_all();
    }
}
