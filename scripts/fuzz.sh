#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan, UBSan) in build-fuzz/ and
# runs each one: first over its corpus in fuzz/corpus/<target>/ (seeds and the
# reproducers of earlier findings), then SECONDS of fuzzing (default 60). Any
# finding fails the run; its reproducer is left in build-fuzz/findings/.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

# Clones in other folders (CI) share the compiler cache with this one.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
seconds=${1:-60}
build=build-fuzz

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWEXCON_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build" -j "$(nproc)"

findings=$build/findings
rm -rf "$findings" "$build/logs"
mkdir -p "$findings" "$build/logs"
failed=()
for source in fuzz/*.cpp; do
  target=$(basename "$source" .cpp)
  fuzzer=$build/fuzz/fuzz_$target
  corpus=fuzz/corpus/$target
  # What fuzzing learns goes to a working corpus; the tree keeps seeds and reproducers.
  learned=$build/corpus/$target
  mkdir -p "$learned"
  log=$build/logs/$target.log
  opts=(-timeout=10 -rss_limit_mb=2048 -max_len=8192 -artifact_prefix="$findings/$target-")
  if "$fuzzer" "${opts[@]}" "$corpus"/* >"$log" 2>&1 &&
     "$fuzzer" "${opts[@]}" -max_total_time="$seconds" "$learned" "$corpus" >>"$log" 2>&1; then
    echo "fuzz: $target: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$log" | tail -1)"
  else
    echo "fuzz: $target: FINDING (log $log)"
    grep -E 'promise broken|ERROR:|SUMMARY:|Test unit written' "$log" | head -5 || true
    failed+=("$target")
  fi
done

if ((${#failed[@]})); then
  echo "fuzz: findings in ${failed[*]}; reproducers in $findings/"
  exit 1
fi
echo "fuzz: no findings"
