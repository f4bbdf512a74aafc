// SPDX-License-Identifier: MIT
// A user of the running program at random: one action per call on the
// panels' widgets, the waveform list and the preview, as the mouse and the
// keyboard would do it.
#pragma once
#include <cstdint>
#include <random>
#include <string>

namespace tarn {
class TMainForm;
}

namespace tarn::test {

class TSoakUser {
public:
    explicit TSoakUser(TMainForm& form) : form_(form) {}

    struct TDone {
        std::string what;
        // The action makes the device take the frequency in software in Step
        // mode too ("Set", a new waveform for the device).
        bool appliesFrequency = false;
    };
    TDone Act(std::mt19937_64& random);
    // An action that sends the frequency: typed, finely shifted, "Set" or "Con".
    TDone ActOnFrequency(std::mt19937_64& random);
    // Drops a waveform other than the device's onto the preview; false when none.
    TDone LoadOtherWaveform(std::mt19937_64& random);

private:
    TDone ActOnChannel(std::mt19937_64& random);
    TDone ActOnTrigger(std::mt19937_64& random);
    TDone ActOnList(std::mt19937_64& random);

    TMainForm& form_;
};

} // namespace tarn::test
