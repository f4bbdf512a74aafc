#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds with warnings as errors and runs every test:
# once in a plain build, once more on that build under a German locale (decimal
# comma: no number may depend on it), once under AddressSanitizer and
# UndefinedBehaviorSanitizer.
# Then the fuzz targets for TARN_FUZZ_SECONDS each (60 by default; 0 skips them).
# TARN_TEST_PLAIN_ONLY=1 skips the sanitizer pass and the fuzzing (quicker local runs).
set -euo pipefail
cd "$(dirname "$0")"
tools/setup-deps.sh
jobs=$(nproc)
# The package test builds a clean clone of this tree; with the compiler cache
# keyed on paths relative to each tree (and blind to -Werror) it reuses the
# plain build's objects instead of compiling everything again.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1 CCACHE_IGNOREOPTIONS=-Werror
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DTARN_WERROR=ON "${launcher[@]}" "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The package test is left out here: it repeats the plain pass and reads no numbers.
LC_ALL=de_DE.UTF-8 ctest --test-dir build -LE long --output-on-failure -j "$jobs" --timeout 300
if [ "${TARN_TEST_PLAIN_ONLY:-0}" != 1 ]; then
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DTARN_SANITIZE=ON -DTARN_BENCHMARKS=OFF
fi
if [ "${TARN_TEST_PLAIN_ONLY:-0}" != 1 ] && [ "${TARN_FUZZ_SECONDS:-60}" != 0 ]; then
  tools/run-fuzz.sh
fi
