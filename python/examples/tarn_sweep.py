# SPDX-License-Identifier: MIT
"""A lab script with tarn_remote: Sine at three frequencies, then an arbitrary
waveform made with numpy. Run it while Tarn runs with the remote control on
(Settings > Options): python3 tarn_sweep.py [--port 5025]"""
import argparse

import numpy as np

from tarn_remote import Tarn, TarnError


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=5025)
    args = parser.parse_args()
    gen = Tarn(port=args.port)
    print(gen.id)
    gen.waveform = "Sine"
    out = gen.out1
    out.amplitude = 0.5
    out.offset = 0.0
    out.enabled = True
    for frequency in (1e3, 10e3, 100e3):
        gen.frequency = frequency
        print(f"{gen.frequency:10.0f} Hz  {out.vpp:.3f} Vpp  {out.vrms:.3f} Vrms")
    # A burst of five periods in a window of 1000 samples.
    t = np.linspace(0.0, 1.0, 1000, endpoint=False)
    burst = np.sin(2 * np.pi * 5 * t) * np.hanning(t.size)
    gen.upload("hann burst", burst, play=True)
    print(f"{gen.waveform}: {out.vpp:.3f} Vpp")
    try:
        gen.frequency = 1e9
    except TarnError as refused:
        print("refused:", refused)


if __name__ == "__main__":
    main()
