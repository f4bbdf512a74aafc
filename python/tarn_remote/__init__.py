# SPDX-License-Identifier: MIT
"""Lab scripts for the Tarn program's remote control (pymeasure, pyvisa @py)."""
from .instrument import MAX_SAMPLES, Tarn, TarnError, TarnOutput, parse_error

__all__ = ["Tarn", "TarnOutput", "TarnError", "parse_error", "MAX_SAMPLES"]
