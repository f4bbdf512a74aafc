// What the generator's registers must hold after the program sent a set of
// settings, worked out independently from the device's register description.
#pragma once
#include <filesystem>

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

// Checks level, shift, relays, control word, playback start, sample memory
// and frequency against settings (gtest expectations).
void ExpectDeviceHolds(const TVirtualGenerator& vg, const TSettingsTarn& settings, const TCalibration& cal);

} // namespace tarn::test
