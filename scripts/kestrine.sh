#!/usr/bin/env bash
# Runs Kestrine on FILE (or on the project's own sample stream), building it first.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if ! command -v cmake >/dev/null || ! command -v ninja >/dev/null || ! command -v g++ >/dev/null; then
  "$root/scripts/install-deps.sh" --build >&2
fi
[ -f "$root/build/release/CMakeCache.txt" ] || cmake --preset release -S "$root" >/dev/null
cmake --build "$root/build/release" --target kestrine >/dev/null
file="${1:-$root/samples/sample.vc1}"
exec "$root/build/release/tool/kestrine" "$file"
