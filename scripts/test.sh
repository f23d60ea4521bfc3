#!/usr/bin/env bash
# Builds everything and runs the whole suite.
#   scripts/test.sh              normal build in build/, then the Debian package
#                                is built and checked (scripts/package.sh --check)
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer in build-asan/
#   scripts/test.sh --tsan       ThreadSanitizer in build-tsan/ (Qt's own threads are not instrumented:
#                                tests/tsan.supp silences what happens inside its libraries)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

# Clones in other folders (CI) share the compiler cache with this one.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1

build=build
opts=()
case "${1:-}" in
  --sanitize) build=build-asan; opts+=(-DWEXCON_SANITIZE=ON) ;;
  --tsan)
    build=build-tsan
    opts+=(-DWEXCON_TSAN=ON)
    export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"
    ;;
esac

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${opts[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
(cd "$build" && ctest --output-on-failure -j "$(nproc)" --timeout 300)
[ "$build" != build ] || scripts/package.sh --check
