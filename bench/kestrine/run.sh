#!/usr/bin/env bash
# Whole-process timing of Kestrine against ffprobe and mediainfo on the same
# files: median wall time of several runs of each, and how many times longer
# the others take.
#   run.sh KESTRINE [FILE...]    (default: every sample file in VC1_TESTDATA_DIR)
set -euo pipefail
kestrine="$1"; shift
data="${VC1_TESTDATA_DIR:-$(cd "$(dirname "$0")/../../.." && pwd)/shared/testdata}"
files=("$@")
[ ${#files[@]} -gt 0 ] || files=("$data"/wmv/*.wmv "$data"/es/*.vc1)
runs="${RUNS:-30}"
for tool in hyperfine ffprobe mediainfo jq; do
  command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 1; }
done
tmp="$(mktemp -d)"; trap 'rm -rf "$tmp"' EXIT

printf '%-34s %10s %10s %10s %9s %9s\n' file kestrine ffprobe mediainfo ffprobe/k mediainfo/k
for f in "${files[@]}"; do
  # -N: no shell in between, so each figure is one process start to end.
  # -i: ffprobe exits with 1 on a headers-only stream; its time still counts.
  hyperfine -N -i --warmup 3 --runs "$runs" --export-json "$tmp/r.json" --style none \
    "$kestrine $f" "ffprobe -v error -show_streams $f" "mediainfo $f" >/dev/null
  read -r k p m < <(jq -r '[.results[].median * 1000] | @tsv' "$tmp/r.json")
  awk -v n="$(basename "$f")" -v k="$k" -v p="$p" -v m="$m" \
    'BEGIN { printf "%-34s %8.2fms %8.2fms %8.2fms %8.1fx %8.1fx\n", n, k, p, m, p / k, m / k }'
done
