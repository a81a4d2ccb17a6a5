#!/usr/bin/env bash
# Idle cost of marivo2.exe under Wine: CPU time the program and wineserver
# use over a minute of sitting on the desktop (only the clock ticking),
# beside the same program built with a pump that never sleeps; and the size
# of the executable.
#
# Usage: bench/wine_idle.sh [seconds]      (default 60)
# Builds build-win (the program) and build-win-spin (the comparison) first.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

bash tools/build-windows.sh >/dev/null
MARIVO_WIN_BUILD=build-win-spin bash tools/build-windows.sh -DMARIVO_SPIN_PUMP=ON >/dev/null
exe=build-win/platform/win32/marivo2.exe
spin=build-win-spin/platform/win32/marivo2.exe

work=$(mktemp -d /tmp/marivo-wine-bench.XXXXXX)
xvfb_pid=""
cleanup() {
  set +e
  WINEPREFIX="$work/prefix" timeout 30 wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all LANG=ja_JP.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
timeout 240 wineboot -i >/dev/null 2>&1
timeout 60 wineserver -w || true
hz=$(getconf CLK_TCK)

# CPU ticks (user + system) of the processes of this prefix named $1.
ticks() {
  local total=0 pid
  for pid in $(pgrep -x "$1" || true); do
    grep -qz "^WINEPREFIX=$WINEPREFIX\$" "/proc/$pid/environ" 2>/dev/null || continue
    # Fields 14 and 15 of stat, counted after the command name in brackets.
    total=$((total + $(sed -E 's/^.*\) //' "/proc/$pid/stat" | awk '{print $12 + $13}')))
  done
  echo "$total"
}

# Runs one build for $seconds of idle; prints "cpu_seconds_exe cpu_seconds_server".
measure() {
  local build=$1
  mkdir -p "$work/game"
  cp "$build" "$work/game/marivo2.exe"
  (cd "$work/game" && exec timeout $((seconds + 120)) wine marivo2.exe) >/dev/null 2>&1 &
  local pid=$!
  for _ in $(seq 150); do
    xwininfo -root -tree 2>/dev/null | grep -q '("marivo2.exe".*50x48' && break
    sleep 0.2
  done
  sleep 3  # start-up done
  local e0 s0 e1 s1
  e0=$(ticks marivo2.exe); s0=$(ticks "wineserver(32|64)?")
  sleep "$seconds"
  e1=$(ticks marivo2.exe); s1=$(ticks "wineserver(32|64)?")
  kill "$pid" 2>/dev/null || true
  timeout 30 wineserver -k 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  awk -v a=$((e1 - e0)) -v b=$((s1 - s0)) -v hz="$hz" 'BEGIN { printf "%.2f %.2f\n", a / hz, b / hz }'
}

read -r idle_exe idle_server <<<"$(measure "$exe")"
read -r spin_exe spin_server <<<"$(measure "$spin")"
awk -v ie="$idle_exe" -v is="$idle_server" -v se="$spin_exe" -v ss="$spin_server" \
    -v t="$seconds" -v size="$(stat -c %s "$exe")" 'BEGIN {
  idle = ie + is; spin = se + ss
  printf "Idle for %d s under Wine (CPU seconds: program + wineserver)\n", t
  printf "  sleeping pump  %6.2f + %6.2f = %6.2f s  (%5.2f %% of one core)\n", ie, is, idle, 100 * idle / t
  printf "  spinning pump  %6.2f + %6.2f = %6.2f s  (%5.2f %% of one core)\n", se, ss, spin, 100 * spin / t
  if (idle > 0) printf "  ratio spinning / sleeping: %.0f x\n", spin / idle
  else printf "  ratio spinning / sleeping: more than %.0f x (the sleeping pump used no measurable time)\n", spin * 100
  printf "marivo2.exe: %d bytes (%.2f MiB)\n", size, size / 1048576
}'
