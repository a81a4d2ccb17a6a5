#!/usr/bin/env bash
# Builds the game's packages into dist/.
#   tools/package.sh linux     dist/marivo2_<version>_<arch>.deb (Debian 12)
#   tools/package.sh windows   the Windows installer and zip (tools/package-windows.sh)
#
# The Debian package is the tree `cmake --install` makes with the prefix /usr
# (cmake/install.cmake), stripped, with control data added here; it is built
# with dpkg-deb, without a source package. docs/packaging.md describes it.
set -euo pipefail
cd "$(dirname "$0")/.."

what=${1:-}
case "$what" in
  linux) ;;
  windows) exec bash tools/package-windows.sh "$@" ;;
  *)
    echo "usage: tools/package.sh linux|windows" >&2
    exit 2
    ;;
esac

# ---- What building the package needs, when missing.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libxcb1-dev libxcb-shape0-dev libfontconfig-dev dpkg-dev binutils gzip)
# shellcheck source=tools/ensure_packages.sh
source tools/ensure_packages.sh
ensure_packages "${packages[@]}"

fail() {
  echo "package.sh: $*" >&2
  exit 1
}

# ---- The one version number of the program, and the documents that must agree.
version=$(sed -nE 's/^project\(marivo2 VERSION ([0-9][0-9.]*)[ )].*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no version in CMakeLists.txt's project() line"
linux=packaging/linux
changelog_version=$(sed -nE '1s/^marivo2 \(([^)]*)\).*/\1/p' "$linux/changelog.Debian")
[ "$changelog_version" = "$version" ] ||
  fail "$linux/changelog.Debian starts with version '$changelog_version', the program is $version"
grep -q "<release version=\"$version\"" "$linux"/*.metainfo.xml ||
  fail "the metainfo lists no release $version"
arch=$(dpkg --print-architecture)

# ---- Build and install into a staging tree.
# Debian's hardening flags (stack protector, fortified functions, read-only
# relocations bound at start-up), as its own packages are built; no debug
# information, which the stripping would throw away again.
build="build-pkg"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
cxxflags=$(sed -E 's/(^| )-g( |$)/ /' <<<"$cxxflags")
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMARIVO_BUILD_TESTS=OFF \
  -DMARIVO_BUILD_QT=ON "-DCMAKE_CXX_FLAGS=$cxxflags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" >/dev/null
cmake --build "$build" -j 2 --target marivo2 marivo_install_files

stage=$(mktemp -d)
shlibs=$(mktemp -d)
trap 'rm -rf "$stage" "$shlibs"' EXIT
umask 022
DESTDIR="$stage" cmake --install "$build" --prefix /usr --strip >/dev/null
exe="$stage/usr/games/marivo2"
[ -x "$exe" ] || fail "the install put no program at /usr/games/marivo2"
# As Debian's own packages are stripped: no symbols, notes or build comments.
strip --remove-section=.comment --remove-section=.note --strip-unneeded "$exe"

# Ownership comes from dpkg-deb (--root-owner-group); modes are set here so a
# checkout's umask or a file's own mode cannot leak into the package.
find "$stage" -type d -exec chmod 0755 {} +
find "$stage" -type f -exec chmod 0644 {} +
chmod 0755 "$exe"

# ---- Dependencies: the shared libraries the binary links, found by
# dpkg-shlibdeps (which wants a debian/control to read), and the fonts the
# game draws its Japanese text with.
mkdir -p "$shlibs/debian"
printf 'Source: marivo2\n\nPackage: marivo2\nArchitecture: any\n' >"$shlibs/debian/control"
exe_abs=$(readlink -f "$exe")
libs=$(cd "$shlibs" && dpkg-shlibdeps -O "-e$exe_abs" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
[ -n "$libs" ] || fail "dpkg-shlibdeps found no libraries for the program"
depends="$libs, fonts-ipafont-gothic, fonts-ipafont-mincho"

# ---- Control data.
mkdir -p "$stage/DEBIAN"
(cd "$stage" && find usr -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum) \
  >"$stage/DEBIAN/md5sums"
chmod 0644 "$stage/DEBIAN/md5sums"
installed_size=$(du -sk --exclude=DEBIAN "$stage" | cut -f1)
cat >"$stage/DEBIAN/control" <<EOF
Package: marivo2
Version: $version
Architecture: $arch
Maintainer: Marivo2 developers <dev@marivo2.example>
Installed-Size: $installed_size
Depends: $depends
Section: games
Priority: optional
Homepage: https://github.com/marivo2/marivo2
Description: little fishing game on the edge of the task bar
 マリヴォ２ (Marivo2) lives on the desktop without a main window: a control
 bar with a clock and one button, a seated angler and a thin strip of sea
 stand on the top edge of the task bar, each window cut to the outline of
 its picture.
 .
 One button does everything: press to cast, press when the float goes under
 to strike, then hold while the button is blue and let go while it is red
 until the fish is landed. Forty sea creatures make up the collection, which
 is kept for each user in ~/.config/marivo2.
 .
 The game needs an X11 desktop (or XWayland).
EOF
chmod 0644 "$stage/DEBIAN/control"

# The same sources give the same package: every file dated as the changelog.
stamp=$(sed -nE 's/^ -- .*>  (.*)$/\1/p' "$linux/changelog.Debian" | head -n1)
epoch=$(date -d "$stamp" +%s) || fail "the changelog's date cannot be read: $stamp"
find "$stage" -exec touch -h -d "@$epoch" {} +

mkdir -p dist
deb="dist/marivo2_${version}_${arch}.deb"
SOURCE_DATE_EPOCH=$epoch dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "Built $deb"
