#!/usr/bin/env bash
# Builds Tavrin with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan and runs every
# test under them. Extra arguments go to the CMake configure step (e.g. -DTAVRIN_APP=OFF).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TAVRIN_ASAN_BUILD_DIR:-build-asan}
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp/tavrin-runtime-$(id -u)}"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
# Leaks inside the Vulkan driver and layers (loaded with dlopen) are theirs, not ours.
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export ASAN_OPTIONS="suppressions=$PWD/scripts/asan.supp:detect_stack_use_after_return=1:strict_string_checks=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_SANITIZE=ON "$@"
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
