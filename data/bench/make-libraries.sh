#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds the benchmark libraries outside the source tree (never commit them):
#   $TARN_BENCH_DIR/default   the standard set ("tarnwave init")
#   $TARN_BENCH_DIR/lib1000   1,000 arbitrary waveforms of 16,384 samples (33 MB)
#   $TARN_BENCH_DIR/lib10000  10,000 of them (330 MB)
# each with the driver library and the virtual USB library, so that the
# folders serve as program folders. With "run" it then times launch
# (offscreen, and under Xvfb when it is installed), "tarnwave list", load,
# save and unchanged exit, printing medians of REPEATS.
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
targets="$out/default $out/lib1000 $out/lib10000 --empty"
# Launches interleaved (default, 1k, 10k, bare, then again), so that the
# ratios come from the same moments of a shared machine. Per launch: the
# time from main() (launch_ms), from before the exec (the wall clock at the
# exposed window minus the one before), and the resident memory.
launches() { # PLATFORM: lines "target from_main from_exec rss"
    for i in $(seq "$repeats"); do
        for target in $targets; do
            s=$(date +%s%N)
            line=$(QT_QPA_PLATFORM=$1 "$build/bench/tarn_bench_launch" "$target" 2>/dev/null) || continue
            echo "$target $line" | awk -v s="$s" '{ printf "%s %s %.1f %s\n", $1, $3, ($7 - s) / 1e6, $5 }'
        done
    done
}
report() { # TITLE < launches
    runs=$(cat)
    for target in $targets; do
        sel=$(echo "$runs" | awk -v t="$target" '$1 == t')
        echo "$1 $target: median $(echo "$sel" | awk '{ print $2 }' | median) ms from main()," \
            "$(echo "$sel" | awk '{ print $3 }' | median) ms from exec," \
            "resident $(echo "$sel" | awk '{ print $4 }' | median) MB at the first window"
    done
}
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
launches offscreen | report offscreen
if command -v Xvfb >/dev/null; then
    display=:$(( 90 + $$ % 100 ))
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    sleep 1
    DISPLAY=$display launches xcb | report Xvfb
    kill "$xvfb"
fi
for n in 1000 10000; do
    m=$(for i in $(seq "$repeats"); do ms "$build/bin/tarnwave" list "$out/lib$n/waveforms.dat"; done | median)
    echo "tarnwave list lib$n: median $m ms"
done
TARN_BENCH_LIBRARY="$out/lib10000" "$build/bench/tarn_bench_library" --benchmark_filter=Load
TARN_BENCH_LIBRARY="$out/lib10000" "$build/bench/tarn_bench_library" --benchmark_filter='Save|Exit'
TARN_BENCH_LIBRARY="$out/lib10000" "$build/bench/tarn_bench_autosave" "$repeats"
