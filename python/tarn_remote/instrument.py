# SPDX-License-Identifier: MIT
"""The Tarn program's remote control as a pymeasure instrument."""
import math

import numpy as np
from pymeasure.instruments import Instrument
from pymeasure.instruments.validators import strict_discrete_set

# The error queue holds 32 entries and one overflow mark: more answers than
# that would be a peer that never says "no error".
_MAX_ERRORS = 33
# The sample memory, and the largest block the program takes at once.
MAX_SAMPLES = 16384
INFINITY = 9.9e37
NOT_AVAILABLE = 9.91e37


class TarnError(Exception):
    """Errors the program queued for what was sent: a list of (code, message)."""

    def __init__(self, errors):
        self.errors = list(errors)
        super().__init__("; ".join(f"{code}: {text}" for code, text in self.errors))


def parse_error(answer):
    """'-113,"Undefined header"' as (-113, 'Undefined header')."""
    code, _, text = answer.strip().partition(",")
    try:
        value = int(code)
    except ValueError:
        raise TarnError([(-1, f"not an error queue answer: {answer[:80]!r}")]) from None
    return value, text.strip().strip('"')


def _number(text):
    """A number the way SCPI writes it; the locale never enters here."""
    return float(text)


def _quoted(name):
    name = str(name)
    if '"' in name or "\n" in name:
        raise ValueError(f"a waveform name holds no quote or line break: {name!r}")
    return f'"{name}"'


def _names(answer):
    """A list of quoted names ("a","b" or "a";"b") as strings."""
    answer = answer.strip()
    if answer in ("", '""'):
        return []
    names, current, inside = [], [], False
    for ch in answer:
        if ch == '"':
            inside = not inside
        elif inside:
            current.append(ch)
        elif ch in ",;":
            names.append("".join(current))
            current = []
    names.append("".join(current))
    return names


def _flag():
    return dict(validator=strict_discrete_set, map_values=True, values={True: 1, False: 0})


def _choice(*words):
    return dict(validator=lambda v, vs: strict_discrete_set(str(v).upper(), vs), values=list(words))


def _setting(get, set_, doc, **kw):
    # Every write is followed by a look at the error queue: a refused value raises.
    return Instrument.control(get, set_, doc, check_set_errors=True, **kw)


class TarnOutput:
    """One output: 1 is "Output L", 2 is "Output H"."""

    def __init__(self, instrument, number):
        self.instrument = instrument
        self.number = number

    # The headers carry {n}: replaced once, in the header only.
    def _header(self, command):
        return command.replace("{n}", str(self.number), 1)

    def write(self, command):
        self.instrument.write(self._header(command))

    def ask(self, command):
        return self.instrument.ask(self._header(command))

    def values(self, command, **kwargs):
        return self.instrument.values(self._header(command), **kwargs)

    def check_errors(self):
        return self.instrument.check_errors()

    amplitude = _setting("SOUR{n}:VOLT?", "SOUR{n}:VOLT %.9g",
                         "Amplitude in the unit of amplitude_unit (Vpp at first).")
    amplitude_unit = _setting("SOUR{n}:VOLT:UNIT?", "SOUR{n}:VOLT:UNIT %s",
                              "Unit of amplitude: VPP, VRMS or DBM (DBM needs a load).",
                              **_choice("VPP", "VRMS", "DBM"))
    offset = _setting("SOUR{n}:VOLT:OFFS?", "SOUR{n}:VOLT:OFFS %.9g", "Shift in volts.")
    offset_mode = _setting("SOUR{n}:VOLT:OFFS:MODE?", "SOUR{n}:VOLT:OFFS:MODE %s",
                           "CONT: the shift reaches the output at once; STEP: on apply_offset().",
                           **_choice("CONT", "STEP"))
    offset_device = Instrument.measurement("SOUR{n}:VOLT:OFFS:DEV?", "The shift the output has, in volts.")
    voltage_high = _setting("SOUR{n}:VOLT:HIGH?", "SOUR{n}:VOLT:HIGH %.9g",
                            "Highest voltage of the signal; the lowest stays.")
    voltage_low = _setting("SOUR{n}:VOLT:LOW?", "SOUR{n}:VOLT:LOW %.9g",
                           "Lowest voltage of the signal; the highest stays.")
    db = _setting("SOUR{n}:VOLT:DB?", "SOUR{n}:VOLT:DB %.9g", "The relative dB field.")
    db_mode = _setting("SOUR{n}:VOLT:DB:MODE?", "SOUR{n}:VOLT:DB:MODE %s", "AUTO, MAN or OFF.",
                       **_choice("AUTO", "MAN", "OFF"))
    enabled = _setting("OUTP{n}?", "OUTP{n} %d", "Output on (True) or off.", **_flag())
    attenuator = _setting("OUTP{n}:ATT?", "OUTP{n}:ATT %d", "The -20 dB attenuator.", **_flag())
    filter = _setting("OUTP{n}:FILT?", "OUTP{n}:FILT %s", "OFF, 40MHZ or 20MHZ.",
                      **_choice("OFF", "40MHZ", "20MHZ"))
    load = _setting("OUTP{n}:LOAD?", "OUTP{n}:LOAD %s",
                    "Load in ohms; math.inf for an open output.",
                    set_process=lambda v: "INF" if math.isinf(v) else "%.9g" % v,
                    get_process=lambda v: math.inf if v >= INFINITY else v)

    def _reading(command, doc):
        return Instrument.measurement(command, doc,
                                      get_process=lambda v: math.nan if v >= NOT_AVAILABLE else v)

    vpp = _reading("MEAS{n}:VPP?", "Peak-to-peak volts as the panel reads them.")
    vp_plus = _reading("MEAS{n}:VP? PLUS", "Positive peak.")
    vp_minus = _reading("MEAS{n}:VP? MIN", "Negative peak.")
    vrms = _reading("MEAS{n}:VRMS?", "RMS volts.")
    vavg = _reading("MEAS{n}:VAVG?", "Average volts.")
    dbm = _reading("MEAS{n}:DB? DBMW", "Level in dBm (nan without a load).")
    del _reading

    def apply_offset(self):
        self.write("SOUR{n}:VOLT:OFFS:APPL")
        self.check_errors()

    def set_db_zero(self):
        self.write("SOUR{n}:VOLT:DB:ZERO")
        self.check_errors()


class Tarn(Instrument):
    """The Tarn program's remote control (TCPIP socket resource).

        gen = Tarn(port=5025)
        gen.shape = "SIN"; gen.frequency = 1e3; gen.out1.amplitude = 0.5
        gen.upload("chirp", samples)     # numpy array, -1..1
        gen.out1.enabled = True

    Every write checks the error queue and raises TarnError when the program
    refused something.
    """

    def __init__(self, adapter=None, port=5025, host="127.0.0.1", **kwargs):
        if adapter is None:
            adapter = f"TCPIP0::{host}::{int(port)}::SOCKET"
        kwargs.setdefault("visa_library", "@py")
        kwargs.setdefault("read_termination", "\n")
        kwargs.setdefault("write_termination", "\n")
        kwargs.setdefault("timeout", 10000)
        super().__init__(adapter, "Tarn waveform generator", **kwargs)
        self.out1 = TarnOutput(self, 1)
        self.out2 = TarnOutput(self, 2)

    def errors(self):
        """Every queued error as (code, message), oldest first; the queue is emptied."""
        found = []
        for _ in range(_MAX_ERRORS):
            code, text = parse_error(self.ask("SYST:ERR?"))
            if code == 0:
                return found
            found.append((code, text))
        raise TarnError(found + [(-1, "the error queue does not empty")])

    def check_errors(self):
        errors = self.errors()
        if errors:
            raise TarnError(errors)
        return []

    def command(self, text):
        """Sends any command and raises on what it queued."""
        self.write(text)
        self.check_errors()

    frequency = _setting("FREQ?", "FREQ %.12g", "Frequency in Hz (the sampling rate with USER).")
    frequency_mode = _setting("FREQ:MODE?", "FREQ:MODE %s",
                              "CONT or STEP (apply_frequency() sets it); CW, SWE, LIST for sweeps.",
                              **_choice("CONT", "STEP", "CW", "SWE", "LIST"))
    # The sweep the program steps on a timer (sweep_enabled = True starts it).
    sweep_start = _setting("FREQ:STAR?", "FREQ:STAR %.12g", "Where a sweep begins, Hz.")
    sweep_stop = _setting("FREQ:STOP?", "FREQ:STOP %.12g", "Where a sweep ends, Hz.")
    sweep_time = _setting("SWE:TIME?", "SWE:TIME %.12g", "Seconds of one pass.")
    sweep_points = _setting("SWE:POIN?", "SWE:POIN %d", "Values per pass, start and stop included.", cast=int)
    sweep_spacing = _setting("SWE:SPAC?", "SWE:SPAC %s", "LIN or LOG.", **_choice("LIN", "LOG"))
    sweep_direction = _setting("SWE:DIR?", "SWE:DIR %s", "UP, DOWN or UPD.", **_choice("UP", "DOWN", "UPD"))
    sweep_count = _setting("SWE:COUN?", "SWE:COUN %s", "Passes; math.inf (INF) runs until stopped.",
                           set_process=lambda v: "INF" if v == math.inf else int(v))
    sweep_enabled = _setting("SWE:STAT?", "SWE:STAT %d", "A sweep runs.", **_flag())
    frequency_device = Instrument.measurement("FREQ:DEV?", "The frequency the generator plays.")
    shape = _setting("FUNC?", "FUNC %s", "SIN, SQU, TRI, RAMP or USER (the arbitrary waveform).",
                     **_choice("SIN", "SQU", "TRI", "RAMP", "USER"))
    filter_auto = _setting("OUTP:FILT:AUTO?", "OUTP:FILT:AUTO %d", "Filter autoset.", **_flag())
    trigger_mode = _setting("TRIG:MODE?", "TRIG:MODE %s", "PER (continuous) or SING.",
                            **_choice("PER", "SING"))
    trigger_external = _setting("TRIG:EXT?", "TRIG:EXT %d", "The external trigger input.", **_flag())
    trigger_slope = _setting("TRIG:SLOP?", "TRIG:SLOP %s", "POS or NEG edge.", **_choice("POS", "NEG"))
    trigger_source = _setting("TRIG:SOUR?", "TRIG:SOUR %s", "IMM, EXT or BUS.",
                              **_choice("IMM", "EXT", "BUS"))
    burst = _setting("BURS:STAT?", "BURS:STAT %d", "One period per trigger (single mode).", **_flag())
    running = _setting("RUN?", "RUN %d", "Go (True) or Stop.", **_flag())
    armed = _setting("ARM?", "ARM %d", "Arming.", **_flag())
    arm_level = _setting("ARM:LEV?", "ARM:LEV %d", "The arming stop level, 0 or 1.",
                         validator=strict_discrete_set, values=(0, 1))

    # Names are read whole: a comma in one is no separator.
    def _name(query):
        def get(self):
            return (_names(self.ask(query)) or [""])[0]
        return get

    def _select(command):
        def set_(self, name):
            self.command(f"{command} {_quoted(name)}")
        return set_

    waveform = property(_name("WAV:SEL?"), _select("WAV:SEL"), doc="The library waveform playing, by name.")
    user_waveform = property(_name("FUNC:USER?"), _select("FUNC:USER"), doc="The arbitrary waveform USER plays.")
    del _name, _select

    @property
    def waveforms(self):
        """The names in the waveform library."""
        return _names(self.ask("WAV:CAT?"))

    def apply(self, shape, frequency=None, amplitude=None, offset=None):
        """Shape, frequency, amplitude (in amplitude_unit of output 1) and offset
        in one step; what is left out takes its default."""
        shape = strict_discrete_set(str(shape).upper(), ["SIN", "SQU", "TRI", "RAMP", "USER"])
        values = [frequency, amplitude, offset]
        while values and values[-1] is None:
            values.pop()
        numbers = ",".join("DEF" if v is None else "%.12g" % v for v in values)
        self.command(f"APPL:{shape} {numbers}".rstrip())

    def apply_frequency(self):
        self.command("FREQ:APPL")

    def trigger(self):
        """One shot ("Go" in single mode, or the bus trigger)."""
        self.command("*TRG")

    def reset(self):
        self.command("*RST")

    def upload(self, name, samples, play=False):
        """Adds samples (-1..1, any sequence numpy takes) to the library as name.

        -1 is code 1, 0 is 2048 and 1 is 4095 (halves to even), as DATA
        VOLATILE maps them. A name that exists is replaced.
        """
        data = np.asarray(samples, dtype=np.float64).ravel()
        if not 2 <= data.size <= MAX_SAMPLES:
            raise ValueError(f"an arbitrary waveform has 2 to {MAX_SAMPLES} samples, not {data.size}")
        if not np.all(np.isfinite(data)) or np.any(np.abs(data) > 1.0):
            raise ValueError("samples lie between -1 and 1")
        return self.upload_codes(name, np.rint(data * 2047.0) + 2048.0, play)

    def upload_codes(self, name, codes, play=False):
        """Adds sample codes 0..4095 to the library as name, in one binary block."""
        data = np.asarray(codes).ravel()
        if not 2 <= data.size <= MAX_SAMPLES:
            raise ValueError(f"an arbitrary waveform has 2 to {MAX_SAMPLES} samples, not {data.size}")
        if np.any(data != np.rint(data)) or np.any((data < 0) | (data > 4095)):
            raise ValueError("sample codes are whole numbers 0..4095")
        self.adapter.write_binary_values(f"WAV:DATA {_quoted(name)},", data.astype(int).tolist(),
                                         datatype="H", is_big_endian=False)
        self.check_errors()
        if play:
            self.waveform = name

    def download_codes(self, name):
        """The sample codes of a library waveform as a numpy array."""
        answer = self.ask(f"WAV:DATA? {_quoted(name)}")
        self.check_errors()
        return np.array([int(v) for v in answer.split(",") if v.strip()], dtype=np.uint16)

    def delete(self, name):
        self.command(f"DATA:DEL {_quoted(name)}")


__all__ = ["Tarn", "TarnOutput", "TarnError", "parse_error", "MAX_SAMPLES"]
