#!/usr/bin/env bash
# Sets everything up and runs every test, with warnings as errors: the game
# on the off-screen model (Debug, Release, and under AddressSanitizer +
# UndefinedBehaviorSanitizer), the real program under Xvfb, and the Windows
# build under Wine when it is there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh test

jobs=$(nproc 2>/dev/null || echo 2)
status=0

echo "== Build and test"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMARIVO_BUILD_QT=ON -DMARIVO_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
if ! ctest --test-dir build --output-on-failure -j "$jobs"; then
  # A desktop check can lose a race with a busy X server; one more try of
  # what failed tells a flaky run from a broken program.
  echo "== Running the failed tests once more"
  ctest --test-dir build --output-on-failure --rerun-failed || status=1
fi

echo "== Release build with the tests, as a packager builds it; the model tests on it"
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DMARIVO_WERROR=ON >/dev/null
cmake --build build-release -j "$jobs" || status=1
ctest --test-dir build-release --output-on-failure -j "$jobs" -LE 'e2e|qt' || status=1

echo "== The game on the common Linux desktops: Xfce, IceWM, KWin, mutter (X11 and Wayland), sway, weston, openbox"
bash tools/setup.sh desktops
# One desktop at a time, each given one more try as the tests above are:
# a desktop check can lose a race with a busy X server or compositor.
for desktop in openbox xfce xfce-stock xfce-top icewm kwin mutter mutter_wayland sway weston; do
  matrix=(bash tests/e2e/desktop_matrix.sh build/platform/qt/marivo2 build/e2e-artifacts/matrix
    build/tests/e2e/marivo-player "$desktop")
  "${matrix[@]}" || { echo "== $desktop once more"; "${matrix[@]}"; } || status=1
done

echo "== Build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMARIVO_SANITIZE=ON \
  -DMARIVO_BUILD_QT=OFF -DMARIVO_WERROR=ON >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" -LE e2e || status=1

echo "== The Debian package: built, validated, installed, played as a user, removed"
bash tests/e2e/deb_check.sh build-pkg/artifacts || status=1

echo "== Windows build, checked under Wine"
bash tools/setup.sh windows
if bash tools/build-windows.sh -DMARIVO_WERROR=ON; then
  bash tests/e2e/wine_e2e.sh || status=1
  echo "== Windows desktop under Wine: display scales, the task bar, focus, a whole catch"
  bash tests/e2e/wine_desktop.sh || status=1
  echo "== Windows packages: the zip, and the installer run and removed under Wine"
  if bash tools/package.sh windows; then
    bash tests/e2e/wine_package_check.sh dist || status=1
  else
    status=1
  fi
else
  status=1
fi

exit $status
