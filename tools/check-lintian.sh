#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the package from a clean clone of the committed tree with
# tools/make-package.sh, runs lintian on it and its -dbgsym package (nothing
# may be reported), then installs it with apt-get into a throwaway root (an
# overlay over this machine's root, in a mount and process namespace of its
# own), starts tarn-virtual there as an ordinary user, ends it, and purges the
# package: only the user's data and the package manager's records may remain.
# Usage: check-lintian.sh SOURCE_DIR WORK_DIR
# The clone lies at the same path every run, so ccache serves the unchanged.
set -euo pipefail
source=$(cd "$1" && pwd)
mkdir -p "$2"
work=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAIL: $*"; exit 1; }

rm -rf "$work/src"
git clone -q "$source" "$work/src"
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
package=$("$work/src/tools/make-package.sh" | tail -n 1)
[ -f "$package" ] || fail "make-package.sh printed no package: $package"
dbgsym=$(ls "$(dirname "$package")"/tarn-dbgsym_*.ddeb) || fail "no -dbgsym package"
report=$(lintian "$package" "$dbgsym" 2>/dev/null) || true
[ -z "$report" ] || { echo "$report"; fail "lintian reports on the package"; }
echo "lintian: nothing to report on $(basename "$package") and $(basename "$dbgsym")"

if [ "$(id -u)" -ne 0 ] || ! command -v unshare >/dev/null; then
  echo "SKIP: installing into a throwaway root needs root and unshare"; exit 77
fi
root=$work/root
rm -rf "$root" && mkdir -p "$root"/{upper,work,merged}
cp "$package" "$here/run-and-exit.sh" "$root/"
# In the namespaces: mount the overlay, install, run, purge; the listing of
# what changed is compared outside.
unshare -m -p -f --mount-proc bash -s "$root" "$(basename "$package")" <<'INSIDE' || fail "install, run or purge failed"
set -euo pipefail
top=$1 deb=$2 m=$1/merged
mount -t overlay overlay -o "lowerdir=/,upperdir=$top/upper,workdir=$top/work" "$m"
mount --bind /proc "$m/proc"
mount --bind /dev "$m/dev"
mount -t tmpfs tmpfs "$m/tmp"
mkdir -p "$m/tmp/in" "$m/tmp/home"
cp "$top/$deb" "$top/run-and-exit.sh" "$m/tmp/in/"
chown nobody "$m/tmp/home"
inroot() { chroot "$m" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"; }
inroot apt-get install -y -qq --no-install-recommends "/tmp/in/$deb" >"$top/apt-install.log" 2>&1 ||
  { cat "$top/apt-install.log"; exit 1; }
inroot sh -c 'man -w tarn && tarn --version' || exit 1
# As an ordinary user: root could write into the program folder.
inroot setpriv --reuid=nobody --regid=nogroup --clear-groups \
  env TARN_VIRTUAL_DEVICE_SOCKET=/tmp/home/no-device.socket /tmp/in/run-and-exit.sh /usr/bin/tarn-virtual /tmp/home ||
  { echo "tarn-virtual ended with $?"; exit 1; }
[ -s "$m/tmp/home/data/tarn-virtual/settings.xml" ] || { echo "no settings.xml in the user's data folder"; exit 1; }
# Root importing the Python package leaves compiled copies beside it; the purge takes them too.
if inroot python3 -c 'import pymeasure, numpy' 2>/dev/null; then
  inroot python3 -c 'import tarn_remote' || { echo "the installed tarn_remote does not import"; exit 1; }
  [ -d "$m/usr/lib/python3/dist-packages/tarn_remote/__pycache__" ] || { echo "importing wrote no __pycache__"; exit 1; }
fi
inroot apt-get purge -y -qq tarn >"$top/apt-purge.log" 2>&1 || { cat "$top/apt-purge.log"; exit 1; }
[ -s "$m/tmp/home/data/tarn-virtual/waveforms.dat" ] || { echo "the user's data went with the package"; exit 1; }
INSIDE
# What the install and the purge left in the root: only what this machine's
# root has too (caches the triggers rebuilt) and the package manager's own
# records and logs.
left=$(cd "$root/upper" && find . -mindepth 1 \( -type f -o -type l -o -type d \) |
  grep -vE '^\./var/(lib/dpkg|lib/apt|cache/(apt|debconf|man|ldconfig)|log)(/|$)' |
  while read -r f; do [ -e "/$f" ] || [ -L "/$f" ] || echo "$f"; done)
[ -z "$left" ] || { echo "$left"; fail "the purged package left files behind"; }
rm -rf "$root"
echo "install check passed: installed with apt-get, tarn-virtual ran and ended, purged without a trace"
