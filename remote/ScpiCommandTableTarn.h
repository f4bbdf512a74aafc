// SPDX-License-Identifier: MIT
// One row of the command table: the header pattern, query or not, whether
// it changes settings, and the handler with its tag.
#pragma once
#include "remote/ScpiInstrumentTarn.h"

namespace tarn::scpi {

struct TCommandEntry {
    const char* Pattern;
    bool Query;
    // Changes settings: refused while communication is broken.
    bool Changes;
    TScpiInstrument::THandler Handler;
    int Tag = 0;
};

} // namespace tarn::scpi
