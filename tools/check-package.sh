#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Packs a build folder into a Debian package and checks it without installing
# it into the machine: the file list, that its dependencies resolve, and that
# the extracted tarn-virtual starts and ends cleanly from a read-only tree.
# Usage: check-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >/dev/null
package=$(ls "$work"/out/tarn_*.deb)
# tar words its hard links in the user's language.
contents=$(LC_ALL=C dpkg-deb --contents "$package")
for f in ./usr/bin/tarn ./usr/bin/tarn-virtual ./usr/lib/tarn/tarn ./usr/lib/tarn/libtarndrv.so \
         ./usr/lib/tarn/libvireo.so ./usr/lib/tarn/virtual/tarn ./usr/lib/tarn/virtual/libvireo.so \
         ./usr/lib/tarn/virtual/tarn-virtual-device ./usr/bin/tarn-virtual-device \
         ./usr/lib/tarn/modules/ ./usr/lib/tarn/help/ ./usr/lib/udev/rules.d/60-tarn-generator.rules \
         ./usr/share/applications/org.tarnproject.Tarn.desktop \
         ./usr/share/applications/org.tarnproject.TarnVirtual.desktop \
         ./usr/share/icons/hicolor/scalable/apps/org.tarnproject.Tarn.svg \
         ./usr/share/icons/hicolor/48x48/apps/org.tarnproject.Tarn.png \
         ./usr/share/metainfo/org.tarnproject.Tarn.metainfo.xml \
         ./usr/lib/python3/dist-packages/tarn_remote/instrument.py ./usr/share/doc/tarn/examples/tarn_sweep.py; do
  grep -qF " $f" <<<"$contents" || fail "the package lacks $f"
done
grep -q __pycache__ <<<"$contents" && fail "the package holds compiled Python"
recommends=$(dpkg-deb --field "$package" Recommends)
for p in python3-pymeasure python3-pyvisa-py python3-numpy; do
  grep -q "$p" <<<"$recommends" || fail "Recommends lacks $p: $recommends"
done
depends=$(dpkg-deb --field "$package" Depends)
for lib in libqt6widgets6 libusb-1.0-0 libpugixml; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
# Listed whole first: grep -q would end the pipe early and pipefail would call that a failure.
control=$(dpkg-deb --ctrl-tarfile "$package" | tar -t)
grep -qx './postinst' <<<"$control" || fail "no postinst: $control"
# One program file for both folders, stripped; its symbols in tarn-dbgsym.
grep -qF "./usr/lib/tarn/virtual/tarn link to ./usr/lib/tarn/tarn" <<<"$contents" \
  || fail "the virtual folder's program is no hard link to the program"
ls "$work"/out/tarn-dbgsym_*.ddeb >/dev/null || fail "no tarn-dbgsym package"
apt-get install --simulate --no-install-recommends "$package" >"$work/apt.log" 2>&1 \
  || { cat "$work/apt.log"; fail "the package's dependencies do not resolve"; }

dpkg-deb -x "$package" "$work/root"
LC_ALL=C file -b "$work/root/usr/lib/tarn/tarn" | grep -q ', stripped' || fail "the program is not stripped"
chmod -R a-w "$work/root"
mkdir -p "$work/home"
rc=0; "$here/run-and-exit.sh" "$work/root/usr/bin/tarn-virtual" "$work/home" || rc=$?
[ "$rc" -eq 0 ] || fail "the extracted tarn-virtual ended with $rc"
[ -s "$work/home/data/tarn-virtual/settings.xml" ] || fail "no settings.xml in the user's data folder"
echo "package check passed: $(basename "$package") Depends: $depends"
