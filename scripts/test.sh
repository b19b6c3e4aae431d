#!/usr/bin/env bash
# Installs what is needed, builds Tavrin and runs every test (headless: no display, no GPU;
# GPU tests run on Mesa's lavapipe with the Khronos validation layer).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp/tavrin-runtime-$(id -u)}"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
build=${TAVRIN_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
