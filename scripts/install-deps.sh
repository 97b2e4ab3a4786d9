#!/usr/bin/env bash
# Installs Debian 12 packages that are missing, skipping what is there.
#   install-deps.sh [PACKAGE...]          everything building and testing need, and PACKAGEs
#   install-deps.sh --build [PACKAGE...]  only what building the Linux programs needs
#   install-deps.sh --only PACKAGE...     only the PACKAGEs
set -euo pipefail
build=(cmake ninja-build g++)
everything=("${build[@]}" googletest
            g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
            wine wine64 xvfb xauth xdotool x11-utils ffmpeg mediainfo python3)
case "${1:-}" in
  --build) shift; wanted=("${build[@]}" "$@") ;;
  --only) shift; wanted=("$@") ;;
  *) wanted=("${everything[@]}" "$@") ;;
esac
need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
for p in "${wanted[@]}"; do
  have_pkg "$p" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  export DEBIAN_FRONTEND=noninteractive
  echo "install-deps: installing ${need[*]}" >&2
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
