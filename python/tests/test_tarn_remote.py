# SPDX-License-Identifier: MIT
"""tarn_remote against the built program, started for these tests alone."""
import math
import os
import subprocess
import sys
import time
import unittest

import numpy as np

from running_program import RunningProgram
from tarn_remote import MAX_SAMPLES, Tarn, TarnError

EXAMPLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples", "tarn_sweep.py")


class TarnRemoteTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.program = RunningProgram()
        try:
            cls.gen = Tarn(port=cls.program.port)
        except BaseException:
            cls.program.close()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.gen.adapter.connection.close()
        cls.program.close()

    def setUp(self):
        self.gen.reset()
        self.gen.waveform = "Sine"

    def roundtrip(self, cases):
        for target, name, value, expected in cases:
            with self.subTest(name=name, value=value):
                setattr(target, name, value)
                got = getattr(target, name)
                if isinstance(expected, float):
                    # Within a step of the level and shift converters.
                    self.assertAlmostEqual(got, expected, delta=abs(expected) * 2e-3 + 2e-3)
                else:
                    self.assertEqual(got, expected)

    def test_settings_read_back_what_was_set(self):
        g, o1, o2 = self.gen, self.gen.out1, self.gen.out2
        self.roundtrip([
            (g, "frequency", 2.5e6, 2.5e6), (g, "frequency", 0.5, 0.5),
            (g, "frequency_mode", "step", "STEP"), (g, "frequency_mode", "CONT", "CONT"),
            (o1, "amplitude", 0.4, 0.4), (o1, "offset", -0.02, -0.02),
            (o1, "enabled", False, False), (o1, "enabled", True, True),
            (o1, "filter", "20MHZ", "20MHZ"), (o1, "load", 50, 50.0), (o1, "load", math.inf, math.inf),
            (o1, "offset_mode", "STEP", "STEP"), (o1, "offset_mode", "CONT", "CONT"),
            (o2, "amplitude", 10, 10.0), (o2, "offset", 2, 2.0), (o2, "db_mode", "MAN", "MAN"),
            (g, "armed", True, True), (g, "arm_level", 0, 0.0), (g, "running", False, False),
            (g, "trigger_mode", "SING", "SING"), (g, "trigger_external", True, True),
            (g, "trigger_slope", "NEG", "NEG"), (g, "filter_auto", False, False),
            (g, "sweep_start", 2000, 2000.0), (g, "sweep_stop", 20000, 20000.0), (g, "sweep_time", 1.5, 1.5),
            (g, "sweep_points", 21, 21), (g, "sweep_spacing", "log", "LOG"), (g, "sweep_direction", "UPD", "UPD"),
            (g, "sweep_count", 3, 3.0), (g, "sweep_count", math.inf, 9.9e37), (g, "frequency_mode", "SWE", "SWE"),
            (g, "sweep_enabled", True, True), (g, "sweep_enabled", False, False), (g, "frequency_mode", "CW", "CW"),
        ])
        # The readings are the panel's: 1 Vpp of Sine shifted by 0.1 V.
        g.waveform = "Sine"
        o1.amplitude, o1.offset, o1.load = 1.0, 0.1, math.inf
        for reading, value in [("vpp", 1.0), ("vp_plus", 0.6), ("vp_minus", -0.4), ("vrms", 1 / math.sqrt(8))]:
            with self.subTest(reading=reading):
                self.assertAlmostEqual(getattr(o1, reading), value, delta=0.01)
        self.assertTrue(math.isnan(o1.dbm))
        o1.load = 50
        self.assertAlmostEqual(o1.dbm, 10 * math.log10(o1.vrms ** 2 / 50 / 1e-3), delta=0.05)

    def test_common_generator_settings_read_back(self):
        g, o1 = self.gen, self.gen.out1
        self.roundtrip([
            (g, "shape", "squ", "SQU"), (g, "shape", "RAMP", "RAMP"), (g, "shape", "SIN", "SIN"),
            (o1, "amplitude", 2.0, 2.0), (o1, "amplitude_unit", "VRMS", "VRMS"),
            (o1, "amplitude", 0.5, 0.5), (o1, "amplitude_unit", "VPP", "VPP"),
            (o1, "voltage_high", 1.5, 1.5), (o1, "voltage_low", -0.5, -0.5),
            (g, "burst", True, True), (g, "trigger_source", "BUS", "BUS"),
        ])
        self.assertAlmostEqual(o1.amplitude, 2.0, delta=0.01)
        self.assertAlmostEqual(o1.offset, 0.5, delta=0.01)
        # In one step; the parts left out take their defaults.
        g.apply("squ", 2e3, 1.5, None)
        self.assertEqual((g.shape, g.frequency, o1.offset), ("SQU", 2e3, 0.0))
        self.assertAlmostEqual(o1.amplitude, 1.5, delta=0.01)
        with self.assertRaises(ValueError):
            g.apply("PULSE", 1e3)

    def test_what_the_program_refuses_raises_and_the_queue_is_left_empty(self):
        frequency = self.gen.frequency
        for action, code in [
            (lambda: setattr(self.gen, "frequency", 200e6), -222),
            (lambda: self.gen.command("FROB 1"), -113),
            (lambda: setattr(self.gen, "waveform", "no such waveform"), -224),
            (lambda: self.gen.command("FREQ ,1"), -102),
        ]:
            with self.subTest(code=code):
                with self.assertRaises(TarnError) as caught:
                    action()
                self.assertEqual(caught.exception.errors[0][0], code)
                self.assertEqual(self.gen.errors(), [])
        self.assertEqual(self.gen.frequency, frequency)
        # Refused before anything is sent.
        for target, name, value in [(self.gen, "shape", "PULSE"), (self.gen.out1, "filter", "10MHZ"),
                                    (self.gen, "arm_level", 2)]:
            with self.subTest(name=name), self.assertRaises(ValueError):
                setattr(target, name, value)

    def test_numpy_upload_reaches_the_library_and_plays(self):
        t = np.linspace(0.0, 1.0, 1000, endpoint=False)
        self.gen.upload("py chirp", np.sin(2 * np.pi * 5 * t * t), play=True)
        self.assertIn("py chirp", self.gen.waveforms)
        self.assertEqual(self.gen.waveform, "py chirp")
        self.gen.upload_codes("py codes", np.arange(MAX_SAMPLES) % 4096)
        self.assertIn("py codes", self.gen.waveforms)
        for bad in [np.zeros(1), np.zeros(MAX_SAMPLES + 1), np.array([0.0, 1.5]), np.array([0.0, np.nan])]:
            with self.subTest(size=bad.size), self.assertRaises(ValueError):
                self.gen.upload("bad", bad)
        with self.assertRaises(ValueError):
            self.gen.upload('a "quoted" name', np.zeros(4))

    def test_upload_replaces_a_name_and_reads_back(self):
        # Halves round to even, as the program rounds DATA VOLATILE.
        samples = np.array([-1.0, -0.5, 0.0, 0.5, 1.0])
        self.gen.upload("py twice", np.zeros(8))
        self.gen.upload("py twice", samples)
        self.assertEqual(self.gen.waveforms.count("py twice"), 1)
        np.testing.assert_array_equal(self.gen.download_codes("py twice"), [1, 1024, 2048, 3072, 4095])
        self.gen.user_waveform = "py twice"
        self.gen.shape = "USER"
        self.assertEqual((self.gen.waveform, self.gen.user_waveform), ("py twice", "py twice"))
        self.gen.waveform = "Sine"
        self.gen.delete("py twice")
        self.assertNotIn("py twice", self.gen.waveforms)

    def test_example_script_runs(self):
        # One client at a time: the example's turn.
        self.gen.adapter.connection.close()
        try:
            time.sleep(0.3)
            env = dict(os.environ, PYTHONPATH=os.path.dirname(os.path.dirname(EXAMPLE)))
            done = subprocess.run([sys.executable, EXAMPLE, "--port", str(self.program.port)],
                                  capture_output=True, text=True, timeout=60, env=env)
        finally:
            time.sleep(0.3)
            type(self).gen = Tarn(port=self.program.port)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn("Vpp", done.stdout)


if __name__ == "__main__":
    unittest.main()
