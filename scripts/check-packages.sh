#!/usr/bin/env bash
# Checks what scripts/package.sh made under dist/: the package names carry the
# one version number, each package holds exactly the shipped files, the Linux
# programs run on the project's sample (and, with the shared samples, convert
# a WMV as the built program does), and each Windows file is built for its
# folder's architecture. Prints one line per check; exit status 1 on a failure.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
source build/release/package.env
base="$VC1_PACKAGE_NAME-$VC1_VERSION"
data="${VC1_TESTDATA_DIR:-$root/../shared/testdata}"
sample="$root/samples/sample.vc1"
fail=0
tmp="$(mktemp -d)"; trap 'rm -rf "$tmp"' EXIT
ok() { echo "ok: $*"; }
bad() { echo "FAIL: $*"; fail=1; }
same() {  # same WHAT WANT GOT
  if [ "$2" = "$3" ]; then ok "$1"; else bad "$1"; diff <(echo "$2") <(echo "$3"); fi
}

tgz="$base-linux-$(uname -m).tar.gz"
deb="${VC1_PACKAGE_NAME}_${VC1_VERSION}_$(dpkg --print-architecture).deb"
zip="$base-windows.zip"
same "dist/ holds $zip, $tgz, $deb" "$(printf '%s\n' "$deb" "$tgz" "$zip" | sort)" \
  "$(ls dist | sort)"

# A Linux program from a package: static, its version, its output on the
# project's sample and on a real WMV the same as the built program's.
check_linux() {  # WHERE BIN_FOLDER
  local where="$1" bin="$2"
  for p in kestrine dravik-extract; do
    if ldd "$bin/$p" 2>&1 | grep -q '=>'; then
      bad "$where: $p is linked dynamically"
    fi
  done
  same "$where: dravik-extract --version" "dravik-extract $VC1_VERSION" \
    "$("$bin/dravik-extract" --version 2>&1)"
  same "$where: kestrine on samples/sample.vc1" "$(build/release/tool/kestrine "$sample")" \
    "$("$bin/kestrine" "$sample" 2>&1)"
  grep -q '^Found Sequence and Entry Point Headers' <("$bin/kestrine" "$sample") ||
    bad "$where: kestrine does not find the sample's headers"
  local wmv="$data/wmv/fishes.wmv"
  if [ -f "$wmv" ]; then
    "$bin/dravik-extract" --force "$wmv" "$tmp/pkg.vc1" 2>"$tmp/err" &&
      build/release/extract/dravik-extract --force "$wmv" "$tmp/built.vc1" 2>/dev/null &&
      cmp -s "$tmp/pkg.vc1" "$tmp/built.vc1" && [ ! -s "$tmp/err" ] &&
      ok "$where: dravik-extract converts fishes.wmv as the built program does" ||
      bad "$where: dravik-extract on fishes.wmv"
  else
    echo "shared sample folder not found; $where: dravik-extract run on a WMV skipped"
  fi
}

# Linux .tar.gz
if [ -f "dist/$tgz" ]; then
  top="${tgz%.tar.gz}"
  same "$tgz: contents" "$(printf '%s\n' "$top/bin/" "$top/bin/dravik-extract" "$top/bin/kestrine")" \
    "$(tar tzf "dist/$tgz" | sort)"
  mkdir "$tmp/tgz" && tar xzf "dist/$tgz" -C "$tmp/tgz" && check_linux "$tgz" "$tmp/tgz/$top/bin"
fi

# Debian package
if [ -f "dist/$deb" ]; then
  same "$deb: package, version, architecture, no dependencies" \
    "$VC1_PACKAGE_NAME $VC1_VERSION $(dpkg --print-architecture) -" \
    "$(dpkg-deb -f "dist/$deb" Package) $(dpkg-deb -f "dist/$deb" Version) $(dpkg-deb -f "dist/$deb" Architecture) $(dpkg-deb -f "dist/$deb" Depends)-"
  same "$deb: contents" "$(printf '%s\n' ./usr/ ./usr/bin/ ./usr/bin/dravik-extract ./usr/bin/kestrine)" \
    "$(dpkg-deb -c "dist/$deb" | awk '{ print $6 }' | sort)"
  dpkg-deb -x "dist/$deb" "$tmp/deb" && check_linux "$deb" "$tmp/deb/usr/bin"
fi

# Windows zip: each folder holds what its build ships, for its architecture
# (the PE machine field: 014c i386, 8664 x86-64).
machine() {
  local pe; pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  od -An -tx2 -j$((pe + 4)) -N2 "$1" | tr -d ' '
}
if [ -f "dist/$zip" ]; then
  want=$(ls -d README.md LICENSE* LICENCE* COPYING* 2>/dev/null)
  for pair in x86:win32:014c x64:win64:8664; do
    IFS=: read -r folder preset arch <<<"$pair"
    want+=$'\n'"$folder/"$'\n'"$(sed "s|^|$folder/|" "build/$preset/shipped.txt")"
  done
  mkdir "$tmp/zip" && (cd "$tmp/zip" && cmake -E tar xf "$root/dist/$zip")
  same "$zip: contents" "$(sort <<<"$want")" \
    "$(cd "$tmp/zip" && find . -mindepth 1 \( -type d -printf '%P/\n' -o -printf '%P\n' \) | sort)"
  for pair in x86:014c x64:8664; do
    IFS=: read -r folder arch <<<"$pair"
    for f in "$tmp/zip/$folder"/*; do
      got=$(machine "$f")
      [ "$got" = "$arch" ] && ok "$zip: $folder/$(basename "$f") is for $folder" ||
        bad "$zip: $folder/$(basename "$f") has machine $got, not $arch"
    done
  done
  for folder in x86 x64; do
    [ -f "$tmp/zip/$folder/dravik.ax" ] && ok "$zip: $folder/dravik.ax is there" ||
      bad "$zip: $folder/ has no dravik.ax"
  done
  [ -n "$(ls LICENSE* LICENCE* COPYING* 2>/dev/null)" ] ||
    echo "note: $zip: no licence file (the source tree has none)"
fi
exit $fail
