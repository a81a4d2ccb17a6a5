#!/usr/bin/env bash
# The real desktop program under Xvfb, checked through the X server:
# where the windows stand and that the sprites are shaped, a cast played
# with the pointer, the exit through the menu and the record it writes,
# the session end on SIGTERM, the plain refusal without a display, one copy
# per user (a second start says so and leaves one scene), and which record
# a run uses when there is one beside the program and one in the user's
# settings folder; the one-copy lock where the runtime folder cannot hold it
# and with neither HOME nor XDG_RUNTIME_DIR, a refused copy ended by SIGTERM
# with its box up (at once, writing nothing), and a close request to a
# sprite (saves and ends as the exit item does).
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
# What shows of each window (its X window may reach further up than it
# draws, near the screen's bottom edge).
check "control bar at x 0, 83 x 15, bottom on row 768" test "$(shown frmCon)" = "83x15+0+753"
check "angler at x 83 (1250 twips), 50 x 48, feet on row 768" \
  bash -c 'xprop -id "$1" _MARIVO2_GEOMETRY | grep -q "= 83, 720, 50, 48$" &&
    [ "$(awk -F"[x+]" "{ print \$2 + \$4 }" <<<"$2")" = 768 ]' _ "$(window_id frmMan)" "$(shown frmMan)"
# The strip runs 83 pixels past the screen's right edge; its X window
# shows the part on the screen, and the game's whole rectangle is in a
# property.
check "sea strip from x 83 to the screen's edge, 3 pixels high" \
  test "$(shown frmSea)" = "941x3+83+765"
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
  float=$(shown frmUki)
  [[ $float =~ ^5x21\+ ]] && break
  sleep 0.1
done
sleep 0.5
float=$(shown frmUki)
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

# ---- One copy wherever the lock can live; what a refused copy and a close
# request do with the record. A record on disk that differs from the run's
# counts shows whether a copy wrote it.
lock_ini=$work/run/marivo2.ini
lock_counts=$(printf '[Data]\r\nTyouka=003004%s\r\n' "$(printf '0%.0s' $(seq 114))")
blank_counts=$(printf '[Data]\r\nTyouka=%s\r\n' "$(printf '0%.0s' $(seq 120))")
: >"$work/plain-file"  # a runtime folder under it can never be made
# Starts a copy with `env` arguments; its pid in $1.
start_with() {
  local var=$1
  shift
  (cd "$work/run" && exec env "$@" ./marivo2) >>"$work/lock.log" 2>&1 &
  printf -v "$var" %s $!
}
# Waits up to ten seconds for the refusal box of the copy whose pid is $1.
refusal_box() {
  for _ in $(seq 100); do
    [ -n "$(window_id Marivo2)" ] && return 0
    kill -0 "$1" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
# Waits up to two seconds for the pid in $1 to end; its status in $rc.
ends_soon() {
  local pid=$1
  for _ in $(seq 20); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      rc=$?
      return 0
    fi
    sleep 0.1
  done
  return 1
}
lock_case() {
  local label=$1
  shift
  rm -f "$XDG_CONFIG_HOME/marivo2/marivo2.ini" "$work/run/marivo2.lock"
  printf '%s' "$lock_counts" >"$lock_ini"
  start_with game_pid "$@"
  if ! wait_for frmMan 100; then
    fail "$label: the first copy shows its scene"
    return
  fi
  start_with second_pid "$@"
  check "$label: a second start is refused with its box" refusal_box "$second_pid"
  check "$label: one scene (one frmMan, one frmCon)" \
    test "$(count_named frmMan) $(count_named frmCon)" = "1 1"
  # The refused copy never read the record: a termination signal while its
  # box is up ends it at once, and it writes nothing.
  cp "$lock_ini" "$work/lock.ini.before"
  kill -TERM "$second_pid" 2>/dev/null
  if ends_soon "$second_pid"; then
    pass "$label: SIGTERM ends the refused copy at once (status $rc)"
  else
    fail "$label: the refused copy outlived SIGTERM with its box up"
    kill -9 "$second_pid" 2>/dev/null
  fi
  second_pid=""
  check "$label: the refused copy left the record byte for byte" cmp -s "$lock_ini" "$work/lock.ini.before"
}

lock_case "runtime folder that cannot be made" XDG_RUNTIME_DIR="$work/plain-file/run"
check "the lock went to the settings folder" test -f "$XDG_CONFIG_HOME/marivo2/marivo2.lock"
# A close request to a sprite (its window destroyed by another client, as
# xdotool windowclose does) ends the game as the exit item does.
printf '%s' "$blank_counts" >"$lock_ini"
if [ -n "$game_pid" ] && [ -n "$(window_id frmCon)" ]; then
  xdotool windowclose "$(window_id frmCon)"
  if ends_soon "$game_pid"; then
    pass "closing the control bar ends the game (status $rc)"
  else
    fail "the game outlived the close of its control bar"
    kill -9 "$game_pid" 2>/dev/null
  fi
  game_pid=""
  check "closing the control bar saved the run's counts (003 004)" \
    grep -Eq $'^Tyouka=0030040{114}\r?$' "$lock_ini"
  check "no window of the closed game is left" test "$(count_named frmMan)" = 0
  # The lock went with it: a new start shows its scene.
  start_with game_pid XDG_RUNTIME_DIR="$work/plain-file/run"
  check "a new start after the close shows its scene" wait_for frmMan 100
  kill -TERM "$game_pid" 2>/dev/null
  ends_soon "$game_pid" || kill -9 "$game_pid" 2>/dev/null
  game_pid=""
fi

lock_case "neither HOME nor XDG_RUNTIME_DIR" -u HOME -u XDG_RUNTIME_DIR -u XDG_CONFIG_HOME
check "the lock went beside the program" test -f "$work/run/marivo2.lock"
# The close a window manager sends (WM_DELETE_WINDOW) to the angler: the
# game saves and ends as its exit item does.
cc -x c -o "$work/wm_delete" - -lX11 <<'EOF' 2>"$work/wm_delete.log"
#include <X11/Xlib.h>
#include <stdlib.h>
int main(int argc, char** argv) {
  Display* d = XOpenDisplay(NULL);
  if (d == NULL || argc != 2) return 2;
  XEvent e = {0};
  e.xclient.type = ClientMessage;
  e.xclient.window = strtoul(argv[1], NULL, 0);
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = XInternAtom(d, "WM_DELETE_WINDOW", False);
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, e.xclient.window, False, NoEventMask, &e);
  XCloseDisplay(d);
  return 0;
}
EOF
if [ -n "$game_pid" ] && [ -x "$work/wm_delete" ]; then
  printf '%s' "$blank_counts" >"$lock_ini"
  "$work/wm_delete" "$(window_id frmMan)"
  if ends_soon "$game_pid"; then
    pass "the window manager's close of the angler ends the game (status $rc)"
  else
    fail "the game outlived the window manager's close of the angler"
  fi
  check "that close saved the run's counts (003 004)" \
    grep -Eq $'^Tyouka=0030040{114}\r?$' "$lock_ini"
elif [ -n "$game_pid" ]; then
  echo "skip - no WM_DELETE_WINDOW sender could be built: $(head -n1 "$work/wm_delete.log")"
fi
if [ -n "$game_pid" ]; then
  kill -TERM "$game_pid" 2>/dev/null
  ends_soon "$game_pid" || kill -9 "$game_pid" 2>/dev/null
  game_pid=""
fi

# A runtime folder the user may not write (root ignores file modes, so this
# one runs as user 65534): the lock goes to the settings folder, and a
# second start is still refused.
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null 2>&1; then
  nobody=$work/nobody
  mkdir -p "$nobody/run" "$nobody/home" "$nobody/xdg-run"
  cp "$exe" "$nobody/run/marivo2"
  chmod 0711 "$work"
  chmod 0755 "$nobody" "$nobody/xdg-run"
  chown -R 65534:65534 "$nobody/run" "$nobody/home"
  as_nobody() {
    (cd "$nobody/run" && exec setpriv --reuid=65534 --regid=65534 --clear-groups \
      env -u XDG_CONFIG_HOME HOME="$nobody/home" XDG_RUNTIME_DIR="$nobody/xdg-run" ./marivo2) \
      >>"$work/nobody.log" 2>&1 &
  }
  as_nobody
  game_pid=$!
  if wait_for frmMan 100; then
    as_nobody
    second_pid=$!
    check "runtime folder not writable by the user: a second start is refused" \
      refusal_box "$second_pid"
    check "runtime folder not writable by the user: one scene" test "$(count_named frmMan)" = 1
    check "the lock went to the user's settings folder" \
      test -f "$nobody/home/.config/marivo2/marivo2.lock"
    kill -TERM "$second_pid" 2>/dev/null
    ends_soon "$second_pid" || kill -9 "$second_pid" 2>/dev/null
    second_pid=""
  else
    fail "user 65534 sees no scene: $(head -n3 "$work/nobody.log")"
  fi
  kill -TERM "$game_pid" 2>/dev/null
  ends_soon "$game_pid" || kill -9 "$game_pid" 2>/dev/null
  game_pid=""
else
  echo "skip - not root: the runtime folder's mode cannot be tried as another user"
fi

cp "$work/game.log" "$artifacts/game.log" 2>/dev/null
echo "screenshots in $artifacts"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
