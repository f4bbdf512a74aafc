// SPDX-License-Identifier: MIT
// The instrument over a first start's settings, with a host that records
// what it was told; shared by the command tests.
#pragma once
#include "data/SettingsTarn.h"
#include "remote/ScpiInstrumentTarn.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tarn::scpi {

using C = TObjMasterCode;

class TRecordingHost : public TScpiHost {
public:
    std::vector<std::pair<C, std::int32_t>> notified;
    std::vector<bool> replaced;
    bool broken = false;
    void Notify(C code, std::int32_t index) override { notified.emplace_back(code, index); }
    bool CommunicationBroken() const override { return broken; }
    void SettingsReplaced(bool restart) override { replaced.push_back(restart); }
};

// A first start: the defaults, the standard waveforms and a sine in the device.
inline void FirstStart(TSettingsTarn& s)
{
    s.SetDefaults();
    s.ResetDeviceValues();
    s.RecoverWaveforms();
}

class ScpiInstrument : public ::testing::Test {
protected:
    ScpiInstrument() { FirstStart(s); }
    std::string Run(const std::string& message) { return scpi.Execute(message); }
    // The codes of the error queue, oldest first; empties it.
    std::vector<int> Errors()
    {
        std::vector<int> codes;
        while (scpi.Errors().Count() > 0) {
            codes.push_back(scpi.Errors().Pop().Code);
        }
        return codes;
    }

    TSettingsTarn s;
    TRecordingHost host;
    TScpiInstrument scpi{s, host, "Tarn,Remote,0,1.0"};
};

} // namespace tarn::scpi
