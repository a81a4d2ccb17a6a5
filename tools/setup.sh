#!/usr/bin/env bash
# Installs what building, playing and testing need on Debian 12, when missing.
# Usage: tools/setup.sh [game|test|windows|desktops]...
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config)
# The desktops of the desktop check, without what they merely recommend.
desktops=()
for what in "$@"; do
  case "$what" in
    game) packages+=(qt6-base-dev libxcb1-dev libxcb-shape0-dev libfontconfig-dev fonts-ipafont-gothic fonts-ipafont-mincho) ;;
    test) packages+=(libgtest-dev qt6-base-dev libxcb1-dev libxcb-shape0-dev libfontconfig-dev fonts-ipafont-gothic fonts-ipafont-mincho
                     xvfb xdotool x11-utils x11-xserver-utils imagemagick xauth
                     openbox tint2 picom xterm wmctrl libx11-dev libxtst-dev libxext-dev) ;;
    windows) packages+=(g++-mingw-w64-x86-64 wine64 wine locales xvfb xdotool x11-utils imagemagick) ;;
    desktops) desktops+=(xfwm4 xfce4-panel xfconf dbus-x11 icewm kwin-x11 mutter sway swaybg grim
                         weston xwayland libgl1-mesa-dri x11-xserver-utils) ;;
  esac
done

# shellcheck source=tools/ensure_packages.sh
source "$(dirname "${BASH_SOURCE[0]}")/ensure_packages.sh"
ensure_packages "${packages[@]}"
if ((${#desktops[@]})); then
  ensure_packages --no-install-recommends "${desktops[@]}"
fi
