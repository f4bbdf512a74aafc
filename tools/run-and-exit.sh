#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Starts a tarn program file offscreen, waits until it has bound its driver
# library (start-up is then past the point where it handles SIGTERM), asks it
# to end with SIGTERM and returns its exit code. Tests only.
# Usage: run-and-exit.sh PROGRAM HOME_DIR
set -uo pipefail
program=$1 home=$2
HOME="$home" XDG_DATA_HOME="$home/data" QT_QPA_PLATFORM=offscreen "$program" &
pid=$!
for _ in $(seq 1 300); do
  grep -q libtarndrv.so "/proc/$pid/maps" 2>/dev/null && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
sleep 0.5
kill -TERM "$pid" 2>/dev/null
wait "$pid"
