#!/usr/bin/env bash
# Builds what the packages hold and makes them under dist/:
#   NAME-VERSION-windows.zip       x86/ and x64/, each with the Windows programs
#                                  and dravik.ax, the README and the licence
#   NAME-VERSION-linux-ARCH.tar.gz bin/kestrine, bin/dravik-extract
#   NAME_VERSION_ARCH.deb          both Linux programs in /usr/bin
# Installs the compilers it needs when they are missing (Debian 12).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/install-deps.sh --build g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix

for preset in release win64 win32; do
  [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
  cmake --build "build/$preset" --target shipped
done
source build/release/package.env
base="$VC1_PACKAGE_NAME-$VC1_VERSION"

rm -rf dist
mkdir -p dist
stage="$(mktemp -d)"; trap 'rm -rf "$stage"' EXIT

# Linux: CPack from the release build.
(cd build/release && cpack -B "$stage/cpack" >/dev/null)
mv "$stage"/cpack/*.tar.gz "$stage"/cpack/*.deb dist/

# Windows: each build installs its shipped files flat into its folder.
mkdir "$stage/zip"
cmake --install build/win32 --prefix "$stage/zip/x86" >/dev/null
cmake --install build/win64 --prefix "$stage/zip/x64" >/dev/null
cp README.md "$stage/zip/"
licence=$(ls LICENSE* LICENCE* COPYING* 2>/dev/null || true)
[ -z "$licence" ] || cp $licence "$stage/zip/"
(cd "$stage/zip" && cmake -E tar cf "$root/dist/$base-windows.zip" --format=zip -- *)

ls -l dist
