#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the launcher tarn-virtual from a program folder made of the build's
# files, with the virtual generator's window forced on (offscreen): the window
# must listen before tarn opens the device, tarn must be its client, and the
# window must end with tarn and take its socket file with it.
# Usage: check-virtual-launcher.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
folder=$work/program socket=$work/device.socket
mkdir -p "$folder" "$work/home"
cp "$build/bin/tarn" "$build/bin/libtarndrv.so" "$build/bin/tarn-virtual-device" "$build/virtual/libvireo.so" \
   "$source/packaging/tarn-virtual" "$folder"/
HOME=$work/home XDG_DATA_HOME=$work/home/data QT_QPA_PLATFORM=offscreen TARN_START_VIRTUAL_DEVICE=1 \
  TARN_VIRTUAL_DEVICE_SOCKET=$socket "$folder/tarn-virtual" &
pid=$!
for _ in $(seq 1 300); do
  grep -q libtarndrv.so "/proc/$pid/maps" 2>/dev/null && break
  kill -0 "$pid" 2>/dev/null || fail "tarn ended early"
  sleep 0.1
done
device=$(pgrep -P "$pid" -f tarn-virtual-device) || fail "no tarn-virtual-device beside tarn"
[ -S "$socket" ] || fail "nothing listens at $socket"
# The device program's accepted connection shows with its path, state 03 (connected).
connected=0
for _ in $(seq 1 100); do
  if awk -v path="$socket" '$NF == path && $6 == "03"' /proc/net/unix | grep -q .; then connected=1; break; fi
  sleep 0.1
done
[ "$connected" = 1 ] || fail "tarn is not the device program's client"
sleep 0.5
kill -TERM "$pid"
wait "$pid"; rc=$?
pid=
[ "$rc" -eq 0 ] || fail "tarn ended with $rc"
for _ in $(seq 1 50); do
  kill -0 "$device" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$device" 2>/dev/null && { kill "$device"; fail "the device program outlived tarn"; }
[ -e "$socket" ] && fail "the socket file stayed behind"
echo "virtual launcher check passed"
