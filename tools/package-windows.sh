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

# The picture beside the installer's welcome and finish pages: the game's
# icon and the angler on his rock over the sea, on a sky, as 24-bit BMPs.
# Its box on the page is 109 x 193 dialog units, so it grows with the dialog
# font and the display scale (164 x 314 pixels at 96 dpi, 218 x 386 at 120,
# 245 x 483 at 144, 327 x 627 at 192 under Wine). One drawing for each of
# those boxes, the art blown up by whole numbers without smoothing; the
# installer shows the one that fits, unstretched (see WizardPicture).
wizard_picture() {  # <dpi> <width> <height> <icon factor> <angler factor>
  local dpi=$1 width=$2 height=$3 icon=$4 man=$5
  local sea=$((60 * dpi / 96)) top=$((28 * dpi / 96)) left=$((20 * dpi / 96)) above=$((54 * dpi / 96))
  convert -size "${width}x$((height - sea))" gradient:'#DDF1FF-#9CCBF2' \
    \( -size "${width}x$sea" xc:'#2C6CD0' \) -append \
    \( assets/ui/icon.xpm -sample "$((icon * 100))%" \) -gravity north -geometry "+0+$top" -composite \
    \( assets/man/man0.xpm -transparent '#000000' -sample "$((man * 100))%" \) \
    -gravity southwest -geometry "+$left+$above" -composite \
    -alpha off -type TrueColor "BMP3:$stage/wizard-$dpi.bmp"
}
wizard_picture 96 164 314 3 2
wizard_picture 120 218 386 4 3
wizard_picture 144 246 483 5 3
wizard_picture 192 328 628 6 4

# First the uninstaller, with a version resource of its own (the installer
# of this run is thrown away), then the installer that carries it.
setup=$dist/marivo2-$version-setup.exe
uninstaller=$stage/uninstall.exe
nsis=(makensis -INPUTCHARSET UTF8 -V2 -DVERSION="$version" -DEXE="$exe" -DICON="$icon"
  -DREADME="$readme" -DWIZARD_DIR="$stage")
"${nsis[@]}" -DSIZE_KB=0 -DOUTFILE="$stage/unused-setup.exe" -DUNINSTALLER_OUT="$uninstaller" \
  packaging/windows/marivo2.nsi
[ -s "$uninstaller" ] || { echo "package-windows: makensis left no uninstaller"; exit 1; }
# What the install puts on the disk, in KB, for the list of apps.
size_kb=$(( ($(stat -c %s "$exe") + $(stat -c %s "$readme") + $(stat -c %s "$uninstaller") + 1023) / 1024 ))
rm -f "$setup"
"${nsis[@]}" -DSIZE_KB="$size_kb" -DOUTFILE="$setup" -DUNINSTALLER="$uninstaller" \
  packaging/windows/marivo2.nsi
[ -s "$setup" ] || { echo "package-windows: makensis wrote no $setup"; exit 1; }

echo "== Windows packages of Marivo2 $version"
for f in "$zipfile" "$setup"; do
  echo "$(stat -c %s "$f") bytes  $f"
done
