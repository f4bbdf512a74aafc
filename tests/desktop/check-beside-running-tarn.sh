#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The install, launcher and package checks while the user's own tarn runs
# from another folder: a built tarn copied to a folder of its own, offscreen,
# with a home and a device socket of its own. A second start from that folder
# must still be refused, so the running copy is known to count.
# Usage: check-beside-running-tarn.sh BUILD_DIR [check...]
set -uo pipefail
build=$(cd "$1" && pwd); shift
tools=$(cd "$(dirname "$0")/../../tools" && pwd)
work=$(mktemp -d)
pid= tarn=
trap '[ -n "$tarn" ] && kill -KILL "$tarn" 2>/dev/null; [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
elsewhere=$work/elsewhere
mkdir -p "$elsewhere" "$work/home"
cp "$build/bin/tarn" "$build/bin/libtarndrv.so" "$build/virtual/libvireo.so" "$elsewhere"/
# Under timeout, so that nothing outlives a test gone wrong.
own=(env HOME="$work/home" XDG_DATA_HOME="$work/home/data" QT_QPA_PLATFORM=offscreen
     TARN_VIRTUAL_DEVICE_SOCKET="$work/none.socket")
"${own[@]}" timeout 900 "$elsewhere/tarn" &
pid=$!
for _ in $(seq 1 300); do
  [ -n "$tarn" ] || tarn=$(pgrep -P "$pid" -x tarn)
  [ -n "$tarn" ] && grep -q libtarndrv.so "/proc/$tarn/maps" 2>/dev/null && break
  kill -0 "$pid" 2>/dev/null || fail "the running tarn ended early"
  sleep 0.1
done
[ -n "$tarn" ] && grep -q libtarndrv.so "/proc/$tarn/maps" || fail "the running tarn did not start"
second=$("${own[@]}" timeout 60 "$elsewhere/tarn" 2>&1)
grep -q "Other instance of the application is already running" <<<"$second" \
  || fail "a second start beside the running tarn was not refused: $second"
checks=("$@")
[ ${#checks[@]} -gt 0 ] || checks=(check-install.sh check-virtual-launcher.sh check-package.sh)
for check in "${checks[@]}"; do
  out=$(timeout 300 "$tools/$check" "$build" 2>&1) || fail "$check beside a running tarn: $out"
  echo "$check: ${out##*$'\n'}"
done
kill -0 "$tarn" 2>/dev/null || fail "the running tarn ended during the checks"
kill -TERM "$tarn"
wait "$pid"
pid= tarn=
echo "checks passed beside a running tarn"
