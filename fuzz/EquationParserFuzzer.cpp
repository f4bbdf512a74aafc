// SPDX-License-Identifier: MIT
// The "Equation" module's expression parser: the text from the field or from a
// stored module data block, parsed and sampled over one period.
#include "plugins/equation/EquationParser.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    tarnplugin::TEquation equation;
    if (!equation.Parse("t")) {
        __builtin_trap();
    }
    if (!equation.Parse(text)) {
        // A refusal says where and why and keeps the previous expression.
        if (equation.ErrorPosition < 0 || static_cast<std::size_t>(equation.ErrorPosition) > size
            || equation.ErrorText.empty() || equation.Evaluate(0.5) != 0.5) {
            __builtin_trap();
        }
        return 0;
    }
    for (const unsigned short code : equation.Sample(16, 4096)) {
        if (code >= 4096) {
            __builtin_trap();
        }
    }
    return 0;
}
