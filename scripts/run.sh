#!/usr/bin/env bash
# Installs what is needed, builds Tavrin and runs its main job on the built-in default scene
# ("<Sample>": the built-in sample model). Until the renderer is in place the main job is the
# model inspector, tavrin-inspect, which reads the model and prints what it holds.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp/tavrin-runtime-$(id -u)}"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
build=${TAVRIN_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

if ninja -C "$build" -t targets all 2>/dev/null | grep -q '^tavrin-inspect:'; then
  cmake --build "$build" --target tavrin-inspect
  inspect=$(find "$build" -type f -name tavrin-inspect -perm -u+x | head -n 1)
  echo "run.sh: $inspect \"<Sample>\""
  exec "$inspect" "<Sample>"
fi

cmake --build "$build"
echo "run.sh: built Tavrin $(sed -n 's/^project(Tavrin VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt) in $build."
echo "run.sh: this build has no runnable main job yet: the model inspector (tavrin-inspect) and the"
echo "run.sh: player are not part of it. What was built:"
find "$build" -maxdepth 3 -type f -perm -u+x ! -name '*.so*' ! -path '*/CMakeFiles/*' -printf '  %P\n' | sort
echo "run.sh: run 'bash scripts/test.sh' to build and run every test."
