#!/usr/bin/env bash
# The real desktop program on the desktops people use, one after another,
# each headless at 1280 x 800 with a panel along the bottom where it has one:
#
#   openbox  openbox and a tint2 panel
#   xfce     xfwm4 (compositing on, as it comes) and xfce4-panel at the bottom
#   xfce-stock  xfwm4 and xfce4-panel as they come: a panel at the top and
#            an autohiding dock in the middle of the bottom edge
#   xfce-top xfwm4 and xfce4-panel with the stock top panel only (the dock
#            removed): the scene on the screen's bottom edge
#   icewm    IceWM and its own task bar
#   kwin     KWin on X11 with its default settings, a tint2 panel and a
#            desktop window
#   mutter   GNOME's mutter on X11, a tint2 panel and a desktop window
#   sway     sway (Wayland, headless) and swaybar; the game through XWayland
#   mutter_wayland
#            mutter as a Wayland compositor, nested on an Xvfb, a tint2
#            panel; the game through XWayland
#   weston   weston (Wayland, headless), panel at the top as it comes; the
#            game through XWayland, which aborts on synthetic presses: the
#            scene is only looked at there
#
# On each: the scene's windows exactly on the usable bottom row, each sprite
# drawn as its outline and nothing round it (pixels outside the outlines are
# the desktop's, compared with a picture taken before the game started), no
# sprite in the task list, and a terminal that keeps the keyboard focus
# while the player clicks the game. Then the player casts and waits for a
# bite: the float must be seen gone below the sea's top edge, hidden behind
# the sea's own rows (a picture at the bite). Desktops named in
# MARIVO_MATRIX_WHOLE_CATCH (all but weston by default) play on until a
# catch lands, which must be seen rising out of the sea, nothing of it on
# the sea's rows. Pictures of each desktop go to the artifact folder, named by desktop.
#
# Usage: desktop_matrix.sh <marivo2> <artifact folder> <marivo-player> [desktop...]
# A desktop whose programs are missing is skipped; exits 77 when all are.
set -uo pipefail

usage="usage: desktop_matrix.sh <marivo2> <artifact folder> <marivo-player> [desktop...]"
exe=${1:?$usage}
artifacts=${2:?$usage}
player=${3:?$usage}
shift 3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
desktops=("$@")
[ ${#desktops[@]} -gt 0 ] || desktops=(openbox xfce xfce-stock xfce-top icewm kwin mutter mutter_wayland sway weston)
whole_catch=" ${MARIVO_MATRIX_WHOLE_CATCH:-openbox xfce xfce-top icewm kwin mutter mutter_wayland sway} "

# shellcheck source=tests/e2e/lib.sh
source "$here/lib.sh"

for tool in Xvfb xdotool xwininfo xprop xterm convert; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done
[ -x "$player" ] || { echo "SKIP: no player at $player"; exit 77; }

mkdir -p "$artifacts"
work=$(mktemp -d)
# The Wayland compositors refuse to run as root: they run as nobody, which
# must read their settings here.
chmod 755 "$work"
sessions=()
cleanup() {
  stop_desktop
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

W=1280 H=800
desktop_rgb=3a6e5a

# ---- Processes: each desktop program in a session of its own, so that it
# ends with everything it started (D-Bus, XWayland, panels, helpers).
launch() {  # launch <log> <command...>
  local log=$1
  shift
  setsid "$@" >"$log" 2>&1 </dev/null &
  sessions+=($!)
}
as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
stop_desktop() {
  [ -n "$game_pid" ] && kill -9 "$game_pid" 2>/dev/null && wait "$game_pid" 2>/dev/null
  game_pid=""
  local sid left
  for sid in "${sessions[@]}"; do kill -TERM -- "-$sid" 2>/dev/null; done
  for _ in $(seq 30); do
    left=""
    for sid in "${sessions[@]}"; do left+=$(pgrep -s "$sid"); done
    [ -z "$left" ] && break
    sleep 0.1
  done
  for sid in "${sessions[@]}"; do
    kill -KILL -- "-$sid" 2>/dev/null
    wait "$sid" 2>/dev/null
  done
  sessions=()
  # A terminal's shell runs in a session of its own: it ends by the hang-up
  # of its terminal, or here.
  local pid
  for pid in $(left_over); do kill -TERM "$pid" 2>/dev/null; done
  wait_until 30 none_left
  for pid in $(left_over); do kill -KILL "$pid" 2>/dev/null; done
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
  fi
}

# Processes started for this desktop that are still there: every one of
# them has this desktop's folder in its environment (HOME, XDG_*), also
# one that left its session.
left_over() {
  [ -n "${dir:-}" ] || return 0
  # Scanned with an empty environment, so that the scan is not one of them.
  env -i bash -c 'for p in /proc/[0-9]*; do
      grep -qsF "$1" "$p/environ" && printf "%s " "${p#/proc/}"; done' _ "$dir/"
}
none_left() { [ -z "$(left_over)" ]; }

wait_until() {  # wait_until <tenths> <command...>: true once the command is
  local n=$1
  shift
  for _ in $(seq "$n"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
# The usable bottom row (exclusive) as the window manager publishes it.
work_bottom() {
  xprop -root _NET_WORKAREA 2>/dev/null |
    awk -F'= ' '{ split($2, v, ", "); print v[2] + v[4]; exit }'
}
panel_reserves() { local b; b=$(work_bottom); [ -n "$b" ] && [ "$b" -lt "$H" ] && [ "$b" -gt 700 ]; }

# ---- The desktops. Each sets DISPLAY, `bottom` (the row the scene must
# stand on), `shoot` (how a picture of the whole screen is taken, as PPM)
# and `can_play`.
x11_screen() {
  XVFB_SCREEN=${W}x${H}x24 start_xvfb "$dir" -noreset || return 1
  wait_until 50 xwininfo -root >/dev/null 2>&1
  shoot=shoot_x11
  can_play=1
}
shoot_x11() { "$player" grab 0 0 "$W" "$H" "$1"; }
x11_wallpaper() { "$player" wallpaper "$desktop_rgb"; }
# KWin paints black and mutter a gradient of its own where no window is:
# a desktop window, as a desktop shell would put there, in our colour.
desktop_window() {
  launch "$dir/desktop.log" "$player" desktop "$desktop_rgb"
  wait_until 100 bash -c '[ -n "$(xdotool search --onlyvisible --name "^marivo-desktop$")" ]'
}
tint2_panel() {
  launch "$dir/tint2.log" tint2 -c "$here/desktop/tint2rc"
  wait_until 100 panel_reserves && bottom=$(work_bottom)
}

up_openbox() {
  x11_screen || return 1
  launch "$dir/openbox.log" openbox --config-file "$here/desktop/openbox-rc.xml"
  wait_until 100 wm_running || return 1
  x11_wallpaper
  tint2_panel
}

up_xfce() {
  x11_screen || return 1
  # One panel along the bottom, 30 pixels, with a task list and a clock.
  local conf=$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml
  mkdir -p "$conf"
  cp "$here/desktop/xfce4-panel.xml" "$conf/"
  x11_wallpaper
  launch "$dir/xfce.log" dbus-run-session -- sh -c 'xfwm4 & xfce4-panel & wait'
  wait_until 150 wm_running || return 1
  wait_until 150 panel_reserves && bottom=$(work_bottom)
}

# Xfce as a new user gets it: no panel settings, so xfce4-panel makes its
# stock layout, a panel along the top that reserves its room and a dock in
# the middle of the bottom edge that reserves none. The dock hides when the
# active window overlaps it (down to a 3-pixel strip on the edge) and shows
# otherwise, as it does here with the terminal away from it. The scene
# stands on the dock's top edge. xfwm4's compositor draws a faint shadow
# round the dock, a few rows up onto the sea (at most 13 levels of blue):
# switched off here, so the sea's colour is checked exactly.
up_xfce-stock() {
  x11_screen || return 1
  x11_wallpaper
  local conf=$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml
  mkdir -p "$conf"
  cat >"$conf/xfwm4.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfwm4" version="1.0">
  <property name="general" type="empty">
    <property name="show_dock_shadow" type="bool" value="false"/>
  </property>
</channel>
EOF
  launch "$dir/xfce.log" dbus-run-session -- sh -c 'xfwm4 & xfce4-panel & wait'
  wait_until 150 wm_running || return 1
  wait_until 150 bottom_dock && bottom=$(bottom_dock)
  [ -n "$bottom" ]
}
# The top row of a dock-type client of the window manager standing on the
# bottom edge, from the screen's lower half; false when there is none.
bottom_dock() {
  local id y h
  for id in $(xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -o '0x[0-9a-f]*'); do
    xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DOCK || continue
    read -r y h < <(xwininfo -id "$id" 2>/dev/null |
      awk '/Absolute upper-left Y/ { y = $4 } /Height:/ { h = $2 } END { print y + 0, h + 0 }')
    [ $((y + h)) = "$H" ] && [ "$y" -gt $((H / 2)) ] && echo "$y" && return 0
  done
  return 1
}

# Xfce with its top panel only, the stock dock removed as many users do:
# the stock layout of a fresh home, then, once it is up, panel-2 taken out
# of the panel's settings and the panel restarted (inside the desktop's
# D-Bus session, told through a file). Nothing reserves the bottom: the
# scene stands on the screen's bottom edge, within reach of xfwm4's pull.
up_xfce-top() {
  x11_screen || return 1
  x11_wallpaper
  launch "$dir/xfce.log" dbus-run-session -- sh -c 'xfwm4 & xfce4-panel &
    until [ -e "$1/remove-dock" ]; do sleep 0.1; done
    xfconf-query -c xfce4-panel -p /panels -t int -s 1 -a --force-array &&
      xfce4-panel -r && touch "$1/dock-removed"
    wait' _ "$dir"
  wait_until 150 wm_running || return 1
  wait_until 150 bottom_dock >/dev/null || return 1
  touch "$dir/remove-dock"
  wait_until 150 test -e "$dir/dock-removed" || return 1
  # The top panel back and reserving its room, and still so a second later:
  # nothing on the bottom edge.
  wait_until 150 top_panel_only && sleep 1 && top_panel_only || return 1
  bottom=$H
}
top_panel_only() {
  local top
  top=$(xprop -root _NET_WORKAREA 2>/dev/null | awk -F'= ' '{ split($2, v, ", "); print v[2]; exit }')
  [ "${top:-0}" -gt 0 ] && [ "$(work_bottom)" = "$H" ] && ! bottom_dock >/dev/null
}

up_icewm() {
  x11_screen || return 1
  x11_wallpaper
  launch "$dir/icewm.log" icewm
  wait_until 100 wm_running || return 1
  wait_until 100 panel_reserves && bottom=$(work_bottom)
}

up_kwin() {
  x11_screen || return 1
  x11_wallpaper
  launch "$dir/kwin.log" dbus-run-session -- kwin_x11 --replace
  wait_until 200 wm_running || return 1
  desktop_window
  tint2_panel
}

up_mutter() {
  x11_screen || return 1
  x11_wallpaper
  launch "$dir/mutter.log" dbus-run-session -- mutter --x11 --replace --sm-disable
  wait_until 200 wm_running || return 1
  desktop_window
  tint2_panel
}

# GNOME's mutter as a Wayland compositor, the game through its XWayland,
# a tint2 panel there (mutter keeps windows out of its strip as on X11).
# Run nested on an Xvfb, whose root shows mutter's output: that is where
# the pictures come from (XWayland's own root holds no pixels).
up_mutter_wayland() {
  x11_screen || return 1
  outer=$DISPLAY
  local runtime=$dir/wl-runtime
  mkdir -m 0700 "$runtime"
  launch "$dir/mutter.log" env -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$runtime" \
    MUTTER_DEBUG_DUMMY_MODE_SPECS=${W}x$H dbus-run-session -- \
    mutter --nested --wayland --sm-disable --wayland-display mu-w
  wait_until 150 grep -q "Using public X11 display" "$dir/mutter.log" || return 1
  DISPLAY=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$dir/mutter.log" | head -n1)
  XAUTHORITY=$(ls "$runtime"/.mutter-Xwaylandauth.* 2>/dev/null | head -n1)
  export DISPLAY XAUTHORITY
  wait_until 150 wm_running || return 1
  desktop_window
  tint2_panel
  shoot=shoot_outer
  shot_command="DISPLAY=$outer XAUTHORITY= '$player' grab 0 0 $W $H \"\$1\""
  can_play=1
}
shoot_outer() { DISPLAY=$outer XAUTHORITY='' "$player" grab 0 0 "$W" "$H" "$1"; }

# XWayland lets in only the user it runs as; the compositor's first client
# (run as that user) lets root in and says which display it is.
wayland_display_file() { [ -s "$dir/x-display" ]; }
up_sway() {
  command -v sway >/dev/null && command -v grim >/dev/null || return 77
  local runtime=$dir/wl-runtime
  mkdir -m 0700 "$runtime" && chown nobody "$runtime"
  cat >"$dir/sway.conf" <<EOF
xwayland enable
output HEADLESS-1 resolution ${W}x${H} position 0,0 bg #$desktop_rgb solid_color
bar {
  position bottom
  height 30
}
for_window [title="^focusterm\$"] floating enable, move position 900 80
exec sh -c 'xhost +si:localuser:root && echo "\$DISPLAY" > $dir/x-display'
EOF
  chmod 644 "$dir/sway.conf"
  chmod 777 "$dir"
  launch "$dir/sway.log" "${as_nobody[@]}" env -u DISPLAY -u WAYLAND_DISPLAY HOME="$dir" \
    XDG_RUNTIME_DIR="$runtime" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
    WLR_RENDERER=pixman sway -c "$dir/sway.conf"
  wait_until 150 wayland_display_file || return 1
  DISPLAY=$(cat "$dir/x-display")
  export DISPLAY
  wayland_runtime=$runtime
  local socket
  for socket in "$runtime"/wayland-[0-9]*; do
    [[ $socket == *.lock ]] || wayland_name=${socket##*/}
  done
  shot_command="XDG_RUNTIME_DIR='$runtime' WAYLAND_DISPLAY='$wayland_name' grim -t ppm \"\$1\""
  # What sway gives the programs of its session.
  SWAYSOCK=$(ls "$runtime"/sway-ipc.*.sock 2>/dev/null | head -n1)
  export SWAYSOCK XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=$wayland_name
  bottom=$(sway_bottom)
  shoot=shoot_grim
  can_play=1
  [ -n "$bottom" ]
}
# The bottom of the workspace's usable area, above the bar.
sway_bottom() {
  swaymsg -t get_workspaces -r 2>/dev/null |
    awk '/"rect"/ { r = 1 } r && /"y":/ { y = $2 + 0 } r && /"height":/ { print y + $2; exit }'
}
sway_bottom_moved() { [ "$(sway_bottom)" != "$bottom" ]; }
# While the game runs, the bar is made taller and then as it was: each
# time the scene moves onto the bar's new top edge.
more_sway() {
  local height
  # The catch and its balloon go after three seconds.
  wait_gone frmFish 100
  wait_gone frmC 100
  for height in 40 30; do
    swaymsg bar bar-0 height "$height" >/dev/null 2>&1
    if ! wait_until 50 sway_bottom_moved; then
      fail "$name: sway's bar takes the height $height (usable bottom still $(sway_bottom))"
      return
    fi
    bottom=$(sway_bottom)
    echo "    the bar $height pixels high: usable bottom row $bottom"
    assert_placed "bar-$height"
  done
  # A program opened after the game, tiled under the scene: sway still
  # draws the scene above it, and a press on the button must still reach
  # the game (XWayland gives it to the window on top of the X server's
  # order, which the game keeps its sprites at).
  launch "$dir/late.log" xterm -T lateterm
  if ! wait_until 100 sprites_above lateterm; then
    fail "$name: the scene stays above a program opened after it in the X server's order"
    x_tree | grep -E '"(frm[A-Za-z]*|lateterm)"' | sed 's/^/    /'
  fi
  local bx by
  read -r bx by < <(geom frmCon | awk '{ print $3 + int($1 * 74 / 83), $4 + int($2 / 2) }')
  xdotool mousemove "$bx" "$by" mousedown 1
  sleep 0.5
  $shoot "$dir/pressed.ppm" && png pressed
  xdotool mouseup 1
  check "$name: a press on the button over a later program runs the gauge ($(gauge_pixels) pixels)" \
    test "$(gauge_pixels)" -gt 20
}
# Whether every shown sprite is above the named window in the X server's
# order (xwininfo lists the root's children top-most first).
sprites_above() {
  x_tree | awk -v w="\"$1\":" '$2 == w { seen = 1; above = found == 3; exit }
    $2 ~ /^"frm(Con|Man|Sea)":$/ { found++ } END { exit !(seen && above) }'
}
# The gauge's green and yellow in the control bar while the button is held.
gauge_pixels() {
  convert "$dir/pressed.ppm" -crop 83x15+0+$((bottom - 15)) +repage txt:- 2>/dev/null |
    awk -F'[(,)]' 'NR > 1 && $4 > 150 && $5 < 100 { n++ } END { print n + 0 }'
}
shoot_grim() { XDG_RUNTIME_DIR=$wayland_runtime WAYLAND_DISPLAY=$wayland_name grim -t ppm "$1"; }

up_weston() {
  command -v weston >/dev/null && command -v weston-screenshooter >/dev/null || return 77
  local runtime=$dir/wl-runtime
  mkdir -m 0700 "$runtime" && chown nobody "$runtime"
  cat >"$dir/weston.ini" <<EOF
[core]
xwayland=true

[shell]
background-color=0xff$desktop_rgb
EOF
  chmod 644 "$dir/weston.ini"
  chmod 777 "$dir"
  launch "$dir/weston.log" "${as_nobody[@]}" env -u DISPLAY -u WAYLAND_DISPLAY HOME="$dir" \
    XDG_RUNTIME_DIR="$runtime" weston --backend=headless-backend.so --use-pixman \
    --width=$W --height=$H --xwayland --debug --socket=wayland-mx -c "$dir/weston.ini"
  wayland_runtime=$runtime
  export XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=wayland-mx
  # The first X client starts XWayland; weston names its display in the log.
  wait_until 150 grep -q "xserver listening on display" "$dir/weston.log" || return 1
  DISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$dir/weston.log" | head -n1)
  export DISPLAY
  launch "$dir/xhost.log" "${as_nobody[@]}" env XDG_RUNTIME_DIR="$runtime" xhost +si:localuser:root
  wait_until 150 xwininfo -root >/dev/null 2>&1 || return 1
  # weston publishes no work area: the scene stands on the screen's bottom.
  bottom=$H
  shoot=shoot_weston
  can_play=0
}
shoot_weston() {
  mkdir -p "$dir/shots"
  (cd "$dir/shots" && XDG_RUNTIME_DIR=$wayland_runtime WAYLAND_DISPLAY=wayland-mx \
    weston-screenshooter >/dev/null 2>&1)
  convert "$(ls -t "$dir"/shots/wayland-screenshot-*.png | head -n1)" "$1"
}

# ---- The shared assertions.
# What the X window shows, where the desktop shows it: the extents of its
# outline (a window may reach further than it draws). geom, from lib.sh,
# is where the game placed it.
window() { "$player" window "$1" 2>/dev/null; }
# Where the game placed a window, then the row below what shows of it.
placed() { echo "$(geom "$1") $(window "$1" | awk '{ print $2 + $4 }')"; }
png() { convert "$dir/$1.ppm" "$artifacts/$name-$1.png" 2>/dev/null; }
# A picture of the screen once the scene's band has stayed the same for
# two seconds: a compositor may fade windows in, slowly on a busy machine.
shoot_settled() {  # shoot_settled <name>: $dir/<name>.ppm and its PNG
  local previous=$dir/$1-previous.ppm same=0
  $shoot "$previous" || return 1
  for _ in $(seq 40); do
    sleep 0.5
    $shoot "$dir/$1.ppm" || return 1
    if "$player" differ "$previous" "$dir/$1.ppm" 0 $((bottom - 60)) "$W" 60 >/dev/null; then
      same=$((same + 1))
      ((same < 4)) || break
    else
      same=0
    fi
    mv "$dir/$1.ppm" "$previous"
  done
  [ -f "$dir/$1.ppm" ] || mv "$previous" "$dir/$1.ppm"
  png "$1"
}
# The test-only seed the desktop checks share (lib.sh): bites come at the
# same tick of every cast, so a desktop's play takes the same time each run.
start_game() {
  (cd "$run" && MARIVO2_TEST_SEED=$marivo_test_seed exec ./marivo2) >>"$dir/game.log" 2>&1 &
  game_pid=$!
  wait_until 150 bash -c '"$1" geom frmMan && "$1" geom frmCon && "$1" geom frmSea' _ \
    "$player" >/dev/null
}
# A sprite the window manager lists as a client must ask to be left out of
# task lists.
not_in_task_list() {  # not_in_task_list <name>
  local id list
  id=$(printf '0x%x' "$(window_id "$1")" 2>/dev/null) || return 1
  list=$(xprop -root _NET_CLIENT_LIST 2>/dev/null)
  grep -qi "$id\b" <<<"$list" || return 0
  xprop -id "$id" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_SKIP_TASKBAR
}
# The sea's rows in the picture <name>.ppm: blue from the angler's right
# to the screen's edge.
sea_ok() {  # sea_ok <name>
  local colours
  colours=$(convert "$dir/$1.ppm" -crop $((W - 133))x3+133+$((bottom - 3)) +repage \
    -unique-colors -depth 8 txt:- 2>/dev/null | tail -n +2 | awk '{ print $3 }' | sort -u)
  echo "    sea rows $((bottom - 3))-$((bottom - 1)): $(echo $colours)"
  [ "$colours" = "#0000FF" ]
}
same_pixels() {  # same_pixels <a.ppm> <b.ppm> x y w h
  local n
  n=$("$player" differ "$@")
  [ "$n" = 0 ] || echo "    $n pixels differ in $5 x $6 at $3,$4"
  [ "$n" = 0 ]
}
# The float's columns above the sea, the band the player watches in its
# pictures of the bite: as high as the upright float and the 29 rows above
# it, where xfwm4 would hold a window it pulls up from the screen's bottom
# edge, down to the row above the sea's top edge (a bite stops the float up
# to 8 twips short of that edge, which may round to that row).
float_region() {  # x y w h
  echo "$((fx - 2)) $((sea_top - fh - 29)) $((fw + 4)) $((fh + 28))"
}

# Placed on the usable bottom row $bottom: the windows at their rows and
# columns, waited for until they stop moving (a window manager may place
# them in steps), and in a picture of the screen then (<name>.ppm) the
# sea's rows blue and the row above them the desktop's.
assert_placed() {  # assert_placed <picture name>
  local want_con="83 15 0 $((bottom - 15))" want_man="50 48 83 $((bottom - 48)) $bottom"
  wait_until 50 bash -c '[ "$("$1" window frmCon)" = "$2" ] &&
    [ "$("$1" geom frmMan) $("$1" window frmMan | awk "{ print \$2 + \$4 }")" = "$3" ]' _ \
    "$player" "$want_con" "$want_man"
  shoot_settled "$1"
  check "$name: the control bar at x 0, its bottom on row $bottom ($(window frmCon))" \
    test "$(window frmCon)" = "$want_con"
  check "$name: the angler at x 83, his feet on row $bottom (placed, shown down to: $(placed frmMan))" \
    test "$(placed frmMan)" = "$want_man"
  local sh sx sy
  read -r _ sh sx sy < <(window frmSea)
  check "$name: the sea strip from x 83, 3 rows, its bottom on row $bottom ($(window frmSea))" \
    test "${sx:-}x${sh:-}+${sy:-}" = "83x3+$((bottom - 3))"
  check "$name: the sea's rows are blue to the screen's right edge" sea_ok "$1"
  check "$name: the row above the sea is the desktop's" \
    same_pixels "$dir/before.ppm" "$dir/$1.ppm" 133 $((bottom - 4)) $((W - 133)) 1
}

assert_desktop() {
  local term focus_before bound
  # A terminal with the keyboard focus, away from the scene.
  launch "$dir/xterm.log" xterm -geometry 50x8+900+80 -T focusterm -e sh -c "cat > '$dir/typed.txt'"
  wait_until 100 bash -c '[ -n "$(xdotool search --name "^focusterm$" 2>/dev/null)" ]'
  term=$(xdotool search --name '^focusterm$' 2>/dev/null | head -n1)
  [ "$can_play" = 1 ] && xdotool windowactivate --sync "$term" >/dev/null 2>&1
  wait_until 30 bash -c '[ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]' _ "$term"
  focus_before=$(xdotool getwindowfocus 2>/dev/null)
  shoot_settled before

  # ---- The game, from a folder of its own with an empty record.
  run=$dir/run
  mkdir -p "$run"
  cp "$exe" "$run/marivo2"
  printf '[Data]\r\nTyouka=%s\r\n' "$(printf '0%.0s' $(seq 120))" >"$run/marivo2.ini"
  if ! start_game; then
    fail "$name: the scene comes up (the control bar, the angler and the sea on the screen)"
    sed 's/^/    /' "$dir/game.log"
    return
  fi
  assert_placed scene
  if [ "$bottom" -lt "$H" ]; then
    check "$name: the panel's top row is the panel's" \
      same_pixels "$dir/before.ppm" "$dir/scene.ppm" 0 "$bottom" "$W" 1
  fi
  # Drawn as outlines: nothing round them, most of the outline drawn.
  # The angler's first frame covers 823 of his 2400 pixels; the bar, its
  # whole rectangle.
  local sprite pixels said
  for sprite in frmMan:823 frmCon:1245; do
    pixels=${sprite#*:} sprite=${sprite%:*}
    said=$("$player" outline "$sprite" "$dir/before.ppm" "$dir/scene.ppm" 10 "$bottom" 90 "$pixels")
    check "$name: $sprite drawn as its outline only ($pixels pixels)" test $? = 0
    sed 's/^/    /' <<<"$said"
  done
  for sprite in frmCon frmMan frmSea; do
    check "$name: $sprite is not in the task list" not_in_task_list "$sprite"
  done

  if [ "$can_play" != 1 ]; then
    return
  fi
  # ---- Play: cast, watch the float, strike at a bite, and (where a whole
  # catch is played) play the fish in.
  local log=$dir/play.log whole=0
  [[ $whole_catch == *" $name "* ]] && whole=1
  bound=$((whole ? 150 : 90))
  # The player pictures the bite until the float's band looks as in the
  # scene before the cast, for as long as the bite lasts.
  MARIVO_PLAYER_SHOTS=$dir MARIVO_PLAYER_SHOT_COMMAND=$shot_command \
    MARIVO_PLAYER_REFERENCE=$dir/scene.ppm \
    "$player" play "$bound" >"$log" 2>&1 &
  local player_pid=$!
  if wait_until 300 grep -q "float on the water" "$log"; then
    $shoot "$dir/float.ppm" && png float
  fi
  # The short check ends with the strike at the first bite.
  while kill -0 "$player_pid" 2>/dev/null; do
    if ((!whole)) && grep -qE "HIT: fight|missed" "$log"; then
      kill "$player_pid" 2>/dev/null
      break
    fi
    sleep 0.1
  done
  wait "$player_pid"
  cp "$log" "$artifacts/$name-play.log"
  grep -E "float on|bite|HIT|landed|rise|balloon|time is up" "$log" | sed 's/^/    /'

  check "$name: the terminal kept the focus while the game was clicked" \
    test "$(xdotool getwindowfocus 2>/dev/null)" = "$term" -a "$focus_before" = "$term"
  local bite
  bite=$(sed -n 's/.*bite: float \([0-9]*\)x[0-9]*+\([0-9]*\)+[0-9]*, sea top \([0-9]*\).*/\1 \2 \3/p' \
    "$log" | head -n1)
  check "$name: the player saw a bite (the float's top gone down to the sea's)" test -n "$bite"
  # The bite the player could picture (one seen too late proves nothing).
  bite=$(grep "bite picture: " "$log" | grep -v inconclusive | head -n1 |
    sed -n 's/.*float \([0-9]*\)x[0-9]*+\([0-9]*\)+[0-9]*, sea top \([0-9]*\).*/\1 \2 \3/p')
  check "$name: a bite was pictured" test -n "$bite"
  local floating
  floating=$(sed -n 's/.*float on the water at \([0-9]*\),[0-9]* (\([0-9]*\)x\([0-9]*\)).*/\1 \2 \3/p' \
    "$log" | head -n1)
  sea_top=$((bottom - 3))
  if [ -n "$floating" ]; then
    # Floating, the float stands on the sea: its pixels show above it.
    read -r fx fw fh <<<"$floating"
    read -r rx ry rw rh < <(float_region)
    check "$name: the float is seen on the water ($rw x $rh at $rx,$ry differ from the scene)" \
      bash -c '! "$1" differ "$2" "$3" "$4" "$5" "$6" "$7" >/dev/null' _ "$player" \
      "$dir/scene.ppm" "$dir/float.ppm" "$rx" "$ry" "$rw" "$rh"
  fi
  if [ -n "$bite" ] && [ -n "$floating" ]; then
    read -r fw fx sea_top <<<"$bite"
    [ -f "$dir/bite.ppm" ] && png bite
    read -r rx ry rw rh < <(float_region)
    check "$name: during the bite nothing of the float shows above the sea (rows $ry-$((ry + rh - 1)))" \
      same_pixels "$dir/scene.ppm" "$dir/bite.ppm" "$rx" "$ry" "$rw" "$rh"
    # Sent behind the sea strip, the sunk float is hidden by it: the sea's
    # own rows under it show the sea as before the cast.
    check "$name: during the bite the sea's rows under the float show only the sea (rows $sea_top-$((bottom - 1)))" \
      same_pixels "$dir/scene.ppm" "$dir/bite.ppm" "$rx" "$sea_top" "$rw" $((bottom - sea_top))
  fi
  if ((whole)); then
    [ -f "$dir/catch-first.ppm" ] && png catch-first
    check "$name: a catch landed within $bound s" grep -q "landed:" "$log"
    local rise first highest tops
    rise=$(sed -n 's/^rise: first top \([0-9]*\), highest top \([0-9]*\), \([0-9]*\) tops.*/\1 \2 \3/p' \
      "$log" | head -n1)
    read -r first highest tops <<<"${rise:-0 0 0}"
    # Seen first at the water line, then in steps at least 20 of its 36
    # rows out.
    check "$name: the catch rose out of the sea (first top $first, highest $highest, $tops steps; sea top $sea_top)" \
      test "$first" -ge $((sea_top - 8)) -a "$highest" -le $((sea_top - 20)) -a "$tops" -ge 3
    # Where it first shows, the catch stands in the sea behind the strip:
    # from the sea's top edge down, the picture (cut round its window by
    # the player) is as the scene was before the cast.
    local cx cy
    read -r cx cy _ < <(grep -m1 '^rise windows:' "$log" | grep -o ' [0-9]*,[0-9]* [0-9]*x' |
      head -n1 | tr ',x' '  ')
    if [ -f "$dir/catch-first.ppm" ] && [ -n "$cx" ]; then
      local cw ch from
      cx=$((cx < 4 ? 0 : cx - 4)) cy=$((cy < 4 ? 0 : cy - 4))
      from=$((sea_top > cy ? sea_top - cy : 0))
      read -r cw ch < <(identify -format '%w %h' "$dir/catch-first.ppm")
      convert "$dir/scene.ppm" -crop "${cw}x${ch}+$cx+$cy" +repage "$dir/scene-at-catch.ppm"
      check "$name: the rising catch shows nothing on or below the sea's top edge (rows $((cy + from))-$((cy + ch - 1)))" \
        same_pixels "$dir/scene-at-catch.ppm" "$dir/catch-first.ppm" 0 "$from" "$cw" $((ch - from))
    fi
  fi
}

game_pid=""
skipped=0
for name in "${desktops[@]}"; do
  declare -F "up_$name" >/dev/null || { fail "no desktop called $name"; continue; }
  echo "== $name"
  started=$SECONDS
  dir=$work/$name
  mkdir -p "$dir"
  export HOME=$dir/home XDG_CONFIG_HOME=$dir/home/.config XDG_CACHE_HOME=$dir/home/.cache
  export XDG_RUNTIME_DIR=$dir/runtime
  mkdir -p "$HOME" "$XDG_CONFIG_HOME" && mkdir -m 0700 "$XDG_RUNTIME_DIR"
  unset WAYLAND_DISPLAY SWAYSOCK XAUTHORITY QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR
  bottom="" shoot="" can_play=0 shot_command="" wayland_name=""
  "up_$name"
  up=$?
  if [ "$up" = 77 ]; then
    echo "SKIP - $name is not installed"
    skipped=$((skipped + 1))
  elif [ "$up" != 0 ] || [ -z "$bottom" ]; then
    fail "$name: the desktop comes up with its panel (usable bottom '${bottom}')"
    tail -n 20 "$dir"/*.log 2>/dev/null | sed 's/^/    /'
  else
    echo "    usable bottom: row $bottom"
    assert_desktop
    # What one desktop alone can change while the game runs, once a whole
    # catch has been played (the float is in again, the scene quiet).
    if declare -F "more_$name" >/dev/null && [[ $whole_catch == *" $name "* ]] &&
      [ -n "$game_pid" ] && kill -0 "$game_pid" 2>/dev/null; then
      "more_$name"
    fi
  fi
  cp "$dir/game.log" "$artifacts/$name-game.log" 2>/dev/null
  stop_desktop
  left=$(left_over)
  check "$name: every process started for it has ended (${left:-none left})" test -z "$left"
  [ -z "$left" ] || ps -o pid,ppid,sid,stat,args -p "${left// /,}" 2>&1 | sed 's/^/    /'
  echo "    $name took $((SECONDS - started)) s"
done

echo "pictures in $artifacts"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] || exit 1
[ "$skipped" -lt ${#desktops[@]} ] || exit 77
