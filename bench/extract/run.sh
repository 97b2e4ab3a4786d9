#!/usr/bin/env bash
# Whole-process timing of dravik-extract, side by side in one run per file
# with a plain copy of the input (cp) and FFmpeg's own WMV-to-VC-1 copy of the
# same stream: median wall time of each, dravik-extract's time as a share of
# theirs, and its peak memory. The goal is at most 1.3 times cp and at most
# 1/10 of FFmpeg, the latter where cp itself takes less than that (on a large
# file FFmpeg's time is mostly the copy, and nothing copies faster than cp);
# the exit status is 1 when a file misses it.
#   run.sh DRAVIK_EXTRACT [FILE...]
# Default files: every WMV in VC1_TESTDATA_DIR, and a generated one of about
# 280 MB (the largest sample looped by FFmpeg; GENERATED=0 leaves it out).
# RUNS=n sets the run count (a third of it, at least 3, for the generated
# file). Scratch files go to BENCH_TMP (default the temporary folder). Missing
# tools are installed (Debian) or named.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../need.sh"
need_tools hyperfine:hyperfine jq:jq ffmpeg:ffmpeg /usr/bin/time:time
extract="$1"; shift
data="${VC1_TESTDATA_DIR:-$here/../../../shared/testdata}"
runs="${RUNS:-20}"
tmp="$(mktemp -d "${BENCH_TMP:-${TMPDIR:-/tmp}}/bench-extract.XXXXXX")"; trap 'rm -rf "$tmp"' EXIT
files=("$@")
if [ ${#files[@]} -eq 0 ]; then
  files=("$data"/wmv/*.wmv)
  if [ "${GENERATED:-1}" != 0 ]; then
    largest=$(ls -S "$data"/wmv/*.wmv | head -1)
    loops=$(( 280000000 / $(stat -c %s "$largest") ))
    ffmpeg -v error -nostdin -y -stream_loop "$loops" -i "$largest" -map 0:v -c copy \
      "$tmp/generated.wmv"
    files+=("$tmp/generated.wmv")
  fi
fi

# Peak resident memory of one run, in MB.
peak() {
  /usr/bin/time -f %M -o "$tmp/mem" "$@" >/dev/null 2>&1 || true
  awk '{ print $1 / 1024 }' "$tmp/mem"
}

missed=0
printf '%-30s %8s %10s %10s %10s %7s %8s %9s\n' file size cp dravik ffmpeg d/cp d/ffmpeg peak
for f in "${files[@]}"; do
  n="$runs"; size=$(stat -c %s "$f")
  [ "$size" -lt 100000000 ] || n=$(( runs / 3 > 3 ? runs / 3 : 3 ))
  # -N: no shell in between, so each figure is one process start to end.
  # Each overwrites its output on every run (cp, --force, -y).
  hyperfine -N --warmup 2 --runs "$n" --export-json "$tmp/r.json" --style none \
    "cp $f $tmp/c.wmv" \
    "$extract --force $f $tmp/d.vc1" \
    "ffmpeg -v error -nostdin -y -i $f -map 0:v -c copy -f vc1 $tmp/f.vc1" \
    >/dev/null 2>"$tmp/err" || { cat "$tmp/err" >&2; exit 1; }
  read -r c d m < <(jq -r '[.results[].median * 1000] | @tsv' "$tmp/r.json")
  mem=$(peak "$extract" --force "$f" "$tmp/d.vc1")
  awk -v n="$(basename "$f")" -v s="$size" -v c="$c" -v d="$d" -v m="$m" -v mem="$mem" 'BEGIN {
    bound = c > m / 10
    ok = d <= 1.3 * c && (d <= m / 10 || bound)
    printf "%-30s %6.1fMB %8.2fms %8.2fms %8.2fms %6.2fx %7.3fx %7.1fMB  %s%s\n",
           n, s / 1e6, c, d, m, d / c, d / m, mem, ok ? "met" : "MISSED",
           bound ? " (cp itself takes more than 1/10 of ffmpeg)" : ""
    exit ok ? 0 : 1 }' || missed=1
  rm -f "$tmp"/c.wmv "$tmp"/d.vc1 "$tmp"/f.vc1
done
echo "goal: dravik-extract at most 1.3x cp, and 0.100x ffmpeg where cp is (medians; $runs runs, fewer for large files)"
exit $missed
