// SPDX-License-Identifier: MIT
// What the generator's registers must hold after the program sent a set of
// settings, worked out independently from the device's register description.
#pragma once
#include <filesystem>
#include <optional>

class TSettingsTarn;

namespace tarn::test {

class TVirtualGenerator;

struct TCalibration {
    int levelHigh, levelLow, shiftZeroHigh, shiftZeroLow, shiftGain;
    double attenuatorFactor;
};

TCalibration DefaultCalibration();
// The calibration page as the device holds it (assumed valid).
TCalibration ReadCalibration(const TVirtualGenerator& vg);

// Settings files whose values all differ from the defaults, with an
// arbitrary waveform of 1000 samples for the device.
void WriteDistinctSettings(const std::filesystem::path& folder);

// The frequency the generator produces from its clock registers: the active
// clock word through the divider, per sample (arbitrary) or per period of the
// played samples (standard).
double GeneratorFrequency(const TVirtualGenerator& vg, bool standard);

// Writes a calibration page with a valid check sum into the device's EEPROM.
void WriteCalibration(const TVirtualGenerator& vg, const TCalibration& cal);

// Checks level, shift, relays, control word, playback start, sample memory
// and frequency against settings (gtest expectations). The device plays the
// frequency in software, or applied when given (a step-mode frequency not yet
// set, or set when the frequency in software was another).
void ExpectDeviceHolds(const TVirtualGenerator& vg, const TSettingsTarn& settings, const TCalibration& cal,
                       std::optional<double> applied = std::nullopt);

} // namespace tarn::test
