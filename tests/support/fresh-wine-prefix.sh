#!/usr/bin/env bash
# fresh-wine-prefix.sh COMMAND...: runs COMMAND with WINEPREFIX set to a new,
# empty Wine prefix (set up on first use by cmake/wine-run.sh), and removes
# the prefix, with the server it started, afterwards.
set -euo pipefail
prefix=$(mktemp -d "${TMPDIR:-/tmp}/vc1-fresh-prefix.XXXXXX")
cleanup() {
  WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k </dev/null >/dev/null 2>&1 || true
  rm -rf "$prefix" "$prefix.lock"
}
trap cleanup EXIT
export WINEPREFIX="$prefix"
"$@"
