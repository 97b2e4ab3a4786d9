#!/usr/bin/env bash
# Whole-process timing of dravik-extract against FFmpeg's own WMV-to-VC-1
# copy of the same stream: median wall time of several runs of each, and how
# many times longer FFmpeg takes.
#   run.sh DRAVIK_EXTRACT [FILE...]   (default: every WMV in VC1_TESTDATA_DIR)
# RUNS=n sets the run count.
set -euo pipefail
extract="$1"; shift
data="${VC1_TESTDATA_DIR:-$(cd "$(dirname "$0")/../../.." && pwd)/shared/testdata}"
files=("$@")
[ ${#files[@]} -gt 0 ] || files=("$data"/wmv/*.wmv)
runs="${RUNS:-20}"
for tool in hyperfine ffmpeg jq; do
  command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 1; }
done
tmp="$(mktemp -d)"; trap 'rm -rf "$tmp"' EXIT

printf '%-34s %10s %12s %10s %9s\n' file size dravik-extract ffmpeg ffmpeg/d
for f in "${files[@]}"; do
  # -N: no shell in between, so each figure is one process start to end.
  # Both overwrite their output on every run (--force, -y).
  hyperfine -N --warmup 3 --runs "$runs" --export-json "$tmp/r.json" --style none \
    "$extract --force $f $tmp/d.vc1" \
    "ffmpeg -v error -nostdin -y -i $f -map 0:v -c copy -f vc1 $tmp/f.vc1" >/dev/null
  read -r d m < <(jq -r '[.results[].median * 1000] | @tsv' "$tmp/r.json")
  awk -v n="$(basename "$f")" -v s="$(stat -c %s "$f")" -v d="$d" -v m="$m" \
    'BEGIN { printf "%-34s %8.1fMB %10.2fms %8.2fms %8.1fx\n", n, s / 1e6, d, m, m / d }'
done
