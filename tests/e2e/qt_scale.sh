#!/usr/bin/env bash
# The scene at Qt scale factors 1, 1.25, 1.5, 2 and 3 on a bare 1024 x 768
# X server: the control bar's and the sea strip's bottoms lie exactly on
# the screen's bottom row, and the angler is his 1x picture blown up by a
# whole factor, pixel for pixel (no smoothing).
#
# Usage: qt_scale.sh <marivo2> <artifact folder> <marivo-player>
# Exits 77 (skipped) when a tool is missing.
set -uo pipefail

exe=${1:?usage: qt_scale.sh <marivo2> <artifact folder> <marivo-player>}
artifacts=${2:?usage: qt_scale.sh <marivo2> <artifact folder> <marivo-player>}
player=${3:?usage: qt_scale.sh <marivo2> <artifact folder> <marivo-player>}

for tool in Xvfb xsetroot import; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed (apt-get install xvfb x11-xserver-utils imagemagick)"
    exit 77
  fi
done
[ -x "$player" ] || { echo "SKIP: no player at $player"; exit 77; }

mkdir -p "$artifacts"
work=$(mktemp -d)
xvfb_pid=""
game_pid=""
cleanup() {
  [ -n "$game_pid" ] && kill -9 "$game_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=tests/e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" && mkdir -m 0700 "$XDG_RUNTIME_DIR"
unset QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR QT_ENABLE_HIGHDPI_SCALING

start_xvfb "$work" -noreset || { echo "FAIL - Xvfb did not start"; exit 1; }
for _ in $(seq 50); do
  xsetroot -solid "#3a6e5a" 2>/dev/null && break
  sleep 0.1
done

mkdir -p "$work/run"
cp "$exe" "$work/run/marivo2"

# Each factor a user may set, and the whole factor the program must draw
# at: halves round up, as Qt rounds a screen's own factor.
painted() { [ "$("$player" colours "$@")" -gt 4 ]; }
for setting in 1:1 1.25:1 1.5:2 2:2 3:3; do
  factor=${setting%:*}
  whole=${setting#*:}
  (cd "$work/run" && QT_SCALE_FACTOR=$factor exec ./marivo2) >"$work/game-$factor.log" 2>&1 &
  game_pid=$!
  up=0
  for _ in $(seq 100); do
    geom frmMan >/dev/null && geom frmSea >/dev/null && geom frmCon >/dev/null && { up=1; break; }
    sleep 0.1
  done
  check "x$factor: the scene comes up" test "$up" = 1
  if [ "$up" = 1 ]; then
    read -r mw mh mx my < <(geom frmMan)
    check "x$factor: the angler's window is 50 x 48 times $whole ($mw x $mh)" \
      test "$mw x $mh" = "$((50 * whole)) x $((48 * whole))"
    check "x$factor: frmCon's bottom on row 768 ($(geom frmCon))" test "$(bottom_of frmCon)" = 768
    check "x$factor: frmSea's bottom on row 768 ($(geom frmSea))" test "$(bottom_of frmSea)" = 768
    check "x$factor: the angler's feet on row 768 ($(geom frmMan))" test "$(bottom_of frmMan)" = 768
    if [ "$factor" = 1 ]; then
      eventually 50 painted "$mx" "$my" "$mw" "$mh" &&
        "$player" grab "$mx" "$my" "$mw" "$mh" "$work/man-1x.ppm"
      check "x1: the angler is painted and read" test -s "$work/man-1x.ppm"
    elif [ -s "$work/man-1x.ppm" ]; then
      # Pixel for pixel, once he is painted.
      eventually 50 "$player" scaled "$work/man-1x.ppm" "$mx" "$my" "$whole" >/dev/null
      out=$("$player" scaled "$work/man-1x.ppm" "$mx" "$my" "$whole")
      check "x$factor: the angler is the 1x picture blown up $whole times (${out:-not compared})" \
        "$player" scaled "$work/man-1x.ppm" "$mx" "$my" "$whole"
    fi
    import -window root "$artifacts/scale-$factor.png" 2>/dev/null
  else
    sed 's/^/    /' "$work/game-$factor.log"
  fi
  kill -9 "$game_pid" 2>/dev/null
  wait "$game_pid" 2>/dev/null
  game_pid=""
  # The next copy starts once the server has dropped the dead one's windows.
  wait_gone frmMan 50
done

echo "screenshots in $artifacts"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
