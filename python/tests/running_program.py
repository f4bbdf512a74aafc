# SPDX-License-Identifier: MIT
"""The built program started for a test: a program folder of its own under a
temporary folder (a copy of the program under a name of this run, the driver
library and the virtual USB library), its remote control on a free port, the
in-process virtual generator, no display. Nothing the user runs is touched."""
import os
import shutil
import socket
import subprocess
import tempfile
import time

SETTINGS = """<?xml version="1.0"?>
<SETTINGS version="1"><options><RemoteControl type="bool">true</RemoteControl></options>
<remote><port type="int">{port}</port></remote></SETTINGS>
"""


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class RunningProgram:
    def __init__(self, timeout=60.0):
        program_dir = os.environ.get("TARN_PROGRAM_DIR")
        virtual_dir = os.environ.get("TARN_VIRTUAL_DIR")
        if not program_dir or not virtual_dir:
            raise RuntimeError("TARN_PROGRAM_DIR and TARN_VIRTUAL_DIR name the build's folders (ctest sets them)")
        self.folder = tempfile.mkdtemp(prefix="tarn-python-")
        try:
            self.port = free_port()
            program = os.path.join(self.folder, f"tarn-python-test-{os.getpid()}")
            shutil.copy2(os.path.join(program_dir, "tarn"), program)
            shutil.copy2(os.path.join(program_dir, "libtarndrv.so"), self.folder)
            shutil.copy2(os.path.join(virtual_dir, "libvireo.so"), self.folder)
            with open(os.path.join(self.folder, "settings.xml"), "w", encoding="utf-8") as f:
                f.write(SETTINGS.format(port=self.port))
            env = dict(os.environ, QT_QPA_PLATFORM="offscreen",
                       TARN_VIRTUAL_DEVICE_SOCKET=os.path.join(self.folder, "no-device-program.socket"))
            self.log = open(os.path.join(self.folder, "program.log"), "w+b")
            self.process = subprocess.Popen([program], cwd=self.folder, env=env, stdin=subprocess.DEVNULL,
                                            stdout=self.log, stderr=subprocess.STDOUT)
            self._await_listening(timeout)
        except BaseException:
            self.close()
            raise

    def _await_listening(self, timeout):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if self.process.poll() is not None:
                raise RuntimeError(f"the program ended with {self.process.returncode}: {self.output()}")
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=1):
                    pass
                # That connection is gone once the program has seen it close.
                time.sleep(0.2)
                return
            except OSError:
                time.sleep(0.1)
        raise RuntimeError(f"the program did not listen on {self.port} within {timeout} s: {self.output()}")

    def output(self):
        self.log.flush()
        self.log.seek(0)
        return self.log.read().decode(errors="replace")[-2000:]

    def close(self):
        process = getattr(self, "process", None)
        if process is not None and process.poll() is None:
            process.terminate()
            try:
                process.wait(20)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        if getattr(self, "log", None) is not None:
            self.log.close()
        shutil.rmtree(self.folder, ignore_errors=True)
