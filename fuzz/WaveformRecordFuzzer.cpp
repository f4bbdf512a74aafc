// SPDX-License-Identifier: MIT
// One waveform record, and writing back what was read: a record that loads
// must save and load again to the same samples.
#include "data/DataTypesTarn.h"
#include "data/WaveformTarn.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    TWaveformTarn waveform;
    try {
        waveform.LoadFromStream(in);
    } catch (const EDataError&) {
        return 0;
    }
    std::ostringstream out;
    waveform.SaveToStream(out);
    std::istringstream back(out.str());
    TWaveformTarn again;
    again.LoadFromStream(back);
    if (again.SampleCount() != waveform.SampleCount() || again.Name != waveform.Name
        || (waveform.SampleCount() > 0
            && std::memcmp(again.Samples(), waveform.Samples(),
                           sizeof(std::uint16_t) * static_cast<std::size_t>(waveform.SampleCount()))
                   != 0)) {
        std::abort();
    }
    return 0;
}
