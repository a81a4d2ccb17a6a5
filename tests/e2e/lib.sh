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
#   geometry <name>, window_id <name>   "WxH+X+Y" and the id of the top-level
#                                       X window of that name; empty if none
#   shown <name>                        "WxH+X+Y" of what that window shows:
#                                       its rectangle cut to its bounding
#                                       shape (a sprite near the screen's
#                                       edges reaches further than it draws)
#   mapped <name>                       whether that window is viewable
#   wait_for <name> <tenths>            waits for it to exist and be viewable
#   wait_end <tenths>                   waits for $game_pid to end; its exit
#                                       status in $rc (124 when it did not)
#   eventually <tenths> <command...>    runs the command until it succeeds, a
#                                       tenth of a second apart, for at most
#                                       that long: a check waits for the state
#                                       it needs, not for a time
# Through the player ($player, tests/e2e/player), which sees into window
# managers' frames:
#   geom <name>, bottom_of <name>       "W H X Y" of the first viewable window
#                                       so named, in root coordinates, and its
#                                       bottom edge (the row below it)
#   wait_named <name> <tenths>          waits for it to be there
#   wait_gone <name> <tenths>           waits for it to go
passed=0
failed=0

# Test-only: the desktop programs read MARIVO2_TEST_SEED and then seed
# their random numbers with it instead of the clock. With this seed the
# first draw after every reseed is 0: each cast's float is quiet for the
# shortest spell (15 ticks) and then bites at the same tick, and every
# landing catches kind 0, かわはぎ (the record's first three digits).
# shellcheck disable=SC2034  # read by the checks
marivo_test_seed=13450106
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

x_tree() { xwininfo -root -tree 2>/dev/null; }
geometry() { x_tree | awk -v n="\"$1\":" '$2 == n { print $(NF-1); exit }'; }
window_id() { x_tree | awk -v n="\"$1\":" '$2 == n { print $1; exit }'; }
shown() {
  local id
  id=$(window_id "$1")
  [ -n "$id" ] || return 0
  xwininfo -shape -id "$id" 2>/dev/null | awk -v g="$(geometry "$1")" '
    /Window shape extents:/ { e = $4 }
    END {
      split(g, a, /[x+]/)
      if (e == "") { print g; exit }
      split(e, b, /[x+]/)
      x0 = b[3] > 0 ? b[3] : 0; y0 = b[4] > 0 ? b[4] : 0
      x1 = b[3] + b[1] < a[1] ? b[3] + b[1] : a[1]; y1 = b[4] + b[2] < a[2] ? b[4] + b[2] : a[2]
      printf "%dx%d+%d+%d\n", x1 - x0, y1 - y0, a[3] + x0, a[4] + y0
    }'
}
# (xwininfo given no id would wait for a click.)
mapped() {
  local id
  id=$(window_id "$1")
  [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q "Map State: IsViewable"
}
wait_for() {
  for _ in $(seq "$2"); do
    [ -n "$(geometry "$1")" ] && mapped "$1" && return 0
    sleep 0.1
  done
  return 1
}

eventually() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do
    "$@" && return 0
    sleep 0.1
  done
  "$@"
}

game_pid=""
rc=0
wait_end() {
  for _ in $(seq "$1"); do
    if ! kill -0 "$game_pid" 2>/dev/null; then
      wait "$game_pid"
      rc=$?
      game_pid=""
      return 0
    fi
    sleep 0.1
  done
  # shellcheck disable=SC2034  # read by the checks
  rc=124
  return 1
}

# shellcheck disable=SC2154  # $player is the checks' own
geom() { "$player" geom "$1" 2>/dev/null; }
bottom_of() { geom "$1" | awk '{ print $2 + $4 }'; }
wait_named() {
  for _ in $(seq "$2"); do
    geom "$1" >/dev/null && return 0
    sleep 0.1
  done
  return 1
}
wait_gone() {
  for _ in $(seq "$2"); do
    geom "$1" >/dev/null || return 0
    sleep 0.1
  done
  return 1
}
