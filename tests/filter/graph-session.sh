#!/usr/bin/env bash
# graph-session.sh TESTDATA EMULATOR KESTRINE COMMAND...: runs the graph test COMMAND
# in a dialog session, with a small tmpfs for the disk-full test when run as
# root, then has FFmpeg decode every elementary stream the test wrote and
# Kestrine read its headers, against the WMV it came from.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
testdata=$1 emulator=$2 kestrine=$3
shift 3

out=$(mktemp -d "${TMPDIR:-/tmp}/dravik-graph.XXXXXX")
disk=
cleanup() {
  [ -n "$disk" ] && { umount -l "$disk" 2>/dev/null; rmdir "$disk" 2>/dev/null; }
  rm -rf "$out"
}
trap cleanup EXIT
if [ "$(id -u)" = 0 ]; then
  disk=$(mktemp -d "${TMPDIR:-/tmp}/dravik-small-disk.XXXXXX")
  # Smaller than any sample's stream, larger than its first frames.
  if mount -t tmpfs -o size=256k dravik-small-disk "$disk"; then
    export DRAVIK_SMALL_DISK="$disk"
  else
    rmdir "$disk"; disk=
    echo "graph-session: tmpfs mount failed; the disk-full test skips" >&2
  fi
else
  echo "graph-session: not root, no tmpfs; the disk-full test skips" >&2
fi

export DRAVIK_GRAPH_OUTPUT="$out"
bash "$here/../support/dialog-session.sh" "$@"
status=$?

md5s() { ffmpeg -v error -nostdin "$@" -f framemd5 - 2>/dev/null | grep -v '^#' | sed 's/.*,//'; }
# Kestrine's report less the line that names the kind of file, and Wine's \r.
report() { "$emulator" "$kestrine" "$(winepath_of "$1")" 2>/dev/null | tr -d '\r' | grep -v 'WMV/ASF'; }
winepath_of() { echo "Z:$1" | tr / '\\'; }

if ! command -v ffmpeg >/dev/null; then
  echo "graph-session: ffmpeg missing; decode checks skipped" >&2
  exit $status
fi
checked=0
for es in "$out"/*.wmv.vc1; do
  [ -e "$es" ] || continue
  # A test's own copy lies beside its output, named "<sample>.nodisplay.wmv":
  # its headers are the copy's, its pictures the sample's.
  base=$(basename "$es" .vc1)
  wmv="$out/$base"
  [ -f "$wmv" ] || wmv="$testdata/wmv/$base"
  [ -f "$wmv" ] || continue
  source=$(md5s -i "$testdata/wmv/${base/.nodisplay/}" -map 0:v)
  written=$(md5s -f vc1 -i "$es")
  if [ -z "$source" ] || [ "$source" != "$written" ]; then
    echo "graph-session: $es decodes to $(wc -l <<<"$written") frames unlike $wmv ($(wc -l <<<"$source"))" >&2
    status=1
  fi
  before=$(report "$wmv") after=$(report "$es")
  # Headers with a display extension come back unchanged; without one, the
  # frame rate goes in as one and what comes before it stays.
  if [[ "$before" == *"DISPLAY_EXT: 0"* ]]; then
    same=$([ "${after%%DISPLAY_EXT*}" = "${before%%DISPLAY_EXT*}" ] &&
           [[ "$after" == *"DISPLAY_EXT: 1"* && "$after" == *"FRAMERATE_FLAG: 1"* ]] && echo yes)
  else
    same=$([ "$after" = "$before" ] && echo yes)
  fi
  if [[ "$before" != *"Sequence Level Header"* ]] || [ -z "$same" ]; then
    echo "graph-session: Kestrine reads other headers in $es than in $wmv" >&2
    status=1
  fi
  checked=$((checked + 1))
done
echo "graph-session: $checked outputs decoded by FFmpeg and read by Kestrine like their WMVs"
exit $status
