#!/usr/bin/env bash
# Sets up a Debian 12 machine for Zorvex 5, builds it, and then runs it or its tests.
#
#   scripts/zorvex.sh run    install what is missing, build (release), start the program
#   scripts/zorvex.sh test   install what is missing, build (warnings as errors), run every test
#                            headless (the desktop test on its own Xvfb display), then the same
#                            tests again under the sanitizers, the desktop test excepted
set -euo pipefail

cd "$(dirname "$0")/.."
mode="${1:-}"
case "$mode" in
run | test) ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac

packages=(build-essential cmake ninja-build qt6-base-dev gnupg gnupg1 xterm xdg-utils)
if [ "$mode" = test ]; then
    # sq and rnp: the interop tests read and write messages with other OpenPGP programs;
    # openbox: the desktop test runs under a window manager.
    packages+=(xvfb xdotool x11-utils x11-apps openbox sq rnp)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
fi

jobs="$(nproc)"
if [ "$mode" = run ]; then
    cmake --preset release >/dev/null
    cmake --build --preset release -j "$jobs"
    exec ./build/release/zorvex5
fi

cmake --preset dev >/dev/null
cmake --build --preset dev -j "$jobs"
# The soak (label soak) runs with `ctest -L soak` or scripts/soak.sh until more seeds have run clean.
ctest --preset dev -j "$jobs" --label-exclude soak

cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs" --label-exclude 'desktop|soak'
