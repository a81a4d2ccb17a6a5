#!/usr/bin/env bash
# Plays marivo2.exe under Wine on a private X server and checks it through
# that server: the sprite windows stand where the scene puts them, the
# angler is cut to his outline, a cast puts the float on the sea, a second
# start only says that the game is already running (and, told of a logoff
# with its box up, ends without writing), a record in the user's folder is
# merged into the one beside the program (and left as it is), the menu's
# exit item writes the catch record beside the program, a record saved with
# a byte-order mark is read through, kept, and replaced atomically, and a
# plain taskkill (WM_CLOSE) ends the game with its counts saved.
#
# Usage: tests/e2e/wine_e2e.sh [path/to/marivo2.exe] [artifact folder]
# (MARIVO_WIN_EXE also names the exe.) Screenshots land in the artifact
# folder, by default e2e/ beside the exe. Every wait is bounded.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
exe=$(readlink -f "${1:-${MARIVO_WIN_EXE:-$root/build-win/platform/win32/marivo2.exe}}")
[ -f "$exe" ] || { echo "wine_e2e: no $exe (run tools/build-windows.sh)"; exit 1; }
artifacts=${2:-$(dirname "$exe")/e2e}
mkdir -p "$artifacts"
artifacts=$(readlink -f "$artifacts")

for tool in wine wineserver wineboot winepath Xvfb xdotool xwininfo import compare \
  x86_64-w64-mingw32-g++-posix; do
  command -v "$tool" >/dev/null || { echo "wine_e2e: $tool is missing (tools/setup.sh windows)"; exit 1; }
done

# shellcheck source=tests/e2e/lib.sh
source "$root/tests/e2e/lib.sh"
# shellcheck source=tests/e2e/wine_lib.sh
source "$root/tests/e2e/wine_lib.sh"

wine_start wine_e2e || exit 1
wine_build_probe || { echo "wine_e2e: the probe did not build"; exit 1; }
# No window manager here: Wine draws the dialogs' frames and captions itself.
wine_unmanaged
screen_w=1024
screen_h=768

mkdir -p "$work/game"
cp "$exe" "$work/game/marivo2.exe"
# A record from an earlier run: one catch of kind 0, ten of kind 1.
stored="00100A$(printf '000%.0s' $(seq 38))"
printf '[Data]\r\nTyouka=%s\r\n' "$stored" >"$work/game/marivo2.ini"
# A different collection in the user's folder: seven of kind 2, as the
# system's own profile functions may leave it (no line end after the last
# line). The run starts from the merge of both and saves it beside the
# program; this one is read, never written.
appdata=$(unix_folder APPDATA)
user_ini="$appdata/Marivo2/marivo2.ini"
user_stored="000000007$(printf '000%.0s' $(seq 37))"
merged="00100A007$(printf '000%.0s' $(seq 37))"
mkdir -p "$appdata/Marivo2"
printf '[Data]\r\nTyouka=%s' "$user_stored" >"$user_ini"
user_sum=$(md5sum <"$user_ini")
(cd "$work/game" && exec timeout 300 wine marivo2.exe) >"$work/game.log" 2>&1 &
game_pid=$!

# grep -c reads to the end: an early exit would fail the pipe (pipefail).
shaped() { xwininfo -id "$1" -shape 2>/dev/null | grep -c 'Window shape extents' >/dev/null; }

echo "== The scene on the bottom edge"
# 15 twips to the pixel; no task bar under a bare X server, so the usable
# bottom is the screen's: 768. The bar is 1250 x 230 twips, the angler
# 50 x 48 pixels, the sea 50 twips high and a screen wide.
bottom=$screen_h
con=$(wait_window 83 15 150) || { fail "the control bar never appeared"; game_windows; exit 1; }
read -r con_id _ _ con_x con_y <<<"$con"
[ "$con_x" = 0 ] && [ "$con_y" = $((bottom - 15)) ] &&
  pass "control bar at 0,$con_y" || fail "control bar at $con_x,$con_y, not 0,$((bottom - 15))"
shaped "$con_id" && fail "the control bar is shaped" || pass "control bar is a plain rectangle"

man=$(wait_window 50 48) || { fail "the angler never appeared"; exit 1; }
read -r man_id _ _ man_x man_y <<<"$man"
[ "$man_x" = 83 ] && [ "$man_y" = $((bottom - 48)) ] &&
  pass "angler at $man_x,$man_y" || fail "angler at $man_x,$man_y, not 83,$((bottom - 48))"
if shaped "$man_id"; then
  extents=$(xwininfo -id "$man_id" -shape | sed -n 's/.*Window shape extents: *//p')
  pass "angler cut to his outline ($extents)"
else
  fail "the angler has no shape"
fi

sea=$(wait_window "$screen_w" 3) || { fail "the sea never appeared"; exit 1; }
read -r _ _ _ sea_x sea_y <<<"$sea"
[ "$sea_x" = 83 ] && [ "$sea_y" = $((bottom - 3)) ] &&
  pass "sea strip at $sea_x,$sea_y" || fail "sea strip at $sea_x,$sea_y, not 83,$((bottom - 3))"
sleep 1
import -window root "$artifacts/wine_start.png"
[ "$(tr -d '\r' <"$work/game/marivo2.ini")" = "$(printf '[Data]\nTyouka=%s' "$merged")" ] &&
  pass "the two records were merged into the one beside the program" ||
  fail "beside the program after the start: $(tr -d '\r' <"$work/game/marivo2.ini" | tr '\n' ' ')"

# The refusal box of the copy PID, once it is up (empty when that copy
# ended first or no box came within 15 s).
refusal_box() {
  local box=""
  for _ in $(seq 60); do
    box=$(probe list | grep ' visible=1 ' | grep ' class=#32770 ' | grep ' title=Marivo2$' | head -n1 || true)
    [ -n "$box" ] && break
    kill -0 "$1" 2>/dev/null || break
    sleep 0.25
  done
  printf '%s' "$box"
}
echo "== A second start"
# While the game runs, a second copy only says so in a message box titled
# Marivo2 (OK only) and ends: no second scene, the record untouched.
record_sum=$(md5sum <"$work/game/marivo2.ini")
record_time=$(stat -c %Y "$work/game/marivo2.ini")
(cd "$work/game" && exec timeout 60 wine marivo2.exe) >"$work/second.log" 2>&1 &
second_pid=$!
box=$(refusal_box "$second_pid")
if [ -z "$box" ]; then
  fail "no message box titled Marivo2 from the second start"
else
  pass "the second start shows a message box titled Marivo2"
  sleep 0.5
  import -window root "$artifacts/wine_second_start.png"
  parts=$(probe texts "$(field hwnd <<<"$box")")
  grep -qxF 'text=マリヴォ２はすでに起動しています。' <<<"$(grep ' class=Static ' <<<"$parts" | sed 's/.* text=/text=/')" &&
    pass "it says マリヴォ２はすでに起動しています。" ||
    fail "its texts are: $(grep ' class=Static ' <<<"$parts" | sed 's/.* text=//' | tr '\n' '|')"
  buttons=$(grep ' class=Button ' <<<"$parts" | grep ' visible=1 ' || true)
  [ "$(wc -l <<<"$buttons")" = 1 ] && [ "${buttons##* text=}" = OK ] && pass "its only button is OK" ||
    fail "its buttons are: $(sed 's/.* text=//' <<<"$buttons" | tr '\n' '|')"
  ok_line=$(head -n1 <<<"$buttons")
  if [ -n "$ok_line" ]; then
    xdotool mousemove $(($(field x <<<"$ok_line") + $(field w <<<"$ok_line") / 2)) \
      $(($(field y <<<"$ok_line") + $(field h <<<"$ok_line") / 2)) click 1
  fi
fi
for _ in $(seq 40); do kill -0 "$second_pid" 2>/dev/null || break; sleep 0.25; done
# The scene is counted before a copy that did not end is stopped.
scene=$(probe list | grep ' visible=1 ' | grep ' class=Marivo2Window ' || true)
if kill -0 "$second_pid" 2>/dev/null; then
  fail "the second copy still runs after OK"
  kill "$second_pid" 2>/dev/null || true
else
  pass "the second copy ended"
fi
bars=$(grep -c ' w=83 h=15 ' <<<"$scene" || true)
anglers=$(grep -c ' w=50 h=48 ' <<<"$scene" || true)
[ "$bars $anglers" = "1 1" ] && pass "one scene: one control bar, one angler" ||
  fail "$bars control bars and $anglers anglers after the second start"
[ "$(md5sum <"$work/game/marivo2.ini")" = "$record_sum" ] &&
  [ "$(stat -c %Y "$work/game/marivo2.ini")" = "$record_time" ] &&
  [ "$(md5sum <"$user_ini")" = "$user_sum" ] &&
  pass "the records were not touched" || fail "the second start changed a record"

echo "== A logoff while a second copy's box is up"
# The refused copy never read the record: the session ending while its box
# is up (asked and told, as a logoff does, of this process only) ends it at
# once, and it writes nothing. The first copy, not told, plays on.
record_sum=$(md5sum <"$work/game/marivo2.ini")
(cd "$work/game" && exec timeout 60 wine marivo2.exe) >"$work/refused.log" 2>&1 &
refused_pid=$!
box=$(refusal_box "$refused_pid")
if [ -z "$box" ]; then
  fail "no refusal box to end the session under"
else
  probe endsession "$(field pid <<<"$box")" >"$work/endsession-refused.log"
  for _ in $(seq 20); do kill -0 "$refused_pid" 2>/dev/null || break; sleep 0.25; done
  if kill -0 "$refused_pid" 2>/dev/null; then
    fail "the refused copy outlived the end of its session"
    kill "$refused_pid" 2>/dev/null || true
  else
    pass "the end of the session ended the refused copy"
  fi
  [ "$(md5sum <"$work/game/marivo2.ini")" = "$record_sum" ] && [ "$(md5sum <"$user_ini")" = "$user_sum" ] &&
    pass "the refused copy wrote no record at the session's end" ||
    fail "the refused copy's session end changed a record: $(tr -d '\r' <"$work/game/marivo2.ini" | grep Tyouka)"
  kill -0 "$game_pid" 2>/dev/null && pass "the first copy plays on" || fail "the first copy ended too"
fi

# The action button: left 990, top -30 twips in the bar's client area,
# inside a one-pixel border.
button_x=$((con_x + 1 + 66 + 7))
button_y=$((con_y + 1 + 5))

echo "== A cast"
known=$(game_windows | cut -d' ' -f1 | sort)
xdotool mousemove "$button_x" "$button_y" click 1
sleep 0.7
xdotool click 1
float=""
for _ in $(seq 40); do
  float=$(game_windows | while read -r id w h x y; do
    grep -qx "$id" <<<"$known" || echo "$id $w $h $x $y"
  done | awk '$2 < 40 && $3 < 40' | head -n1)
  # The flight ends with the float upright on the water (5 x 21 pixels).
  if [ -n "$float" ] && [ "$(cut -d' ' -f2,3 <<<"$float")" = "5 21" ]; then break; fi
  sleep 0.25
done
if [ -z "$float" ]; then
  fail "no float after the cast"
else
  read -r float_id float_w float_h float_x float_y <<<"$float"
  float_bottom=$((float_y + float_h))
  [ "$float_w $float_h" = "5 21" ] && pass "float upright on the sea" ||
    fail "float is ${float_w}x$float_h, not upright"
  [ "$float_x" -gt $((man_x + 50)) ] && pass "float out at x $float_x" ||
    fail "float at x $float_x, not beyond the angler"
  # It bobs and dips from there, but stays at the water line.
  [ "$float_y" -ge $((sea_y - float_h - 10)) ] && [ "$float_y" -le "$sea_y" ] &&
    [ "$float_bottom" -ge "$sea_y" ] &&
    pass "float stands in the water (top $float_y, bottom $float_bottom)" ||
    fail "float from $float_y to $float_bottom is off the water at $sea_y"
  shaped "$float_id" && pass "float is shaped" || fail "float has no shape"
fi
sleep 1
import -window root "$artifacts/wine_cast.png"

echo "== The version dialog"
# Opens the popup menu; prints "w h x y" of it.
open_menu() {
  local known line
  known=$(game_windows | cut -d' ' -f1 | sort)
  xdotool mousemove "$button_x" "$button_y" click 3
  for _ in $(seq 40); do
    line=$(game_windows | while read -r id w h x y; do
      grep -qx "$id" <<<"$known" || echo "$w $h $x $y"
    done | awk '$1 > 60 && $2 > 40' | head -n1)
    [ -n "$line" ] && { echo "$line"; return 0; }
    sleep 0.25
  done
  return 1
}
# The mapped message box, captioned with the program's title.
message_box() {
  local id
  for id in $(xwininfo -root -tree 2>/dev/null | grep -F '"Marivo2": ("marivo2.exe"' |
    awk '{print $1}'); do
    if xwininfo -id "$id" 2>/dev/null | grep -c IsViewable >/dev/null; then echo "$id"; fi
  done
}
dialog_window() { xwininfo -root -tree 2>/dev/null | grep -F "\"$1\": (\"marivo2.exe\"" | head -n1; }
if menu=$(open_menu); then
  read -r menu_w menu_h menu_x menu_y <<<"$menu"
  # The middle item of three is バージョン情報.
  xdotool mousemove $((menu_x + menu_w / 2)) $((menu_y + menu_h / 2))
  sleep 0.3
  xdotool click 1
  version=""
  for _ in $(seq 40); do
    version=$(dialog_window "ﾊﾞｰｼﾞｮﾝ情報")
    [ -n "$version" ] && break
    sleep 0.25
  done
  if [ -z "$version" ]; then
    fail "no version dialog"
  else
    read -r vw vh vx vy <<<"$(sed -E 's/.* ([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+) .*/\1 \2 \3 \4/' <<<"$version")"
    centre_x=$((vx + vw / 2))
    centre_y=$((vy + vh / 2))
    [ "${centre_x#-}" -ge $((screen_w / 2 - 8)) ] && [ "$centre_x" -le $((screen_w / 2 + 8)) ] &&
      [ "$centre_y" -ge $((screen_h / 2 - 20)) ] && [ "$centre_y" -le $((screen_h / 2 + 20)) ] &&
      pass "version dialog centred on the screen" ||
      fail "version dialog centred at $centre_x,$centre_y"
    sleep 0.5
    import -window root "$artifacts/wine_version.png"
    # OK is the default button: Enter closes the dialog.
    xdotool key Return
    for _ in $(seq 20); do [ -z "$(dialog_window "ﾊﾞｰｼﾞｮﾝ情報")" ] && break; sleep 0.25; done
    [ -z "$(dialog_window "ﾊﾞｰｼﾞｮﾝ情報")" ] && pass "Enter pressed OK" ||
      fail "Enter left the version dialog open"
  fi
else
  fail "no popup menu for the version dialog"
fi

echo "== The catch history"
if menu=$(open_menu); then
  read -r menu_w menu_h menu_x menu_y <<<"$menu"
  known=$(game_windows | cut -d' ' -f1 | sort)
  # The first item is 釣果履歴.
  xdotool mousemove $((menu_x + menu_w / 2)) $((menu_y + 12))
  sleep 0.3
  xdotool click 1
  list=""
  for _ in $(seq 40); do
    list=$(dialog_window "Marivo")
    [ -n "$list" ] && break
    sleep 0.25
  done
  if [ -z "$list" ]; then
    fail "no catch history window"
  else
    read -r ow oh ox oy <<<"$(sed -E 's/.* ([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+) .*/\1 \2 \3 \4/' <<<"$list")"
    # The client area, 5070 x 4020 twips, inside the frame Wine drew.
    frame=$(((ow - 338) / 2))
    lx=$((ox + frame))
    ly=$((oy + oh - 268 - frame))
    pass "catch history open, its client area at $lx,$ly"
    # Kind 0 was caught: its picture (left 45, top 345 twips) names it.
    xdotool mousemove $((lx + 3 + 18)) $((ly + 23 + 18))
    sleep 0.2
    xdotool mousemove $((lx + 3 + 20)) $((ly + 23 + 20))
    tip=""
    for _ in $(seq 20); do
      tip=$(game_windows | while read -r id w h x y; do
        grep -qx "$id" <<<"$known" || echo "$id $w $h $x $y"
      done | grep -v "^$(dialog_window "Marivo" | awk '{print $1}') " | head -n1 || true)
      [ -n "$tip" ] && break
      sleep 0.25
    done
    [ -n "$tip" ] && pass "the caught fish shows its name as a tooltip" ||
      fail "no tooltip over a caught fish"
    import -window root "$artifacts/wine_history.png"
    # 釣果クリア asks first (left 3975, top 3510 twips); いいえ keeps the
    # record, which the exit below writes back unchanged.
    xdotool mousemove $((lx + 265 + 36)) $((ly + 234 + 14)) click 1
    question=""
    for _ in $(seq 40); do
      question=$(message_box)
      [ -n "$question" ] && break
      sleep 0.25
    done
    if [ -z "$question" ]; then
      fail "釣果クリア asked nothing"
    else
      pass "釣果クリア asks, under the caption Marivo2"
      import -window root "$artifacts/wine_question.png"
      xdotool key n
      for _ in $(seq 20); do [ -z "$(message_box)" ] && break; sleep 0.25; done
      [ -z "$(message_box)" ] && pass "いいえ answered it" || fail "the question stayed open"
    fi
    # 閉じる: left 165, top 3510 twips, 1080 x 420.
    xdotool mousemove $((lx + 11 + 36)) $((ly + 234 + 14)) click 1
    for _ in $(seq 20); do [ -z "$(dialog_window "Marivo")" ] && break; sleep 0.25; done
    [ -z "$(dialog_window "Marivo")" ] && pass "閉じる closed it" || fail "閉じる left it open"
  fi
else
  fail "no popup menu for the catch history"
fi

echo "== Exit through the menu"
# The exit writes the run's counts. Blanked on disk meanwhile, the record
# beside the program shows whether the exit writes there (an unchanged
# value would not be written again).
zero=$(printf '000%.0s' $(seq 40))
printf '[Data]\r\nTyouka=%s\r\n' "$zero" >"$work/game/marivo2.ini"
# The game's timers keep running inside the menu's own loop: the clock
# turns to the next minute while the menu is open. Open it a few seconds
# before the minute changes.
now=$(date +%-S)
[ "$now" -le 52 ] && sleep $((52 - now)) || sleep $((60 - now + 52))
clock="66x13+$((con_x + 1))+$((con_y + 1))"
import -window root -crop "$clock" "$work/clock_before.png"
if ! menu=$(open_menu); then
  fail "no popup menu"
else
  read -r menu_w menu_h menu_x menu_y <<<"$menu"
  pass "popup menu ${menu_w}x$menu_h at $menu_x,$menu_y"
  import -window root "$artifacts/wine_menu.png"
  now=$(date +%-S)
  sleep $(((60 - now + 3) % 60))
  import -window root -crop "$clock" "$work/clock_after.png"
  changed=$(compare -metric AE "$work/clock_before.png" "$work/clock_after.png" null: 2>&1 || true)
  [ "${changed%% *}" != 0 ] && pass "the clock ticked on under the open menu ($changed pixels)" ||
    fail "the clock stood still while the menu was open"
  # The last item is the exit.
  xdotool mousemove $((menu_x + menu_w / 2)) $((menu_y + menu_h - 8))
  sleep 0.3
  xdotool click 1
fi
for _ in $(seq 50); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.2; done
if kill -0 "$game_pid" 2>/dev/null; then
  fail "the program is still running after the exit item"
else
  pass "the program ended"
fi
game_pid=""

ini="$work/game/marivo2.ini"
if [ -f "$ini" ]; then
  cp "$ini" "$artifacts/marivo2.ini"
  record=$(tr -d '\r' <"$ini")
  grep -qx '\[Data\]' <<<"$record" && pass "record has section Data" || fail "no [Data] in the record"
  # Nothing was landed in this run: the counts the run started from (the
  # merge of the two records) go back.
  grep -qx "Tyouka=$merged" <<<"$record" &&
    pass "the exit wrote the run's counts (the merged ones) beside the program" ||
    fail "Tyouka beside the program is $(grep Tyouka <<<"$record" || echo missing), not $merged"
  [ "$(md5sum <"$user_ini")" = "$user_sum" ] && pass "the record in the user's folder is untouched" ||
    fail "the exit changed the record in the user's folder: $(tr -d '\r' <"$user_ini" | tr '\n' ' ')"
else
  fail "no marivo2.ini beside the program"
fi

echo "== The session ends"
# The desktop going away saves the record as the exit item does. This run
# has no record beside the program, so it starts from the one in the
# user's folder and keeps it beside the program from then on.
rm -f "$ini"
(cd "$work/game" && exec timeout 120 wine marivo2.exe) >>"$work/game.log" 2>&1 &
game_pid=$!
if wait_window 50 48 150 >/dev/null; then
  sleep 1
  timeout 60 wineboot --end-session >"$work/endsession.log" 2>&1 || true
  for _ in $(seq 50); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.2; done
  kill -0 "$game_pid" 2>/dev/null && fail "the program outlived the session" ||
    pass "the program ended with the session"
  game_pid=""
  if [ -f "$ini" ] && grep -qx "Tyouka=$user_stored" <(tr -d '\r' <"$ini"); then
    pass "the session end saved the carried-over record beside the program"
  else
    fail "the session end left $([ -f "$ini" ] && tr -d '\r' <"$ini" | grep Tyouka || echo 'no record') beside the program, not Tyouka=$user_stored"
  fi
else
  fail "the second run never showed the angler"
fi

echo "== A record with a byte-order mark, replaced atomically"
# An editor saved the record as "UTF-8 with BOM". The game reads the counts
# behind the mark (else the session-end save would add a second [Data]
# holding zeros), keeps the mark, and replaces the file in one step: a new
# file renamed over the old (a new inode), only its own kind of leftover
# (a dot, the name, ".saving-", six letters) swept, a person's backups kept.
rm -f "$user_ini"
bom_stored="0030FF$(printf '000%.0s' $(seq 38))"
printf '\xEF\xBB\xBF[Data]\r\nTyouka=%s\r\n' "$bom_stored" >"$ini"
for name in .marivo2.ini.saving-a1b2c3 marivo2.ini.backup marivo2.ini.a1b2c3; do
  printf 'left here\r\n' >"$work/game/$name"
done
inode=$(stat -c %i "$ini")
(cd "$work/game" && exec timeout 120 wine marivo2.exe) >>"$work/game.log" 2>&1 &
game_pid=$!
if wait_window 50 48 150 >/dev/null; then
  sleep 1
  timeout 60 wineboot --end-session >>"$work/endsession.log" 2>&1 || true
  for _ in $(seq 50); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.2; done
  kill -0 "$game_pid" 2>/dev/null && fail "the program outlived the session"
  game_pid=""
  [ "$(head -c 3 "$ini" | od -An -tx1 | tr -d ' ')" = efbbbf ] && pass "the mark is kept" ||
    fail "the record no longer starts with the mark"
  [ "$(tail -c +4 "$ini" | tr -d '\r')" = "$(printf '[Data]\nTyouka=%s' "$bom_stored")" ] &&
    pass "the counts behind the mark were read and saved back, one [Data]" ||
    fail "the record with the mark became: $(tail -c +4 "$ini" | tr -d '\r' | tr '\n' ' ')"
  [ "$(stat -c %i "$ini")" != "$inode" ] && pass "the record was replaced whole (a new file)" ||
    fail "the record was rewritten in place"
  [ ! -e "$work/game/.marivo2.ini.saving-a1b2c3" ] && pass "the leftover temporary was swept" ||
    fail "the leftover temporary is still there"
  [ -f "$work/game/marivo2.ini.backup" ] && [ -f "$work/game/marivo2.ini.a1b2c3" ] &&
    pass "marivo2.ini.backup and marivo2.ini.a1b2c3 were kept" || fail "a backup of the user's went"
  leftovers=$(find "$work/game" -maxdepth 1 -name '.marivo2.ini.saving-*' | wc -l)
  [ "$leftovers" = 0 ] && pass "no temporary is left beside the record" ||
    fail "$leftovers temporaries are left beside the record"
else
  fail "the run with the marked record never showed the angler"
fi

echo "== A plain close (taskkill without /f)"
# WM_CLOSE to each of the program's top-level windows, the hidden one
# included: the game ends as its exit item ends it, and lets go of its
# one-copy claim. Blanked on disk meanwhile, the record shows the save.
printf '[Data]\r\nTyouka=%s\r\n' "$stored" >"$ini"
(cd "$work/game" && exec timeout 120 wine marivo2.exe) >>"$work/game.log" 2>&1 &
game_pid=$!
if wait_window 50 48 150 >/dev/null; then
  sleep 1
  printf '[Data]\r\nTyouka=%s\r\n' "$zero" >"$ini"
  timeout 60 wine taskkill /im marivo2.exe >"$work/taskkill.log" 2>&1 || true
  for _ in $(seq 50); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.2; done
  if kill -0 "$game_pid" 2>/dev/null; then
    fail "the program outlived taskkill: $(probe list | grep -c 'class=Marivo2' || true) windows of it left"
    kill "$game_pid" 2>/dev/null || true
  else
    pass "taskkill ended the program"
  fi
  game_pid=""
  grep -qx "Tyouka=$stored" <(tr -d '\r' <"$ini") && pass "taskkill saved the run's counts" ||
    fail "after taskkill the record holds $(tr -d '\r' <"$ini" | grep Tyouka || echo nothing), not $stored"
  # The claim went with it: a new start shows its scene, not the refusal.
  (cd "$work/game" && exec timeout 120 wine marivo2.exe) >>"$work/game.log" 2>&1 &
  game_pid=$!
  wait_window 50 48 150 >/dev/null && pass "a new start after taskkill shows its scene" ||
    fail "a new start after taskkill shows no scene"
  timeout 60 wine taskkill /im marivo2.exe >>"$work/taskkill.log" 2>&1 || true
  for _ in $(seq 50); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.2; done
  kill "$game_pid" 2>/dev/null || true
  game_pid=""
else
  fail "the run for taskkill never showed the angler"
fi

echo "== Screenshots in $artifacts"
echo "wine_e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
