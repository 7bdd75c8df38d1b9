#!/usr/bin/env bash
# The desktops kept out of the default test run (GNOME is large to install): marco + caja,
# openbox + picom + nemo, GNOME on X11 and on Wayland with its desktop icons (DING).
# Usage: tests/desktop/more_desktops.sh [BUILD_DIR [DESKTOP...]]
# Install first: apt-get install marco caja mate-settings-daemon-common nemo picom gnome-shell
#   gnome-shell-extension-desktop-icons-ng gnome-screenshot
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
shift || true
desktops=("$@")
((${#desktops[@]})) || desktops=(marco-caja openbox-picom-nemo gnome-x11 gnome-wayland)
status=0
for d in "${desktops[@]}"; do
    echo "== $d"
    bash "$here/desktop_check.sh" "$d" "$build/bin/TavvelHelper" "$build/tests/desktop/desktop_probe" || status=1
done
exit $status
