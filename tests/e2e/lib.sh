# shellcheck shell=bash
# Sourced by the end-to-end checks: the ok/FAIL tally and a private X server.
#
#   check <description> <command...>   runs the command, counts and prints
#                                       "ok   - ..." or "FAIL - ..."
#   pass <description>, fail <description>
#                                       count and print an outcome decided
#                                       by the caller
#   start_xvfb <folder> [Xvfb options]  starts Xvfb on a display it picks
#                                       itself (so parallel checks never meet),
#                                       sets DISPLAY and xvfb_pid; false when
#                                       it did not come up. XVFB_SCREEN gives
#                                       its size (1024x768x24).
passed=0
failed=0
pass() {
  passed=$((passed + 1))
  echo "ok   - $*"
}
fail() {
  failed=$((failed + 1))
  echo "FAIL - $*"
}
check() {
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

# shellcheck disable=SC2034  # read by the checks' clean-up
xvfb_pid=""
start_xvfb() {
  local folder=$1
  shift
  rm -f "$folder/display"
  Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1024x768x24}" -nolisten tcp "$@" 3>"$folder/display" \
    >"$folder/xvfb.log" 2>&1 &
  # shellcheck disable=SC2034
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$folder/display" ] && break
    sleep 0.1
  done
  if [ ! -s "$folder/display" ]; then
    cat "$folder/xvfb.log"
    return 1
  fi
  DISPLAY=":$(head -n1 "$folder/display")"
  export DISPLAY
}
