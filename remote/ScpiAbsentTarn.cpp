// SPDX-License-Identifier: MIT
// Commands of other generators for what this one does not have. Drivers send
// them from their properties; a reason in the queue tells a script's author
// more than an unknown header would.
#include "remote/ScpiInstrumentTarn.h"

#include <array>

namespace tarn::scpi {

namespace {

constexpr std::array<const char*, 4> kAbsent{
    "no pulse shape: the shapes are SIN, SQU, TRI, RAMP and USER; upload a pulse as an arbitrary waveform",
    "no burst period: a burst is one period per trigger (TRIG:SOUR, *TRG)",
    "the samples advance at the sampling rate (FREQ), never by a trigger",
    "no filter of its own for arbitrary waveforms: OUTP:FILT OFF|40MHZ|20MHZ filters every waveform",
};

constexpr std::array<const char*, 3> kRemoteLocal{"LOC", "REM", "RWL"};

} // namespace

void TScpiInstrument::Absent(TCall& call)
{
    Fail(errSettingsConflict, kAbsent.at(static_cast<std::size_t>(call.Tag)));
}

void TScpiInstrument::TriggerOutput(TCall& call)
{
    const auto on = ParamCount(call, 1, 1) ? Boolean(call.Unit.Params[0]) : std::nullopt;
    if (on == true) {
        Fail(errSettingsConflict, "no trigger output: the generator has a trigger input only (TRIG:EXT)");
    }
}

void TScpiInstrument::RemoteLocal(TCall& call)
{
    // The window and the commands work side by side whatever is set here.
    const auto state =
        ParamCount(call, 1, 1) ? Choice(call.Unit.Params[0], {"LOCal", "REMote", "RWLock"}) : std::nullopt;
    if (state) {
        remoteLocal_ = *state;
    }
}

void TScpiInstrument::RemoteLocalQuery(TCall& call)
{
    if (ParamCount(call, 0, 0)) {
        Answer(call, kRemoteLocal.at(static_cast<std::size_t>(remoteLocal_)));
    }
}

} // namespace tarn::scpi
