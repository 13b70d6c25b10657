#!/usr/bin/env bash
# Installs what is needed, builds the tool and starts it in demo mode: a simulated
# base unit runs inside the tool, behind a link of its own, and is listed as a port.
# Extra arguments go to the tool (for example --port /dev/ttyUSB0 without --demo).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build --target halvo-config
if [ $# -eq 0 ]; then
  set -- --demo
fi
exec build/src/app/halvo-config "$@"
