// SPDX-License-Identifier: MIT
// The "Virtual generator" window: the oscilloscope view of both outputs with
// their measurements, the generator's state in words and its register file,
// and the buttons of a test bench (unplug, fail a request, damage the
// calibration page, a trigger edge). Everything shown is computed from the
// generator's own state by vg::AnalogModel.
#pragma once
#include "sim/AnalogModel.h"
#include "sim/DeviceServer.h"
#include "sim/VirtualGenerator.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <filesystem>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace vdev {

class FrequencyStrip;
class ScopeView;

class VirtualDeviceWindow : public QWidget {
public:
    static constexpr int kRefreshMs = 200;

    // server may be null (nothing to say about a client then).
    VirtualDeviceWindow(vg::VirtualGenerator& generator, const vg::DeviceServer* server, QWidget* parent = nullptr);

    // Reads the generator and redraws everything; the timer calls it too.
    void Refresh();

    // The window's place kept in the user's file between runs: put where the
    // file says (fitted to the screens there are now; nothing happens without
    // the file or its entries), and written back, making the folder.
    void RestorePlace(const std::filesystem::path& file);
    bool SavePlace(const std::filesystem::path& file) const;

    // The numbers under the scope, as last computed.
    const vg::Measurement& Measured(vg::AnalogOutput output) const { return measured_[int(output)]; }
    double Load() const;

    ScopeView* Scope() const { return scope_; }
    FrequencyStrip* Strip() const { return strip_; }
    QSpinBox* PeriodsBox() const { return periods_; }
    QComboBox* LoadBox() const { return load_; }
    QPushButton* PlugButton() const { return plug_; }
    QPushButton* FailButton() const { return fail_; }
    QPushButton* DamageButton() const { return damage_; }
    QPushButton* TriggerButton() const { return trigger_; }
    QLabel* StateLabel() const { return state_; }
    QLabel* RegisterLabel() const { return registers_; }

private:
    QWidget* MakeMeasurements();
    QWidget* MakeBench();
    void ShowState(const vg::GeneratorState& state, const vg::AnalogModel& model);

    vg::VirtualGenerator& generator_;
    const vg::DeviceServer* server_;
    // The converters as the device left the factory: a damaged page does not
    // change the hardware, only what the driver believes about it.
    vg::AnalogCharacteristic characteristic_;
    std::array<vg::Measurement, 2> measured_{};
    ScopeView* scope_ = nullptr;
    FrequencyStrip* strip_ = nullptr;
    QSpinBox* periods_ = nullptr;
    QComboBox* load_ = nullptr;
    std::array<std::array<QLabel*, 6>, 2> numbers_{};
    QLabel* state_ = nullptr;
    QLabel* registers_ = nullptr;
    QPushButton* plug_ = nullptr;
    QPushButton* fail_ = nullptr;
    QPushButton* damage_ = nullptr;
    QPushButton* trigger_ = nullptr;
    QTimer timer_;
};

// "virtual-device.xml" in $XDG_DATA_HOME/tarn-virtual, else in
// $HOME/.local/share/tarn-virtual, beside the files of the program over the
// virtual generator; empty when neither variable is usable.
std::filesystem::path PlaceFile(const char* xdgDataHome, const char* home);

// Address of the calibration page byte that "Damage calibration page" spoils.
inline constexpr int kDamagedByte = 256 + 100;

} // namespace vdev
