#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/fuzz_*.cpp) with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz, then runs them.
#   bash scripts/fuzz.sh                 every target, 60 seconds each
#   bash scripts/fuzz.sh fuzz_shiftjis   one target, 60 seconds
#   bash scripts/fuzz.sh all 300         every target, 300 seconds each
# Corpora are kept in build-fuzz/corpus/<target>; crashes are written to build-fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-all}
seconds=${2:-60}
build=${TAVRIN_FUZZ_BUILD_DIR:-build-fuzz}

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz.sh: clang++ is missing; run scripts/setup.sh" >&2
  exit 1
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTAVRIN_FUZZ=ON -DTAVRIN_APP=OFF -DTAVRIN_TESTS=OFF -DTAVRIN_BENCH=OFF

if [ "$target" = all ]; then
  targets=()
  for source in fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
else
  targets=("$target")
fi
cmake --build "$build" --target "${targets[@]}"

mkdir -p "$build/crashes"
status=0
for t in "${targets[@]}"; do
  mkdir -p "$build/corpus/$t"
  echo "fuzz.sh: running $t for ${seconds}s"
  if ! "$build/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 \
       -artifact_prefix="$build/crashes/$t-" "$build/corpus/$t"; then
    echo "fuzz.sh: $t found a failure (see $build/crashes/)" >&2
    status=1
  fi
done
exit $status
