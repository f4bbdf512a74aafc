// SPDX-License-Identifier: MIT
// A list-mode CSV file: what loads must hold only points the list can take.
#include "data/SweepListCsv.h"

#include <cmath>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const std::vector<TSweepListRow> rows = ParseSweepListCsv(text);
        if (rows.empty() || rows.size() > kSweepListMaxRows)
            __builtin_trap();
        for (const TSweepListRow& r : rows) {
            const bool ok = std::isfinite(r.Frequency) && r.Frequency > 0
                            && (!r.Level || (std::isfinite(*r.Level) && *r.Level >= 0))
                            && (!r.Dwell || (std::isfinite(*r.Dwell) && *r.Dwell > 0));
            if (!ok)
                __builtin_trap();
        }
    } catch (const ESweepListError& e) {
        if (e.Line() < 0 || std::string_view(e.what()).empty())
            __builtin_trap();
    }
    return 0;
}
