#include "shell/master/ObjMasterTarn.h"

#include <algorithm>

namespace tarn {

TObjMasterTarn::~TObjMasterTarn()
{
    Notify(TObjMasterCode::omMasterDestroying, 0, nullptr);
}

void TObjMasterTarn::Notify(TObjMasterCode code, std::int32_t index, void* data)
{
    // Walk by position over the live list: a listener that unregisters (or is
    // destroyed) during the broadcast is never called through a stale copy.
    for (std::size_t i = 0; i < listeners_.size(); ++i) {
        const TObjMasterNotifyEvent listener = listeners_[i];
        listener(code, index, data);
    }
}

void TObjMasterTarn::RegisterListener(const TObjMasterNotifyEvent& listener)
{
    listeners_.push_back(listener);
}

void TObjMasterTarn::UnregisterListener(const TObjMasterNotifyEvent& listener)
{
    const auto it = std::find(listeners_.begin(), listeners_.end(), listener);
    if (it != listeners_.end()) {
        listeners_.erase(it);
    }
}

} // namespace tarn
