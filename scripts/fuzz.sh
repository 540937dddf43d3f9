#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and the sanitizers and runs each for the given number
# of seconds (default 600) on its seed corpus, two at a time. Crashes land in fuzz/crashes/;
# keep each as a regression case in the tests.
#   scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
shift || true

command -v clang++ >/dev/null || { echo "clang is needed: apt-get install clang" >&2; exit 2; }
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
    for t in fuzz/fuzz_*.cpp; do targets+=("$(basename "$t" .cpp)"); done
fi
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target "${targets[@]}"
mkdir -p fuzz/crashes
run() {
    local t="$1" corpus="fuzz/corpus/${1#fuzz_}" work
    work="$(mktemp -d)"
    cp -r "$corpus"/. "$work"/ 2>/dev/null || true
    echo "== $t for ${seconds}s"
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 "build/fuzz/fuzz/$t" "$work" \
        -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=4096 \
        -artifact_prefix="fuzz/crashes/$t-" -print_final_stats=1 2>&1 | tail -n 12 || true
}
pids=()
for t in "${targets[@]}"; do
    run "$t" >"build/fuzz/$t.log" &
    pids+=($!)
    if [ "${#pids[@]}" -ge 2 ]; then wait "${pids[0]}"; pids=("${pids[@]:1}"); fi
done
wait
for t in "${targets[@]}"; do cat "build/fuzz/$t.log"; done
if [ -n "$(ls -A fuzz/crashes)" ]; then
    echo "Crashes found:"
    ls fuzz/crashes
    exit 1
fi
echo "No crashes."
