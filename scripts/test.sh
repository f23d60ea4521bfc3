#!/usr/bin/env bash
# Builds everything and runs the whole suite.
#   scripts/test.sh              normal build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

# Clones in other folders (CI) share the compiler cache with this one.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1

build=build
opts=()
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  opts+=(-DWEXCON_SANITIZE=ON)
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${opts[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 300
