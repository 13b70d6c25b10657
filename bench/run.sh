#!/usr/bin/env bash
# Runs every benchmark against the simulated unit and prints one markdown table:
# the receive core and the data file (Google Benchmark), then the real window
# offscreen (stores at real pacing, event ingest, memory, a file round trip).
# Takes about two minutes; run it on a quiet machine. Not part of the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build --target bench_receive bench_datafile halvo-window-bench > /dev/null

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(. /etc/os-release; echo "$PRETTY_NAME"), $(free -g | awk '/Mem:/ {print $2}') GB"
echo
echo "| figure | measured | goal |"
echo "| --- | --- | --- |"
# name,iterations,real_time,cpu_time,time_unit,bytes_per_second,items_per_second,...
gbench() {
  "$1" --benchmark_format=csv 2> /dev/null | awk -F, -v what="$2" '
    NR > 1 && $1 != "" {
      gsub(/"/, "", $1)
      if ($6 != "") printf "| %s, %s | %.1f MB/s |  |\n", what, $1, $6 / 1e6
      else printf "| %s, %s | %.0f records/s |  |\n", what, $1, $7
    }'
}
gbench build/bench/bench_receive "receive path (session: assembler, routing, decoders, model), bytes per receive event"
gbench build/bench/bench_datafile "data file, 123 records"
QT_QPA_PLATFORM=offscreen build/bench/halvo-window-bench 2> /dev/null
