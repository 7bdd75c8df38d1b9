#!/usr/bin/env bash
# Starts one desktop headless, runs the real desktop player on it with a clip that changes over
# the whole frame, and checks what a user would: the video is seen, and the file manager's
# desktop (where there is one) still opens its menu and its launchers through it.
# Usage: desktop_check.sh DESKTOP HELPER DESKTOP_PROBE
#   DESKTOP: openbox-pcmanfm openbox-two-monitors openbox-panel xfwm4-xfdesktop kde-x11 marco-caja openbox-picom-nemo gnome-x11
#            cinnamon budgie i3 bspwm-feh lxqt
#            gnome-wayland sway sway-outputs sway-scales sway-picture weston
#            weston-xwayland
# Every wait polls for its event with a deadline. A missing program fails the check with a line
# naming its package. TAVVEL_DESKTOP_SHOTS=DIR keeps the screenshots.
set -uo pipefail
desktop=$1 helper=$2 probe=$3
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=desktop_lib.sh
source "$here/desktop_lib.sh"

case $desktop in
openbox-pcmanfm)
    start_x11 openbox:openbox pcmanfm:pcmanfm xmessage:x11-utils
    start_wm openbox --sm-disable
    # openbox keeps no sticky state: it puts the window on every workspace instead.
    kept_states=(BELOW SKIP_TASKBAR SKIP_PAGER)
    opaque_desktop_checks "pcmanfm --desktop" pcmanfm
    ;;
openbox-two-monitors)
    start_two_monitors openbox:openbox pcmanfm:pcmanfm xmessage:x11-utils
    start_wm openbox --sm-disable
    two_monitor_checks
    ;;
lxqt)
    start_x11 openbox:openbox pcmanfm-qt:pcmanfm-qt lxqt-panel:lxqt-panel xmessage:x11-utils
    start_wm openbox --sm-disable
    run_bg lxqt-panel
    kept_states=(BELOW SKIP_TASKBAR SKIP_PAGER)
    opaque_desktop_checks "pcmanfm-qt --desktop --profile=lxqt" pcmanfm-qt
    ;;
openbox-panel)
    start_x11 openbox:openbox pcmanfm:pcmanfm tint2:tint2 xmessage:x11-utils
    start_wm openbox --sm-disable
    panel_checks
    ;;
xfwm4-xfdesktop)
    start_x11 xfwm4:xfwm4 xfdesktop:xfdesktop4 xfconf-query:xfconf xmessage:x11-utils
    start_wm xfwm4 --compositor=on --sm-client-disable
    kept_states=(BELOW STICKY SKIP_TASKBAR SKIP_PAGER)
    opaque_desktop_checks "xfdesktop --disable-wm-check" xfdesktop
    ;;
kde-x11)
    start_x11 kwin_x11:kwin-x11 plasmashell:plasma-workspace qdbus:qdbus-qt5 xmessage:x11-utils
    kept_states=(BELOW STICKY SKIP_TASKBAR SKIP_PAGER SKIP_SWITCHER)
    start_kde_x11
    desktop_then_player "" plasmashell 30
    expect_video plasmashell-composited
    expect_clicks_reach plasmashell-composited plasmashell
    wallpaper_kept_checks plasmashell-composited "${kept_states[@]}"
    # Without compositing KWin fitted a window of the screen's size into the work area.
    quit "$helper_pid" "the player"
    qdbus org.kde.KWin /Compositor org.kde.kwin.Compositing.suspend >/dev/null
    start_player
    expect_video plasmashell-uncomposited
    check 10 "plasmashell-uncomposited: the window covers the screen with its states" \
        "plasmashell-uncomposited: the window lacks a state or its place" states_kept "${kept_states[@]}" || states_seen
    ;;
marco-caja)
    start_x11 marco:marco caja:caja
    start_wm marco --replace --no-composite
    kept_states=(BELOW STICKY SKIP_TASKBAR SKIP_PAGER)
    opaque_desktop_checks "caja -n --force-desktop" caja
    ;;
openbox-picom-nemo)
    start_x11 openbox:openbox picom:picom nemo-desktop:nemo
    start_wm openbox --sm-disable
    run_bg picom --backend xrender --config /dev/null
    wait_for "picom to composite" 20 "$probe" owned _NET_WM_CM_S0
    gsettings set org.nemo.preferences treat-root-as-normal true 2>/dev/null
    transparent_desktop_checks nemo-desktop nemo-desktop
    ;;
gnome-x11)
    start_x11 gnome-shell:gnome-shell
    start_gnome_x11
    transparent_desktop_checks "" gjs
    ;;
cinnamon)
    start_x11 cinnamon:cinnamon nemo-desktop:nemo
    system_bus
    export XDG_CURRENT_DESKTOP=X-Cinnamon
    gsettings set org.nemo.preferences treat-root-as-normal true 2>/dev/null
    start_wm cinnamon --replace
    transparent_desktop_checks nemo-desktop nemo-desktop
    ;;
budgie)
    start_x11 budgie-wm:budgie-core budgie-panel:budgie-core org.buddiesofbudgie.budgie-desktop-view:budgie-desktop-view
    system_bus
    export XDG_CURRENT_DESKTOP=Budgie:GNOME
    start_wm budgie-wm --x11 --replace
    run_bg budgie-panel
    transparent_desktop_checks org.buddiesofbudgie.budgie-desktop-view budgie-desktop-view
    ;;
i3)
    start_x11 i3:i3-wm i3-msg:i3-wm xmessage:x11-utils
    printf 'font pango:monospace 8\n' >"$work/i3.conf"
    start_wm i3 -c "$work/i3.conf"
    tiling_checks "i3-msg workspace"
    ;;
bspwm-feh)
    start_x11 bspwm:bspwm bspc:bspwm feh:feh xmessage:x11-utils
    printf '#!/bin/sh\nbspc monitor -d 1 2\n' >"$work/bspwmrc" && chmod +x "$work/bspwmrc"
    start_wm bspwm -c "$work/bspwmrc"
    # The wallpaper such a user has: a picture set on the root window.
    convert -size ${width}x$height gradient:'#336699-#993366' "$work/root.png" && feh --no-fehbg --bg-fill "$work/root.png"
    tiling_checks "bspc desktop -f"
    ;;
gnome-wayland)
    need gnome-shell:gnome-shell gnome-screenshot:gnome-screenshot
    start_gnome_wayland
    transparent_desktop_checks "" gjs
    ;;
sway)
    need sway:sway swaybg:swaybg grim:grim Xwayland:xwayland swaymsg:sway xmessage:x11-utils xhost:x11-xserver-utils
    sway_checks
    ;;
sway-outputs)
    need sway:sway grim:grim swaymsg:sway
    sway_outputs_checks
    ;;
sway-scales)
    need sway:sway grim:grim swaymsg:sway
    sway_scales_checks
    ;;
sway-picture)
    need sway:sway grim:grim swaymsg:sway
    clip_source="smptehdbars=s=1280x720:r=25:d=30"
    sway_picture_checks
    ;;
weston)
    need weston:weston weston-screenshooter:weston
    weston_checks
    ;;
weston-xwayland)
    need weston:weston weston-screenshooter:weston Xwayland:xwayland
    weston_checks --xwayland
    ;;
*)
    fail "no such desktop: $desktop"
    ;;
esac
# The benchmark's figure, from the player as the checks left it (bench/desktop/run.sh).
if [[ -n ${TAVVEL_DESKTOP_MEASURE:-} && -n ${helper_pid:-} ]]; then
    bash "$TAVVEL_DESKTOP_MEASURE" "$desktop" "$helper_pid" "$clip"
fi
finish
