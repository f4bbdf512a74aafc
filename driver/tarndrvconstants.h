// SPDX-License-Identifier: MIT
// Function codes, register map and divider table of the generator.
#pragma once
#include <array>
#include <cstdint>

namespace tarn::drv {

// Codes of DeviceFunction; only the low byte of the caller's code counts.
enum class TDeviceFunctionCode : std::uint8_t {
    DF_LOAD_WAVEFORM = 1,
    DF_SET_LEVEL = 2,
    DF_SET_OUTPUT_ATN = 3,
    DF_SET_FILTER = 4,
    DF_SET_FREQUENCY = 5,
    DF_SET_SHIFT = 6,
    DF_SET_OUTPUT_ON_OFF = 7,
    DF_SET_TRIGGER_MODE = 8,
    DF_SET_ARM_ON_OFF = 9,
    DF_SET_ARM_STOP_LEVEL = 10,
    DF_SET_RUN_ON_OFF = 11,
    DF_TRIGGER_PULSE = 12,
    DF_SET_TRIGGER_ON_OFF = 13,
    DF_SET_TRIGGER_LEADING = 14,
    DF_GET_POWER_STATE = 15,
    DF_PRELOAD_FREQUENCY = 16,
    DF_SET_POWER = 17,
    DF_RESERVED_18 = 18,
    DF_RESERVED_19 = 19,
    DF_RESERVED_20 = 20,
    DF_KEEP_POWER_AT_EXIT = 21,
    DF_SET_FAILURE_FLAG = 64,
    DF_GET_DRIVER_VERSION = 66,
    DF_GET_SERIAL_NUMBER = 69,
};

// Register numbers: the address byte of the single-write command.
enum TRegister : std::uint8_t {
    RegLevel = 1, // level converter code
    RegShift = 2, // shift converter code
    RegClockWord0 = 3,
    RegClockWord1 = 4,
    RegStandardLength = 5, // -d, standard waveform only
    RegStandardHalf = 6,   // -d/2 standard, 0 arbitrary
    RegPlaybackStart = 7,  // 16384 - samples per period
    RegRelays = 8,         // attenuator and filter relays
    RegDivider = 9,        // divider code + 128 x active clock word
    RegControl = 10,       // control word
    RegSampleData = 11,    // sample FIFO port
    RegWriteStart = 13,    // 16384 - words about to be written
};

// Control word bits.
constexpr int kTriggerOnBit = 1;
constexpr int kTriggerLeadingBit = 2;
constexpr int kRunBit = 4;
constexpr int kTriggerPulseBit = 8;
constexpr int kArmBit = 16;
constexpr int kArmStopLevelBit = 32;
constexpr int kControlAlwaysBit = 64;
constexpr int kOutputGateBit = 128;

// Relay register bits.
constexpr int kAttenuatorBit = 16;
constexpr int kFilter1Bits = 10;
constexpr int kFilter2Bits = 5;

constexpr int kSampleMemoryWords = 16384;
constexpr int kStandardSampleCount = 8192;
constexpr int kSampleRange = 4096;
constexpr int kLevelCodeMax = 4095;
constexpr int kNoShift = 2048;
constexpr int kMaxDividerIndex = 22;
constexpr int kClockWordLow = 32767;
constexpr int kClockWordHigh = 65535;

constexpr int kEEPROMCalibrationBase = 256;
constexpr int kEEPROMImageSize = 256;

// Divider code of each power-of-two exponent: the low three bits plus bits
// 3..6 give the exponent back; bit 7 stays free for the clock word selection.
constexpr std::array<std::uint8_t, kMaxDividerIndex + 1> kDividerCodes = {
    0, 1, 2, 3, 4, 5, 6, 7, 15, 23, 31, 39, 47, 55, 63, 71, 79, 87, 95, 103, 111, 119, 127};

} // namespace tarn::drv
