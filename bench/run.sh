#!/usr/bin/env bash
# Runs every benchmark against the simulated unit and prints one markdown table:
# the receive core and the data file (Google Benchmark), then the real window
# offscreen (stores at real pacing, event ingest, memory, a file round trip).
# Takes about two minutes; run it on a quiet machine. Not part of the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build --target bench_receive bench_datafile halvo-window-bench halvo-records-bench > /dev/null

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
build/bench/halvo-records-bench 2> /dev/null

# halvo-cli against a unit at the link's real rate, in the same run: a whole restore
# sent only, the same read back, and read back when the unit misses one frame; one
# that sends only what differs; a backup (each part read until two reads agree)
# beside a single read.
work="$(mktemp -d)"
export HALVO_RECORDS="$work/records" # what halvo-cli records here stays in the run's own folder
sims=()
trap 'rm -rf "$work"; kill "${sims[@]}" 2> /dev/null || true' EXIT
start_unit() { # start_unit NAME [options]: the unit's device in $work/NAME.port
  local name="$1"
  shift
  build/sim/halvo-unit-sim --pace --banner-interval 500 "$@" > "$work/$name.out" &
  sims+=($!)
  for _ in $(seq 50); do [ -s "$work/$name.out" ] && break; sleep 0.1; done
  head -n 1 "$work/$name.out" > "$work/$name.port"
}
start_unit unit
start_unit lossy --drop-store 39 # pass 40, which the edited file changes
port="$(cat "$work/unit.port")"
build/src/cli/halvo-cli backup --port "$port" "$work/unit.csv" 2> /dev/null
sed -e 's/Pass Device 03  /Night Porter    /' -e 's/Pass Device 40  /Day Porter      /' \
    -e 's/Zone 7          /Boiler Room     /' "$work/unit.csv" > "$work/edited.csv"
ms() { # ms COMMAND...: the milliseconds halvo-cli took; its standard error in $work/cli.err
  local start end
  start=$(date +%s%N)
  build/src/cli/halvo-cli "$@" 2> "$work/cli.err" > /dev/null || echo "(failed: $(tail -n 1 "$work/cli.err")) " >&2
  end=$(date +%s%N)
  echo $(( (end - start) / 1000000 ))
}
sent=$(ms restore --no-verify --port "$port" "$work/edited.csv")
checked=$(ms restore --port "$port" "$work/unit.csv")
lossy=$(ms restore --port "$(cat "$work/lossy.port")" "$work/edited.csv")
resent=$(grep -o "the unit lacks [0-9]* of [0-9]*" "$work/cli.err" | head -n 1 || true)
changed=$(ms restore --changed-only --port "$port" "$work/edited.csv")
once=$(ms backup --read-once --port "$port" "$work/once.csv")
# The same backup kept in the records, beside one that records nothing, in this run.
norecords=$(ms backup --read-once --no-records --port "$port" "$work/norecords.csv")
recorded=$(ms backup --read-once --port "$port" --unit-name "Bench Unit" "$work/recorded.csv")
twice=$(ms backup --port "$port" "$work/twice.csv")
echo "| halvo-cli restore, whole file, sent only (unit at 38400 baud) | $sent ms |  |"
echo "| the same, read back and checked | $checked ms (+$((checked - sent)) ms) | at most 2 s more |"
echo "| the same, the unit missing one frame ($resent) | $lossy ms (+$((lossy - sent)) ms) | at most 4 s more |"
echo "| halvo-cli restore --changed-only, 2 passes and 1 location differ | $changed ms (reads the unit twice first, reads back after) | < 5 s |"
echo "| halvo-cli backup, each part read until two reads agree / read once | $twice ms / $once ms | at most twice once + 0.5 s |"
echo "| halvo-cli backup (read once) recorded as a version / recording nothing | $recorded ms / $norecords ms (+$((recorded - norecords)) ms) | at most 50 ms more |"
