#!/usr/bin/env bash
# Runs a Windows x86_64 program under wine64 with the project's test prefix.
# Used by ctest (CMAKE_CROSSCOMPILING_EMULATOR) and by the scripts.
set -euo pipefail
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/vc1-wineprefix}"
export WINEARCH=win64 WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
# Every wine process started here inherits no descriptor but /dev/null: the
# server and the service processes outlive it, and an inherited pipe (ours, or
# one that ctest opened for a test running beside this one) would keep ctest
# waiting for ever; the lock descriptor would keep the lock held.
quiet() {
  (
    for fd in /proc/self/fd/*; do
      fd=${fd##*/}
      if [ "$fd" -gt 2 ]; then eval "exec $fd>&-" 2>/dev/null || true; fi
    done
    exec "$@" </dev/null >/dev/null 2>&1
  ) || true
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
# A persistent server with its services running makes each test start in
# ~0.1 s. Starting them here, detached, costs ~0.15 s when they already run;
# otherwise the test program would start them with its own output attached.
quiet "$WINESERVER" -p
quiet "$WINE" wineboot
flock -u 9
exec 9>&-
exec "$WINE" "$@"
