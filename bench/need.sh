# Sourced by the benchmark scripts: need_tools COMMAND:PACKAGE... makes sure
# each COMMAND is there, installing the missing PACKAGEs (Debian 12) through
# the project's installer, or says what is missing and stops.
need_tools() {
  local missing=() spec
  for spec in "$@"; do
    command -v "${spec%%:*}" >/dev/null || missing+=("${spec#*:}")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local root; root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  if ! "$root/scripts/install-deps.sh" --only "${missing[@]}"; then
    echo "the benchmark needs these packages: ${missing[*]}" >&2
    exit 1
  fi
}
