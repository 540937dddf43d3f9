#!/bin/sh
# A long soak of the job chain: scripts/soak.sh [JOBS [SEED]] (defaults 10000 and the date).
# Builds the release preset first; the figures go to standard output.
set -eu
cd "$(dirname "$0")/.."
jobs=${1:-10000}
seed=${2:-$(date +%Y%m%d)}
cmake --preset release >/dev/null
cmake --build build/release -j "$(nproc)" --target zorvex-soak
exec build/release/tests/soak/zorvex-soak "$jobs" "$seed"
