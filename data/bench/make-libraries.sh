#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds the benchmark libraries outside the source tree (never commit them):
#   $TARN_BENCH_DIR/default   the standard set ("tarnwave init")
#   $TARN_BENCH_DIR/lib1000   1,000 arbitrary waveforms of 16,384 samples (33 MB)
#   $TARN_BENCH_DIR/lib10000  10,000 of them (330 MB)
# each with the driver library and the virtual USB library, so that the
# folders serve as program folders. With "run" it then times launch,
# "tarnwave list", load, save and unchanged exit, printing medians.
# Remove the folder when done: rm -r "$TARN_BENCH_DIR".
#
#   make-libraries.sh BUILD_DIR [run [REPEATS]]
set -eu
build=${1:?usage: make-libraries.sh BUILD_DIR [run [REPEATS]]}
out=${TARN_BENCH_DIR:-/tmp/tarn-bench}
repeats=${3:-5}

for lib in default lib1000 lib10000; do
    mkdir -p "$out/$lib"
    cp "$build/bin/libtarndrv.so" "$build/virtual/libvireo.so" "$out/$lib/"
done
[ -f "$out/default/waveforms.dat" ] || "$build/bin/tarnwave" init "$out/default/waveforms.dat"
for n in 1000 10000; do
    [ -f "$out/lib$n/waveforms.dat" ] || "$build/bench/tarn_make_library" "$out/lib$n/waveforms.dat" $n
done
[ "${2:-}" = run ] || exit 0

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ms() { # wall time of a command in ms
    s=$(date +%s%N); "$@" >/dev/null; e=$(date +%s%N); echo $(( (e - s) / 1000000 ))
}
export QT_QPA_PLATFORM=offscreen
for target in --empty "$out/default" "$out/lib1000" "$out/lib10000"; do
    runs=$(for i in $(seq "$repeats"); do "$build/bench/tarn_bench_launch" "$target"; done)
    m=$(echo "$runs" | awk '{ print $2 }' | median)
    rss=$(echo "$runs" | awk '{ print $4 }' | median)
    echo "launch $target: median $m ms, resident $rss MB at the first window"
done
for n in 1000 10000; do
    m=$(for i in $(seq "$repeats"); do ms "$build/bin/tarnwave" list "$out/lib$n/waveforms.dat"; done | median)
    echo "tarnwave list lib$n: median $m ms"
done
TARN_BENCH_LIBRARY="$out/lib10000" "$build/bench/tarn_bench_library" --benchmark_filter=Load
TARN_BENCH_LIBRARY="$out/lib10000" "$build/bench/tarn_bench_library" --benchmark_filter='Save|Exit'
TARN_BENCH_LIBRARY="$out/lib10000" "$build/bench/tarn_bench_autosave" "$repeats"
