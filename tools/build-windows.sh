#!/usr/bin/env bash
# Cross-builds the Windows program with mingw-w64.
#
#   tools/build-windows.sh [extra cmake options]
#
# The picture and outline generators run during the build, so they are
# built for this machine first (build-host/tools-bin). The program lands at
#   build-win/platform/win32/marivo2.exe
# (MARIVO_WIN_BUILD names another build folder, e.g. for the spinning-pump
# build of the idle benchmark).
set -euo pipefail
cd "$(dirname "$0")/.."

host=${MARIVO_HOST_BUILD:-build-host}
out=${MARIVO_WIN_BUILD:-build-win}
jobs=$(nproc 2>/dev/null || echo 2)

for tool in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres cmake ninja; do
  command -v "$tool" >/dev/null || { echo "build-windows: $tool is missing (tools/setup.sh windows)"; exit 1; }
done

echo "== Generators for this machine ($host)"
# No optimisation: g++ 12 at -O3 reports a false overlap in the generators'
# string code, and they run for a second at most.
cmake -S tools -B "$host" -G Ninja -DCMAKE_BUILD_TYPE= >/dev/null
cmake --build "$host" -j "$jobs"

# The executable's icon, from the same picture the windows show.
c++ -std=c++20 -O1 -Wall -Wextra -Werror -I. platform/win32/make_icon.cpp \
  platform/win32/ico_format.cpp tools/xpm_reader.cpp -o "$host/make_icon"
"$host/make_icon" assets/ui/icon.xpm "$host/marivo2.ico"

echo "== marivo2.exe ($out)"
cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
  -DMARIVO_HOST_TOOLS_DIR="$PWD/$host/tools-bin" -DMARIVO_ICON_FILE="$PWD/$host/marivo2.ico" \
  "$@" >/dev/null
cmake --build "$out" -j "$jobs" --target marivo2

exe="$out/platform/win32/marivo2.exe"
# Only DLLs that come with Windows.
bad=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' |
  grep -viE '^(kernel32|user32|gdi32|comctl32|msvcrt|advapi32|shell32|ole32)\.dll$' || true)
if [ -n "$bad" ]; then
  echo "build-windows: $exe needs DLLs that Windows does not ship: $bad"
  exit 1
fi
echo "== $exe ($(stat -c %s "$exe") bytes)"
