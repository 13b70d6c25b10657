#!/usr/bin/env bash
# Installs what is needed, then builds and runs every test three ways:
#   1. the normal build (warnings as errors),
#   2. an AddressSanitizer + UndefinedBehaviorSanitizer build,
#   3. the libFuzzer targets over the receive path and the data file reader, for a
#      short fixed time each.
set -euo pipefail
cd "$(dirname "$0")/.."

FUZZ_SECONDS="${FUZZ_SECONDS:-20}"
JOBS="$(nproc)"

scripts/deps.sh

echo "=== normal build ==="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS="-Werror"
cmake --build build -j "$JOBS"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$JOBS")

echo "=== ASan + UBSan build ==="
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHALVO_SANITIZE=ON -DHALVO_BUILD_BENCH=OFF
cmake --build build-asan -j "$JOBS"
(cd build-asan && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
   UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j "$JOBS")

echo "=== fuzzing the receive path, the data file reader and the CSV imports, ${FUZZ_SECONDS}s each ==="
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DHALVO_FUZZ_ONLY=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-fuzz -j "$JOBS"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/receive" "$work/datafile" "$work/csv"
cp fuzz/corpus/datafile/* "$work/datafile/"
cp fuzz/corpus/csv/* "$work/csv/"
for target in receive datafile csv; do
  if ! build-fuzz/fuzz/fuzz_$target -max_total_time="$FUZZ_SECONDS" -rss_limit_mb=2048 -max_len=8192 \
       -print_final_stats=1 -artifact_prefix=build-fuzz/ "$work/$target" > "$work/$target.log" 2>&1; then
    tail -n 40 "$work/$target.log"
    echo "fuzz_$target: FAILED (the input that failed is in build-fuzz/)"
    exit 1
  fi
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$work/$target.log"
  echo "fuzz_$target: passed"
done
