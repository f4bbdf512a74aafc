# SPDX-License-Identifier: MIT
"""Runs the tests of tarn_remote; exit code 77 (skipped) when a module it
needs is not installed for this Python."""
import importlib.util
import os
import sys
import unittest

NEEDED = {"numpy": "python3-numpy", "pyvisa": "python3-pyvisa", "pyvisa_py": "python3-pyvisa-py",
          "pymeasure": "python3-pymeasure"}


def main():
    missing = [package for module, package in NEEDED.items() if importlib.util.find_spec(module) is None]
    if missing:
        print(f"SKIP: {sys.executable} lacks {', '.join(missing)} (tools/setup-deps.sh installs them)")
        return 77
    here = os.path.dirname(os.path.abspath(__file__))
    sys.path[:0] = [here, os.path.dirname(here)]
    suite = unittest.defaultTestLoader.discover(here, pattern=sys.argv[1] if len(sys.argv) > 1 else "test_*.py")
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
