#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs a build folder into a temporary root and runs the installed
# tarn-virtual twice: from a read-only install tree (the two files must go to
# the user's data folder and nothing into the tree), then from a writable one
# (the files stay in the program folder, as in a build folder).
# Usage: check-install.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
root="$work/root" home="$work/home"
mkdir -p "$home"
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null

fail() { echo "FAIL: $*"; exit 1; }
for f in usr/bin/tarn usr/bin/tarn-virtual usr/lib/tarn/tarn usr/lib/tarn/libtarndrv.so usr/lib/tarn/libvireo.so \
         usr/lib/tarn/virtual/tarn usr/lib/tarn/virtual/libtarndrv.so usr/lib/tarn/virtual/libvireo.so \
         usr/lib/tarn/virtual/tarn-virtual usr/lib/tarn/virtual/tarn-virtual-device usr/bin/tarn-virtual-device \
         usr/lib/udev/rules.d/60-tarn-generator.rules usr/share/applications/org.tarnproject.Tarn.desktop \
         usr/share/metainfo/org.tarnproject.Tarn.metainfo.xml \
         usr/lib/python3/dist-packages/tarn_remote/__init__.py usr/lib/python3/dist-packages/tarn_remote/instrument.py \
         usr/share/doc/tarn/examples/tarn_sweep.py; do
  [ -e "$root/$f" ] || fail "not installed: $f"
done
# The Python package imports from there, when its modules are installed.
if /usr/bin/python3 -c 'import pymeasure, numpy' 2>/dev/null; then
  PYTHONPATH="$root/usr/lib/python3/dist-packages" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -c 'import tarn_remote' \
    || fail "the installed tarn_remote does not import"
fi
[ -d "$root/usr/lib/tarn/modules" ] && [ -d "$root/usr/lib/tarn/help" ] || fail "modules/ or help/ missing"
for module in usr/lib/tarn/modules/equation.so usr/lib/tarn/modules/harmonics.so usr/lib/tarn/modules/import.so usr/lib/tarn/virtual/modules/equation.so usr/include/tarn/tarnmodule.h; do
  [ -f "$root/$module" ] || fail "$module missing"
done
for f in usr/lib/tarn/help/help.htm usr/lib/tarn/help/images/main.png usr/lib/tarn/virtual/help/help.htm; do
  [ -f "$root/$f" ] || fail "the user manual is not installed: $f"
done
cmp -s "$root/usr/lib/tarn/libvireo.so" "$root/usr/lib/tarn/virtual/libvireo.so" \
  && fail "the virtual folder has the hardware USB library"

chmod -R a-w "$root"
before=$(find "$root" | sort)
rc=0; "$here/run-and-exit.sh" "$root/usr/bin/tarn-virtual" "$home" || rc=$?
[ "$rc" -eq 0 ] || fail "tarn-virtual from a read-only tree ended with $rc"
for f in settings.xml waveforms.dat; do
  [ -s "$home/data/tarn-virtual/$f" ] || fail "$f not in the user's data folder"
done
[ ! -e "$home/data/tarn" ] || fail "the virtual program used the hardware program's data folder"
[ "$(find "$root" | sort)" = "$before" ] || fail "something was written into the install tree"

chmod -R u+w "$root"
rc=0; "$here/run-and-exit.sh" "$root/usr/bin/tarn-virtual" "$home" || rc=$?
[ "$rc" -eq 0 ] || fail "tarn-virtual from a writable tree ended with $rc"
for f in settings.xml waveforms.dat; do
  [ -s "$root/usr/lib/tarn/virtual/$f" ] || fail "$f not in the writable program folder"
done
echo "install check passed"
