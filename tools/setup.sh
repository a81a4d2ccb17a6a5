#!/usr/bin/env bash
# Installs what building, playing and testing need on Debian 12, when missing.
# Usage: tools/setup.sh [game|test|windows]...
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config)
for what in "$@"; do
  case "$what" in
    game) packages+=(qt6-base-dev libxcb1-dev fonts-ipafont-gothic fonts-ipafont-mincho) ;;
    test) packages+=(libgtest-dev qt6-base-dev libxcb1-dev fonts-ipafont-gothic fonts-ipafont-mincho
                     xvfb xdotool x11-utils x11-xserver-utils imagemagick xauth
                     openbox tint2 picom xterm wmctrl libx11-dev libxtst-dev libxext-dev) ;;
    windows) packages+=(g++-mingw-w64-x86-64 wine64 wine locales xvfb xdotool x11-utils imagemagick) ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}"
fi
