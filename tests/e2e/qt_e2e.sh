#!/usr/bin/env bash
# The real desktop program under Xvfb, checked through the X server:
# where the windows stand and that the sprites are shaped, a cast played
# with the pointer, the exit through the menu and the record it writes,
# the session end on SIGTERM, the plain refusal without a display, one copy
# per user (a second start says so and leaves one scene), and which record
# a run uses when there is one beside the program and one in the user's
# settings folder.
#
# Usage: qt_e2e.sh <marivo2 executable> <artifact folder>
# Exits 77 (skipped) when Xvfb or the X tools are missing.
set -uo pipefail

exe=${1:?usage: qt_e2e.sh <marivo2> <artifact folder>}
artifacts=${2:?usage: qt_e2e.sh <marivo2> <artifact folder>}

for tool in Xvfb xdotool xwininfo import; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed (apt-get install xvfb xdotool x11-utils imagemagick)"
    exit 77
  fi
done

mkdir -p "$artifacts"
work=$(mktemp -d)
xvfb_pid=""
game_pid=""
second_pid=""
cleanup() {
  [ -n "$game_pid" ] && kill -9 "$game_pid" 2>/dev/null
  [ -n "$second_pid" ] && kill -9 "$second_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=tests/e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# A private home: the one-copy lock and the per-user record of this run
# never meet another check's or the user's.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" "$XDG_CONFIG_HOME" && mkdir -m 0700 "$XDG_RUNTIME_DIR"

# ---- Without a display the program says so and fails.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$exe" 2>&1)
rc=$?
check "without a display it exits non-zero" test "$rc" -ne 0
check "without a display it says it needs a desktop" grep -q "needs a graphical desktop" <<<"$out"

# ---- A display of our own: 1024 x 768, no window manager, no task bar.
# Xvfb picks a free display number itself and tells it on fd 3.
start_xvfb "$work" -wr || { echo "FAIL - Xvfb did not start"; exit 1; }
for _ in $(seq 50); do
  xwininfo -root >/dev/null 2>&1 && break
  sleep 0.1
done

# The program runs from a folder of its own: the record goes beside it.
mkdir -p "$work/run"
cp "$exe" "$work/run/marivo2"

start_game() {
  (cd "$work/run" && exec ./marivo2) >"$work/game.log" 2>&1 &
  game_pid=$!
  wait_for frmMan 100
}
record_ok() {
  local ini=$work/run/marivo2.ini
  # Lines may end in CR LF, as the settings format allows.
  [ -f "$ini" ] && grep -Eq $'^\\[Data\\]\r?$' "$ini" &&
    grep -Eq $'^Tyouka=[0-9A-F]{120}\r?$' "$ini"
}

check "the scene comes up" start_game
if [ -z "$(geometry frmMan)" ]; then
  # Nothing else can be checked; say what the program and the X server said.
  echo "--- program output"; cat "$work/game.log"
  echo "--- Xvfb output"; cat "$work/xvfb.log"
  xwininfo -root -tree 2>&1 | head -20
  exit 1
fi

# ---- Where the scene stands: the usable bottom is row 768 here.
check "control bar at x 0, 83 x 15, bottom on row 768" test "$(geometry frmCon)" = "83x15+0+753"
check "angler at x 83 (1250 twips), 50 x 48, feet on row 768" \
  test "$(geometry frmMan)" = "50x48+83+720"
# The strip runs 83 pixels past the screen's right edge; its X window is
# the part on the screen, and the game's whole rectangle is in a property.
check "sea strip from x 83 to the screen's edge, 3 pixels high" \
  test "$(geometry frmSea)" = "941x3+83+765"
check "the sea strip's place as the game set it: x 83, 1024 wide" \
  bash -c 'xprop -id "$1" _MARIVO2_GEOMETRY | grep -q "= 83, 765, 1024, 3$"' _ "$(window_id frmSea)"
shape=$(xwininfo -shape -id "$(window_id frmMan)" 2>/dev/null)
check "the angler is cut to his outline" grep -q "Window shape extents:" <<<"$shape"
check "the angler's outline is not his whole rectangle" \
  bash -c '! grep -q "Window shape extents:  50x48+0+0" <<<"$1"' _ "$shape"
check "frmCon stays out of the way of the focus (no input, no focus protocol)" \
  bash -c 'xprop -id "$1" WM_HINTS WM_PROTOCOLS 2>/dev/null | grep -q "input focus: False" &&
           ! xprop -id "$1" WM_PROTOCOLS | grep -q WM_TAKE_FOCUS' _ "$(window_id frmCon)"
import -window root "$artifacts/scene.png" 2>/dev/null

# ---- One copy per user: a second start says so, OK ends it, one scene.
count_named() { x_tree | awk -v n="\"$1\":" '$2 == n { c++ } END { print c + 0 }'; }
(cd "$work/run" && exec ./marivo2) >"$work/second.log" 2>&1 &
second_pid=$!
box=""
for _ in $(seq 100); do
  box=$(window_id Marivo2)
  [ -n "$box" ] && break
  kill -0 "$second_pid" 2>/dev/null || break
  sleep 0.1
done
check "a second start shows a message box titled Marivo2" test -n "$box"
if [ -n "$box" ]; then
  sleep 0.5
  import -window root "$artifacts/second-start.png" 2>/dev/null
  check "the second start creates no scene of its own (one frmMan, one frmCon)" \
    test "$(count_named frmMan) $(count_named frmCon)" = "1 1"
  # OK, the box's only button, sits in its bottom right corner. A click,
  # as a user would; moving the focus here would leave it nowhere once the
  # box is gone.
  if [[ $(geometry Marivo2) =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]]; then
    xdotool mousemove $((BASH_REMATCH[3] + BASH_REMATCH[1] - 51)) \
      $((BASH_REMATCH[4] + BASH_REMATCH[2] - 23))
    sleep 0.2
    xdotool click 1
  fi
fi
ended=0
for _ in $(seq 50); do
  kill -0 "$second_pid" 2>/dev/null || { ended=1; break; }
  sleep 0.1
done
check "OK ends the second copy" test "$ended" = 1
[ "$ended" = 1 ] && { wait "$second_pid"; second_pid=""; }
check "the message box is gone" test -z "$(window_id Marivo2)"
check "one scene after the second start (one frmMan)" test "$(count_named frmMan)" = 1
check "the first copy runs on" kill -0 "$game_pid"

# ---- A cast: press (the gauge runs), release, press again to fix the power.
button_x=74
button_y=760
xdotool mousemove "$button_x" "$button_y"
xdotool mousedown 1
sleep 0.1
xdotool mouseup 1
sleep 0.6
xdotool mousedown 1
sleep 0.05
xdotool mouseup 1
wait_for frmUki 50
# The flight ends with the float upright (5 x 21) on the water; a loaded
# machine may take a while for the hundred-odd steps.
for _ in $(seq 100); do
  float=$(geometry frmUki)
  [[ $float =~ ^5x21\+ ]] && break
  sleep 0.1
done
sleep 0.5
float=$(geometry frmUki)
check "the float flew out and stands on the sea ($float)" \
  bash -c '[[ $1 =~ ^5x21\+([0-9]+)\+([0-9]+)$ ]] && (( BASH_REMATCH[1] > 133 )) &&
           (( BASH_REMATCH[2] >= 740 && BASH_REMATCH[2] <= 750 ))' _ "$float"
check "the float sinks behind the sea strip" \
  bash -c 'tree_out=$(xwininfo -root -tree); sea=$(grep -n "\"frmSea\":" <<<"$tree_out" | cut -d: -f1);
           uki=$(grep -n "\"frmUki\":" <<<"$tree_out" | cut -d: -f1); (( uki > sea ))'
check "the float is shaped too" \
  bash -c 'xwininfo -shape -id "$1" | grep -q "Window shape extents:"' _ "$(window_id frmUki)"
import -window root "$artifacts/cast.png" 2>/dev/null

# ---- The menu at the pointer; its first entry opens the catch history.
open_menu() {
  xdotool mousemove "$button_x" "$button_y"
  xdotool mousedown 3
  sleep 0.1
  xdotool mouseup 3
  wait_for mpop 30
  menu=$(geometry mpop)
}
open_menu
if [[ $menu =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]]; then
  xdotool mousemove $((BASH_REMATCH[3] + BASH_REMATCH[1] / 2)) $((BASH_REMATCH[4] + 10))
  sleep 0.3
  xdotool click 1
fi
wait_for Marivo 30
history=$(geometry Marivo)
# Client 5070 x 4020 twips; its bottom 100 twips above the angler (no frame
# here, so the client sits where the frame would begin).
check "釣果履歴 opens the history dialog, 338 x 268 ($history)" \
  bash -c '[[ $1 =~ ^338x268\+0\+[0-9]+$ ]]' _ "$history"
import -window root "$artifacts/history.png" 2>/dev/null
if [[ $history =~ \+([0-9]+)\+([0-9]+)$ ]]; then
  # 閉じる: left 165, top 3510, 1080 x 420 twips.
  xdotool mousemove $((BASH_REMATCH[1] + 47)) $((BASH_REMATCH[2] + 248))
  sleep 0.2
  xdotool click 1
fi
sleep 0.5
check "閉じる closes it" test -z "$(geometry Marivo)"

# ---- Exit (終了), the menu's last entry.
open_menu
check "a right press opens the menu ($menu)" test -n "$menu"
import -window root "$artifacts/menu.png" 2>/dev/null
if [[ $menu =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]]; then
  xdotool mousemove $((BASH_REMATCH[3] + BASH_REMATCH[1] / 2)) \
    $((BASH_REMATCH[4] + BASH_REMATCH[2] - 10))
  sleep 0.3
  xdotool click 1
fi
wait_end 50
check "exit ends the program with status 0" test "$rc" -eq 0
check "exit wrote the record: [Data] Tyouka of 120 hex digits" record_ok

# ---- The session ends (SIGTERM): the record is saved as exit saves it.
rm -f "$work/run/marivo2.ini"
if start_game; then
  kill -TERM "$game_pid"
  wait_end 50
  check "SIGTERM ends the program with status 0" test "$rc" -eq 0
  check "SIGTERM saved the record" record_ok
else
  check "the scene comes up again" false
fi


# ---- Where the record lives: a writable one beside the program wins over
# the one in the user's settings folder; the other is left untouched.
rm -f "$work/run/marivo2.ini"
mkdir -p "$XDG_CONFIG_HOME/marivo2"
user_ini=$XDG_CONFIG_HOME/marivo2/marivo2.ini
beside_ini=$work/run/marivo2.ini
zeros=$(printf '0%.0s' $(seq 114))
printf '[Data]\r\nTyouka=001002%s\r\n' "$zeros" >"$user_ini"
printf '[Data]\r\nTyouka=00A00B%s\r\n' "$zeros" >"$beside_ini"
touch -d '2001-01-01 00:00:00' "$user_ini" "$beside_ini"
user_before=$(stat -c '%i %Y' "$user_ini")
beside_before=$(stat -c '%i %Y' "$beside_ini")
cp "$user_ini" "$work/user.ini.orig"
if start_game; then
  open_menu
  if [[ $menu =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]]; then
    xdotool mousemove $((BASH_REMATCH[3] + BASH_REMATCH[1] / 2)) \
      $((BASH_REMATCH[4] + BASH_REMATCH[2] - 10))
    sleep 0.3
    xdotool click 1
  fi
  wait_end 50
  check "exit with two records ends with status 0" test "$rc" -eq 0
  check "exit wrote the record beside the program" \
    test "$(stat -c '%i %Y' "$beside_ini")" != "$beside_before"
  check "the record beside the program keeps its own counts (00A 00B)" \
    grep -Eq $'^Tyouka=00A00B0{114}\r?$' "$beside_ini"
  check "the record in the user's folder is untouched" \
    bash -c 'cmp -s "$1" "$2" && [ "$(stat -c "%i %Y" "$1")" = "$3" ]' _ "$user_ini" \
    "$work/user.ini.orig" "$user_before"
else
  check "the scene comes up with two records" false
fi

cp "$work/game.log" "$artifacts/game.log" 2>/dev/null
echo "screenshots in $artifacts"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
