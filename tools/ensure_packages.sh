# shellcheck shell=bash
# Sourced by the setup, package and check scripts: installs the Debian
# packages named that are not installed yet (with sudo when not root).
#   ensure_packages [--no-install-recommends] pkg...
#
# Another apt may be at work (an unattended upgrade, a second setup): apt
# waits for the dpkg lock itself when told to (DPkg::Lock::Timeout), but
# apt-get update fails at once on the package lists' lock, so a command
# refused a lock is run again until APT_LOCK_WAIT seconds (600) have passed.
apt_waiting() {
  local deadline=$((SECONDS + ${APT_LOCK_WAIT:-600})) err rc
  err=$(mktemp)
  while :; do
    "$@" 2>"$err"
    rc=$?
    if [ "$rc" -ne 0 ] && [ "$SECONDS" -lt "$deadline" ] &&
      grep -q 'Could not get lock\|Unable to lock\|Unable to acquire' "$err"; then
      echo "Another package manager holds a lock; waiting ($((deadline - SECONDS)) s left)"
      sleep 5
      continue
    fi
    cat "$err" >&2
    rm -f "$err"
    return "$rc"
  done
}
ensure_packages() {
  local p missing=() sudo_cmd=() wait_lock=(-o "DPkg::Lock::Timeout=${APT_LOCK_WAIT:-600}") options=()
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
  apt_waiting "${sudo_cmd[@]}" apt-get "${wait_lock[@]}" update -q || return
  apt_waiting "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "${wait_lock[@]}" \
    install -y -q "${options[@]}" "${missing[@]}"
}
