#!/usr/bin/env bash
# Sets up a Debian 12 machine for Zorvex 5, builds it, and then runs it or its tests.
#
#   scripts/zorvex.sh run    install what is missing, build (release), start the program
#   scripts/zorvex.sh test   install what is missing, build (warnings as errors), run every test
#                            headless (the desktop test on its own Xvfb display, the soak on its
#                            own), build the release program, then run the tests again under the
#                            sanitizers, the desktop test and the soak excepted
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

packages=(build-essential cmake ninja-build qt6-base-dev libxcb1-dev gnupg gnupg1 xterm xdg-utils)
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
    cmake --build --preset release -j "$jobs" --target zorvex5
    exec ./build/release/zorvex5
fi

cmake --preset dev >/dev/null
cmake --build --preset dev -j "$jobs"
ctest --preset dev -j "$jobs" --label-exclude soak
# The soak on its own: its fault injection times kills by the moment, and it uses both cores.
ctest --preset dev -L soak --output-on-failure
# The build that the run command starts, so that an optimiser's warning cannot break it unseen.
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs" --target zorvex5

cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs" --label-exclude 'desktop|soak'
