// SPDX-License-Identifier: MIT
// The remote control's byte stream: framing, parsing and every command over a
// settings model, with communication breaking now and then.
#include "data/SettingsTarn.h"
#include "fuzz/FuzzInput.h"
#include "remote/ScpiFramer.h"
#include "remote/ScpiInstrumentTarn.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

class THost : public tarn::scpi::TScpiHost {
public:
    bool broken = false;
    void Notify(tarn::TObjMasterCode, std::int32_t) override {}
    bool CommunicationBroken() const override { return broken; }
    void SettingsReplaced(bool) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tarn::fuzz::TFuzzInput input(data, size);
    // Made once: the standard waveforms cost more than a run. Each run starts
    // from the first-start values again.
    static TSettingsTarn settings;
    static const TWaveformTarn* const sine = [] {
        settings.SetDefaults();
        settings.RecoverWaveforms();
        return settings.Repository.front().get();
    }();
    settings.ResetDeviceValues();
    settings.Options->SetBoolValue(optFilterAutoset, true);
    settings.Repository.resize(4);
    // DATA:DEL may have taken a standard waveform away.
    if (std::any_of(settings.Repository.begin(), settings.Repository.end(), [](const auto& w) { return !w; })) {
        settings.MakeStandardWaveforms();
    }
    if (settings.Device.Waveforms[0]->Name != sine->Name) {
        settings.Device.Waveforms[0]->Assign(*sine);
    }
    THost host;
    tarn::scpi::TScpiInstrument instrument(settings, host, "fuzz");
    tarn::scpi::TMessageFramer framer;
    settings.Device.HOutputActive = (input.Take<std::uint8_t>() & 1) != 0;
    while (!input.Empty()) {
        // Pieces as a socket delivers them.
        const std::uint8_t control = input.Take<std::uint8_t>();
        host.broken = (control & 0x80) != 0;
        std::string_view piece = input.Bytes(control & 0x7f);
        while (!piece.empty()) {
            tarn::scpi::TMessage message;
            bool done = false;
            piece.remove_prefix(framer.Feed(piece, message, done));
            if (!done) {
                continue;
            }
            const std::string response = message.TooLong ? std::string() : instrument.Execute(message.Text);
            if ((!response.empty() && response.back() != '\n')
                || instrument.Errors().Count() > tarn::scpi::TErrorQueue::kCapacity) {
                std::abort();
            }
        }
    }
    return 0;
}
