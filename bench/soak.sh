#!/usr/bin/env bash
# Soak: random reads, stores, event downloads and data-file round trips against the
# simulated unit for a while (default an hour), checking the unit after every store
# by reading it back. Not part of the tests. Usage: bench/soak.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_WANTED="${1:-3600}"
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build --target halvo-cli halvo-unit-sim > /dev/null
CLI=build/src/cli/halvo-cli
work="$(mktemp -d)"
trap 'kill "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT

build/sim/halvo-unit-sim --pace --banner-interval 1000 --state "$work/unit.state" > "$work/pty" 2> "$work/sim.log" &
sim=$!
for _ in $(seq 50); do [ -s "$work/pty" ] && break; sleep 0.1; done
PORT="$(head -n 1 "$work/pty")"

declare -A done_ops=() failed_ops=()
fail() { failed_ops[$1]=$(( ${failed_ops[$1]:-0} + 1 )); echo "FAIL $1: $2" >&2; }
ok() { done_ops[$1]=$(( ${done_ops[$1]:-0} + 1 )); }
cli() { "$CLI" "$@" --port "$PORT" 2>> "$work/cli.log"; }

# Rewrites the alias of one slot and the user name of one pass in a data file: the
# file stays valid (the reader checks no checksum, only the layout).
edit() {
  local file=$1 slot=$2 pass=$3 stamp
  stamp=$(printf 'Soak %05d %05d' "$RANDOM" "$RANDOM" | cut -c1-16)
  sed -i -E "s/^\"-\\+27$(printf '%02X' "$slot").{16}/\"-+27$(printf '%02X' "$slot")$stamp/" "$file"
  sed -i -E "s/^\"-!27$(printf '%02X' "$pass").{16}/\"-!27$(printf '%02X' "$pass")$stamp/" "$file"
}

start=$(date +%s)
cli backup "$work/base.csv" || { echo "cannot read the unit" >&2; exit 1; }
while [ $(( $(date +%s) - start )) -lt "$SECONDS_WANTED" ]; do
  case $(( RANDOM % 4 )) in
    0) cli backup "$work/read.csv" && ok read || fail read "backup" ;;
    1) cp "$work/base.csv" "$work/store.csv"
       edit "$work/store.csv" $(( RANDOM % 50 )) $(( RANDOM % 72 ))
       if cli restore --verify "$work/store.csv" > "$work/diff.txt"; then
         ok store; cp "$work/store.csv" "$work/base.csv"
       else fail store "$(head -n 3 "$work/diff.txt")"; fi ;;
    2) pages=$(( RANDOM % 300 + 1 ))
       if cli events --pages "$pages" "$work/events.txt" && [ "$(wc -l < "$work/events.txt")" -eq $(( pages * 4 )) ]; then
         ok events
       else fail events "$pages pages, $(wc -l < "$work/events.txt") lines"; fi ;;
    3) if cli backup "$work/a.csv" && cli restore --verify "$work/a.csv" > /dev/null && cli backup "$work/b.csv" \
          && cmp -s "$work/a.csv" "$work/b.csv"; then ok roundtrip; else fail roundtrip "files differ"; fi ;;
  esac
done
elapsed=$(( $(date +%s) - start ))
rss=$(ps -o rss= -p "$sim" | tr -d ' ')
echo "soak: ${elapsed} s against the simulated unit at 38400 baud"
for op in read store events roundtrip; do
  echo "  $op: ${done_ops[$op]:-0} passed, ${failed_ops[$op]:-0} failed"
done
echo "  simulated unit resident memory at the end: ${rss} kB"
[ "${#failed_ops[@]}" -eq 0 ]
