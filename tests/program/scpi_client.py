#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Drives the program's remote control through pyvisa for the end-to-end
tests: one JSON request per line on standard input, one JSON answer per line
on standard output. Raw sockets stand for the clients that misbehave."""
import json
import socket
import sys
import time

import pyvisa


def open_instrument(rm, port):
    return rm.open_resource(f"TCPIP0::127.0.0.1::{port}::SOCKET", read_termination="\n",
                            write_termination="\n", timeout=10000)


def first_line(sock):
    data = b""
    while not data.endswith(b"\n"):
        chunk = sock.recv(4096)
        if not chunk:
            break
        data += chunk
    return data.decode(errors="replace").strip()


def main():
    port = int(sys.argv[1])
    rm = pyvisa.ResourceManager("@py")
    inst = open_instrument(rm, port)
    held = []
    for line in sys.stdin:
        req = json.loads(line)
        op = req["op"]
        out = {"ok": True}
        try:
            if op == "write":
                inst.write(req["text"])
            elif op == "query":
                out["answer"] = inst.query(req["text"])
            elif op == "block":
                inst.write_binary_values(req["text"], req["codes"], datatype="H", is_big_endian=False)
            elif op == "raw":
                inst.write_raw(bytes.fromhex(req["hex"]))
            elif op == "close":
                inst.close()
            elif op == "open":
                inst = open_instrument(rm, port)
            elif op == "refused":
                # Connection attempts while the client is connected: each one
                # is told why and closed.
                lines = []
                start = time.monotonic()
                for _ in range(req["count"]):
                    with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
                        lines.append(first_line(s))
                out["answer"] = lines
                out["seconds"] = time.monotonic() - start
            elif op == "stall":
                # The client that sends queries and never reads an answer.
                s = socket.create_connection(("127.0.0.1", port), timeout=5)
                s.setblocking(False)
                sent = 0
                message = b"*IDN?\n" * 1000
                end = time.monotonic() + req["seconds"]
                while time.monotonic() < end:
                    try:
                        sent += s.send(message)
                    except BlockingIOError:
                        time.sleep(0.01)
                held.append(s)
                out["answer"] = sent
            elif op == "bench":
                # Round trips as a script sees them, in milliseconds.
                def timed(count, action):
                    times = []
                    for _ in range(count):
                        start = time.perf_counter()
                        action()
                        times.append((time.perf_counter() - start) * 1000.0)
                    times.sort()
                    return {"median": times[len(times) // 2], "p90": times[len(times) * 9 // 10],
                            "min": times[0], "count": count}
                codes = [(i * 7) % 4096 for i in range(16384)]
                values = [((i * 7) % 4095) / 2047.0 - 1.0 for i in range(16384)]
                out["query"] = timed(req["queries"], lambda: inst.query("FREQ 1000;:FREQ?"))
                out["upload"] = timed(req["uploads"], lambda: (
                    inst.write_binary_values('WAV:DATA "bench",', codes, datatype="H", is_big_endian=False),
                    inst.query("*OPC?")))
                # As drivers for other generators send them: text and a block of floats.
                out["floats"] = timed(req["uploads"], lambda: (
                    inst.write_ascii_values("DATA VOLATILE,", values, converter="f", separator=","),
                    inst.query("*OPC?")))
                out["fblock"] = timed(req["uploads"], lambda: (
                    inst.write_binary_values("DATA VOLATILE,", values, datatype="f", is_big_endian=False),
                    inst.query("*OPC?")))
                out["errors"] = inst.query("SYST:ERR:COUN?")
            elif op == "release":
                for s in held:
                    s.close()
                held.clear()
            else:
                out = {"ok": False, "error": "unknown op " + op}
        except Exception as e:  # reported to the test, which fails on it
            out = {"ok": False, "error": repr(e)}
        print(json.dumps(out), flush=True)


if __name__ == "__main__":
    main()
