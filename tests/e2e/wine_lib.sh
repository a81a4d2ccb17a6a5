# shellcheck shell=bash
# Sourced by the Windows checks, after lib.sh: a fresh Wine prefix on a
# private X server that ends with the check, every process in it included,
# and the helpers the checks read Windows' view through.
#
#   wine_start <name> [Xvfb options]  makes $work (/tmp/marivo-<name>.XXXXXX)
#                                     unless the check made it and set
#                                     "trap wine_cleanup EXIT" itself,
#                                     ends everything at exit, starts the X
#                                     server and a Japanese Wine prefix in
#                                     $work/prefix; false when either failed
#   wine_unmanaged                    no window manager: Wine draws frames
#   wine_end                          ends every process of the prefix (also
#                                     one started after the server went) and
#                                     waits until they are gone
#   wine_processes                    the pids of the prefix's Wine processes
#   wine_build_probe                  cross-builds tests/e2e/wine_probe into
#                                     $work/probe.exe
#   probe <args>, field <name>        runs the probe; reads name=value
#   unix_folder <VARIABLE>            a Windows folder (%APPDATA%, ...) as a
#                                     Unix path
#   game_windows                      the game's viewable X windows,
#                                     "id width height x y" a line
#   wait_window <w> <h> [tries]       waits for one of that size; prints its
#                                     line
wine_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=""
game_pid=""

# The Wine processes of this prefix: a Wine binary with the prefix in its
# environment (the shell, timeout and sleep carry the variable too).
wine_processes() {
  local env pid
  for env in /proc/[0-9]*/environ; do
    pid=${env#/proc/}
    pid=${pid%/environ}
    case $(readlink "/proc/$pid/exe" 2>/dev/null) in
      */wine*) grep -qzxF "WINEPREFIX=$work/prefix" "$env" 2>/dev/null && echo "$pid" ;;
    esac
  done
  return 0
}
# The server's own kill ends its clients, but a program that was starting
# meanwhile brings a new server and with it the device and service hosts
# (winedevice.exe, services.exe): those are ended by pid, until none is left.
wine_end() {
  local pids
  for _ in 1 2 3 4 5; do
    WINEPREFIX="$work/prefix" timeout 30 wineserver -k 2>/dev/null
    WINEPREFIX="$work/prefix" timeout 30 wineserver -w 2>/dev/null
    pids=$(wine_processes)
    [ -z "$pids" ] && return 0
    # shellcheck disable=SC2086
    kill -9 $pids 2>/dev/null
    sleep 0.5
  done
  [ -z "$(wine_processes)" ]
}
wine_cleanup() {
  set +e
  [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
  [ -d "$work/prefix" ] && wine_end
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}

wine_start() {
  local name=$1
  shift
  if [ -z "$work" ]; then
    work=$(mktemp -d "/tmp/marivo-${name//_/-}.XXXXXX")
    trap wine_cleanup EXIT
  fi
  # Japanese locale for the program's texts.
  if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 2>/dev/null || echo "$name: no ja_JP.UTF-8 locale"
  fi
  start_xvfb "$work" "$@" || { echo "$name: Xvfb did not start"; return 1; }
  export WINEPREFIX="$work/prefix" WINEDEBUG=-all LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
  # No browser or .NET runtime downloads in a fresh prefix.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  echo "== Wine prefix on $DISPLAY"
  timeout 240 wineboot -i >"$work/wineboot.log" 2>&1 || { echo "$name: wineboot failed"; return 1; }
  timeout 60 wineserver -w || true
}
wine_unmanaged() {
  timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  timeout 60 wineserver -w || true
}

# The probe reads windows as Windows sees them (owners, styles, texts),
# built with the same cross compiler as the game.
wine_build_probe() {
  x86_64-w64-mingw32-g++-posix -std=c++20 -O1 -Wall -Wextra -Werror -static \
    "$wine_root/tests/e2e/wine_probe/probe.cpp" -o "$work/probe.exe" -luser32 -lgdi32
}
probe() { timeout 30 wine "$work/probe.exe" "$@" 2>/dev/null | tr -d '\r'; }
field() { sed -n "s/^\(.* \)\?$1=\([^ ]*\).*/\2/p" | head -n1 || true; }

unix_folder() {
  local windows
  windows=$(timeout 60 wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r')
  winepath -u "$windows" 2>/dev/null
}

# grep -c reads to the end: an early exit would fail the pipe (pipefail).
game_windows() {
  xwininfo -root -tree 2>/dev/null | grep '("marivo2.exe"' |
    sed -E 's/^ *(0x[0-9a-f]+) .* ([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+) .*/\1 \2 \3 \4 \5/' |
    while read -r id w h x y; do
      if xwininfo -id "$id" 2>/dev/null | grep -c 'IsViewable' >/dev/null; then echo "$id $w $h $x $y"; fi
    done
}
wait_window() {
  local w=$1 h=$2 tries=${3:-100} line
  for _ in $(seq "$tries"); do
    line=$(game_windows | awk -v w="$w" -v h="$h" '$2 == w && $3 == h' | head -n1)
    [ -n "$line" ] && { echo "$line"; return 0; }
    sleep 0.2
  done
  return 1
}
