#!/usr/bin/env bash
# The Debian package, from build to removal: builds it with
# tools/package.sh linux, checks its contents and metadata (desktop entry,
# AppStream metainfo, lintian, the icons against the program's own picture,
# the same tree as `cmake --install`), installs it with apt, starts the game
# from the desktop entry's Exec line as an unprivileged user under Xvfb,
# leaves through the menu, checks that user's record, and removes the
# package again, checking that nothing of ours is left under /usr.
#
# Usage (as root, from anywhere): deb_check.sh [artifact folder]
# The artifact folder (default build-pkg/artifacts) gets the screenshots,
# the lintian report and the program's output.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root" || exit 1
artifacts=${1:-build-pkg/artifacts}
mkdir -p "$artifacts"
artifacts=$(cd "$artifacts" && pwd)

if [ "$(id -u)" -ne 0 ]; then
  echo "FAIL - deb_check.sh installs and removes a package: run it as root"
  exit 1
fi

# ---- What the check itself needs (package.sh installs what the build needs).
tools=(xvfb x11-utils xdotool imagemagick desktop-file-utils appstream lintian file)
# shellcheck source=tools/ensure_packages.sh
source "$root/tools/ensure_packages.sh"
ensure_packages "${tools[@]}"

work=$(mktemp -d)
chmod 0755 "$work"
xvfb_pid=""
game_pid=""
installed=no
cleanup() {
  [ -n "$game_pid" ] && kill -9 "$game_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  # A check that stopped half-way must not leave the package on the machine.
  if [ "$installed" = yes ]; then
    DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -q marivo2 >/dev/null 2>&1
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=tests/e2e/lib.sh
source "$root/tests/e2e/lib.sh"
finish() {
  echo "screenshots and reports in $artifacts"
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ] && exit 0
  exit 1
}

# ---- Build.
version=$(sed -nE 's/^project\(marivo2 VERSION ([0-9][0-9.]*)[ )].*/\1/p' CMakeLists.txt)
deb="dist/marivo2_${version}_$(dpkg --print-architecture).deb"
rm -f "$deb"
bash tools/package.sh linux >"$artifacts/package.log" 2>&1
check "tools/package.sh linux builds $deb" test -f "$deb"
if [ ! -f "$deb" ]; then
  tail -n 30 "$artifacts/package.log"
  finish
fi

# ---- What is in it.
unpacked=$work/unpacked
dpkg-deb -x "$deb" "$unpacked"
listing=$(dpkg-deb -c "$deb")
field() { dpkg-deb -f "$deb" "$1"; }
app=io.github.marivo2.marivo2
check "the package's version is the program's ($version)" test "$(field Version)" = "$version"
check "section games, priority optional" \
  test "$(field Section)/$(field Priority)" = "games/optional"
check "it depends on Qt 6 (from the binary) and the Japanese fonts" \
  bash -c '[[ $1 == *libqt6widgets6* && $1 == *fonts-ipafont-gothic* && $1 == *fonts-ipafont-mincho* ]]' \
  _ "$(field Depends)"
check "every file is owned by root:root" \
  bash -c '! awk '\''$2 != "root/root"'\'' <<<"$1" | grep -q .' _ "$listing"
check "the program is /usr/games/marivo2, mode 0755" \
  bash -c 'grep -Eq "^-rwxr-xr-x root/root .* \./usr/games/marivo2$" <<<"$1"' _ "$listing"
check "every other file is mode 0644, every folder 0755" \
  bash -c '! grep -v "/usr/games/marivo2$" <<<"$1" | grep -Ev "^(-rw-r--r--|drwxr-xr-x) " | grep -q .' \
  _ "$listing"
check "the program is stripped" \
  bash -c 'file "$1" | grep -q ", stripped"' _ "$unpacked/usr/games/marivo2"
check "copyright and changelog.Debian.gz in /usr/share/doc/marivo2" \
  test -f "$unpacked/usr/share/doc/marivo2/copyright" -a \
  -f "$unpacked/usr/share/doc/marivo2/changelog.Debian.gz"
check "the manual page marivo2(6) is there" test -f "$unpacked/usr/share/man/man6/marivo2.6.gz"
check "the manual page says what a second start shows" \
  bash -c 'zcat "$1" | grep -q "マリヴォ２はすでに起動しています。"' _ \
  "$unpacked/usr/share/man/man6/marivo2.6.gz"

desktop=$unpacked/usr/share/applications/$app.desktop
metainfo=$unpacked/usr/share/metainfo/$app.metainfo.xml
check "desktop-file-validate accepts the desktop entry" desktop-file-validate "$desktop"
check "the desktop entry: Marivo2 / マリヴォ２, icon marivo2, in Games" \
  bash -c 'grep -qx "Name=Marivo2" "$1" && grep -qx "Name\[ja\]=マリヴォ２" "$1" &&
           grep -qx "Icon=marivo2" "$1" && grep -Eqx "Categories=Game;(.*;)?" "$1"' _ "$desktop"
check "appstreamcli validate --no-net accepts the metainfo" \
  bash -c 'appstreamcli validate --no-net "$1" >"$2/appstream.txt" 2>&1' _ "$metainfo" "$artifacts"
check "the metainfo's newest release is $version" \
  grep -q "<release version=\"$version\"" "$metainfo"

lintian --tag-display-limit 0 "$deb" >"$artifacts/lintian.txt" 2>&1
check "lintian reports no errors" bash -c '! grep -q "^E:" "$1"' _ "$artifacts/lintian.txt"
grep -E "^[EW]:" "$artifacts/lintian.txt" | sed 's/^/     /'

# The icons: each size is the program's icon picture scaled by a whole
# number with nearest neighbour (or reduced by one), centred on a clear
# square where the size is no multiple; pixel for pixel.
xpm=assets/ui/icon.xpm
icon_ok() {  # icon_ok <size> <ImageMagick operations giving the expected picture...>
  local png=$unpacked/usr/share/icons/hicolor/$1x$1/apps/marivo2.png
  shift
  [ -f "$png" ] || return 1
  convert "$xpm" -background none "$@" "PNG32:$work/expected.png" || return 1
  local differ
  differ=$(compare -metric AE "PNG32:$png" "$work/expected.png" null: 2>&1)
  [ "$differ" = 0 ]
}
check "icon 16: the picture halved, the lower right pixel of each 2 x 2 block" \
  icon_ok 16 -define sample:offset=75 -sample 16x16
check "icon 32: the picture itself" icon_ok 32
check "icon 48: the picture on a clear 48 x 48 square" icon_ok 48 -gravity center -extent 48x48
check "icon 64: doubled" icon_ok 64 -sample 200%
check "icon 128: four times" icon_ok 128 -sample 400%
check "icon 256: eight times" icon_ok 256 -sample 800%

# Clear pixels of a picture stay clear, even beside a pixel of the colour
# the tool would first pick to stand for "clear" (magenta).
printf '%s\n' '/* XPM */' 'static const char* t[] = {' '"3 2 3 1",' '". c None",' \
  '"m c #FF00FF",' '"r c #E8352A",' '".mr",' '"r..",' '};' >"$work/clear.xpm"
clear_ok() {
  build-pkg/tools/tools-bin/icon_png "$work/clear.xpm" 6 "$work/clear.png" || return 1
  convert "$work/clear.xpm" -background none -sample 200% -gravity center -extent 6x6 \
    "PNG32:$work/clear-expected.png" || return 1
  [ "$(compare -metric AE "PNG32:$work/clear.png" "$work/clear-expected.png" null: 2>&1)" = 0 ]
}
check "the icon tool keeps a picture's clear pixels clear" clear_ok

# The package is exactly what `cmake --install` makes.
cmake --install build-pkg --prefix "$work/prefix/usr" >/dev/null 2>&1
check "cmake --install --prefix gives the same files as the package" \
  diff <(cd "$unpacked" && find . -type f | sort) <(cd "$work/prefix" && find . -type f | sort)

# ---- Install with apt.
install_deb() {
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q "./$deb" >"$artifacts/apt-install.log" 2>&1 ||
    { apt-get update -q >/dev/null 2>&1 &&
      DEBIAN_FRONTEND=noninteractive apt-get install -y -q "./$deb" >>"$artifacts/apt-install.log" 2>&1; }
}
install_deb && installed=yes
check "apt-get installs the package" test "$installed" = yes
[ "$installed" = yes ] || { tail -n 20 "$artifacts/apt-install.log"; finish; }
ours=$(dpkg -L marivo2)
check "the desktop entry is in /usr/share/applications" test -f "/usr/share/applications/$app.desktop"

# ---- A display of our own, open to the unprivileged player.
start_xvfb "$work" -ac || { check "Xvfb starts" false; finish; }
for _ in $(seq 50); do
  xwininfo -root >/dev/null 2>&1 && break
  sleep 0.1
done

# The player: nobody (65534), with a home, settings and runtime folder of
# their own, and the search path a login gives.
player=$work/player
mkdir -p "$player/home/.config" "$player/runtime"
chown -R 65534:65534 "$player"
chmod 0700 "$player/home" "$player/runtime"
login_path=$(sed -nE 's/^ENV_PATH[[:space:]]+PATH=//p' /etc/login.defs 2>/dev/null)
login_path=${login_path:-/usr/local/bin:/usr/bin:/bin:/usr/local/games:/usr/games}

exec_line=$(sed -n 's/^Exec=//p' "/usr/share/applications/$app.desktop" | head -n1)
read -ra command <<<"$exec_line"
for i in "${!command[@]}"; do  # field codes (%f, %U, ...) stand for nothing here
  [[ ${command[$i]} == %? ]] && unset "command[$i]"
done
game_log=$work/game.log
touch "$game_log"
chown 65534:65534 "$game_log"
setpriv --reuid=65534 --regid=65534 --clear-groups \
  env -i HOME="$player/home" XDG_CONFIG_HOME="$player/home/.config" \
  XDG_RUNTIME_DIR="$player/runtime" DISPLAY="$DISPLAY" PATH="$login_path" LANG=C.UTF-8 \
  "${command[@]}" >"$game_log" 2>&1 &
game_pid=$!


check "the Exec line ($exec_line) starts the scene as user 65534" wait_for frmMan 150
for name in frmCon frmMan frmSea; do
  check "$name is there and mapped" mapped "$name"
done
check "the game runs as user 65534" \
  bash -c '[ "$(stat -c %u "/proc/$1")" = 65534 ]' _ "$game_pid"
import -window root "$artifacts/installed-scene.png" 2>/dev/null

# ---- Leave through the menu: a right press on the button, then 終了, the
# last entry of the popup menu.
xdotool mousemove 74 760
xdotool mousedown 3
sleep 0.1
xdotool mouseup 3
wait_for mpop 30
menu=$(geometry mpop)
check "a right press opens the menu ($menu)" test -n "$menu"
import -window root "$artifacts/installed-menu.png" 2>/dev/null
if [[ $menu =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]]; then
  xdotool mousemove $((BASH_REMATCH[3] + BASH_REMATCH[1] / 2)) \
    $((BASH_REMATCH[4] + BASH_REMATCH[2] - 10))
  sleep 0.3
  xdotool click 1
fi
wait_end 50
check "終了 ends the game with status 0 (status $rc)" test "$rc" -eq 0
cp "$game_log" "$artifacts/installed-game.log"

ini=$player/home/.config/marivo2/marivo2.ini
check "the record is in the player's ~/.config/marivo2/marivo2.ini" test -f "$ini"
check "the record: [Data] with Tyouka of 120 hex digits" \
  bash -c 'grep -Eq $'\''^\\[Data\\]\r?$'\'' "$1" &&
           grep -Eq $'\''^Tyouka=[0-9A-F]{120}\r?$'\'' "$1"' _ "$ini"
check "the record belongs to the player" bash -c '[ "$(stat -c %u "$1")" = 65534 ]' _ "$ini"
check "nothing was written beside /usr/games/marivo2" test ! -e /usr/games/marivo2.ini

# ---- Remove it again: nothing of ours is left.
DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -q marivo2 >"$artifacts/apt-remove.log" 2>&1
removed=$?
[ "$removed" -eq 0 ] && installed=no
check "apt-get remove --purge removes it" test "$removed" -eq 0
check "dpkg no longer knows the package" \
  bash -c '! dpkg-query -W -f="\${Status}" marivo2 2>/dev/null | grep -q installed'
left=()
while IFS= read -r path; do
  [[ $path == /usr/* ]] || continue
  # Folders shared with other packages (/usr/games, the icon theme) stay.
  if [ -d "$path" ] && [ ! -L "$path" ]; then
    [[ $path == */marivo2 ]] && left+=("$path")
  elif [ -e "$path" ] || [ -L "$path" ]; then
    left+=("$path")
  fi
done <<<"$ours"
check "nothing of ours is left under /usr (${left[*]:-none})" test "${#left[@]}" -eq 0

finish
