#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Finishes a package CPack wrote (PackageLinks.cmake runs it): the virtual
# folder's program becomes a hard link again (CPack stores a second copy),
# the binaries are stripped and their debug symbols go to PACKAGE-dbgsym.
# Usage: finish-package.sh DEB DBGSYM_FOLDER
set -euo pipefail
deb=$(readlink -f "$1") out=$(readlink -f "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree=$work/tree dbg=$work/dbg
dpkg-deb -R "$deb" "$tree"
field() { sed -n "s/^$1: //p" "$tree/DEBIAN/control"; }
package=$(field Package) version=$(field Version) arch=$(field Architecture)

program=$tree/usr/lib/tarn/tarn copy=$tree/usr/lib/tarn/virtual/tarn
cmp -s "$program" "$copy" || { echo "$copy is not the program's copy" >&2; exit 1; }
ln -f "$program" "$copy"

# Each ELF file once (the hard link shares its inode): symbols by build id.
ids=()
declare -A seen=()
while IFS= read -r -d '' f; do
  inode=$(stat -c %i "$f")
  [ -z "${seen[$inode]:-}" ] || continue
  seen[$inode]=1
  LC_ALL=C file -b "$f" | grep -q '^ELF.*not stripped' || continue
  id=$(LC_ALL=C readelf -n "$f" | sed -n 's/^ *Build ID: *//p')
  [ -n "$id" ] || { echo "$f has no build id" >&2; exit 1; }
  mkdir -p "$dbg/usr/lib/debug/.build-id/${id:0:2}"
  objcopy --only-keep-debug --compress-debug-sections "$f" "$dbg/usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug"
  chmod 644 "$dbg/usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug"
  strip --remove-section=.comment --remove-section=.note --strip-unneeded "$f"
  ids+=("$id")
done < <(find "$tree" -path "$tree/DEBIAN" -prune -o -type f -print0 | sort -z)

# dpkg's way: kilobytes per distinct file, one per other entry.
installed_size() {
  find "$1" -path "$1/DEBIAN" -prune -o -mindepth 1 \( -type f -printf '%i %s\n' -o -printf 'x%p 1024\n' \) |
    sort -u -k1,1 | awk '{ total += int(($2 + 1023) / 1024) } END { print total }'
}
md5sums() { (cd "$1" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | sort -z | xargs -0 md5sum) >"$1/DEBIAN/md5sums"; }

sed -i "s/^Installed-Size: .*/Installed-Size: $(installed_size "$tree")/" "$tree/DEBIAN/control"
md5sums "$tree"
dpkg-deb --root-owner-group -Zxz --build "$tree" "$deb" >/dev/null

mkdir -p "$dbg/DEBIAN" "$dbg/usr/share/doc"
ln -s "$package" "$dbg/usr/share/doc/$package-dbgsym"
cat >"$dbg/DEBIAN/control" <<END
Package: $package-dbgsym
Source: $package
Version: $version
Architecture: $arch
Maintainer: $(field Maintainer)
Installed-Size: $(installed_size "$dbg")
Depends: $package (= $version)
Section: debug
Priority: optional
Auto-Built-Package: debug-symbols
Build-Ids: ${ids[*]}
Description: debug symbols for $package
END
md5sums "$dbg"
dpkg-deb --root-owner-group -Zxz --build "$dbg" "$out/${package}-dbgsym_${version}_${arch}.ddeb" >/dev/null
