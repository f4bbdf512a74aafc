#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each one for
# TARN_FUZZ_SECONDS (60 by default) from its committed seed corpus. Fails on any
# crash, leak, sanitizer report, time-out or memory over 512 MB; the input that
# caused it stays in build-fuzz/artifacts/. TARN_FUZZ_TARGETS narrows the set.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${TARN_FUZZ_SECONDS:-60}
dir=build-fuzz
targets=(${TARN_FUZZ_TARGETS:-repository waveform_record settings value_texts virtual_generator device_function import_reader remote_commands equation_parser sweep_list})

CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DTARN_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARN_BENCHMARKS=OFF -DTARN_FUZZ=ON >/dev/null
cmake --build "$dir" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

mkdir -p "$dir/artifacts"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=0
for target in "${targets[@]}"; do
  corpus="$dir/corpus/$target"
  mkdir -p "$corpus"
  cp -n fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
  options=(-max_total_time="$seconds" -rss_limit_mb=512 -timeout=25 -print_final_stats=1
           -artifact_prefix="$dir/artifacts/$target-")
  [ -f "fuzz/dict/$target.dict" ] && options+=(-dict="fuzz/dict/$target.dict")
  log="$dir/fuzz-$target.log"
  if "$dir/fuzz/fuzz_$target" "${options[@]}" "$corpus" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -n 1)
    echo "fuzz_$target: passed, $runs runs in ${seconds} s, $cov"
  else
    failed=$((failed + 1))
    echo "fuzz_$target: FAILED; the input is in $dir/artifacts/, the log in $log"
    grep -E 'ERROR|SUMMARY|runtime error|Test unit written' "$log" | head -n 20
  fi
done
echo "fuzzing: $((${#targets[@]} - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
