// SPDX-License-Identifier: MIT
#include "shell/master/ObjMasterTarn.h"

#include <algorithm>

namespace tarn {

TObjMasterTarn::~TObjMasterTarn()
{
    Notify(TObjMasterCode::omMasterDestroying, 0, nullptr);
}

void TObjMasterTarn::Notify(TObjMasterCode code, std::int32_t index, void* data)
{
    // The live list is searched again for the entry after the last one called:
    // entries removed meanwhile are not called, and none is skipped or repeated.
    std::uint64_t called = 0;
    for (;;) {
        const auto next = std::upper_bound(listeners_.begin(), listeners_.end(), called,
                                           [](std::uint64_t serial, const TEntry& e) { return serial < e.serial; });
        if (next == listeners_.end()) {
            break;
        }
        called = next->serial;
        const TObjMasterNotifyEvent listener = next->listener;
        listener(code, index, data);
    }
}

void TObjMasterTarn::RegisterListener(const TObjMasterNotifyEvent& listener)
{
    listeners_.push_back({++lastSerial_, listener});
}

void TObjMasterTarn::UnregisterListener(const TObjMasterNotifyEvent& listener)
{
    const auto it = std::find_if(listeners_.begin(), listeners_.end(),
                                 [&listener](const TEntry& e) { return e.listener == listener; });
    if (it != listeners_.end()) {
        listeners_.erase(it);
    }
}

void BroadcastSettingsApplied(TObjMasterTarn& master)
{
    for (std::int32_t phase = 0; phase < kSettingsPhases; ++phase) {
        master.Notify(TObjMasterCode::omSettingsApplied, phase);
    }
}

} // namespace tarn
