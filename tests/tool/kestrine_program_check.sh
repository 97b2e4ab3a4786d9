#!/usr/bin/env bash
# Runs the built Kestrine program as its own process:
#   kestrine_program_check.sh TESTDATA_DIR PATH_STYLE COMMAND...
# COMMAND is the program, with its emulator in front for a Windows build;
# PATH_STYLE is "posix" or "windows" (file names handed over as Z:\...).
# Checks the usage case (output, status 255, silent standard error) and, for
# every real sample file, that every element printed equals the oracle's.
set -uo pipefail
data="$1"; style="$2"; shift 2
fail=0
tmp="$(mktemp -d)"; trap 'rm -rf "$tmp"' EXIT

name_for() {
  if [ "$style" = windows ]; then printf 'Z:%s' "${1//\//\\}"; else printf '%s' "$1"; fi
}

# Standard error must stay empty; Wine's console turns \n into \r\n.
run() {
  "$@" >"$tmp/out.raw" 2>"$tmp/err"
  local status=$?
  tr -d '\r' <"$tmp/out.raw" >"$tmp/out"
  if [ -s "$tmp/err" ]; then echo "FAIL: standard error not empty:"; cat "$tmp/err"; fail=1; fi
  return $status
}

run "$@"; status=$?
printf 'Kestrine v0.02\n\nUsage: Kestrine <filename>\n       where <filename> is a VC-1 Advanced Profile Elementary Stream (.VC1),\n       - or VC-1 Advanced Profile Content in a Windows Media (.WMV) container.\n.' >"$tmp/usage"
if ! cmp -s "$tmp/out" "$tmp/usage"; then echo "FAIL: usage text"; diff "$tmp/usage" "$tmp/out"; fail=1; fi
if [ "$status" != 255 ]; then echo "FAIL: usage exit status $status, not 255"; fail=1; fi

if [ ! -d "$data" ]; then
  echo "shared sample folder not found; real files skipped"
  exit $fail
fi

# NAME value pairs; the oracle's offsets, derived figures and unreliable
# values are not elements, and "--" marks an element absent from the stream.
elements() {
  awk '
    match($0, /^[A-Z0-9_]+(\[[0-9]+\])?: /) {
      name = substr($0, 1, RLENGTH - 2); value = substr($0, RLENGTH + 1)
      if (name ~ /^(SEQUENCE_HEADER_|DERIVED_|ENTRY_POINT_)/ || value ~ /UNRELIABLE/) next
      split(value, w, " "); if (w[1] == "--") next
      print name, w[1]
    }' "$1" | sort
}

count=0
for file in "$data"/wmv/*.wmv "$data"/es/*.vc1; do
  base="$(basename "$file")"
  count=$((count + 1))
  run "$@" "$(name_for "$file")"; status=$?
  if [ "$status" != 0 ]; then echo "FAIL: $base: exit status $status"; fail=1; fi
  if ! grep -qx 'Found Sequence and Entry Point Headers - information follows:' "$tmp/out"; then
    echo "FAIL: $base: headers not recognised"; cat "$tmp/out"; fail=1; continue
  fi
  elements "$data/expected/$base.gst-oracle.txt" >"$tmp/want"
  elements "$tmp/out" | grep -v '^RESERVED ' >"$tmp/got"
  if ! diff "$tmp/want" "$tmp/got" >"$tmp/diff"; then
    echo "FAIL: $base: elements differ from the oracle (< oracle, > Kestrine):"; cat "$tmp/diff"; fail=1
  else
    echo "ok: $base ($(wc -l <"$tmp/want") elements)"
  fi
done
[ "$count" = 6 ] || { echo "FAIL: expected 6 sample files, found $count"; fail=1; }
exit $fail
