#!/usr/bin/env bash
# Sets everything up, builds the game and starts it on your desktop.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh game
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DMARIVO_BUILD_TESTS=OFF >/dev/null
cmake --build build-release --target marivo2
exec ./build-release/platform/qt/marivo2 "$@"
