// SPDX-License-Identifier: MIT
#pragma once
// Texts of frequencies, voltages, loads and sample counts with one-letter
// prefixes (15k, 2.5, 500m, Open, 8k). Parsers throw on bad input; callers
// keep their previous value.

#include "data/DataTypesTarn.h"

#include <cstdint>
#include <string>
#include <string_view>

// A number part that does not convert.
class EConvertError : public EDataError {
public:
    using EDataError::EDataError;
};

// "." and "," both mark the decimals; blanks around and an exponent are
// accepted. Throws EConvertError.
long double ParseNumber(std::string_view text);
// Hz; prefixes G M k m.
double ParseFrequency(std::string_view text);
// V; an optional trailing v/V; prefixes G M k m u.
double ParseVoltage(std::string_view text);
// Ohms; "open" in any case gives -1.0; prefixes G M k m; below 1 throws.
double ParseLoad(std::string_view text);
// Samples; an optional trailing v/V; k = 1024, M = 1048576.
std::int32_t ParseSampleCount(std::string_view text);

std::string FormatFrequency(double value);
std::string FormatVoltage(double value);
// "Open" below 1 ohm.
std::string FormatLoad(double value);
std::string FormatSampleCount(std::int32_t value);
