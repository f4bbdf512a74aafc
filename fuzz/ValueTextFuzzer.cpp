// SPDX-License-Identifier: MIT
// The value-text parsers, and the texts the program makes of what they give.
#include "data/CommonFunctionsTarn.h"
#include "fuzz/FuzzInput.h"

#include <cmath>
#include <cstdint>

namespace {

template <typename Parse, typename Format> void Try(std::string_view text, Parse parse, Format format)
{
    try {
        const auto value = parse(text);
        (void)format(value);
    } catch (const EDataError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tarn::fuzz::TFuzzInput input(data, size);
    const std::string_view text = input.Rest();
    try {
        (void)ParseNumber(text);
    } catch (const EDataError&) {
    }
    Try(text, ParseFrequency, FormatFrequency);
    Try(text, ParseVoltage, FormatVoltage);
    Try(text, ParseLoad, FormatLoad);
    Try(text, ParseSampleCount, FormatSampleCount);
    return 0;
}
