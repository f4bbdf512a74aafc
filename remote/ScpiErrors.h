// The error queue of the command language: standard codes with their texts,
// bounded like an instrument's queue (the oldest entry makes room).
#pragma once
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

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
    void Clear() { errors_.clear(); }

private:
    std::deque<TError> errors_;
};

} // namespace tarn::scpi
