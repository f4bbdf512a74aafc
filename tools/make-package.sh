#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package from this source tree in build-package/ and prints
# the package file's path.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-deps.sh
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARN_BENCHMARKS=OFF >/dev/null
cmake --build build-package -j "$(nproc)" --target tarn tarndrv vireo vireo_virtual
(cd build-package && cpack -G DEB >/dev/null)
ls -1 "$PWD"/build-package/tarn_*.deb
