#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds, and starts the program on the virtual generator.
set -euo pipefail
cd "$(dirname "$0")"
tools/setup-deps.sh
cmake -S . -B build -G Ninja
cmake --build build -j "$(nproc)"
if [ ! -x build/bin/tarn ]; then
  echo "The program tarn is not built yet; the libraries are in build/bin."
  exit 0
fi
# A program folder of its own: the program, the driver library and the
# virtual generator's USB library, so that settings files stay out of the build.
demo=build/run
mkdir -p "$demo"
cp -f build/bin/tarn build/bin/libtarndrv.so "$demo"/
cp -f build/virtual/libvireo.so "$demo"/
# The virtual generator's window, started beside the program when a display is
# available, and the launcher that does it (the installed tarn-virtual).
cp -f build/bin/tarn-virtual-device packaging/tarn-virtual "$demo"/
# The shipped plug-in modules.
mkdir -p "$demo"/modules
if [ -d build/bin/modules ]; then cp -f build/bin/modules/*.so "$demo"/modules/; fi
# The user manual that "Help" opens.
mkdir -p "$demo"/help
cp -rf help/. "$demo"/help/
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found; try: xvfb-run ./run.sh, or QT_QPA_PLATFORM=offscreen (messages then go to standard error)."
fi
exec "$demo"/tarn-virtual "$@"
