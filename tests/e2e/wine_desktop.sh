#!/usr/bin/env bash
# Plays marivo2.exe under Wine in Wine's desktop shell (a virtual desktop
# with a task bar) and checks how it lives with the rest of the desktop:
#  - display scaling: at 96, 120, 144 and 192 dpi every sprite is its design
#    size times the whole scale factor, the scene stands on the task bar,
#    the angler at 2x is exactly his 96-dpi picture blown up, and the clock
#    at 144 dpi keeps its 96-dpi distance from the button, blown up;
#  - the task bar: no sprite or balloon piece has a button, a dialog has;
#  - focus: text typed into notepad before and after the popup menu
#    (dismissed with Esc) all reaches notepad;
#  - a landed catch is on disk at once: it survives kill -9;
#  - a change of screen size lays the scene out again on the new bottom
#    edge (as far as Wine tells a running program: see that section).
# Windows are read through tests/e2e/wine_probe (a small Win32 program run
# beside the game), pictures through the X server.
#
# Usage: tests/e2e/wine_desktop.sh [path/to/marivo2.exe] [artifact folder]
# (MARIVO_WIN_EXE also names the exe.) Screenshots go to the artifact
# folder, by default e2e/ beside the exe. Every wait is bounded.
# MARIVO_WINE_SECTIONS picks sections (scale taskbar focus catch screen;
# all by default), for a quicker look at one of them.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
exe=$(readlink -f "${1:-${MARIVO_WIN_EXE:-$root/build-win/platform/win32/marivo2.exe}}")
[ -f "$exe" ] || { echo "wine_desktop: no $exe (run tools/build-windows.sh)"; exit 1; }
artifacts=${2:-$(dirname "$exe")/e2e}
mkdir -p "$artifacts"
artifacts=$(readlink -f "$artifacts")

for tool in wine wineserver wineboot Xvfb xdotool xwininfo import convert compare \
  x86_64-w64-mingw32-g++-posix; do
  command -v "$tool" >/dev/null || { echo "wine_desktop: $tool is missing (tools/setup.sh windows)"; exit 1; }
done

want() { [[ " ${MARIVO_WINE_SECTIONS:-scale taskbar focus catch screen} " == *" $1 "* ]]; }
# shellcheck source=tests/e2e/lib.sh
source "$root/tests/e2e/lib.sh"
# shellcheck source=tests/e2e/wine_lib.sh
source "$root/tests/e2e/wine_lib.sh"

# A private X server, larger than the virtual desktop so that the desktop
# can grow; the desktop window sits at 0,0 of it.
XVFB_SCREEN=1600x1000x24 wine_start wine_desktop || exit 1
notepad_pid=""
fish_pid=""
echo "== The probe"
wine_build_probe || { echo "wine_desktop: the probe did not build"; exit 1; }
echo "== Desktop shell 1024x768"
# Every program of the prefix runs in one virtual desktop named "shell",
# which brings Wine's task bar.
timeout 60 wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f >/dev/null 2>&1
timeout 60 wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d 1024x768 /f >/dev/null 2>&1
timeout 60 wineserver -w || true

# Visible windows of the game's window class: "hwnd x y w h title".
probe_windows() {
  probe list | grep ' visible=1 ' | grep ' class=Marivo2Window ' |
    sed -E 's/^hwnd=([^ ]+) .* x=(-?[0-9]+) y=(-?[0-9]+) w=([0-9]+) h=([0-9]+) .* title=(.*)$/\1 \2 \3 \4 \5 \6/' ||
    true
}
# The visible top-level window with that title: its probe line.
titled() { probe list | grep ' visible=1 ' | grep -F " title=$1" | grep -vF " title=$1 " | head -n1 || true; }
popup_menu() { probe list | grep ' visible=1 ' | grep ' class=#32768 ' | head -n1 || true; }
# The visible top-level windows of a class.
of_class() { probe list | grep ' visible=1 ' | grep -F " class=$1 " || true; }
# Task-bar buttons in Wine's task bar: its visible buttons but the first,
# which is the start button.
taskbar_buttons() { probe tray | grep '^child=' | grep ' visible=1 ' | tail -n +2 | wc -l || true; }

ini="$work/game/marivo2.ini"
mkdir -p "$work/game"
cp "$exe" "$work/game/marivo2.exe"

# Seeded for the checks: each cast bites soon and each landing catches
# kind 0 (lib.sh).
start_game() {
  (cd "$work/game" && MARIVO2_TEST_SEED=$marivo_test_seed exec timeout 900 wine marivo2.exe) \
    >>"$work/game.log" 2>&1 &
  game_pid=$!
}
# Waits until the scene (bar, angler, sea) is up; sets bar_*, man_*, sea_*
# from the windows' rectangles. The sea is the widest, the bar the leftmost.
read_scene() {
  local lines
  lines=$(probe_windows)
  [ "$(wc -l <<<"$lines")" -ge 3 ] || return 1
  read -r sea_id sea_x sea_y sea_w sea_h _ <<<"$(sort -k4,4n <<<"$lines" | tail -n1)"
  read -r bar_id bar_x bar_y bar_w bar_h _ <<<"$(grep -v "^$sea_id " <<<"$lines" | sort -k2,2n | head -n1)"
  read -r man_id man_x man_y man_w man_h _ <<<"$(grep -v "^$sea_id \|^$bar_id " <<<"$lines" | head -n1)"
  [ -n "$man_id" ]
}
wait_scene() {
  for _ in $(seq 60); do
    [ "$(probe_windows | wc -l)" -ge 3 ] && { sleep 1; read_scene && return 0; }
    sleep 0.5
  done
  return 1
}
stop_all() {
  [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
  [ -n "$notepad_pid" ] && kill "$notepad_pid" 2>/dev/null
  wine_end || true
  game_pid=""
  notepad_pid=""
}
# The scene standing on the usable bottom edge "bottom" at factor f.
check_scene_on() {
  local bottom=$1 f=$2 label=$3
  local bar_bottom=$((bar_y + bar_h)) man_bottom=$((man_y + man_h)) sea_bottom=$((sea_y + sea_h))
  # The game places in whole logical pixels: at factor 2 an odd bottom
  # edge leaves one device pixel free.
  [ "$bar_x" = 0 ] && [ "$bar_bottom" -le "$bottom" ] && [ "$bar_bottom" -gt $((bottom - f)) ] &&
    pass "$label: control bar at $bar_x,$bar_y, its bottom $bar_bottom on the usable bottom $bottom" ||
    fail "$label: control bar at $bar_x,$bar_y to bottom $bar_bottom, usable bottom $bottom"
  [ "$man_x" = "$bar_w" ] && [ "$man_bottom" = "$bar_bottom" ] &&
    pass "$label: angler at $man_x,$man_y, feet on the line $man_bottom" ||
    fail "$label: angler at $man_x,$man_y, feet at $man_bottom, bar bottom $bar_bottom"
  [ "$sea_x" = "$bar_w" ] && [ "$sea_bottom" = "$bar_bottom" ] &&
    pass "$label: sea from $sea_x,$sea_y down to $sea_bottom" ||
    fail "$label: sea at $sea_x,$sea_y to $sea_bottom, bar bottom $bar_bottom"
}
# Screenshot of the virtual desktop (at 0,0 of the X screen).
desktop_shot() {
  local w h
  read -r w h <<<"$(probe work | sed -E 's/screen_w=([0-9]+) screen_h=([0-9]+).*/\1 \2/')"
  import -window root -crop "${w}x$h+0+0" +repage "$1"
}

if want scale; then
  echo "== Display scaling"
  # Largest dpi first, 96 last: the later sections run at 96 dpi; 144 just
  # before 96, as their clocks are compared (below).
  declare -A clock_ink=() clock_minute=()
  for dpi in 192 120 144 96; do
    stop_all
    timeout 60 wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
      >/dev/null 2>&1
    wine_end || true
    f=$(((dpi + 48) / 96))
    start_game
    if ! wait_scene; then
      fail "$dpi dpi: the scene never came up"
      probe_windows
      continue
    fi
    seen=$(probe dpi | field dpiy)
    [ "$seen" = "$dpi" ] && pass "$dpi dpi: the system reports $seen dpi, factor $f" ||
      fail "$dpi dpi: the system reports $seen dpi"
    read -r screen_w work_b <<<"$(probe work | sed -E 's/screen_w=([0-9]+) .* work_b=([0-9]+).*/\1 \2/')"
    # Design sizes: the bar 1250 x 230 twips (83 x 15), the angler 50 x 48,
    # the sea 50 twips high (3) and as wide as the screen.
    [ "$bar_w $bar_h" = "$((83 * f)) $((15 * f))" ] && pass "$dpi dpi: control bar ${bar_w}x$bar_h" ||
      fail "$dpi dpi: control bar ${bar_w}x$bar_h, not $((83 * f))x$((15 * f))"
    [ "$man_w $man_h" = "$((50 * f)) $((48 * f))" ] && pass "$dpi dpi: angler ${man_w}x$man_h" ||
      fail "$dpi dpi: angler ${man_w}x$man_h, not $((50 * f))x$((48 * f))"
    [ "$sea_h" = $((3 * f)) ] && [ "$sea_w" -gt $((screen_w - f)) ] && [ "$sea_w" -le "$screen_w" ] &&
      pass "$dpi dpi: sea ${sea_w}x$sea_h" ||
      fail "$dpi dpi: sea ${sea_w}x$sea_h, not ${screen_w}x$((3 * f))"
    check_scene_on "$work_b" "$f" "$dpi dpi"
    sleep 0.5
    # The clocks at 144 and 96 dpi are compared, so both pictures must show
    # the same minute: the one at 144 is taken early in a minute, and the
    # run at 96 follows within half a minute. The game's clock ticks once a
    # second: no picture in a minute's first two seconds.
    second=$((10#$(date +%S)))
    [ "$dpi" = 144 ] && [ "$second" -gt 20 ] && sleep $((62 - second))
    [ "$((10#$(date +%S)))" -lt 2 ] && sleep 2
    minute=$(date +%m%d%H%M)
    desktop_shot "$artifacts/desktop_${dpi}dpi.png"
    [ "$(date +%m%d%H%M)" = "$minute" ] && clock_minute[$dpi]=$minute
    # The box of the clock's lit pixels in the bar's client area, left of
    # the button (game column 66): "left top width height".
    clock_ink[$dpi]=$(convert "$artifacts/desktop_${dpi}dpi.png" \
      -crop "$((66 * f))x$((bar_h - 2 * f))+$((bar_x + f))+$((bar_y + f))" +repage -format '%@' info: |
      sed -nE 's/^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$/\3 \4 \1 \2/p')
    convert "$artifacts/desktop_${dpi}dpi.png" -crop "${man_w}x$man_h+$man_x+$man_y" +repage \
      "$work/man_$dpi.png"
  done
  # The angler's picture: at factor 1 identical to 96 dpi, at factor 2 a
  # nearest-neighbour blow-up of it, pixel for pixel.
  if [ -f "$work/man_96.png" ]; then
    cp "$work/man_96.png" "$artifacts/angler_96dpi.png"
    convert "$work/man_96.png" -sample 200% "$work/man_96x2.png"
    for dpi in 120 144 192; do
      [ -f "$work/man_$dpi.png" ] || continue
      cp "$work/man_$dpi.png" "$artifacts/angler_${dpi}dpi.png"
      [ "$dpi" = 120 ] && reference="$work/man_96.png" || reference="$work/man_96x2.png"
      differ=$(compare -metric AE "$reference" "$work/man_$dpi.png" null: 2>&1 || true)
      [ "$differ" = 0 ] && pass "$dpi dpi: the angler is pixel-identical to the 96-dpi one$([ "$dpi" = 120 ] || echo ' blown up 2x')" ||
        fail "$dpi dpi: the angler differs from the 96-dpi one in $differ pixels"
    done
  else
    fail "no angler picture at 96 dpi to compare with"
  fi
  # The control bar at 144 dpi is the one at 96 dpi blown up: the clock's
  # text ends where the 96-dpi one does times the factor, so it keeps its
  # distance from the button, within one 96-dpi pixel blown up: the glyphs
  # are drawn at full size, and a face's right bearing, rounded to whole
  # pixels at each size, differs with the clock's last digit (a bearing of
  # half a pixel at 96 dpi is 0 or 1 there, and 1 at 144).
  f=$(((144 + 48) / 96))
  if [ -z "${clock_ink[96]:-}" ] || [ -z "${clock_ink[144]:-}" ]; then
    fail "no clock seen at 96 or 144 dpi (${clock_ink[96]:-} / ${clock_ink[144]:-})"
  elif [ "${clock_minute[96]:-a}" != "${clock_minute[144]:-b}" ]; then
    echo "  skip the clock's comparison: the pictures at 96 and 144 dpi show different minutes"
  else
    read -r left1 _ width1 _ <<<"${clock_ink[96]}"
    read -r left2 _ width2 _ <<<"${clock_ink[144]}"
    gap1=$((66 - left1 - width1))
    gap2=$((66 * f - left2 - width2))
    [ "$gap2" -ge $((f * gap1 - f)) ] && [ "$gap2" -le $((f * gap1 + f)) ] &&
      pass "144 dpi: the clock ends $gap2 px before the button, $f x the $gap1 px at 96 dpi" ||
      fail "144 dpi: the clock ends $gap2 px before the button, not $f x the $gap1 px at 96 dpi"
  fi
fi
if ! want scale; then
  timeout 60 wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f \
    >/dev/null 2>&1
  wine_end || true
  start_game
  wait_scene || true
fi

# The rest runs at 96 dpi on the scene of the last start.
if ! read_scene; then
  echo "wine_desktop: no scene at 96 dpi; $passed passed, $((failed + 1)) failed"
  exit 1
fi
# The action button, inside the bar's one-pixel border.
button_x=$((bar_x + 1 + 66 + 7))
button_y=$((bar_y + 1 + 5))

if want taskbar; then
  echo "== The task bar"
  # Windows' own rule, read from each sprite's owner and styles.
  qualify=$(probe list | grep ' visible=1 ' | grep ' class=Marivo2Window ' | grep ' taskbar=1 ' || true)
  [ -z "$qualify" ] && pass "no sprite qualifies for a task-bar button (owner and styles)" ||
    fail "sprites that would get a task-bar button: $qualify"
  buttons=$(taskbar_buttons)
  [ "$buttons" = 0 ] && pass "no task-bar button for the scene" ||
    fail "the scene has $buttons task-bar buttons"
  desktop_shot "$work/shot.png"
  convert "$work/shot.png" -gravity south -crop 1024x60+0+0 +repage "$artifacts/taskbar_scene.png"

  # Right-presses the button and waits for the popup menu; sets menu_*.
  open_menu() {
    local line
    xdotool mousemove "$button_x" "$button_y" click 3
    for _ in $(seq 20); do
      line=$(popup_menu)
      if [ -n "$line" ]; then
        menu_x=$(field x <<<"$line")
        menu_y=$(field y <<<"$line")
        menu_w=$(field w <<<"$line")
        menu_h=$(field h <<<"$line")
        return 0
      fi
      sleep 0.25
    done
    return 1
  }
  if open_menu; then
    # The middle item of three is バージョン情報.
    xdotool mousemove $((menu_x + menu_w / 2)) $((menu_y + menu_h / 2))
    sleep 0.3
    xdotool click 1
    version=""
    for _ in $(seq 20); do
      version=$(titled "ﾊﾞｰｼﾞｮﾝ情報")
      [ -n "$version" ] && break
      sleep 0.25
    done
    if [ -z "$version" ]; then
      fail "no version dialog"
    else
      [ "$(field taskbar <<<"$version")" = 1 ] && pass "the version dialog qualifies for a task-bar button" ||
        fail "the version dialog would have no task-bar button: $version"
      buttons=$(taskbar_buttons)
      [ "$buttons" = 1 ] && pass "the task bar shows one button, for the version dialog" ||
        fail "the task bar shows $buttons buttons with the version dialog open"
      desktop_shot "$work/shot.png"
      convert "$work/shot.png" -gravity south -crop 1024x60+0+0 +repage "$artifacts/taskbar_dialog.png"
      xdotool key Return
      for _ in $(seq 20); do [ -z "$(titled "ﾊﾞｰｼﾞｮﾝ情報")" ] && break; sleep 0.25; done
      [ -z "$(titled "ﾊﾞｰｼﾞｮﾝ情報")" ] || fail "Enter left the version dialog open"
    fi
  else
    fail "no popup menu"
  fi
fi

if want focus; then
  echo "== Focus after the menu"
  (exec timeout 300 wine notepad) >>"$work/notepad.log" 2>&1 &
  notepad_pid=$!
  notepad=""
  for _ in $(seq 40); do
    notepad=$(of_class Notepad | head -n1)
    [ -n "$notepad" ] && break
    sleep 0.25
  done
  if [ -z "$notepad" ]; then
    fail "notepad did not start"
  else
    notepad_id=$(field hwnd <<<"$notepad")
    # The pointer stays on the desktop (X gives the keys to the window under
    # it); Wine hands them to its foreground window.
    xdotool mousemove 600 200
    sleep 0.5
    [ "$(probe fg | field hwnd)" = "$notepad_id" ] || fail "notepad is not in the foreground at the start"
    xdotool type --delay 50 "before"
    sleep 0.3
    if open_menu; then
      sleep 0.3
      import -window root -crop 1024x768+0+0 +repage "$artifacts/focus_menu.png"
      xdotool key Escape
      for _ in $(seq 20); do [ -z "$(popup_menu)" ] && break; sleep 0.25; done
      [ -z "$(popup_menu)" ] && pass "Esc dismissed the menu" || fail "the menu stayed open after Esc"
      xdotool mousemove 600 200
      sleep 0.5
      foreground=$(probe fg)
      [ "$(field hwnd <<<"$foreground")" = "$notepad_id" ] &&
        pass "notepad is in the foreground again after the menu" ||
        fail "after the menu the foreground is $(field class <<<"$foreground") $(field hwnd <<<"$foreground"), not notepad"
    else
      fail "no popup menu over notepad"
    fi
    xdotool type --delay 50 "after"
    sleep 0.5
    edit=$(probe texts "$notepad_id" | grep '^child=' | grep -i ' class=Edit ' | head -n1 | sed 's/.* text=//' || true)
    desktop_shot "$artifacts/focus_after.png"
    [ "$edit" = "beforeafter" ] && pass "notepad got all the typed text: $edit" ||
      fail "notepad holds \"$edit\", not \"beforeafter\""
    kill "$notepad_pid" 2>/dev/null || true
    for _ in $(seq 20); do [ -z "$(of_class Notepad)" ] && break; sleep 0.25; done
    notepad_pid=""
  fi
fi

if want catch; then
  echo "== A catch, its balloon, and kill -9"
  # Casts with little power (the float lands close in, so the fight is
  # short) and lets the probe play the bite: strike when the float goes
  # under, hold on blue, let go on red. While the balloon ("HIT!!!", then
  # the catch's name) is up, its pieces must stay out of the task bar. A
  # landed creature is written at once, so kill -9 afterwards keeps it.
  # Seeded, the game catches kind 0: once the catch is shown the record
  # counts one more of it than before. A cast the probe does not bring in
  # (a missed strike, a fish that got away) is cast again while time
  # allows.
  tyouka() { [ -f "$ini" ] && tr -d '\r' <"$ini" | sed -n 's/^Tyouka=//p' || true; }
  before=$(tyouka)
  [ -n "$before" ] || before=$(printf '0%.0s' $(seq 120))
  counted=$(printf '%03X%s' $((16#${before:0:3} + 1)) "${before:3}")
  deadline=$((SECONDS + 120))
  landings=0
  balloon_seen=0
  balloon_buttons=0
  saved=""
  while [ "$landings" = 0 ] && [ "$SECONDS" -lt "$deadline" ]; do
    read_scene || break
    xdotool mousemove "$button_x" "$button_y" click 1
    sleep 0.1
    xdotool click 1
    float=""
    for _ in $(seq 60); do
      float=$(probe_windows | awk '$4 == 5 && $5 == 21 {print $1}' | head -n1)
      [ -n "$float" ] && break
      sleep 0.25
    done
    if [ -z "$float" ]; then
      fail "no float on the water after a cast"
      break
    fi
    left=$((deadline - SECONDS))
    timeout $((left + 10)) wine "$work/probe.exe" fish "$float" "$button_x" "$button_y" "$sea_y" 5 \
      $((left * 1000)) 2>/dev/null | tr -d '\r' >"$work/fish.log" &
    fish_pid=$!
    catch_shot=0
    # Watch for the balloon while the probe plays.
    while kill -0 "$fish_pid" 2>/dev/null || [ -n "$(probe_windows | grep -E ' (CENTER|LEFT|RIGHT)$')" ]; do
      pieces=$(probe_windows | grep -cE ' (CENTER|LEFT|RIGHT)$' || true)
      if [ "$pieces" -gt 0 ]; then
        n=$(taskbar_buttons)
        [ "$balloon_seen" = 0 ] && {
          import -window root -crop 1024x768+0+0 +repage "$work/shot.png"
          cp "$work/shot.png" "$artifacts/balloon.png"
          convert "$work/shot.png" -gravity south -crop 1024x140+0+0 +repage "$artifacts/taskbar_balloon.png"
        }
        balloon_seen=$((balloon_seen + 1))
        # Once the float is in, the balloon names the catch: a picture of it
        # tells a joke catch (not stored) from a creature.
        if ! kill -0 "$fish_pid" 2>/dev/null && [ "$catch_shot" = 0 ]; then
          import -window root -crop 1024x200+0+568 +repage "$artifacts/catch_$((landings + 1)).png"
          catch_shot=1
        fi
        [ "$n" -gt "$balloon_buttons" ] && balloon_buttons=$n
        for id in $(probe_windows | grep -E ' (CENTER|LEFT|RIGHT)$' | awk '{print $1}'); do
          probe list | grep "^hwnd=$id " | grep -c ' taskbar=1 ' >/dev/null && balloon_buttons=99
        done
      fi
      sleep 0.3
    done
    wait "$fish_pid" || true
    fish_pid=""
    result=$(sed -n 's/^result=//p' "$work/fish.log")
    echo "  ..   the probe's bite: $(tr '\n' ' ' <"$work/fish.log")"
    if [ "$result" = landed ]; then
      landings=$((landings + 1))
      # Counted and saved before the catch is shown, before the float goes.
      saved=$(tyouka)
    else
      # Let the empty hook or the escape finish before the next cast.
      for _ in $(seq 40); do [ "$(probe_windows | wc -l)" -le 3 ] && break; sleep 0.25; done
    fi
  done
  if [ "$balloon_seen" -gt 0 ]; then
    [ "$balloon_buttons" = 0 ] && pass "no task-bar button while the balloon is up" ||
      fail "the task bar showed $balloon_buttons buttons while the balloon was up (99: a piece qualifies by the task bar's rule)"
  else
    fail "no balloon was seen"
  fi
  if [ "$landings" = 0 ]; then
    fail "no catch landed within two minutes"
  else
    [ "$saved" = "$counted" ] && pass "the landed catch, kind 0, is in the record at once" ||
      fail "at the landing the record holds ${saved:-nothing}, not $counted"
    # The game itself, not the timeout around it (which then ends too;
    # disowned, so the shell does not report the kill).
    disown "$game_pid" 2>/dev/null || true
    for proc in /proc/[0-9]*; do
      [ "$(cut -d' ' -f4 "$proc/stat" 2>/dev/null)" = "$game_pid" ] && kill -9 "${proc#/proc/}" 2>/dev/null
    done
    for _ in $(seq 40); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.25; done
    kill -0 "$game_pid" 2>/dev/null && fail "the game outlived kill -9"
    game_pid=""
    [ "$(tyouka)" = "$counted" ] && pass "after kill -9 the record still holds the catch" ||
      fail "after kill -9 the record holds $(tyouka), not $counted"
    leftovers=$(find "$work/game" -mindepth 1 -maxdepth 1 ! -name marivo2.exe ! -name marivo2.ini \
      -printf '%f ')
    [ -z "$leftovers" ] && pass "no temporary file beside the record" ||
      fail "beside the record: $leftovers"
  fi
  stop_all
fi

if want screen; then
  echo "== The screen changes"
  # The desktop grows to 1280x800, or shrinks to 800x600, under the running
  # game: the scene is laid out again on the new usable bottom edge. Wine 8
  # keeps a running program's work area at its value from the program's
  # start (a probe started beside the game shows what the game can know);
  # then the scene must stand on that bottom, or the screen's if lower.
  for size in 1280x800 800x600; do
    new_w=${size%x*}
    new_h=${size#*x}
    start_game
    if ! wait_scene; then
      fail "$size: the scene never came up"
      stop_all
      continue
    fi
    timeout 60 wine "$work/probe.exe" later 5000 2>/dev/null | tr -d '\r' >"$work/later.log" &
    later_pid=$!
    sleep 1
    probe mode "$new_w" "$new_h" >/dev/null || fail "$size: could not change the screen"
    wait "$later_pid" || true
    sleep 1
    read -r screen_w screen_h work_b <<<"$(probe work | sed -E 's/screen_w=([0-9]+) screen_h=([0-9]+) .* work_b=([0-9]+).*/\1 \2 \3/')"
    known_b=$(field work_b <"$work/later.log")
    if [ "$screen_w $screen_h" != "$new_w $new_h" ]; then
      fail "$size: the desktop is ${screen_w}x$screen_h"
      stop_all
      continue
    fi
    read_scene || { fail "$size: the scene is gone"; stop_all; continue; }
    [ -n "$known_b" ] || { fail "$size: the probe beside the game read no work area"; stop_all; continue; }
    desktop_shot "$artifacts/screen_$size.png"
    [ "$sea_w" = "$new_w" ] && pass "$size: laid out again, the sea reaches the new right edge" ||
      fail "$size: the sea is $sea_w wide, not $new_w"
    # The whole scene stands on the bottom the program is told, which is
    # on the screen: the work area's, as a program started beside it sees
    # it, and at most the screen's height.
    [ "$known_b" = "$work_b" ] ||
      echo "  note $size: Wine shows a running program the work area's bottom at $known_b, the task bar stands at $work_b"
    told_b=$((known_b < screen_h ? known_b : screen_h))
    check_scene_on "$told_b" 1 "$size"
    stop_all
  done
fi

echo "== Screenshots in $artifacts"
echo "wine_desktop: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
