#!/usr/bin/env bash
# The desktops kept out of the default test run (GNOME and KDE are large to install): marco +
# caja, openbox + picom + nemo, GNOME on X11 and on Wayland with its desktop icons (DING),
# Cinnamon (muffin + nemo), Budgie (budgie-wm + budgie-desktop-view), LXQt (openbox +
# pcmanfm-qt + lxqt-panel), KDE Plasma on X11 (kwin_x11 and plasmashell; CTest runs it too where
# it is installed).
# Usage: tests/desktop/more_desktops.sh [BUILD_DIR [DESKTOP...]]
# Install first: apt-get install marco caja mate-settings-daemon-common nemo picom gnome-shell
#   gnome-shell-extension-desktop-icons-ng gnome-screenshot cinnamon muffin budgie-desktop
#   budgie-desktop-view pcmanfm-qt lxqt-panel kwin-x11 plasma-workspace plasma-desktop qdbus-qt5
#   (with --no-install-recommends; KDE alone is 330 packages, 630 MB installed)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
shift || true
desktops=("$@")
((${#desktops[@]})) || desktops=(marco-caja openbox-picom-nemo gnome-x11 gnome-wayland cinnamon budgie lxqt kde-x11)
status=0
for d in "${desktops[@]}"; do
    echo "== $d"
    bash "$here/desktop_check.sh" "$d" "$build/bin/TavvelHelper" "$build/tests/desktop/desktop_probe" || status=1
done
exit $status
