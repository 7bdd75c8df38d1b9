#!/usr/bin/env bash
# The player's CPU on each desktop, started headless as the desktop checks start it, against
# decoding the same clip. Usage: bench/desktop/run.sh BUILD_DIR [DESKTOP...]
# (default: the desktops installed here among those the checks know).
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$1
shift
desktops=("$@")
((${#desktops[@]})) || desktops=(openbox-pcmanfm xfwm4-xfdesktop kde-x11 marco-caja openbox-picom-nemo gnome-x11 gnome-wayland sway)
export TAVVEL_DESKTOP_MEASURE=$ROOT/bench/desktop/measure_cpu.sh
for d in "${desktops[@]}"; do
    bash "$ROOT/tests/desktop/desktop_check.sh" "$d" "$BUILD/bin/TavvelHelper" "$BUILD/tests/desktop/desktop_probe" |
        grep -E 'player cpu|FAIL|passed'
done
