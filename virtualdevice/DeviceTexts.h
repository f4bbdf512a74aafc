// SPDX-License-Identifier: MIT
// The texts of the virtual generator program. It is a test bench beside the
// program, so its texts live here rather than in the program's string table.
#pragma once

namespace vdev::Texts {

inline constexpr char WindowTitle[] = "Virtual generator";
inline constexpr char OutputL[] = "Output L";
inline constexpr char OutputH[] = "Output H";
inline constexpr char Scope[] = "Oscilloscope";
inline constexpr char ScopeHint[] = "Output L and Output H against time, as the generator's registers make them";
inline constexpr char Strip[] = "Sample clock over time";
inline constexpr char StripHint[] =
    "The sample clock the generator ran at over the last 10 seconds, shown while it changes in steps (a sweep)";
inline constexpr char Periods[] = "Periods";
inline constexpr char PeriodsHint[] = "Number of periods across the screen";
inline constexpr char Load[] = "Load";
inline constexpr char LoadHint[] =
    "Load connected to both outputs; the trace and the numbers show the voltage at the load";
inline constexpr char LoadOpen[] = "Open";
inline constexpr char Load50[] = "50 ohm";
inline constexpr char Load600[] = "600 ohm";
inline constexpr char Vpp[] = "Vpp";
inline constexpr char Vmax[] = "Vmax";
inline constexpr char Vmin[] = "Vmin";
inline constexpr char Vrms[] = "Vrms";
inline constexpr char Vavg[] = "Vavg";
inline constexpr char Frequency[] = "Frequency";
inline constexpr char Measurements[] = "Measurements";
inline constexpr char State[] = "State";
inline constexpr char Registers[] = "Registers";
inline constexpr char RegistersHint[] =
    "The register file as last written: number, content, value in hexadecimal and decimal";
inline constexpr char Bench[] = "Test bench";
inline constexpr char Unplug[] = "Unplug";
inline constexpr char PlugIn[] = "Plug in";
inline constexpr char UnplugHint[] = "Pull the generator's USB cable, or put it back (a power cycle)";
inline constexpr char FailNext[] = "Fail next request";
inline constexpr char FailNextHint[] = "The next request from the host fails";
inline constexpr char Damage[] = "Damage calibration page";
inline constexpr char DamageHint[] =
    "Spoil the calibration page's check sum; the driver notices at its next initialisation";
inline constexpr char TriggerIn[] = "Trigger in";
inline constexpr char TriggerInHint[] =
    "A pulse on the external trigger input (fires one shot in single mode with triggering on)";
inline constexpr char None[] = "-";
inline constexpr char Yes[] = "yes";
inline constexpr char No[] = "no";

} // namespace vdev::Texts
