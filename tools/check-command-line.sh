#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# --help, --version and wrong options of the four programs: the answer on the
# right stream with the right status, and no window: without a display any
# program that opened one would abort instead.
# Usage: check-command-line.sh BUILD_DIR VERSION
set -uo pipefail
build=$(cd "$1" && pwd) version=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The launcher beside a program folder's tarn, as installed.
cp "$here/../packaging/tarn-virtual" "$work/"
ln -s "$build/bin/tarn" "$work/tarn"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
failures=0
# program | arguments | status | pattern standard output must match ("" = empty) | whether standard error has text
while IFS='|' read -r program args status out err; do
  case $program in tarn-virtual) path=$work/tarn-virtual ;; *) path=$build/bin/$program ;; esac
  read -ra argv <<<"$args"
  "$path" "${argv[@]}" >"$work/out" 2>"$work/err"
  rc=$?
  problem=
  [ "$rc" -eq "$status" ] || problem="status $rc, not $status"
  if [ -z "$out" ]; then [ ! -s "$work/out" ] || problem+=" unexpected standard output"
  else grep -qE -- "$out" "$work/out" || problem+=" standard output lacks /$out/"; fi
  if [ "$err" = yes ]; then grep -q "$program" "$work/err" || problem+=" no reason on standard error"
  else [ ! -s "$work/err" ] || problem+=" standard error not empty"; fi
  if [ -n "$problem" ]; then
    echo "FAIL: $program $args:$problem"; sed 's/^/  | /' "$work/out" "$work/err"; failures=$((failures + 1))
  fi
done <<END
tarn|--version|0|^tarn $version\$|no
tarn|--help|0|^Usage: tarn .*--version|no
tarn|--bogus|2||yes
tarn|file.dat|2||yes
tarn|-platform offscreen|2||yes
tarn-virtual|--version|0|^tarn-virtual $version\$|no
tarn-virtual|--help|0|^Usage: tarn-virtual|no
tarn-virtual|--bogus|2||yes
tarn-virtual|--help --bogus|0|^Usage: tarn-virtual|no
tarn-virtual-device|--version|0|^tarn-virtual-device $version\$|no
tarn-virtual-device|--help|0|--follow PID|no
tarn-virtual-device|--ready --help|0|^Usage: tarn-virtual-device|no
tarn-virtual-device|--follow|2||yes
tarn-virtual-device|--follow 1 --bogus|2||yes
tarn-virtual-device|-x|2||yes
tarnwave|--version|0|^tarnwave $version\$|no
tarnwave|--help|0|tarnwave import FILE NAME|no
tarnwave|--bogus list x|2||yes
tarnwave|list|1||yes
END
[ "$failures" -eq 0 ] || exit 1
echo "command line check passed"
