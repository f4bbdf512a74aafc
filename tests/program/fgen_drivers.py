# SPDX-License-Identifier: MIT
"""The function-generator drivers shipped with pymeasure, unchanged, against
the program's remote control. One JSON request per line on standard input:
{"op": "drivers"} lists the scripts, {"op": "step", "driver": d, "index": i}
runs one step and answers what it sent, what the driver read back, the errors
left in the queue and what the program must now hold ("expect": output number,
frequency, waveform, vpp, offset, output, load, single, external, codes).
The test compares that with the settings and the generator's registers."""
import contextlib
import json
import math
import sys
import time

from pymeasure.adapters.visa import VISAAdapter

SQRT8 = 2.0 * math.sqrt(2.0)
sent = []


def _logging(method):
    def wrapper(self, command, *args, **kwargs):
        sent.append(command if len(command) <= 160 else command[:150] + f"... ({len(command)} bytes)")
        return method(self, command, *args, **kwargs)
    return wrapper


# Whatever a driver sends goes through these three.
VISAAdapter.write = _logging(VISAAdapter.write)
VISAAdapter.ask = _logging(VISAAdapter.ask)
VISAAdapter.write_binary_values = _logging(VISAAdapter.write_binary_values)


def step(name, action, expect=None, readback=(), errors=(), awaiting=None):
    """readback: (attribute path, value) pairs the driver must read back;
    errors: the codes the step must leave queued; awaiting: the reason it
    cannot pass yet (the remote control lacks a command)."""
    return {"name": name, "action": action, "expect": expect or {}, "readback": list(readback),
            "errors": list(errors), "awaiting": awaiting}


def error_codes(messages):
    # The drivers' check_errors() words each entry "<name>: <code>: <text>".
    return [int(float(m.split(":")[1])) for m in messages]


def common_steps(square_name="SQU", burst_mode="TRIG"):
    """The generic generator API (shape, frequency, amplitude with unit,
    offset, high/low, output, burst and trigger source, errors)."""
    return [
        step("shape sine", lambda d: setattr(d, "shape", "SIN"), {"waveform": "Sine"},
             [("shape", "SIN")]),
        step("frequency", lambda d: setattr(d, "frequency", 4.7e3), {"frequency": 4.7e3},
             [("frequency", 4.7e3)]),
        step("amplitude", lambda d: setattr(d, "amplitude", 3.0), {"vpp": 3.0}, [("amplitude", 3.0)]),
        step("amplitude in Vrms", lambda d: (setattr(d, "amplitude_unit", "VRMS"), setattr(d, "amplitude", 1.0)),
             {"vpp": SQRT8, "waveform": "Sine"}, [("amplitude_unit", "VRMS"), ("amplitude", 1.0)]),
        step("unit back to Vpp", lambda d: setattr(d, "amplitude_unit", "VPP"), {"vpp": SQRT8},
             [("amplitude", SQRT8)]),
        step("offset", lambda d: setattr(d, "offset", 0.25), {"offset": 0.25}, [("offset", 0.25)]),
        step("high and low", lambda d: (setattr(d, "voltage_high", 1.5), setattr(d, "voltage_low", -1.0)),
             {"vpp": 2.5, "offset": 0.25}, [("voltage_high", 1.5), ("voltage_low", -1.0)]),
        step("output on", lambda d: setattr(d, "output", True), {"output": True}, [("output", True)]),
        step("output off", lambda d: setattr(d, "output", False), {"output": False}, [("output", False)]),
        step("shape square", lambda d: setattr(d, "shape", square_name), {"waveform": "Square"},
             [("shape", "SQU")]),
        step("burst on the bus trigger",
             lambda d: (setattr(d, "burst_state", True), setattr(d, "burst_ncycles", 1),
                        setattr(d, "burst_mode", burst_mode), setattr(d, "trigger_source", "BUS")),
             {"single": True, "external": False},
             [("burst_state", True), ("burst_ncycles", 1), ("burst_mode", "TRIG"), ("trigger_source", "BUS")]),
        step("bus trigger", lambda d: (d.trigger(), d.wait_for_trigger(timeout=10)), {"single": True}),
        step("external trigger", lambda d: setattr(d, "trigger_source", "EXT"), {"external": True},
             [("trigger_source", "EXT")]),
        step("burst off", lambda d: (setattr(d, "trigger_source", "IMM"), setattr(d, "burst_state", False)),
             {"single": False, "external": False}, [("burst_state", False)]),
        step("duty cycle and symmetry: the one value each",
             lambda d: (setattr(d, "square_dutycycle", 50), setattr(d, "ramp_symmetry", 100)), {"waveform": "Square"},
             [("square_dutycycle", 50.0), ("ramp_symmetry", 100.0)]),
        step("check errors: an offset beyond the output",
             lambda d: (setattr(d, "offset", 4.9), error_codes(d.check_errors())), {"offset": 0.25},
             errors=[-222]),
        step("check errors: a burst of ten",
             lambda d: (setattr(d, "burst_ncycles", 10), error_codes(d.check_errors())), {}, errors=[-222]),
    ]


def arb_steps():
    codes = [int(round(2047 * math.sin(2 * math.pi * i / 64))) for i in range(64)]
    floats = [round(math.cos(2 * math.pi * i / 32), 4) for i in range(32)]
    return [
        step("load", lambda d: setattr(d, "output_load", 50), {"load": 50.0}, [("output_load", 50.0)]),
        step("arbitrary upload", lambda d: (d.data_volatile_clear(), d.data_arb("TARNARB", codes, "DAC"),
                                            setattr(d, "shape", "ARB"), setattr(d, "arb_file", "TARNARB")),
             {"waveform": "TARNARB", "codes": [2048 + c for c in codes]}, [("shape", "USER")]),
        step("arbitrary upload as floats, replacing", lambda d: (d.data_arb("TARNARB", floats, "float"),
                                                                  setattr(d, "arb_file", "TARNARB")),
             {"waveform": "TARNARB", "codes": [round(2047 * f) + 2048 for f in floats]},
             [("arb_file", "\"TARNARB\"")]),
        step("sampling rate of the arbitrary waveform", lambda d: setattr(d, "arb_srate", 2.5e6),
             {"frequency": 2.5e6, "waveform": "TARNARB"}, [("arb_srate", 2.5e6)]),
        step("no trigger output", lambda d: setattr(d, "ext_trig_out", False), {}, [("ext_trig_out", False)]),
        step("display text", lambda d: (setattr(d, "display", "tarn"), d.clear_display()), {}),
    ]


def sour_steps():
    """The driver that writes every header with SOURce and %g numbers."""
    return [
        step("shape sine", lambda d: setattr(d, "shape", "sinusoid"), {"waveform": "Sine"},
             [("shape", "sinusoid")]),
        step("frequency", lambda d: setattr(d, "frequency", 1e6), {"frequency": 1e6}, [("frequency", 1e6)]),
        step("amplitude", lambda d: setattr(d, "amplitude", 2), {"vpp": 2.0}, [("amplitude", 2.0)]),
        step("offset", lambda d: setattr(d, "offset", -0.1), {"offset": -0.1}, [("offset", -0.1)]),
        step("limits", lambda d: [d.max_frequency, d.min_amplitude, d.max_offset], {}),
        step("amplitude in Vrms", lambda d: (setattr(d, "amplitude_units", "Vrms"), setattr(d, "amplitude", 0.5)),
             {"vpp": 0.5 * SQRT8}, [("amplitude_units", "Vrms")]),
        step("default unit", lambda d: setattr(d, "amplitude_units", "default"), {"vpp": 0.5 * SQRT8},
             [("amplitude_units", "Vpp")]),
    ]


def channel_steps():
    """The two-channel driver: long lower-case headers under SOURce<n>."""
    return [
        step("waveform in one call", lambda d: d.ch1.waveform("SIN", 2e4, "VPP", 1.5, 0.1),
             {"waveform": "Sine", "frequency": 2e4, "vpp": 1.5, "offset": 0.1},
             [("ch1.shape", "sinusoidal"), ("ch1.frequency", 2e4)]),
        step("enable", lambda d: d.ch1.enable(), {"output": True}),
        step("offset", lambda d: setattr(d.ch1, "offset", -0.2), {"offset": -0.2}, [("ch1.offset", -0.2)]),
        step("amplitude in Vrms", lambda d: setattr(d.ch1, "amp_vrms", 0.3), {"vpp": 0.3 * SQRT8}),
        step("frequency", lambda d: setattr(d.ch1, "frequency", 1e5), {"frequency": 1e5},
             [("ch1.frequency", 1e5)]),
        step("output H offset", lambda d: setattr(d.ch2, "offset", 1.0), {"out": 2, "offset": 1.0},
             [("ch2.offset", 1.0)]),
        step("output H amplitude", lambda d: setattr(d.ch2, "amp_vpp", 10), {"out": 2, "vpp": 10.0}),
        step("disable", lambda d: d.ch1.disable(), {"output": False}),
    ]


# Import path, class and script of each driver.
DRIVERS = {
    "33220A": ("pymeasure.instruments.agilent", "Agilent33220A", lambda: common_steps("SQUARE", "TRIGGERED")),
    "33500": ("pymeasure.instruments.agilent", "Agilent33500", lambda: common_steps() + arb_steps()),
    "33521A": ("pymeasure.instruments.agilent", "Agilent33521A", lambda: common_steps()),
    "33120A": ("pymeasure.instruments.hp", "HP33120A", sour_steps),
    "AFG3152C": ("pymeasure.instruments.tektronix", "AFG3152C", channel_steps),
}


def attribute(obj, path):
    for part in path.split("."):
        obj = getattr(obj, part)
    return obj


def same(got, want):
    if isinstance(want, bool):
        # A driver may map 1 back to "ON" rather than True.
        return got == want or str(got).upper() == ("ON" if want else "OFF")
    if isinstance(want, str):
        return got == want
    try:
        return math.isclose(float(got), want, rel_tol=2e-3, abs_tol=2e-3)
    except (TypeError, ValueError):
        return False


class Session:
    def __init__(self, port):
        self.resource = f"TCPIP0::127.0.0.1::{port}::SOCKET"
        self.driver = None
        self.reconnects = 0
        self.name = None
        self.script = []

    def open(self, name):
        if self.driver is not None:
            self.driver.adapter.connection.close()
        module, cls, script = DRIVERS[name]
        driver_class = getattr(__import__(module, fromlist=[cls]), cls)
        del sent[:]
        for attempt in range(20):
            del sent[:]
            self.driver = driver_class(self.resource, visa_library="@py", read_termination="\n",
                                       write_termination="\n", timeout=4000)
            # The test's own look at the queue and its sync point are not logged.
            self.connection = self.driver.adapter.connection
            try:
                if self.connection.query("*RST;*CLS;:WAV:SEL \"Sine\";*OPC?") == "1":
                    break
            except Exception:  # turned away: the last client may not be gone yet
                pass
            self.connection.close()
            self.reconnects += 1
            time.sleep(0.1)
        self.name, self.script = name, script()
        self.opened = [f"(opening) {c}" for c in sent]

    def queued_errors(self):
        codes = []
        for _ in range(40):
            answer = self.connection.query("SYST:ERR?")
            code = int(answer.split(",")[0])
            if code == 0:
                break
            codes.append([code, answer])
        return codes

    def run(self, name, index):
        if name != self.name:
            self.open(name)
        s = self.script[index]
        out = {"reconnects": self.reconnects, "name": s["name"], "awaiting": s["awaiting"], "expect": s["expect"], "last": index + 1 == len(self.script)}
        problems = []
        del sent[:]
        if index == 0:
            sent.extend(self.opened)
        try:
            with contextlib.redirect_stdout(sys.stderr):  # a driver prints what it uploads
                result = s["action"](self.driver)
            # A query the program does not know is never answered: not asked
            # when what the step sent was refused already.
            self.connection.query("*OPC?")
            refused = self.queued_errors()
            if refused:
                problems.append(f"refused: {refused}")
                s = dict(s, readback=[])
            if s["errors"]:
                got = result[-1] if isinstance(result, tuple) else []
                if sorted(got) != sorted(s["errors"]):
                    problems.append(f"check_errors() found {got}, not {s['errors']}")
            for path, want in s["readback"]:
                got = attribute(self.driver, path)
                if not same(got, want):
                    problems.append(f"{path} reads back {got!r}, not {want!r}")
        except Exception as e:  # a driver that raises fails the step
            problems.append(f"{type(e).__name__}: {e}")
        out["sent"] = list(sent)
        self.connection.query("*OPC?")
        left = self.queued_errors()
        if left:
            problems.append(f"errors left in the queue: {left}")
        out["problems"] = problems
        return out


def main():
    session = Session(int(sys.argv[1]))
    real_stdout = sys.stdout
    for line in sys.stdin:
        req = json.loads(line)
        try:
            if req["op"] == "drivers":
                out = {"ok": True, "answer": list(DRIVERS)}
            else:
                out = dict(session.run(req["driver"], req["index"]), ok=True)
        except Exception as e:  # reported to the test, which fails on it
            out = {"ok": False, "error": repr(e)}
        real_stdout.write(json.dumps(out) + "\n")
        real_stdout.flush()


if __name__ == "__main__":
    main()
