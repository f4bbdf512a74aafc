#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The fault soak of the whole program: tools/soak.sh FAULTS [SEED]. Builds
# tarn_soak in build/, prints the seed first (a random one when none is given)
# and, when a check fails or the program hangs, the command that replays the
# run; exits non-zero then.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: tools/soak.sh FAULTS [SEED]" >&2
  exit 2
fi
faults=$1
seed=${2:-$(od -An -N6 -tu8 /dev/urandom | tr -d ' ')}
echo "soak: seed $seed"
cmake -S . -B build -G Ninja -DTARN_WERROR=ON >/dev/null
cmake --build build --target tarn_soak tarndrv vireo_virtual >/dev/null
export TARN_PROGRAM_DIR=$PWD/build/bin TARN_VIRTUAL_DIR=$PWD/build/virtual QT_QPA_PLATFORM=offscreen
# The soak checks the in-process generator: never a device program the user has open.
export TARN_VIRTUAL_DEVICE_SOCKET=$PWD/build/tests/no-device-program.socket
start=$(date +%s)
if build/tests/tarn_soak --faults "$faults" --seed "$seed" --gtest_brief=1; then
  echo "soak: $faults faults passed in $(( $(date +%s) - start )) s (seed $seed)"
else
  status=$?
  echo "soak: FAILED (seed $seed); replay: tools/soak.sh $faults $seed" >&2
  exit "$status"
fi
