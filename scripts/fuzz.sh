#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) and runs each one for a short
# time from its seed corpus. Usage: scripts/fuzz.sh [build-folder] [seconds-per-target]
# A target that finds a fault leaves the input in <build>/fuzz-artifacts and fails the run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-fuzz}
seconds=${2:-25}
jobs=${JOBS:-$(nproc)}

bash "$here/scripts/install-deps.sh"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DBRIMLOW_FUZZ=ON -DBRIMLOW_TESTS=OFF -DBRIMLOW_BENCH=OFF
cmake --build "$build" --parallel "$jobs" --target fuzzers

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$build/fuzz-artifacts"
failed=()
while IFS=$'\t' read -r exe seeds; do
  [ -n "$exe" ] || continue
  name=$(basename "$exe")
  # New inputs go to a scratch corpus; the seed folder in the tree is only read.
  work="$build/fuzz-work/$name"
  mkdir -p "$work"
  echo "== $name: ${seconds}s from $seeds"
  if ! "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$build/fuzz-artifacts/$name-" "$work" "$seeds" >"$build/fuzz-work/$name.log" 2>&1; then
    tail -n 40 "$build/fuzz-work/$name.log"
    failed+=("$name")
  else
    grep -E '^stat::number_of_executed_units|^Done' "$build/fuzz-work/$name.log" || true
  fi
done <"$build/fuzz-targets.txt"

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz targets that failed: ${failed[*]}" >&2
  exit 1
fi
