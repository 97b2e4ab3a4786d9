#!/usr/bin/env bash
# Whole-process timing of Kestrine, side by side in one run per file with a
# process that does nothing (/bin/true), mediainfo and ffprobe: median wall
# time of each, and Kestrine's time as a share of the others'. Kestrine's goal
# is at most 1.3 times the empty process, and at most 1/10 of mediainfo's and
# 1/20 of ffprobe's time; the exit status is 1 when a file misses it.
#   run.sh KESTRINE [FILE...]    (default: every sample file in VC1_TESTDATA_DIR)
# RUNS=n sets the run count. Missing tools are installed (Debian) or named.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../need.sh"
need_tools hyperfine:hyperfine jq:jq ffprobe:ffmpeg mediainfo:mediainfo
kestrine="$1"; shift
data="${VC1_TESTDATA_DIR:-$here/../../../shared/testdata}"
files=("$@")
[ ${#files[@]} -gt 0 ] || files=("$data"/wmv/*.wmv "$data"/es/*.vc1)
runs="${RUNS:-30}"
tmp="$(mktemp -d)"; trap 'rm -rf "$tmp"' EXIT

missed=0
printf '%-34s %9s %9s %9s %9s   %-7s %-9s %-9s\n' file true kestrine mediainfo ffprobe \
  k/true k/mediainf k/ffprobe
for f in "${files[@]}"; do
  # -N: no shell in between, so each figure is one process start to end.
  # -i: ffprobe exits with 1 on a headers-only stream; its time still counts.
  hyperfine -N -i --warmup 3 --runs "$runs" --export-json "$tmp/r.json" --style none \
    "/bin/true" "$kestrine $f" "mediainfo $f" "ffprobe -v error -show_streams $f" \
    >/dev/null 2>"$tmp/err" || { cat "$tmp/err" >&2; exit 1; }
  read -r t k m p < <(jq -r '[.results[].median * 1000] | @tsv' "$tmp/r.json")
  awk -v n="$(basename "$f")" -v t="$t" -v k="$k" -v m="$m" -v p="$p" 'BEGIN {
    ok = k <= 1.3 * t && k <= m / 10 && k <= p / 20
    printf "%-34s %7.2fms %7.2fms %7.2fms %7.2fms   %5.2fx  %7.3fx  %7.3fx  %s\n",
           n, t, k, m, p, k / t, k / m, k / p, ok ? "met" : "MISSED"
    exit ok ? 0 : 1 }' || missed=1
done
echo "goal: kestrine at most 1.3x true, 0.100x mediainfo, 0.050x ffprobe (medians of $runs runs)"
exit $missed
