// SPDX-License-Identifier: MIT
// The logic behind one output's group box: it owns no controls, is handed
// them, wires them on omWireControls, writes user changes into the settings
// and announces them, and re-derives every control from the settings on the
// announcements that come back.
#pragma once
#include "panels/ChannelMathTarn.h"
#include "panels/ChannelPanelTarn.h"
#include "shell/master/ComponentsTarn.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QScrollBar;
class QString;
class QToolButton;
struct TChannelAssignment;
struct TDeviceSettings;
struct TdBReference;

namespace tarn {

class TChannelWrapperTarn : public TComponentTarn {
    Q_OBJECT
public:
    // A typed value the program could not set as typed: what it set instead.
    std::function<void(const QString&)> OnAdjusted;
    explicit TChannelWrapperTarn(QObject* parent = nullptr);
    ~TChannelWrapperTarn() override;

    // 0 "Output L", 1 "Output H".
    std::int32_t ChannelIndex() const { return channelIndex_; }
    void SetChannelIndex(std::int32_t index) { channelIndex_ = index; }
    const TChannelControls& Controls() const { return c_; }
    void SetControls(const TChannelControls& controls) { c_ = controls; }

    // The 0 dB reference in volts per sample code; 0 until set.
    double ZeroDbReference() const;
    bool PanelEnabled() const { return enabled_; }

    // Re-derives every control from the settings.
    void Refresh();
    // Picks the output filter from the highest significant frequency.
    void FilterAutoset();

protected:
    void ObjMasterNotify(TObjMasterCode code, std::int32_t index, void* data) override;

private:
    void WireControls();
    void SetPanelEnabled(bool enabled);
    void Announce(TObjMasterCode code);
    const TChannelAssignment* Assignment() const;
    // This output's value in a per-real-channel array of the device settings, or null.
    std::int32_t* DeviceValue(std::vector<std::int32_t> TDeviceSettings::*array) const;
    // Stores the value there and announces code; false when there is no such value.
    bool Store(std::vector<std::int32_t> TDeviceSettings::*array, std::int32_t value, TObjMasterCode code);
    // This output's entry of the loads, or null.
    double* Load() const;
    std::optional<TChannelSetup> Setup() const;
    // This output's 0 dB reference in the settings, or null.
    TdBReference* Reference() const;
    // The samples and statistics of what the generator plays of this
    // output's waveform (for a standard one, the averaged copy of the
    // frequency in device); valid until the next call.
    TWaveStats Wave() const;

    void LevelBarChange(int position);
    void ShiftBarChange(int position);
    void BarScroll(QScrollBar* bar, int action);
    void FilterBoxChange(int index);
    void AttenuatorBtnClick(QToolButton* button);
    void OutputBtnClick(QToolButton* button);
    void ShiftModeBtnClick(QToolButton* button);
    void ShiftOutBtnClick();
    void ShiftNullBtnClick();
    void IndicatorBtnClick();
    void PeakSideBtnClick(QToolButton* button);
    // Sets this output's load and announces omLoadChanged.
    void StoreLoad(double ohms);
    void LoadOpenBtnClick();
    void Load50BtnClick();
    void LoadEditUserEnter(const QString& text);
    void dBModeBtnClick(QToolButton* button);
    void Set0dBBtnClick();
    void VppEditUserEnter(const QString& text);
    // Tells OnAdjusted when the level set gives another Vpp than typed.
    void ReportLevel(double typed);
    void VpEditUserEnter(const QString& text);
    void ShiftEditUserEnter(const QString& text);
    void dBRelEditUserEnter(const QString& text);
    // Stores a level entry and announces level and attenuator.
    void ApplyLevelFactor(const TChannelSetup& setup, double factor);
    void ApplyShiftVoltage(const TChannelSetup& setup, double voltage);

    std::int32_t channelIndex_ = 0;
    TChannelControls c_;
    bool updating_ = false;
    bool enabled_ = true;
    bool wired_ = false;
    // The played copy of a standard waveform, kept while it stays the same.
    mutable TPlayedWave played_;
};

} // namespace tarn
