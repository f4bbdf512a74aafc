#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package from this source tree in build-package/ and prints
# the package file's path (the debug symbols go to tarn-dbgsym_*.ddeb beside it).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-deps.sh
# With debug information, which the package moves into tarn-dbgsym.
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_BENCHMARKS=OFF >/dev/null
# Only what the install rules take (the target tarn_installed lists it).
cmake --build build-package -j "$(nproc)" --target tarn_installed >/dev/null
rm -f build-package/tarn_*.deb build-package/tarn-dbgsym_*.ddeb
(cd build-package && cpack -G DEB >/dev/null)
ls -1 "$PWD"/build-package/tarn_*.deb
