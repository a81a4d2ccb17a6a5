#!/usr/bin/env bash
# The real desktop program on a desktop like a user's: Xvfb with openbox,
# a tint2 panel with a task list along the bottom and the picom compositor
# (xrender, shadows on). It checks where the scene stands, that the sprites
# stay out of the task list, that the dialogs are listed and fixed-size,
# that the sunk float hides behind the sea, that a focused terminal keeps
# the keyboard, that no fringe shows around the sprites, then plays whole
# catches with the player and checks the balloon, the record (also after
# kill -9), the catch history and its tooltip, and finally that the scene
# follows the work area when the panel grows.
#
# Usage: desktop_e2e.sh <marivo2> <artifact folder> <marivo-player>
# Exits 77 (skipped) when a tool is missing.
set -uo pipefail

exe=${1:?usage: desktop_e2e.sh <marivo2> <artifact folder> <marivo-player>}
artifacts=${2:?usage: desktop_e2e.sh <marivo2> <artifact folder> <marivo-player>}
player=${3:?usage: desktop_e2e.sh <marivo2> <artifact folder> <marivo-player>}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

for tool in Xvfb openbox tint2 picom xdotool wmctrl xwininfo xprop xterm import; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed (apt-get install xvfb openbox tint2 picom xdotool" \
      "wmctrl x11-utils xterm imagemagick)"
    exit 77
  fi
done
[ -x "$player" ] || { echo "SKIP: no player at $player"; exit 77; }

mkdir -p "$artifacts"
work=$(mktemp -d)
pids=()
game_pid=""
cleanup() {
  [ -n "$game_pid" ] && kill -9 "$game_pid" 2>/dev/null && wait "$game_pid" 2>/dev/null
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
  sleep 0.2
  rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=tests/e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
shot() { import -window root "$artifacts/$1.png" 2>/dev/null; }

# A private home: the game's lock and per-user record, openbox's and
# tint2's settings never meet another run's.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/runtime
export XDG_CACHE_HOME=$work/home/.cache
mkdir -p "$HOME" "$XDG_CONFIG_HOME" && mkdir -m 0700 "$XDG_RUNTIME_DIR"
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR

# -noreset: the desktop's wallpaper and properties outlive short clients.
start_xvfb "$work" -noreset || { echo "FAIL - Xvfb did not start"; exit 1; }
pids+=("$xvfb_pid")
for _ in $(seq 50); do
  xwininfo -root >/dev/null 2>&1 && break
  sleep 0.1
done

openbox --config-file "$here/desktop/openbox-rc.xml" >"$work/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
  sleep 0.1
done
# The desktop colour every pixel outside the sprites must show, set as a
# wallpaper so that the compositor paints it too.
desktop_rgb=3a6e5a
"$player" wallpaper "$desktop_rgb"

# The usable area's bottom row (exclusive), from the work area the window
# manager publishes.
work_bottom() {
  xprop -root _NET_WORKAREA 2>/dev/null |
    awk -F'= ' '{ split($2, v, ", "); print v[2] + v[4]; exit }'
}
start_panel() {  # start_panel <tint2rc>
  tint2 -c "$1" >>"$work/tint2.log" 2>&1 &
  panel_pid=$!
  pids+=("$panel_pid")
}
start_panel "$here/desktop/tint2rc"
for _ in $(seq 100); do
  [ "$(work_bottom)" = 738 ] && break
  sleep 0.1
done
check "the panel reserves the bottom 30 rows (work area bottom $(work_bottom))" \
  test "$(work_bottom)" = 738

picom --config "$here/desktop/picom.conf" >"$work/picom.log" 2>&1 &
pids+=($!)
check "picom composites the screen" eventually 100 "$player" composited

# A terminal with the keyboard focus; what is typed into it lands in a file.
xterm -geometry 50x8+560+80 -T focusterm -e sh -c "cat > '$work/typed.txt'" &
pids+=($!)
for _ in $(seq 100); do
  term=$(xdotool search --name '^focusterm$' 2>/dev/null | head -n1)
  [ -n "$term" ] && break
  sleep 0.1
done
xdotool windowactivate --sync "$term" 2>/dev/null
xdotool windowfocus --sync "$term" 2>/dev/null
focused() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }
check "the terminal has the focus before the game starts" eventually 30 focused "$term"

# ---- The game, from a folder of its own: its record goes beside it.
run=$work/run
mkdir -p "$run"
cp "$exe" "$run/marivo2"
zeros=$(printf '0%.0s' $(seq 120))
printf '[Data]\r\nTyouka=%s\r\n' "$zeros" >"$run/marivo2.ini"

# Seeded for the checks: each cast bites soon and each landing catches
# kind 0 (lib.sh).
start_game() {
  (cd "$run" && MARIVO2_TEST_SEED=$marivo_test_seed exec ./marivo2) >>"$work/game.log" 2>&1 &
  game_pid=$!
  eventually 100 scene_ready
}
# The scene is up once the angler, shown last, is there and the control
# bar's button shows its blue on the screen (painted, composited).
scene_ready() {
  local bx by
  geom frmMan >/dev/null && geom frmSea >/dev/null && read -r bx by < <(button_xy) &&
    [[ $("$player" pixel "$bx" "$by") =~ ^([0-9]+)\ ([0-9]+)\ ([0-9]+)$ ]] &&
    ((BASH_REMATCH[1] < 60 && BASH_REMATCH[2] < 60 && BASH_REMATCH[3] > 200))
}
button_xy() {  # the control bar's button, from the bar's geometry
  geom frmCon | awk '{ printf "%d %d\n", $3 + $1 * 74 / 83, $4 + $2 / 2 }'
}
tyouka() { tr -d '\r' <"$run/marivo2.ini" | sed -n 's/^Tyouka=//p'; }

check "the scene comes up" start_game
if ! geom frmMan >/dev/null; then
  echo "--- program output"; cat "$work/game.log"
  exit 1
fi
shot scene

# ---- The scene stands on the panel's top edge.
wb=$(work_bottom)
check "frmCon's bottom on the work area's bottom $wb ($(geom frmCon))" \
  test "$(bottom_of frmCon)" = "$wb"
check "frmSea's bottom on the work area's bottom $wb ($(geom frmSea))" \
  test "$(bottom_of frmSea)" = "$wb"
check "the angler's feet on the work area's bottom $wb ($(geom frmMan))" \
  test "$(bottom_of frmMan)" = "$wb"
# (xwininfo given no window waits for a click on one.)
man_id=$(window_id frmMan)
man_shape=$([ -n "$man_id" ] && xwininfo -shape -id "$man_id" 2>/dev/null |
  sed -n 's/.*Window shape extents: *\([0-9]*\)x\([0-9]*\)+\([0-9-]*\)+\([0-9-]*\).*/\2 \4/p')
check "the angler's outline reaches his window's bottom row ($man_shape)" \
  bash -c '[[ -n $1 ]] && read -r h y <<<"$1" && (( h + y == $2 ))' _ "$man_shape" \
  "$(geom frmMan | awk '{ print $2 }')"

# ---- Sprites: out of every task list and pager, with a window type.
sprite_props() {  # sprite_props <name>: the window's state and type
  local id
  id=$(window_id "$1")
  [ -n "$id" ] || { echo "no window"; return; }
  xprop -id "$id" _NET_WM_STATE _NET_WM_WINDOW_TYPE 2>/dev/null
}
sprite_ok() { props_ok "$(sprite_props "$1")"; }
props_ok() {
  local p=$1
  grep -q "_NET_WM_STATE_SKIP_TASKBAR" <<<"$p" && grep -q "_NET_WM_STATE_SKIP_PAGER" <<<"$p" &&
    grep -q "_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_" <<<"$p"
}
for name in frmCon frmMan frmSea; do
  check "$name skips the task bar and the pager and has a window type" sprite_ok "$name"
done

# Task buttons on the panel (tint2 draws them lighter than the dark panel,
# each at most 160 px wide): their total width along the panel's middle row.
panel_tasks() {  # the number of task buttons, each 160 px wide at most
  local row=$(($(work_bottom) + 15))
  "$player" grab 0 "$row" 1024 1 "$work/panel.ppm" || { echo -1; return; }
  tail -c $((1024 * 3)) "$work/panel.ppm" | od -An -v -tu1 -w3 |
    awk '{ c = ($1 != 48 || $2 != 48 || $3 != 48) } c && !prev { start = NR } !c && prev { w += NR - start }
         { prev = c } END { if (prev) w += NR + 1 - start; print int((w + 40) / 162) }'
}
shot_panel() {
  "$player" grab 0 "$(work_bottom)" 1024 30 "$work/panel-$1.ppm" &&
    convert "$work/panel-$1.ppm" "$artifacts/panel-$1.png" 2>/dev/null
  cp "$work/panel-$1.ppm" "$artifacts/panel-$1.ppm" 2>/dev/null
}
panel_shows() { [ "$(panel_tasks)" = "$1" ]; }
shot_panel scene
# A sprite listed later would still show with the dialogs below: the panel
# must then list exactly two tasks, which it cannot with a sprite among them.
check "the panel lists one task, the terminal, with the scene up ($(panel_tasks))" panel_shows 1

# ---- No fringe: pixels just outside the sprites show the desktop.
check "no shadow or halo around the angler: $("$player" fringe frmMan "$desktop_rgb" 10 "$wb" | tail -n1)" \
  "$player" fringe frmMan "$desktop_rgb" 10 "$wb"
check "no shadow or halo around the control bar: $("$player" fringe frmCon "$desktop_rgb" 10 "$wb" | tail -n1)" \
  "$player" fringe frmCon "$desktop_rgb" 10 "$wb"

# ---- The dialogs: listed, a close button, no minimise or maximise.
open_menu() {  # a right click on the button; the menu's "W H X Y" in mw mh mx my
  mw=""
  read -r bx by < <(button_xy)
  xdotool mousemove "$bx" "$by" mousedown 3 mouseup 3
  wait_named mpop 30 || return 1
  read -r mw mh mx my < <(geom mpop)
}
menu_pick() {  # menu_pick first|middle|last
  open_menu || return 1
  # A press and a release on the item choose it; the pointer moves there
  # first, as a person's would.
  case $1 in
    first) xdotool mousemove $((mx + mw / 2)) $((my + 12)) ;;
    middle) xdotool mousemove $((mx + mw / 2)) $((my + mh / 2)) ;;
    last) xdotool mousemove $((mx + mw / 2)) $((my + mh - 12)) ;;
  esac
  xdotool click 1
}
dialog_ok() {  # dialog_ok <window id>
  local a s m functions
  a=$(xprop -id "$1" _NET_WM_ALLOWED_ACTIONS 2>/dev/null)
  s=$(xprop -id "$1" _NET_WM_STATE 2>/dev/null)
  m=$(xprop -id "$1" _MOTIF_WM_HINTS 2>/dev/null)
  echo "    $a"
  echo "    $m"
  # The dialog asks for move and close only (Motif hints: functions set,
  # none of ALL 0x1, MINIMIZE 0x8, MAXIMIZE 0x10); the window
  # manager must then allow close and neither resize nor maximise. Openbox
  # keeps its own minimise on every dialog whatever a window asks (it says
  # so in its source), so a minimise action alone is reported, not failed.
  functions=$(sed -n 's/^[^=]*= *\(0x[0-9a-f]*\), *\(0x[0-9a-f]*\).*/\1 \2/p' <<<"$m")
  read -r flags funcs <<<"${functions:-0 0}"
  ((flags & 1)) && ! ((funcs & 0x19)) && ((funcs & 0x20)) || return 1
  if grep -q _NET_WM_ACTION_MINIMIZE <<<"$a"; then
    echo "    note: the window manager offers minimise although the dialog asks for none"
  fi
  grep -q _NET_WM_ACTION_CLOSE <<<"$a" && ! grep -q _NET_WM_ACTION_MAXIMIZE <<<"$a" &&
    ! grep -q _NET_WM_ACTION_RESIZE <<<"$a" && ! grep -q SKIP_TASKBAR <<<"$s"
}
close_dialog() {  # close_dialog <name>: the window manager's close, as its title bar's
  local id
  id=$(window_id "$1")
  [ -n "$id" ] && wmctrl -i -c "$id" 2>/dev/null
  wait_gone "$1" 30
}

menu_pick first
check "釣果履歴 opens the history dialog" wait_named Marivo 30
check "the history dialog asks for close only: no minimise, maximise or resize" \
  dialog_ok "$(window_id Marivo)"
check "the panel lists the history dialog too, and no sprite" eventually 30 panel_shows 2
shot history-dialog
shot_panel history
close_dialog Marivo
check "the history dialog closes from its title bar" wait_gone Marivo 10

menu_pick middle
check "バージョン情報 opens the version dialog" wait_named "ﾊﾞｰｼﾞｮﾝ情報" 30
check "the version dialog asks for close only: no minimise, maximise or resize" \
  dialog_ok "$(window_id "ﾊﾞｰｼﾞｮﾝ情報")"
check "the panel lists the version dialog too, and no sprite" eventually 30 panel_shows 2
shot version-dialog
shot_panel version
close_dialog "ﾊﾞｰｼﾞｮﾝ情報"
check "the version dialog closes from its title bar" wait_gone "ﾊﾞｰｼﾞｮﾝ情報" 10

# ---- The focus stays with the terminal; a menu dismissed with Escape too.
xdotool windowactivate --sync "$term" 2>/dev/null
check "the terminal has the focus again" eventually 30 focused "$term"
check "a right press opens the menu" open_menu
shot menu
xdotool key Escape
check "the menu closes on Escape" wait_gone mpop 20
check "after the menu the terminal has the focus" eventually 20 focused "$term"

# ---- Whole catches, played by the player. The float is watched meanwhile
# in the stacking order: below the sea strip.
stacking_ok() {  # the float below the sea in the window manager's order
  local list uki sea
  list=$(xprop -root _NET_CLIENT_LIST_STACKING 2>/dev/null | sed 's/.*# //; s/,//g')
  uki=$(printf '0x%x' "$(window_id frmUki)" 2>/dev/null)
  sea=$(printf '0x%x' "$(window_id frmSea)" 2>/dev/null)
  awk -v u="$uki" -v s="$sea" '{ for (i = 1; i <= NF; i++) { if ($i == u) pu = i; if ($i == s) ps = i } }
       END { exit !(pu && ps && pu < ps) }' <<<"$list"
}
root_order_ok() {  # and in the X server's own order of the root's children
  local tree uki sea
  tree=$(xwininfo -root -tree 2>/dev/null)
  uki=$(grep -n '"frmUki":' <<<"$tree" | head -n1 | cut -d: -f1)
  sea=$(grep -n '"frmSea":' <<<"$tree" | head -n1 | cut -d: -f1)
  # xwininfo lists the children top-most first.
  [ -n "$uki" ] && [ -n "$sea" ] && ((uki > sea))
}
# While the float bobs its lower pixels dip into the sea strip; the strip
# must cover them: the strip's rows over the float stay blue (a shadow
# falling on the strip may darken it; that is the fringe checks' matter).
sea_covers_float() {
  local n=0 overlap=0 uw uh ux uy sh sy y x
  for _ in $(seq 40); do
    read -r uw uh ux uy < <(geom frmUki) || return 1
    read -r _ sh _ sy < <(geom frmSea) || return 1
    if ((uy + uh > sy)); then
      overlap=1
      for ((y = sy; y < uy + uh && y < sy + sh; y++)); do
        for ((x = ux; x < ux + uw; x++)); do
          read -r r g b < <("$player" pixel "$x" "$y")
          ((r < 40 && g < 40 && b > 150)) || { echo "    sea pixel $x,$y is $r $g $b"; n=$((n + 1)); }
        done
      done
      return $((n > 0))
    fi
    sleep 0.1
  done
  ((overlap))
}

# Seeded, the game catches kind 0 at every landing (lib.sh): one counted
# catch, and the record must say so the moment the catch is shown.
counted="001${zeros:3}"
play_log=$work/play.log
"$player" play 120 >"$play_log" 2>&1 &
player_pid=$!
# Watch the float while the player waits for a bite.
if eventually 300 grep -q "float on the water" "$play_log"; then
  shot cast
  check "the float stands below the sea strip (_NET_CLIENT_LIST_STACKING)" stacking_ok
  check "the float stands below the sea strip (the root's children)" root_order_ok
  check "the sea strip covers the float's lower part (pixels)" sea_covers_float
  check "frmUki skips the task bar and the pager and has a window type" sprite_ok frmUki
else
  fail "the float never came to rest on the water"
fi
# The moment the catch lands: its balloon stays up three seconds, while
# the marks of the catch and the balloon are read and a screenshot taken.
balloon_or_end() { grep -q "^ *[0-9]* ms balloon" "$play_log" || ! kill -0 "$player_pid" 2>/dev/null; }
eventually 1500 balloon_or_end
if grep -q "^ *[0-9]* ms balloon" "$play_log"; then
  props=()
  for name in frmFish frmC frmL frmR; do props+=("$(sprite_props "$name")"); done
  shot landing
  i=0
  for name in frmFish frmC frmL frmR; do
    check "$name skips the task bar and the pager and has a window type" props_ok "${props[i]}"
    i=$((i + 1))
  done
fi
wait "$player_pid"
play_rc=$?
cp "$play_log" "$artifacts/play.log"
grep -E "landed|balloon|bites|escaped|missed" "$play_log" | sed 's/^/     /'
check "the player landed a catch within two minutes" test "$play_rc" = 0
check "the catch showed its balloon (frmL, frmC, frmR)" grep -q "balloon: frmL" "$play_log"
# Counted and saved before the catch is shown.
check "the catch, kind 0, is in the record the moment it is shown ($(tyouka))" \
  test "$(tyouka)" = "$counted"
check "the terminal kept the focus through the catch" focused "$term"
xdotool type --window "$term" --delay 20 "marivo" 2>/dev/null
xdotool key --window "$term" Return 2>/dev/null
check "what is typed reaches the terminal" eventually 30 grep -q "marivo" "$work/typed.txt"

# ---- kill -9 right after the landing keeps the catch, and leaves nothing
# half-written beside it.
kill -9 "$game_pid"
wait "$game_pid" 2>/dev/null
game_pid=""
check "after kill -9 the record holds the catch ($(tyouka))" test "$(tyouka)" = "$counted"
check "after kill -9 only the program and its record are in its folder ($(ls -A "$run" | tr '\n' ' '))" \
  test "$(ls -A "$run" | tr '\n' ' ')" = "marivo2 marivo2.ini "
cp "$run/marivo2.ini" "$artifacts/marivo2.ini" 2>/dev/null

# ---- The catch history of a new run shows the kind: its picture and name.
if start_game; then
  if ! open_menu; then
    fail "a right press opens the menu in the new run"
    shot history-new-run
  elif xdotool mousemove $((mx + mw / 2)) $((my + 12)) click 1 && ! wait_named Marivo 100; then
    fail "釣果履歴 opens the history of the new run (the menu at $mw $mh $mx $my; now $(geom mpop || echo gone))"
    shot history-new-run
  else
    pass "釣果履歴 opens the history of the new run"
    read -r _ _ lx ly < <(geom Marivo)
    # Cell i: left 45 + 630 (i mod 8), top 345 + 630 (i div 8) twips
    # (kinds 5 to 7 at 360), 540 twips square; 15 twips a pixel. Kind 0's
    # cell is the first; kind 1, not caught, shows an empty cell.
    cx=$((lx + 45 / 15)) cy=$((ly + 345 / 15))
    colours=$("$player" colours "$cx" "$cy" 36 36)
    empty=$("$player" colours $((lx + (45 + 630) / 15)) "$cy" 36 36)
    check "the kind's cell shows its picture ($colours colours; an empty cell $empty)" \
      test "$colours" -gt 4 -a "$empty" -le 2
    shot history-catch
    # Hover: the tooltip names the kind.
    xdotool mousemove $((cx + 18)) $((cy + 18))
    sleep 0.2
    xdotool mousemove $((cx + 19)) $((cy + 19))
    tip=""
    for _ in $(seq 40); do
      for id in $(xwininfo -root -children 2>/dev/null | awk '/"marivo2"/ { print $1 }'); do
        xwininfo -id "$id" 2>/dev/null | grep -q IsViewable &&
          xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q TOOLTIP && tip=$id
      done
      [ -n "$tip" ] && break
      sleep 0.1
    done
    shot history-tooltip
    tip_at=$([ -n "$tip" ] && xwininfo -id "$tip" 2>/dev/null | awk '/Absolute upper-left X/ { x = $NF }
      /Absolute upper-left Y/ { y = $NF } /Width:/ { w = $NF } /Height:/ { h = $NF }
      END { if (w) print x, y, w, h }')
    # The tooltip's picture, for a reader to see the kind's name in it.
    [ -n "$tip_at" ] && read -r tx ty tw th <<<"$tip_at" &&
      "$player" grab "$tx" "$ty" "$tw" "$th" "$work/tooltip.ppm" &&
      convert "$work/tooltip.ppm" "$artifacts/tooltip.png" 2>/dev/null
    check "hovering the kind's cell shows a tooltip next to it (${tip_at:-none})" \
      bash -c '[[ -n $1 ]] && read -r x y w h <<<"$1" && (( x >= $2 - 40 && x <= $2 + 80 &&
               y >= $3 && y <= $3 + 80 && w > 10 ))' _ "$tip_at" "$cx" "$cy"
    close_dialog Marivo
  fi
else
  fail "the scene comes up again after kill -9"
fi

# ---- The scene follows the work area: a taller panel moves it up.
if [ -n "$game_pid" ] || start_game; then
  sed 's/^panel_size = 100% 30$/panel_size = 100% 60/' "$here/desktop/tint2rc" >"$work/tint2-tall"
  kill "$panel_pid"
  start_panel "$work/tint2-tall"
  for _ in $(seq 100); do
    [ "$(work_bottom)" = 708 ] && break
    sleep 0.1
  done
  check "the taller panel moves the work area's bottom to 708 ($(work_bottom))" \
    test "$(work_bottom)" = 708
  for _ in $(seq 50); do
    [ "$(bottom_of frmCon)" = 708 ] && [ "$(bottom_of frmSea)" = 708 ] && break
    sleep 0.1
  done
  shot scene-tall-panel
  check "the control bar follows onto row 708 ($(geom frmCon))" test "$(bottom_of frmCon)" = 708
  check "the sea strip follows onto row 708 ($(geom frmSea))" test "$(bottom_of frmSea)" = 708
  check "the angler follows onto row 708 ($(geom frmMan))" test "$(bottom_of frmMan)" = 708
fi

cp "$work/game.log" "$artifacts/game.log" 2>/dev/null
echo "screenshots in $artifacts"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
