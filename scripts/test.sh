#!/usr/bin/env bash
# Installs what is needed, then builds and runs every test three ways:
#   1. the normal build (warnings as errors),
#   2. an AddressSanitizer + UndefinedBehaviorSanitizer build,
#   3. the libFuzzer target over the receive path, for a short fixed time.
set -euo pipefail
cd "$(dirname "$0")/.."

FUZZ_SECONDS="${FUZZ_SECONDS:-30}"
JOBS="$(nproc)"

scripts/deps.sh

echo "=== normal build ==="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS="-Werror"
cmake --build build -j "$JOBS"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$JOBS")

echo "=== ASan + UBSan build ==="
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHALVO_SANITIZE=ON -DHALVO_BUILD_BENCH=OFF
cmake --build build-asan -j "$JOBS"
(cd build-asan && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
   UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j "$JOBS")

echo "=== fuzzing the receive path for ${FUZZ_SECONDS}s ==="
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DHALVO_FUZZ_ONLY=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-fuzz -j "$JOBS"
corpus="$(mktemp -d)"
trap 'rm -rf "$corpus"' EXIT
build-fuzz/fuzz/fuzz_receive -max_total_time="$FUZZ_SECONDS" -rss_limit_mb=1024 -max_len=4096 \
  -print_final_stats=1 "$corpus" 2>&1 | tail -n 12
echo "fuzz: 1 passed, 0 failed"
