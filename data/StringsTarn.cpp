// SPDX-License-Identifier: MIT
#include "data/StringsTarn.h"

const std::vector<TStringEntry>& StringTable()
{
#define TARN_STRING_ENTRY(key, text) TStringEntry{#key, Strings::key},
    static const std::vector<TStringEntry> table{TARN_STRING_TABLE(TARN_STRING_ENTRY)};
#undef TARN_STRING_ENTRY
    return table;
}

std::string_view FindString(std::string_view key)
{
    for (const auto& entry : StringTable()) {
        if (entry.Key == key)
            return entry.Text;
    }
    return {};
}
