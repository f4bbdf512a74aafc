// SPDX-License-Identifier: MIT
// The error queue of the command language: standard codes with their texts,
// bounded like an instrument's queue (when full, the newest place becomes
// -350 and later errors are lost until it is read), and the
// event register the errors set.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <utility>

namespace tarn::scpi {

enum TErrorCode : int {
    errNone = 0,
    errCommand = -100,
    errInvalidCharacter = -101,
    errSyntax = -102,
    errInvalidSeparator = -103,
    errDataType = -104,
    errParameterNotAllowed = -108,
    errMissingParameter = -109,
    errUndefinedHeader = -113,
    errHeaderSuffix = -114,
    errNumericData = -120,
    errInvalidSuffix = -131,
    errInvalidString = -151,
    errInvalidBlock = -161,
    errExecution = -200,
    errTriggerIgnored = -211,
    errSettingsConflict = -221,
    errDataOutOfRange = -222,
    errTooMuchData = -223,
    errIllegalValue = -224,
    errHardware = -240,
    errHardwareMissing = -241,
    errQueueOverflow = -350,
    errQueryInterrupted = -410,
};

// The standard text of a code ("Command error"); "Error" for one not listed.
std::string_view ErrorText(int code);

// Bits of the Standard Event Status Register.
enum TEventBit : std::uint8_t {
    esrOperationComplete = 0x01,
    esrQueryError = 0x04,
    esrDeviceError = 0x08,
    esrExecutionError = 0x10,
    esrCommandError = 0x20,
    esrPowerOn = 0x80,
};
// The event an error of this class sets: -1xx command, -2xx execution,
// -3xx device-dependent, -4xx query; 0 for anything else.
std::uint8_t EventOf(int code);

struct TError {
    int Code = errNone;
    // "Syntax error;what was wrong", as SYSTem:ERRor? answers it without quotes.
    std::string Text;
};

class TErrorQueue {
public:
    static constexpr std::size_t kCapacity = 32;
    // The detail, if any, follows the standard text after a semicolon.
    void Push(int code, std::string_view detail = {});
    // The oldest entry, or 0 "No error".
    TError Pop();
    std::size_t Count() const { return errors_.size(); }
    // *CLS: the queue and the event register.
    void Clear()
    {
        errors_.clear();
        events_ = 0;
    }

    // The Standard Event Status Register; every error sets its class's bit.
    std::uint8_t Events() const { return events_; }
    void Raise(std::uint8_t bits) { events_ |= bits; }
    // *ESR? reads and clears.
    std::uint8_t TakeEvents() { return std::exchange(events_, std::uint8_t{0}); }

private:
    std::deque<TError> errors_;
    std::uint8_t events_ = esrPowerOn;
};

} // namespace tarn::scpi
