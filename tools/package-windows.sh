#!/usr/bin/env bash
# Builds the Windows packages of Marivo2 into dist/:
#
#   dist/marivo2-<version>-win64.zip   portable: Marivo2/marivo2.exe and readme.txt
#   dist/marivo2-<version>-setup.exe   per-user installer (NSIS), no administrator rights
#
# Usage: tools/package-windows.sh   (tools/package.sh windows runs this)
#
# The version is the one in the top-level CMakeLists.txt, the same number
# the version dialog and the executable's version resource show.
# MARIVO_HOST_BUILD / MARIVO_WIN_BUILD name the build folders (as for
# tools/build-windows.sh), MARIVO_DIST the output folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

packages=(cmake ninja-build g++ binutils g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 nsis zip git imagemagick)
# shellcheck source=tools/ensure_packages.sh
source tools/ensure_packages.sh
ensure_packages "${packages[@]}"

version=$(sed -nE 's/^project\(marivo2 VERSION ([0-9]+\.[0-9]+\.[0-9]+)[ )].*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package-windows: no version in CMakeLists.txt's project()"; exit 1; }

host=${MARIVO_HOST_BUILD:-build-host}
win=${MARIVO_WIN_BUILD:-build-win}
dist=$(mkdir -p "${MARIVO_DIST:-dist}" && cd "${MARIVO_DIST:-dist}" && pwd)
MARIVO_HOST_BUILD=$host MARIVO_WIN_BUILD=$win bash tools/build-windows.sh

exe=$root/$win/platform/win32/marivo2.exe
icon=$root/$host/marivo2.ico
for f in "$exe" "$icon"; do
  [ -s "$f" ] || { echo "package-windows: the build left no $f"; exit 1; }
done
# The version resource is written from the same number; a stale build
# folder would package an executable that says something else.
if ! strings -el "$exe" | grep -A1 -x 'ProductVersion' | grep -qx "$version"; then
  echo "package-windows: $exe does not carry version $version in its version resource"
  exit 1
fi

stage=$(mktemp -d /tmp/marivo-package-windows.XXXXXX)
trap 'rm -rf "$stage"' EXIT

# The read-me as Notepad opens it on any Windows: UTF-8 with a byte-order
# mark and CRLF line ends.
readme=$stage/Marivo2/readme.txt
mkdir -p "$stage/Marivo2"
{
  printf '\xef\xbb\xbf'
  sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' packaging/windows/readme.txt
} >"$readme"
cp "$exe" "$stage/Marivo2/marivo2.exe"

# Same sources, same archive: every file stamped with the last commit's time.
stamp=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
touch -d "@$stamp" "$stage/Marivo2" "$stage/Marivo2/marivo2.exe" "$readme"

zipfile=$dist/marivo2-$version-win64.zip
rm -f "$zipfile"  # zip adds to an existing archive; start from nothing
(cd "$stage" && TZ=UTC zip -q -X -9 "$zipfile" Marivo2/ Marivo2/marivo2.exe Marivo2/readme.txt)

# The picture beside the installer's welcome and finish pages (164 x 314,
# 24-bit BMP): the game's icon and the angler on his rock over the sea,
# blown up by whole numbers without smoothing, on a sky.
wizard=$stage/wizard.bmp
convert -size 164x254 gradient:'#DDF1FF-#9CCBF2' \( -size 164x60 xc:'#2C6CD0' \) -append \
  \( assets/ui/icon.xpm -sample 300% \) -gravity north -geometry +0+28 -composite \
  \( assets/man/man0.xpm -transparent '#000000' -sample 200% \) \
  -gravity southwest -geometry +20+54 -composite \
  -alpha off -type TrueColor "BMP3:$wizard"

setup=$dist/marivo2-$version-setup.exe
rm -f "$setup"
size_kb=$(( ($(stat -c %s "$exe") + $(stat -c %s "$readme") + 1023) / 1024 ))
makensis -INPUTCHARSET UTF8 -V2 \
  -DVERSION="$version" -DEXE="$exe" -DICON="$icon" -DREADME="$readme" -DWIZARD="$wizard" \
  -DSIZE_KB="$size_kb" -DOUTFILE="$setup" \
  packaging/windows/marivo2.nsi
[ -s "$setup" ] || { echo "package-windows: makensis wrote no $setup"; exit 1; }

echo "== Windows packages of Marivo2 $version"
for f in "$zipfile" "$setup"; do
  echo "$(stat -c %s "$f") bytes  $f"
done
