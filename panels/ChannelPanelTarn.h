// SPDX-License-Identifier: MIT
// The controls of one output's group box, laid out as an instrument front
// panel, with their captions, hints and accessible names. The channel
// wrapper is handed these and wires them.
#pragma once
#include <cstdint>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QScrollBar;
class QToolButton;

namespace tarn {

class THLEditTarn;

struct TChannelControls {
    QToolButton* VppOnOffBtn = nullptr;
    QToolButton* VpOnOffBtn = nullptr;
    QToolButton* VpPlusOnOffBtn = nullptr;
    QToolButton* VpMinusOnOffBtn = nullptr;
    QToolButton* VrmsOnOffBtn = nullptr;
    QToolButton* VavgOnOffBtn = nullptr;
    QToolButton* OutputOffBtn = nullptr;
    QToolButton* OutputOnBtn = nullptr;
    QToolButton* Output20Btn = nullptr;
    QToolButton* Output0Btn = nullptr;
    THLEditTarn* VppEdit = nullptr;
    THLEditTarn* VpEdit = nullptr;
    QLineEdit* VrmsEdit = nullptr;
    QLineEdit* VavgEdit = nullptr;
    QScrollBar* LevelBar = nullptr;
    QScrollBar* ShiftBar = nullptr;
    QComboBox* FilterBox = nullptr;
    QComboBox* dBUnitsBox = nullptr;
    QLineEdit* dBAbsEdit = nullptr;
    QToolButton* LoadOpenBtn = nullptr;
    QToolButton* Load50Btn = nullptr;
    THLEditTarn* LoadEdit = nullptr;
    QToolButton* AutodBBtn = nullptr;
    QToolButton* ManualdBBtn = nullptr;
    QToolButton* Set0dBBtn = nullptr;
    THLEditTarn* dBRelEdit = nullptr;
    QToolButton* ShiftConBtn = nullptr;
    QToolButton* ShiftStepBtn = nullptr;
    THLEditTarn* ShiftEdit = nullptr;
    QToolButton* ShiftOutBtn = nullptr;
    QToolButton* ShiftNullBtn = nullptr;
    THLEditTarn* DevShiftEdit = nullptr;
    QLabel* LevelLabel = nullptr;
    QLabel* ShiftLabel = nullptr;

    // True when every control is there.
    bool Complete() const;
};

// Creates the controls inside group (276 x 275) for output channel 0 ("Output L")
// or 1 ("Output H"); group keeps ownership.
TChannelControls BuildChannelPanel(QGroupBox& group, std::int32_t channelIndex);

} // namespace tarn
