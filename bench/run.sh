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

# halvo-cli against a unit at the link's real rate: a whole restore beside one that
# sends only what differs (two passes and a location), in the same run.
work="$(mktemp -d)"
trap 'rm -rf "$work"; kill "$sim" 2> /dev/null || true' EXIT
build/sim/halvo-unit-sim --pace --banner-interval 500 > "$work/sim.out" &
sim=$!
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
port="$(head -n 1 "$work/sim.out")"
build/src/cli/halvo-cli backup --port "$port" "$work/unit.csv" 2> /dev/null
sed -e 's/Pass Device 03  /Night Porter    /' -e 's/Pass Device 40  /Day Porter      /' \
    -e 's/Zone 7          /Boiler Room     /' "$work/unit.csv" > "$work/edited.csv"
timed() {
  local start end
  start=$(date +%s%N)
  build/src/cli/halvo-cli "$@" 2> "$work/cli.err" > /dev/null
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000000 )) ms, $(grep -o '[0-9]* frames sent' "$work/cli.err" | tail -n 1)"
}
full=$(timed restore --port "$port" "$work/edited.csv")
changed=$(timed restore --changed-only --port "$port" "$work/unit.csv")
echo "| halvo-cli restore, whole file (unit at 38400 baud) | $full |  |"
echo "| halvo-cli restore --changed-only, 2 passes and 1 location differ | $changed (reads the unit first) | < 3 s |"
