// SPDX-License-Identifier: MIT
// The "Import" module's reader: a text, CSV or WAV file under fuzzer-chosen
// options, resampled and scaled as the module does.
#include "fuzz/FuzzInput.h"
#include "plugins/import/ImportReader.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tarn::fuzz::TFuzzInput input(data, size);
    tarnplugin::TImportOptions options;
    options.Column = input.Take<std::uint8_t>() % 8;
    options.Decimal = static_cast<tarnplugin::TDecimalMark>(input.Take<std::uint8_t>() % 3);
    options.Kind = static_cast<tarnplugin::TValueKind>(input.Take<std::uint8_t>() % 2);
    options.FullScaleVpp = input.Take<std::uint8_t>() / 16.0;
    const int count = input.Take<std::uint16_t>() % (tarnplugin::kMaxImportSize + 2);
    const tarnplugin::TImportedValues values = tarnplugin::ReadImportValues(input.Rest(), options);
    int clamped = 0;
    const auto codes =
        tarnplugin::ToCodes(tarnplugin::Resample(values.Values, count), values.FromWave, options, 4096, &clamped);
    if (values.Ok() == values.Values.empty()
        || (count >= 1 && codes.size() != static_cast<std::size_t>(count) && !values.Values.empty())) {
        __builtin_trap();
    }
    return 0;
}
