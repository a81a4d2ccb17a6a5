# shellcheck shell=bash
# Sourced by the setup, package and check scripts: installs the Debian
# packages named that are not installed yet (with sudo when not root).
#   ensure_packages [--no-install-recommends] pkg...
ensure_packages() {
  local p missing=() sudo_cmd=() options=()
  if [ "${1:-}" = --no-install-recommends ]; then
    options+=("$1")
    shift
  fi
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  echo "Installing: ${missing[*]}"
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q "${options[@]}" "${missing[@]}"
}
