#!/usr/bin/env bash
# Runs a Windows x86_64 program under wine64 with the project's test prefix.
# Used by ctest (CMAKE_CROSSCOMPILING_EMULATOR) and by the scripts.
set -euo pipefail
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/vc1-wineprefix}"
export WINEARCH=win64 WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
# Every wine process started here gets no inherited pipes and no lock fd: the
# server and the service processes outlive it, and would otherwise keep ctest
# waiting on the test's output pipe (or keep the lock held) for ever.
quiet() { "$@" </dev/null >/dev/null 2>&1 9>&- || true; }

# Service processes of this prefix (another prefix's do not count).
services_running() {
  local pid
  for pid in $(pgrep -u "$(id -u)" -f 'system32.services\.exe'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}

# One set-up at a time: parallel ctest jobs would otherwise race to create the
# prefix, or start a server from inside a test.
exec 9>"$WINEPREFIX.lock"
flock 9
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  quiet "$WINE" wineboot -i
  quiet "$WINESERVER" -w
  quiet "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
  quiet "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d '' /f
  quiet "$WINESERVER" -w
fi
# A persistent server with its services running makes each test start in ~0.1 s.
quiet "$WINESERVER" -p
services_running || quiet "$WINE" wineboot
flock -u 9
exec 9>&-
exec "$WINE" "$@"
