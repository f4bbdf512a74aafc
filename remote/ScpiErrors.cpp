// SPDX-License-Identifier: MIT
#include "remote/ScpiErrors.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tarn::scpi {

namespace {

constexpr std::array<std::pair<int, std::string_view>, 25> kTexts{{
    {errNone, "No error"},
    {errCommand, "Command error"},
    {errInvalidCharacter, "Invalid character"},
    {errSyntax, "Syntax error"},
    {errInvalidSeparator, "Invalid separator"},
    {errDataType, "Data type error"},
    {errParameterNotAllowed, "Parameter not allowed"},
    {errMissingParameter, "Missing parameter"},
    {errUndefinedHeader, "Undefined header"},
    {errHeaderSuffix, "Header suffix out of range"},
    {errNumericData, "Numeric data error"},
    {errInvalidSuffix, "Invalid suffix"},
    {errInvalidString, "Invalid string data"},
    {errInvalidBlock, "Invalid block data"},
    {errExecution, "Execution error"},
    {errTriggerIgnored, "Trigger ignored"},
    {errSettingsConflict, "Settings conflict"},
    {errDataOutOfRange, "Data out of range"},
    {errTooMuchData, "Too much data"},
    {errIllegalValue, "Illegal parameter value"},
    {errHardware, "Hardware error"},
    {errHardwareMissing, "Hardware missing"},
    {errQueueOverflow, "Queue overflow"},
    {errQueryInterrupted, "Query INTERRUPTED"},
    {-400, "Query error"},
}};

// Details come from the client's own text; keep them printable and short.
std::string Clean(std::string_view detail)
{
    constexpr std::size_t kMaxDetail = 80;
    std::string out;
    for (const char c : detail.substr(0, kMaxDetail)) {
        const auto u = static_cast<unsigned char>(c);
        out += (u >= 0x20 && u < 0x7f && c != '"') ? c : '?';
    }
    return out;
}

} // namespace

std::string_view ErrorText(int code)
{
    const auto* it = std::find_if(kTexts.begin(), kTexts.end(), [code](const auto& e) { return e.first == code; });
    return it != kTexts.end() ? it->second : std::string_view("Error");
}

std::uint8_t EventOf(int code)
{
    constexpr std::uint8_t kByClass[] = {esrCommandError, esrExecutionError, esrDeviceError, esrQueryError};
    const int group = -code / 100;
    return code < 0 && group >= 1 && group <= 4 ? kByClass[group - 1] : 0;
}

void TErrorQueue::Push(int code, std::string_view detail)
{
    events_ |= EventOf(code);
    std::string text(ErrorText(code));
    if (!detail.empty()) {
        text += ';';
        text += Clean(detail);
    }
    if (errors_.size() >= kCapacity) {
        // The oldest stay, as an instrument keeps them; the last place says
        // that some were lost after them.
        if (errors_.back().Code != errQueueOverflow) {
            errors_.back() = {errQueueOverflow, std::string(ErrorText(errQueueOverflow))};
        }
        return;
    }
    errors_.push_back({code, std::move(text)});
}

TError TErrorQueue::Pop()
{
    if (errors_.empty()) {
        return {errNone, std::string(ErrorText(errNone))};
    }
    TError e = std::move(errors_.front());
    errors_.pop_front();
    return e;
}

} // namespace tarn::scpi
