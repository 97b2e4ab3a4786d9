#!/usr/bin/env bash
# Checks that the built Windows module exports exactly the COM server entry points.
set -euo pipefail
dir="${1:-build/win32}"
dll="$dir/filter/dravik.ax"
[ -f "$dll" ] || { echo "check-exports: $dll not built yet, skipped"; exit 0; }
case "$dir" in *win32*) tool=i686-w64-mingw32-objdump ;; *) tool=x86_64-w64-mingw32-objdump ;; esac
# The table's own heading line is skipped: it would read as a name "Table".
names=$("$tool" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | tail -n +2 | grep -oE '\] [A-Za-z_0-9@]+' | cut -c3- | sort | tr '\n' ' ')
want="DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer "
if [ "$names" != "$want" ]; then
  echo "check-exports: $dll exports '$names', expected '$want'"; exit 1
fi
echo "check-exports: $dll exports $names"
