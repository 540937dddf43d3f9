#!/usr/bin/env bash
# Builds the release preset and runs every benchmark, writing their figures with the machine and
# the date to BENCHMARKS.md. Benchmarks print one line per figure, each beside its target.
set -euo pipefail
cd "$(dirname "$0")/.."

# The engine benchmark lists Debian's developer keyring: real keys, many of them expired, with
# user IDs in every script. Only the benchmarks need it.
if ! dpkg-query -W -f='${Status}' debian-keyring 2>/dev/null | grep -q "install ok installed"; then
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
        debian-keyring >/dev/null
fi

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" >/dev/null

out=BENCHMARKS.md
cpu="$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
mem="$(free -h | awk '/^Mem:/ {print $2}')"
{
    echo "# Benchmarks"
    echo
    echo "Run by \`scripts/run-benchmarks.sh\` (release build) on $(date -u '+%Y-%m-%d %H:%M UTC')."
    echo
    echo "Machine: ${cpu:-unknown CPU}, $(nproc) cores, ${mem} memory, $(. /etc/os-release && echo "$PRETTY_NAME")."
    echo
    for bench in build/release/bench/bench_*; do
        [ -f "$bench" ] && [ -x "$bench" ] || continue
        name="$(basename "$bench")"
        echo "## ${name#bench_}"
        echo
        echo '```'
        (cd "$(mktemp -d)" && QT_QPA_PLATFORM=offscreen ZORVEX_CONFIG_DIR="$PWD/config" \
            ZORVEX_TERMINAL=none ZORVEX_TOOLS_DIR="$OLDPWD/build/release/tools" \
            ZORVEX_SOURCE_DIR="$OLDPWD" "$OLDPWD/$bench") 2>&1 |
            grep -v -e propagateSizeHints -e XDG_RUNTIME_DIR
        echo '```'
        echo
    done
    cat bench/notes.md
} >"$out.new"
mv "$out.new" "$out"
cat "$out"
