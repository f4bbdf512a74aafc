// SPDX-License-Identifier: MIT
// The object master: every component of the main window registers a listener
// here, and every change of state is broadcast to all of them in order.
#pragma once
#include <cstdint>
#include <vector>

namespace tarn {

// Broadcast codes. Numbers are fixed; unused numbers may still be broadcast
// and are ignored by every listener.
enum class TObjMasterCode : std::uint32_t {
    omMasterDestroying = 0,
    omConnectDevice = 1,
    omSettingsApplied = 2,
    omWireControls = 7,
    omStart = 42,
    omFrequencyChanged = 43,
    omFrequencyModeChanged = 44,
    omApplyFrequency = 45,
    omLevelChanged = 46,
    omShiftChanged = 47,
    omAttenuatorChanged = 48,
    omFilterChanged = 49,
    omOutputOnOffChanged = 50,
    omDeviceShiftChanged = 51,
    omShiftModeChanged = 52,
    omTriggerModeChanged = 53,
    omArmOnOffChanged = 54,
    omArmStopLevelChanged = 55,
    omRunOnOffChanged = 56,
    omTriggerPulse = 57,
    omTriggerOnOffChanged = 58,
    omTriggerEdgeChanged = 59,
    omQueryDraggedWaveform = 60,
    omChannelWaveformChanged = 61,
    omGetSelectedWaveform = 62,
    omReplaceSelectedWaveform = 63,
    omWaveformListChanged = 64,
    omPowerStateChanged = 65,
    omWaveformLoaded = 66,
    omReconnect = 67,
    // A load of output Index (logical channel) changed; nothing goes to the device.
    omLoadChanged = 68,
    // The 0 dB reference or its mode of output Index (logical channel) changed.
    omdBReferenceChanged = 69,
};

// A listener is a bound method: a procedure and the instance it runs on.
// Two listeners are equal when both parts are equal.
struct TObjMasterNotifyEvent {
    using Proc = void (*)(void* instance, TObjMasterCode code, std::int32_t index, void* data);

    Proc proc = nullptr;
    void* instance = nullptr;

    void operator()(TObjMasterCode code, std::int32_t index, void* data) const { proc(instance, code, index, data); }
    bool operator==(const TObjMasterNotifyEvent&) const = default;

    // Binds member function M of obj, e.g. Bind<&TFoo::Handle>(this).
    template <auto M, class T> static TObjMasterNotifyEvent Bind(T* obj)
    {
        return {[](void* self, TObjMasterCode code, std::int32_t index, void* data) {
                    (static_cast<T*>(self)->*M)(code, index, data);
                },
                obj};
    }
};

class TObjMasterTarn {
public:
    TObjMasterTarn() = default;
    // Tells every listener still registered that the master goes away.
    ~TObjMasterTarn();
    TObjMasterTarn(const TObjMasterTarn&) = delete;
    TObjMasterTarn& operator=(const TObjMasterTarn&) = delete;

    // Calls every listener in registration order; nested calls run to completion
    // first. A listener that leaves during a broadcast is not called by it
    // afterwards, and the others are called exactly once all the same.
    void Notify(TObjMasterCode code, std::int32_t index = 0, void* data = nullptr);
    void RegisterListener(const TObjMasterNotifyEvent& listener);
    // Removes the first equal entry, keeping the order of the others.
    void UnregisterListener(const TObjMasterNotifyEvent& listener);

    std::size_t ListenerCount() const { return listeners_.size(); }

private:
    // Each entry carries a number that grows with every registration, so the
    // list stays sorted by it and a broadcast finds its place again after the
    // list changed under it.
    struct TEntry {
        std::uint64_t serial;
        TObjMasterNotifyEvent listener;
    };
    std::vector<TEntry> listeners_;
    std::uint64_t lastSerial_ = 0;
};

// Settings were loaded, accepted in Options or reset: every component takes
// them up in phases 0 .. kSettingsPhases - 1 of omSettingsApplied, in order.
inline constexpr std::int32_t kSettingsPhases = 10;
void BroadcastSettingsApplied(TObjMasterTarn& master);

} // namespace tarn
