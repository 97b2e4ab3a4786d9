#!/usr/bin/env bash
# Runs a Windows x86_64 program under wine64 with the project's test prefix.
# Used by ctest (CMAKE_CROSSCOMPILING_EMULATOR) and by the scripts.
set -euo pipefail
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/vc1-wineprefix}"
export WINEARCH=win64 WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # One prefix per machine; a lock keeps parallel ctest jobs from booting it twice.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$WINE" wineboot -i >/dev/null 2>&1 || true
    "$WINESERVER" -w </dev/null >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d '' /f >/dev/null 2>&1
    "$WINESERVER" -w </dev/null >/dev/null 2>&1
  fi
  flock -u 9
fi
# A persistent server makes each test start in ~0.1 s. The server and the
# service processes that the first program starts would inherit its output
# pipes and keep ctest waiting for ever, so start them here, detached.
"$WINESERVER" -p </dev/null >/dev/null 2>&1 || true
if ! pgrep -u "$(id -u)" -f 'system32.services\.exe' >/dev/null 2>&1; then
  "$WINE" wineboot </dev/null >/dev/null 2>&1 || true
fi
exec "$WINE" "$@"
