# Functions of desktop_check.sh: a private X server or Wayland compositor, a session bus,
# temporary folders, the player, and checks that poll for their event with a deadline.
# shellcheck shell=bash

passed=0 failed=0
pids=()
work=$(mktemp -d /tmp/tavvel-desktop.XXXXXX)
chmod 755 "$work"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
export XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME/Desktop" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY DISPLAY DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER
# In a sanitizer build: whole stacks for leaks, so those of Qt's Wayland platform are told apart.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0
# Nothing leaves the machine: the player's update check is refused at once.
export TAVVEL_SERVICE_URL=http://127.0.0.1:9/
# The screen, and a launcher that leaves a mark when run.
width=1024 height=768
whole_screen="0 0 $width $height 50-100 the screen"
marker=$work/launched
printf '[Desktop Entry]\nType=Application\nName=Probe\nExec=touch %s\nIcon=utilities-terminal\nTerminal=false\n' \
    "$marker" >"$HOME/Desktop/probe.desktop"
chmod +x "$HOME/Desktop/probe.desktop"

fail() {
    echo "FAIL: $*"
    failed=$((failed + 1))
}
pass() {
    echo "ok: $*"
    passed=$((passed + 1))
}
# A failure after which nothing more can be checked.
stop() {
    fail "$*"
    finish
}

# Ends what this script started by process id, newest first, each gone before the next (the
# player quits while its display is still there).
cleanup() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill -TERM "${pids[i]}" 2>/dev/null || continue
        for _ in $(seq 50); do kill -0 "${pids[i]}" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "${pids[i]}" 2>/dev/null
    done
    if [[ -n ${TAVVEL_DESKTOP_SHOTS:-} ]]; then
        mkdir -p "$TAVVEL_DESKTOP_SHOTS"
        cp "$work"/*.png "$work"/*.log "$TAVVEL_DESKTOP_SHOTS"/ 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT

finish() {
    echo "desktop $desktop: $passed passed, $failed failed"
    ((failed == 0 && passed > 0))
    exit $?
}

# need PROGRAM:PACKAGE...: a desktop that is not installed fails here, naming the package.
need() {
    local item missing=()
    for item in "$@" compare:imagemagick convert:imagemagick ffmpeg:ffmpeg dbus-daemon:dbus \
        xdotool:xdotool xprop:x11-utils xwininfo:x11-utils import:imagemagick; do
        command -v "${item%%:*}" >/dev/null || missing+=("${item%%:*} (Debian package ${item#*:})")
    done
    ((${#missing[@]} == 0)) || stop "desktop $desktop cannot run: missing ${missing[*]}; scripts/setup.sh installs them"
}

# run_bg LOGNAME COMMAND...: started in the background, ended at exit.
run_bg() {
    local log
    log=$work/$(basename "$1").log
    "$@" >>"$log" 2>&1 &
    pids+=($!)
    last_pid=$!
}

# quit PID WHAT: asked to end, and waited for.
quit() {
    kill -TERM "$1" 2>/dev/null
    wait_for "$2 to quit" 20 bash -c "! kill -0 $1"
}

# wait_for WHAT SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds; false (and a
# line) once SECONDS have passed.
wait_for() {
    local what=$1 seconds=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || { echo "timed out after ${seconds}s waiting for $what"; return 1; }
        sleep 0.1
    done
}

# check SECONDS PASS FAIL COMMAND...: the one line or the other, as COMMAND succeeds in time.
check() {
    local seconds=$1 yes=$2 no=$3
    shift 3
    if wait_for "$yes" "$seconds" "$@"; then pass "$yes"; else fail "$no" && return 1; fi
}

# The clip: every pixel changes all the time (sines of position and time in each channel). At
# clip_size=640x480 a 1024x768 screen gets it at its own pixels (less than twice enlarged) and the
# screen's pixels are seen one by one.
make_clip() {
    clip=$work/clip.mp4
    ffmpeg -hide_banner -nostdin -loglevel error -y -f lavfi \
        -i "${clip_source:-nullsrc=s=320x180:r=25:d=30,geq=r='128+127*sin(X/20+T*2)':g='128+127*sin(Y/15+T*3)':b='128+127*sin((X+Y)/25+T*1.7)',scale=${clip_size:-320x180}}" \
        -c:v libx264 -preset ultrafast -pix_fmt yuv420p "$clip" || fail "ffmpeg could not make the clip"
    "$probe" seed "$clip" >"$work/seed.log" 2>&1 || fail "the clip could not be put in the library: $(cat "$work/seed.log")"
}

# bus VARIABLE OPTION: a private D-Bus daemon started with OPTION, its address exported as VARIABLE.
bus() {
    local address
    address=$(dbus-daemon "$2" --fork --print-address=1 --print-pid=3 3>"$work/$1.pid") || return 1
    pids+=("$(cat "$work/$1.pid")")
    export "$1=$address"
}

# A session bus, and the clip in the player's library.
session() {
    bus DBUS_SESSION_BUS_ADDRESS --session || stop "no session bus"
    make_clip
}

# --- X11 ---------------------------------------------------------------------------------------

# start_x11 PROGRAM:PACKAGE...: a private X server, once these programs are found.
start_x11() {
    need Xvfb:xvfb wmctrl:wmctrl "$@"
    exec 5>"$work/display"
    # -noreset: a server that resets as its last client leaves drops the next one mid-connect.
    run_bg Xvfb -displayfd 5 -screen 0 "${width}x${height}x24" -nolisten tcp -noreset
    wait_for "Xvfb" 20 test -s "$work/display" || stop "Xvfb did not start: $(cat "$work/Xvfb.log")"
    DISPLAY=:$(head -1 "$work/display")
    export DISPLAY
    session
    shoot() { import -window root "$1"; }
}

# start_two_monitors PROGRAM:PACKAGE...: a private X server of one screen with two monitors side
# by side (Xvfb knows only one): Xorg's dummy driver, its second output given a mode by RandR.
start_two_monitors() {
    need Xorg:xserver-xorg-core wmctrl:wmctrl xrandr:x11-xserver-utils "$@"
    [[ -e /usr/lib/xorg/modules/drivers/dummy_drv.so ]] ||
        stop "desktop $desktop cannot run: missing Xorg's dummy driver (Debian package xserver-xorg-video-dummy)"
    width=1280 height=720
    printf '%s\n' 'Section "Device"' ' Identifier "dummy"' ' Driver "dummy"' ' VideoRam 64000' 'EndSection' \
        'Section "Monitor"' ' Identifier "monitor"' ' HorizSync 5.0-1000.0' ' VertRefresh 5.0-200.0' 'EndSection' \
        'Section "Screen"' ' Identifier "screen"' ' Device "dummy"' ' Monitor "monitor"' ' DefaultDepth 24' \
        ' SubSection "Display"' '  Depth 24' "  Virtual $((2 * width)) $height" ' EndSubSection' 'EndSection' \
        >"$work/xorg.conf"
    exec 5>"$work/display"
    run_bg Xorg -displayfd 5 -config "$work/xorg.conf" -logfile "$work/Xorg-server.log" -noreset -nolisten tcp
    wait_for "Xorg" 20 test -s "$work/display" || stop "Xorg did not start: $(tail -5 "$work/Xorg.log")"
    DISPLAY=:$(head -1 "$work/display")
    export DISPLAY
    if ! { xrandr --newmode m$width 74.25 $width 1390 1430 1650 $height 725 730 750 +hsync +vsync &&
        xrandr --addmode DUMMY0 m$width && xrandr --addmode DUMMY1 m$width &&
        xrandr --fb $((2 * width))x$height --output DUMMY0 --mode m$width --pos 0x0 --output DUMMY1 --mode m$width \
            --pos ${width}x0; }; then
        stop "Xorg's outputs cannot be set side by side"
    fi
    session
    shoot() { import -window root "$1"; }
}

wm_runs() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
start_wm() {
    run_bg "$@"
    wait_for "the window manager ($1)" 60 wm_runs || stop "$1 did not start: $(tail -5 "$work/$1.log")"
}

# A window of another program with the desktop type is listed.
desktop_window_of() {
    local w
    for w in $(xprop -root _NET_CLIENT_LIST | grep -o '0x[0-9a-f]*'); do is_desktop_of "$w" "$1" && return 0; done
    return 1
}
is_desktop_of() {
    xprop -id "$1" _NET_WM_WINDOW_TYPE | grep -q _NET_WM_WINDOW_TYPE_DESKTOP && xprop -id "$1" WM_CLASS | grep -qi "$2"
}

wallpaper_windows() { xdotool search --onlyvisible --name '^Tavvel wallpaper$' 2>/dev/null; }

# Visible windows of class $1 whose type is one of the rest.
windows_of_type() {
    local class=$1 w
    shift
    for w in $(xdotool search --onlyvisible --class "$class" 2>/dev/null); do
        local type
        type=$(xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null)
        for t in "$@"; do [[ $type == *"_NET_WM_WINDOW_TYPE_$t"* ]] && echo "$w"; done
    done
}
menu_shown() { [[ -n $(windows_of_type "$1" POPUP_MENU DROPDOWN_MENU) ]]; }
# The menu is drawn, not only mapped (picture kept as $2): its middle is the same in two pictures
# taken apart, while the video under a menu not yet drawn moves. (Its edges can be a see-through
# shadow.)
menu_drawn() {
    # shellcheck disable=SC2034 # all that getwindowgeometry sets, kept local
    local w WINDOW X Y WIDTH HEIGHT SCREEN
    w=$(windows_of_type "$1" POPUP_MENU DROPDOWN_MENU | head -1)
    [[ -n $w ]] && eval "$(xdotool getwindowgeometry --shell "$w")" || return 1
    shoot "$work/menu-before.png" && sleep 0.3 && shoot "$2" || return 1
    local x=$((X + WIDTH / 4)) y=$((Y + HEIGHT / 4)) ae
    ae=$(differing "$work/menu-before.png" $x $y "$2" $x $y $((WIDTH / 2)) $((HEIGHT / 2))) || return 1
    ((ae * 400 <= WIDTH * HEIGHT))
}
menu_gone() { ! menu_shown "$1"; }
launcher_reached() { [[ -e $marker ]] || [[ -n $(launcher_windows "$1") ]]; }

# --- what the screen shows ---------------------------------------------------------------------

# expect_motion NAME SECONDS SHOWS LACKS AREA...: waits for three pictures 1 s apart (kept as
# NAME-a/-b/-c.png) in which each AREA, "X Y W H LOW-HIGH WHAT", changed over LOW to HIGH per
# cent of it in each second: the first picture may be taken before the video's first frame, so
# one pair alone cannot tell a moving video from a still one. The line gives the last shares.
expect_motion() {
    local name=$1 seconds=$2 shows=$3 lacks=$4
    shift 4
    if wait_for "$name: $shows" "$seconds" motion "$name" "$@"; then
        pass "$name: $shows ($(cat "$work/$name.changed"))"
    else
        fail "$name: $lacks ($(cat "$work/$name.changed" 2>/dev/null))"
    fi
}
motion() {
    local name=$1 area x y w h range what pair p shares said="" held=0
    shift
    shoot "$work/$name-a.png" && sleep 1 && shoot "$work/$name-b.png" && sleep 1 && shoot "$work/$name-c.png" ||
        return 1
    for area in "$@"; do
        read -r x y w h range what <<<"$area"
        shares=""
        for pair in a:b b:c; do
            p=$(differing "$work/$name-${pair%:*}.png" "$x" "$y" "$work/$name-${pair#*:}.png" "$x" "$y" "$w" "$h") ||
                return 1
            p=$((p * 100 / (w * h)))
            shares+="${shares:+ then }$p%"
            ((p >= ${range%-*} && p <= ${range#*-})) || held=1
        done
        said+="${said:+, }$shares of $what"
    done
    echo "$said changed, second by second" >"$work/$name.changed"
    return $held
}

expect_video() { expect_motion "$1" 40 "the video shows" "the video does not show" "$whole_screen"; }

start_helper() {
    run_bg "$helper"
    helper_pid=$last_pid
}
# The player on an X display, its window listed.
start_player() {
    start_helper
    wait_for "the wallpaper window" 30 wallpaper_windows || fail "the player shows no window"
}

# The desktop's menu opens and its launcher starts through the video.
expect_clicks_reach() {
    local name=$1 class=$2
    xdotool mousemove $((width / 2)) $((height / 2)) click 3
    check 10 "$name: a right-click on the desktop opens $class's menu" \
        "$name: a right-click on the desktop opens no menu of $class" menu_drawn "$class" "$work/$name-menu.png"
    xdotool key Escape
    wait_for "the menu to close" 10 menu_gone "$class"
    rm -f "$marker"
    # The windows the file manager had before (plasmashell keeps one of the normal type): only
    # those the launcher brings count.
    windows_before=$(windows_of_type "$class" NORMAL DIALOG)
    xdotool mousemove "$launcher_x" "$launcher_y" click --repeat 2 --delay 80 1
    # The file manager answers a launcher with a dialog of its own, slow to come on a loaded machine.
    check 30 "$name: a double-click on the launcher reaches $class" \
        "$name: a double-click on the launcher does not reach $class" launcher_reached "$class"
    # What answered: the launcher's mark, or the windows it brought.
    local w
    [[ -e $marker ]] && echo "  the launcher ran"
    for w in $(launcher_windows "$class"); do echo "  $class opened \"$(xdotool getwindowname "$w")\""; done
    # Closed as a user would, through the window manager: destroying another client's window
    # under it (xdotool windowclose) makes the file manager die of an X error a moment later.
    for w in $(launcher_windows "$class"); do wmctrl -i -c "$w"; done
    wait_for "the launcher's windows to close" 20 launcher_windows_gone "$class" ||
        fail "$name: the launcher's windows of $class stay open:$(for w in $(launcher_windows "$class"); do
            printf ' "%s"' "$(xdotool getwindowname "$w")"; done)"
}
launcher_windows() { windows_of_type "$1" NORMAL DIALOG | grep -vxF "${windows_before:-none}"; }
launcher_windows_gone() { [[ -z $(launcher_windows "$1") ]]; }

# file_manager_desktop COMMAND CLASS SECONDS: the file manager started (if COMMAND is given), and
# its desktop window waited for where this script can see it.
file_manager_desktop() {
    # shellcheck disable=SC2086
    [[ -n $1 ]] && run_bg $1 && fm_pid=$last_pid
    [[ ${clicks:-yes} == yes ]] || return 0
    wait_for "$2's desktop" "$3" desktop_window_of "$2" || fail "$2 shows no desktop window"
}

# desktop_then_player COMMAND CLASS SECONDS: the file manager's desktop with its launcher icon,
# then the player.
desktop_then_player() {
    configure_file_manager "$2"
    file_manager_desktop "$@"
    wait_for "$2's launcher icon" "$3" icon_drawn "$work/$2-alone.png" || fail "$2 shows no launcher icon"
    focus_application
    start_player
}

# opaque_desktop_checks COMMAND CLASS: the file manager first, then the player; and again the
# other way round.
opaque_desktop_checks() {
    local command=$1 class=$2
    desktop_then_player "$command" "$class" 30
    expect_video "$class-first"
    check 10 "$class-first: the window manager stacks the wallpaper under the focused application" \
        "$class-first: the wallpaper is stacked over the application" stacked_below "$app_window" || cat "$work/stacking.seen"
    expect_clicks_reach "$class-first" "$class"

    quit "$helper_pid" "the player"
    quit "$fm_pid" "$class"
    focus_application
    start_player
    file_manager_desktop "$command" "$class" 30
    expect_video "$class-after-player"
    expect_clicks_reach "$class-after-player" "$class"
    wallpaper_kept_checks "$class" "${kept_states[@]}"
}

# The settings file both programs share.
settings_file() { echo "$XDG_DATA_HOME/Q7ZK3M8WRT.tavvel/Preferences/Q7ZK3M8WRT.tavvel.ini"; }
# wallpaper_open true|false: the switch of the main window, through the settings file.
wallpaper_open() {
    sed -i "s/^IsOpenPlayer=.*/IsOpenPlayer=$1/" "$(settings_file)"
}

# states_kept STATE...: the wallpaper window covers the screen, is on every workspace and
# carries each _NET_WM_STATE_<STATE> (KWin's own are _KDE_NET_WM_STATE_...).
states_kept() {
    local w props state
    w=$(wallpaper_windows | head -1)
    [[ -n $w ]] || return 1
    props="$(xprop -id "$w" _NET_WM_STATE _NET_WM_DESKTOP _NET_WM_WINDOW_TYPE) at $(xwininfo -id "$w" |
        awk '/Absolute upper-left [XY]|Width|Height/ {printf "%s ", $NF}')"
    echo "$props" | tr '\n' ' ' >"$work/states.seen"
    [[ $props == *"_NET_WM_DESKTOP(CARDINAL) = 4294967295"* && $props == *"at 0 0 $width $height " ]] || return 1
    for state in "$@"; do [[ $props == *"_NET_WM_STATE_$state"* ]] || return 1; done
}
# The line after a failed states_kept: what it saw.
states_seen() { echo "  seen: $(cat "$work/states.seen" 2>/dev/null)"; }

# wallpaper_kept_checks NAME STATE...: over an opaque desktop the video stays through the
# wallpaper switched off and on (on another workspace too, with every state back) and through
# "Show desktop".
wallpaper_kept_checks() {
    local name=$1
    shift
    check 10 "$name: the window covers the screen with its states" "$name: the window lacks a state or its place" \
        states_kept "$@" || states_seen
    switch_off_and_on
    check 10 "$name-reopened: the window has its states back" "$name-reopened: the window lost a state or its place" \
        states_kept "$@" || states_seen
    (($(xprop -root _NET_NUMBER_OF_DESKTOPS | grep -o '[0-9]*$') >= 2)) || wmctrl -n 2
    wmctrl -s 1
    wait_for "the second workspace" 10 bash -c "xprop -root _NET_CURRENT_DESKTOP | grep -q '= 1$'" ||
        fail "$name: the second workspace does not come"
    expect_video "$name-reopened-other-workspace"
    wmctrl -s 0
    run_bg xmessage -title probe -geometry 400x300+0+0 "an application window"
    wait_for "the probe window" 20 xdotool search --onlyvisible --name '^probe$' || fail "$name: no probe window"
    wmctrl -k on
    expect_video "$name-show-desktop"
    wmctrl -k off
    check 10 "$name: after \"Show desktop\" the window is back below with its states" \
        "$name: after \"Show desktop\" the window lacks a state or its place" states_kept "$@" || states_seen
    kill "$last_pid"
}

# transparent_desktop_checks COMMAND CLASS: the video shows under the icons of a desktop that
# lets it through; the icons stay on top, and the desktop still takes its clicks. The wallpaper
# maps while an application has the focus, at start and switched off and on.
transparent_desktop_checks() {
    local class=$2 round
    configure_file_manager "$class"
    file_manager_desktop "$1" "$class" 60
    wait_for "$class's launcher icon" 60 icon_drawn "$work/$class-alone.png" || fail "$class shows no launcher icon"
    for round in "" -reopened; do
        focus_application
        if [[ -z $round ]]; then start_player; else switch_off_and_on; fi
        # The window manager may show a new window above the icons for a moment before it is lowered.
        expect_motion "$class$round" 40 "the video shows under the launcher icon, around the focused application" \
            "the video does not show under the launcher icon and around the focused application" \
            "$whole_screen" "$((launcher_x - 16)) $((launcher_y - 16)) 32 32 0-29 the launcher icon" "$application_inside"
        # On Wayland the desktop's window is no X client: the screen alone tells where the icons are.
        local desktop_class=$class
        [[ ${clicks:-yes} == yes ]] || desktop_class=""
        check 10 "$class$round: the window manager stacks the wallpaper under $class's desktop and the application" \
            "$class$round: the wallpaper is stacked over $class's desktop or the application" \
            stacked_below "$app_window" "$desktop_class" || cat "$work/stacking.seen"
        [[ ${clicks:-yes} == yes ]] && expect_clicks_reach "$class$round" "$class"
    done
}

# An application window in the lower right corner, away from the icons and from the middle where
# the checks click, given the focus: the wallpaper maps while another program's window has it,
# as when it is switched on from the main window or starts with windows open. ($application_inside
# is the area of its inside for expect_motion.)
focus_application() {
    if [[ -z ${app_window:-} ]]; then
        local x=$((width - 340)) y=$((height - 260))
        run_bg xmessage -title focused -geometry 300x200+$x+$y "an application window"
        wait_for "the application window" 20 xdotool search --onlyvisible --name '^focused$' ||
            stop "no application window"
        app_window=$(xdotool search --onlyvisible --name '^focused$' | head -1)
        application_inside="$((x + 20)) $((y + 20)) 260 160 0-4 the application window"
    fi
    xdotool windowactivate --sync "$app_window" >/dev/null 2>&1 || xdotool windowfocus --sync "$app_window"
    wait_for "the application to have the focus" 10 application_focused || fail "the application does not get the focus"
}
application_focused() { [[ $(xdotool getwindowfocus 2>/dev/null) == "$app_window" ]]; }

# The wallpaper switched off, the focus given back to the application, and the wallpaper on again.
switch_off_and_on() {
    wallpaper_open false
    wait_for "the wallpaper to close" 20 bash -c "! xdotool search --onlyvisible --name '^Tavvel wallpaper$'" ||
        fail "the wallpaper does not close"
    focus_application
    wallpaper_open true
    wait_for "the wallpaper to open" 20 wallpaper_windows || fail "the wallpaper does not open again"
}

# The launcher's icon is on the screen (picture kept as $1): its square differs from the squares
# of bare desktop further right (the same rows of a vertically shaded background) and further down.
icon_drawn() {
    shoot "$1" || return 1
    # Against two squares of bare desktop, to the right and below: a banner or a panel over one
    # of them, or GNOME's overview over all three, is not taken for the icon.
    local x=$((launcher_x - 24)) y=$((launcher_y - 24)) ae
    for reference in "$((x + 276)) $y" "$x $((y + 276))"; do
        # shellcheck disable=SC2086 # the reference is two numbers
        ae=$(differing "$1" "$x" "$y" "$1" $reference 48 48) || return 1
        ((ae > 48 * 48 / 10)) || return 1
    done
}

# Only the probe launcher on the desktop, in its first place, on a plain colour.
configure_file_manager() {
    launcher_x=60 launcher_y=40
    local key
    case $1 in
    pcmanfm)
        mkdir -p "$XDG_CONFIG_HOME/pcmanfm/default"
        printf '[*]\nwallpaper_mode=color\ndesktop_bg=#336699\ndesktop_fg=#ffffff\nshow_trash=0\nshow_documents=0\nshow_mounts=0\n' \
            >"$XDG_CONFIG_HOME/pcmanfm/default/desktop-items-0.conf"
        ;;
    pcmanfm-qt)
        # Its label: Qt's icon theme here has no picture for the icon.
        launcher_x=62 launcher_y=68
        mkdir -p "$XDG_CONFIG_HOME/pcmanfm-qt/lxqt"
        printf '[Desktop]\nWallpaperMode=none\nBgColor=#336699\nFgColor=#ffffff\nDesktopShortcuts=@Invalid()\n' \
            >"$XDG_CONFIG_HOME/pcmanfm-qt/lxqt/settings.conf"
        ;;
    xfdesktop)
        # Kept by xfconfd, which the session bus starts.
        for key in home filesystem trash removable; do
            xfconf-query -c xfce4-desktop -p "/desktop-icons/file-icons/show-$key" -n -t bool -s false
        done
        ;;
    nemo-desktop)
        # Under Cinnamon there is no panel at the top.
        launcher_x=122 launcher_y=62
        [[ $desktop == cinnamon ]] && launcher_y=44
        for key in computer-icon home-icon trash-icon volumes; do
            gsettings set org.nemo.desktop "$key-visible" false 2>/dev/null
        done
        ;;
    gjs)
        launcher_x=64 launcher_y=68
        ;;
    budgie-desktop-view)
        launcher_x=64 launcher_y=40
        local d=org.buddiesofbudgie.budgie-desktop-view
        gsettings set $d show true && gsettings set $d show-home-folder false && gsettings set $d show-trash-folder false
        gsettings set org.gnome.desktop.background picture-options none
        gsettings set org.gnome.desktop.background primary-color '#336699'
        ;;
    plasmashell)
        launcher_x=58 launcher_y=40
        # A plain colour for the wallpaper, so the icon's wait sees the icon and not the picture.
        wait_for "plasmashell's scripting" 30 qdbus org.kde.plasmashell /PlasmaShell org.kde.PlasmaShell.evaluateScript \
            'for (const d of desktops()) { d.wallpaperPlugin = "org.kde.color"; d.currentConfigGroup = ["Wallpaper", "org.kde.color", "General"]; d.writeConfig("Color", "#336699"); }' ||
            fail "plasmashell takes no wallpaper"
        ;;
    caja)
        launcher_x=88 launcher_y=45
        for key in computer home trash; do gsettings set org.mate.caja.desktop "$key-icon-visible" false 2>/dev/null; done
        ;;
    esac
}

# --- panels ------------------------------------------------------------------------------------

# panel EDGE: a panel of 80 pixels (tint2) that reserves its strip on that edge of the screen, in
# place of the last one; $panel_free is the strip at the opposite edge (beside the application
# window) for expect_motion: a wallpaper moved into the work area leaves it bare.
panel() {
    [[ -n ${panel_pid:-} ]] && quit "$panel_pid" "the panel"
    local position size=100%\ 80 strip
    case $1 in
    left) position="center left vertical" strip="$((width - 88)) 0 88 $((height - 280))" ;;
    right) position="center right vertical" strip="0 0 88 $height" ;;
    top) position="top center horizontal" strip="0 $((height - 88)) $((width - 360)) 88" ;;
    bottom) position="bottom center horizontal" strip="0 0 $width 88" ;;
    esac
    printf '%s\n' "panel_items = T" "panel_position = $position" "panel_size = $size" "panel_margin = 0 0" \
        "strut_policy = follow_size" "panel_layer = top" "wm_menu = 0" >"$work/tint2-$1.conf"
    run_bg tint2 -c "$work/tint2-$1.conf"
    panel_pid=$last_pid
    wait_for "the panel's strip on the $1" 20 bash -c "xprop -root _NET_WORKAREA | grep -qv '= 0, 0, $width, $height,'" ||
        fail "the panel on the $1 reserves no strip"
    panel_free="$strip 95-100 the strip at the opposite edge"
}

# A panel on each edge in turn, over pcmanfm's desktop: the wallpaper covers the whole screen,
# under the panel, and the video moves all over the screen beside it (at start, then switched off
# and on for each new edge).
panel_checks() {
    local edge
    configure_file_manager pcmanfm
    file_manager_desktop "pcmanfm --desktop" pcmanfm 30
    for edge in left right top bottom; do
        panel $edge
        focus_application
        if [[ $edge == left ]]; then start_player; else switch_off_and_on; fi
        check 10 "panel-$edge: the wallpaper window covers the screen" "panel-$edge: the wallpaper window does not cover the screen" \
            monitors_covered 1 || echo "  seen: $(cat "$work/geometry.seen")"
        expect_motion "panel-$edge" 40 "the video moves up to the edge opposite the panel" \
            "the video does not reach the edge opposite the panel" "$panel_free" "$application_inside"
    done
}

# --- tiling window managers --------------------------------------------------------------------

# tiling_checks SWITCH: under a tiling window manager (SWITCH N shows its workspace N) the
# application fills the first workspace and the wallpaper stays under it and out of the window
# manager's tiles; the second, empty workspace shows the video. At start and switched off and on.
tiling_checks() {
    local round
    for round in "" -reopened; do
        $1 1 >/dev/null
        focus_application
        if [[ -z $round ]]; then start_player; else switch_off_and_on; fi
        expect_motion "$desktop$round-tiled" 20 "nothing moves over the tiled application" \
            "something moves over the tiled application" "$application_inside"
        check 10 "$desktop$round: the wallpaper is below the application and no tile of the window manager" \
            "$desktop$round: the wallpaper is above the application or a tile" x_stacked_below "$app_window" ||
            cat "$work/stacking.seen"
        $1 2 >/dev/null
        expect_video "$desktop$round-empty-workspace"
    done
}

# x_stacked_below WINDOW: the server's stacking of the root window's children puts every wallpaper
# window below WINDOW's frame, and the window manager made no frame for one: its parent is the root.
x_stacked_below() {
    local root top=$1 parent w children seen=() wallpaper_at=-1 top_at=-1 i=0
    root=$(xwininfo -root | awk '/Window id:/ {print $4}')
    while parent=$(xwininfo -children -id "$top" | awk '/Parent window id:/ {print $4}') && ((parent != root)); do
        top=$parent
    done
    children=$(xwininfo -root -children | awk '/^ +0x/ {print $1}')
    for w in $children; do
        ((w == top)) && top_at=$i
        [[ -n $(xwininfo -id "$w" | grep '"Tavvel wallpaper"') ]] && wallpaper_at=$i && seen+=(wallpaper)
        ((w == top)) && seen+=(application)
        i=$((i + 1))
    done
    echo "  top first: ${seen[*]}" >"$work/stacking.seen"
    # Listed top first: the wallpaper after the application.
    ((top_at >= 0 && wallpaper_at > top_at))
}

# --- two monitors --------------------------------------------------------------------------------

# The wallpaper stays below every application on every monitor, whichever monitor has the focus
# when it maps (at start, and switched off and on): openbox lifts an undecorated window exactly
# filling a monitor into its fullscreen layer while the focus is on another monitor.
two_monitor_checks() {
    configure_file_manager pcmanfm
    mkdir -p "$(dirname "$(settings_file)")"
    printf '[General]\nMonitorArrange=1\n' >"$(settings_file)"
    file_manager_desktop "pcmanfm --desktop" pcmanfm 30
    run_bg xmessage -title probe -geometry 400x300+$((width + 100))+100 "an application window"
    wait_for "the probe window" 20 xdotool search --onlyvisible --name '^probe$' || stop "two monitors: no probe window"
    probe_window=$(xdotool search --onlyvisible --name '^probe$' | head -1)
    local round
    for round in first reopened; do
        xdotool windowactivate --sync "$probe_window" 2>/dev/null || xdotool windowfocus --sync "$probe_window"
        if [[ $round == first ]]; then
            start_helper
        else
            wallpaper_open false
            wait_for "the wallpaper to close" 20 bash -c "! xdotool search --onlyvisible --name '^Tavvel wallpaper$'" ||
                fail "two-monitors: the wallpaper does not close"
            xdotool windowactivate --sync "$probe_window" 2>/dev/null || xdotool windowfocus --sync "$probe_window"
            wallpaper_open true
        fi
        wait_for "a wallpaper window on each monitor" 30 bash -c "(( \$(xdotool search --onlyvisible --name '^Tavvel wallpaper\$' | wc -l) == 2 ))" ||
            fail "two-monitors-$round: not one wallpaper window per monitor"
        expect_motion "two-monitors-$round" 40 "the video moves on both monitors around the application window" \
            "the video does not move on both monitors, below the application window" \
            "0 0 $width $height 50-100 the first monitor" \
            "$((width + 520)) 0 $((width - 520)) $height 50-100 the second monitor beside the window" \
            "$((width + 110)) 110 380 280 0-2 the application window"
        check 10 "two-monitors-$round: every wallpaper window is stacked below the application window" \
            "two-monitors-$round: a wallpaper window is stacked above the application window" stacked_below "$probe_window"
    done
    # The second monitor taken away while the wallpaper is off, and brought back while it is off:
    # switched on, the windows follow the monitors there are.
    local windows
    for windows in 1 2; do
        wallpaper_open false
        wait_for "the wallpaper to close" 20 bash -c "! xdotool search --onlyvisible --name '^Tavvel wallpaper$'" ||
            fail "two-monitors: the wallpaper does not close"
        if ((windows == 1)); then
            xrandr --output DUMMY1 --off --fb ${width}x$height
        else
            xrandr --fb $((2 * width))x$height --output DUMMY1 --mode m$width --pos ${width}x0
        fi
        # The server's notice reaches the player before the settings file's change, which it reads
        # every second.
        wait_for "the screen's new size" 10 bash -c "xwininfo -root | grep -q 'Width: $((windows * width))$'"
        wallpaper_open true
        check 20 "two-monitors-$windows-after-change: one wallpaper window per monitor, each covering it" \
            "two-monitors-$windows-after-change: the wallpaper windows do not follow the monitors" \
            monitors_covered "$windows" || echo "  seen: $(tr '\n' ';' <"$work/geometry.seen")"
        expect_motion "two-monitors-$windows-after-change" 40 "the video moves on every monitor" \
            "the video does not move on every monitor" "0 0 $width $height 50-100 the first monitor" \
            "$(((windows - 1) * (width + 520))) 0 $((width - 520)) $height 50-100 the last monitor beside the window"
    done
}
# monitors_covered N: N wallpaper windows, side by side from 0,0, each of a monitor's (or the screen's) size.
monitors_covered() {
    local w expected="" i
    for w in $(wallpaper_windows); do
        xwininfo -id "$w" | awk '/Absolute upper-left [XY]|Width|Height/ {printf "%s ", $NF} END {print ""}'
    done | sort -n >"$work/geometry.seen"
    for ((i = 0; i < $1; i++)); do expected+="$((i * width)) 0 $width $height "$'\n'; done
    [[ "$(cat "$work/geometry.seen")"$'\n' == "$expected" ]]
}
# stacked_below WINDOW [CLASS]: in the window manager's stacking order (bottom first) every
# wallpaper window comes before WINDOW, and before CLASS's desktop window where one is named.
stacked_below() {
    local order w position=0 probe_at=-1 highest=-1 desktop_at=-1
    order=$(xprop -root _NET_CLIENT_LIST_STACKING | grep -o '0x[0-9a-f]*')
    for w in $order; do
        ((w == $1)) && probe_at=$position
        xdotool getwindowname "$w" 2>/dev/null | grep -qx 'Tavvel wallpaper' && highest=$position
        [[ -n ${2:-} ]] && is_desktop_of "$w" "$2" && desktop_at=$position
        position=$((position + 1))
    done
    echo "  stacking, bottom first: $(for w in $order; do
        printf '%s ' "$(xdotool getwindowname "$w" 2>/dev/null | tr ' ' _ | cut -c1-24)"; done)" >"$work/stacking.seen"
    ((probe_at >= 0 && highest >= 0 && highest < probe_at)) || return 1
    [[ -z ${2:-} ]] || ((highest < desktop_at))
}

# --- GNOME ------------------------------------------------------------------------------------

# A private system bus that lets everything through (logind, accounts, udisks).
system_bus() {
    cat >"$work/system.conf" <<XML
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$work/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
XML
    bus DBUS_SYSTEM_BUS_ADDRESS --config-file="$work/system.conf" || stop "no system bus"
}

# gnome-shell needs a system bus; and DING's icons, on a plain colour.
gnome_session() {
    system_bus
    export XDG_CURRENT_DESKTOP=GNOME
    gsettings set org.gnome.shell disable-user-extensions false
    gsettings set org.gnome.shell enabled-extensions "['ding@rastersoft.com']"
    local key
    for key in home trash volumes; do gsettings set org.gnome.shell.extensions.ding "show-$key" false; done
    gsettings set org.gnome.desktop.background picture-options none
    gsettings set org.gnome.desktop.background primary-color '#336699'
    gsettings set org.gnome.desktop.session idle-delay 0
    gio set "$HOME/Desktop/probe.desktop" metadata::trusted true 2>/dev/null
}

start_gnome_x11() {
    gnome_session
    start_wm gnome-shell --x11 --replace
    # It starts in the overview, which hides the desktop.
    wait_for "DING's window" 60 desktop_window_of gjs || stop "DING shows no desktop window"
    wait_for "the overview to close" 30 leave_overview
}

# GNOME's compositor, headless: the player finds no layer shell and goes to XWayland by itself.
start_gnome_wayland() {
    session
    gnome_session
    export XDG_SESSION_TYPE=wayland
    run_bg gnome-shell --wayland --headless --virtual-monitor "${width}x${height}" --wayland-display=tavvel-wayland
    export WAYLAND_DISPLAY=tavvel-wayland
    wait_for "gnome-shell" 60 test -S "$XDG_RUNTIME_DIR/tavvel-wayland" ||
        stop "gnome-shell did not start: $(tail -5 "$work/gnome-shell.log")"
    wait_for "XWayland's display" 30 xwayland_display || stop "gnome-shell offers no XWayland"
    shoot() { gnome-screenshot -f "$1" >/dev/null 2>&1; }
    # Pointer clicks cannot be sent to a Wayland client from here: the icons are looked at only.
    clicks=no
    wait_for "the overview to close" 30 leave_overview
}

# The X display mutter made (its log names it), with its authority file.
xwayland_display() {
    local d
    d=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$work/gnome-shell.log" | head -1)
    [[ -n $d ]] || return 1
    export DISPLAY=$d
    XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -1)
    [[ -n $XAUTHORITY ]] || return 1
    export XAUTHORITY
    # The socket is there before XWayland answers; a client that comes too early is refused.
    xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null
}

# The shell starts in the overview; its D-Bus property closes it.
leave_overview() {
    [[ $(shell_property Get OverviewActive) == *false* ]] && return 0
    shell_property Set OverviewActive "<false>"
    return 1
}
shell_property() {
    gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method "org.freedesktop.DBus.Properties.$1" org.gnome.Shell "${@:2}"
}

# --- KDE Plasma on X11 ----------------------------------------------------------------------------

# kwin_x11 (compositing, as it starts by default) and plasmashell with its own wallpaper.
start_kde_x11() {
    [[ -d /usr/share/plasma/shells/org.kde.plasma.desktop ]] ||
        stop "desktop $desktop cannot run: missing Plasma's desktop shell (Debian package plasma-desktop)"
    system_bus
    export XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=5
    start_wm kwin_x11
    wait_for "KWin to composite" 30 "$probe" owned _NET_WM_CM_S0 || fail "kwin_x11 does not composite"
    run_bg plasmashell
    fm_pid=$last_pid
    wait_for "plasmashell's desktop" 60 desktop_window_of plasmashell || stop "plasmashell shows no desktop window"
}

# --- sway --------------------------------------------------------------------------------------

# start_sway CONFIG-LINE...: a headless sway with outputs of the screen's size and these lines.
# It refuses to run as root: then it runs as nobody, in a runtime folder of its own, the player as
# root beside it. Run by anyone else, sway and the player are both that user's.
start_sway() {
    sway_runtime=$work/sway-runtime
    mkdir -p "$sway_runtime" && chmod 700 "$sway_runtime"
    printf '%s\n' "output * resolution ${width}x${height} bg #336699 solid_color" "$@" >"$work/sway.conf"
    chmod 644 "$work/sway.conf"
    local as=() log=$work/env.log
    if ((EUID == 0)); then
        chown nobody:nogroup "$sway_runtime"
        as=(setpriv --reuid=nobody --regid=nogroup --clear-groups) log=$work/setpriv.log
    fi
    run_bg "${as[@]}" env -i PATH="$PATH" XDG_RUNTIME_DIR="$sway_runtime" HOME="$work" \
        WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$work/sway.conf"
    wait_for "sway" 30 bash -c "ls '$sway_runtime'/wayland-? >/dev/null && ls '$sway_runtime'/sway-ipc.* >/dev/null" ||
        stop "sway did not start: $(tail -5 "$log")"
    export WAYLAND_DISPLAY SWAYSOCK
    WAYLAND_DISPLAY=$(ls "$sway_runtime"/wayland-? | head -1)
    SWAYSOCK=$(ls "$sway_runtime"/sway-ipc.* | head -1)
}

sway_checks() {
    start_sway "xwayland force" 'for_window [title="^probe$"] floating enable, resize set 400 300, move position 0 0'
    session
    shoot() { grim "$1"; }
    shoot "$work/sway-alone.png"
    start_helper
    expect_video "sway"
    check 0 "sway: the window tree holds no window of the player" "sway: the window tree holds a window of the player" \
        bash -c "! swaymsg -t get_tree | grep -q '\"Tavvel wallpaper\"'"
    # An application window over part of the screen: it stays on top, the video moves around it.
    # XWayland runs as sway's user, who lets root in (when the player is root's) and says which
    # display it is.
    touch "$work/xdisplay" && chmod 666 "$work/xdisplay"
    local letin=""
    ((EUID == 0)) && letin="xhost +si:localuser:root && "
    swaymsg exec "${letin}echo \$DISPLAY >$work/xdisplay" >/dev/null
    wait_for "XWayland" 30 test -s "$work/xdisplay" || stop "sway: XWayland did not start"
    export DISPLAY
    DISPLAY=$(cat "$work/xdisplay")
    run_bg xmessage -title probe -geometry 400x300+0+0 "an application window"
    wait_for "the probe window" 20 bash -c "swaymsg -t get_tree | grep -q '\"probe\"'" || fail "sway: no probe window"
    expect_motion sway-window 30 "the video moves under the application window" \
        "the video is not under the application window" "420 320 590 440 50-100 the area around it" "10 10 380 280 0-4 its inside"
}

# Outputs that come, go and change scale while the player runs: the video moves on each output
# there is, at the output's own pixels. A headless output of sway 1.7 cannot be taken away, one
# of its Wayland backend can (its window closed): so a sway with two such outputs runs inside
# the headless one, each output a floating window there.
sway_outputs_checks() {
    start_sway "xwayland disable" "output HEADLESS-1 resolution $((2 * width + 16))x$((2 * height + 16))" \
        'for_window [title="WL-1$"] floating enable, move position 0 0' \
        "for_window [title=\"WL-2\$\"] floating enable, move position $((width + 16)) 0" \
        "for_window [title=\"WL-3\$\"] floating enable, move position 0 $((height + 16))"
    local outer=$SWAYSOCK
    SWAYSOCK=$sway_runtime/inner.sock
    swaymsg -s "$outer" exec "env WLR_BACKENDS=wayland WLR_WL_OUTPUTS=2 WLR_RENDERER=pixman SWAYSOCK=$SWAYSOCK \
        sway -c $work/sway.conf >$sway_runtime/inner.log 2>&1" >/dev/null
    wait_for "the inner sway" 30 output_listed WL-2 || stop "the inner sway did not start: $(tail -5 "$sway_runtime/inner.log")"
    local socket
    for socket in "$sway_runtime"/wayland-?; do
        [[ $socket != "$WAYLAND_DISPLAY" ]] && WAYLAND_DISPLAY=$socket && break
    done
    clip_size=640x480 session
    # One output's picture, at its own pixels (grim waits for the output's next frame).
    shoot() { timeout 10 grim -o "${output:?}" "$1"; }
    # Each output shows the whole video, not its part of one spanning all: the 640x480 clip then
    # fills a 1024x768 output without its pixels repeated.
    mkdir -p "$XDG_DATA_HOME/Q7ZK3M8WRT.tavvel/Preferences"
    printf '[General]\nMonitorArrange=1\n' >"$XDG_DATA_HOME/Q7ZK3M8WRT.tavvel/Preferences/Q7ZK3M8WRT.tavvel.ini"
    start_helper
    output=WL-1 expect_video "sway-first-output"
    output=WL-2 expect_video "sway-second-output"

    swaymsg create_output >/dev/null
    wait_for "a third output" 20 output_listed WL-3 || stop "sway: create_output made no WL-3"
    output=WL-3 expect_video "sway-added-output"

    swaymsg output WL-3 scale 2 >/dev/null
    output=WL-3 check 10 "sway-scaled: the scaled output is shot at ${width}x${height} pixels" \
        "sway-scaled: the scaled output is not shot at ${width}x${height}" shot_size_is "$width" "$height"
    swaymsg -s "$outer" '[title="WL-2$"] kill' >/dev/null
    wait_for "WL-2 to go" 20 bash -c "! swaymsg -t get_outputs | grep -q '\"WL-2\"'" || fail "sway: WL-2 stays"
    output=WL-1 expect_video "sway-first-after-removal"
    output=WL-3 expect_video "sway-scaled"
    # Drawn at half the pixels and enlarged by the compositor, each pair of columns would be one.
    local pairs
    pairs=$(column_pairs_differing "$work/sway-scaled-c.png")
    if ((pairs > 10)); then pass "sway-scaled: $pairs% of column pairs differ: drawn at the output's pixels"
    else fail "sway-scaled: $pairs% of column pairs differ: enlarged by the compositor"; fi
    check 0 "sway: the player still runs" "sway: the player is gone" kill -0 "$helper_pid"
}
# One output, scaled and turned while the player runs (it starts at a fractional scale): each
# row "MODE SCALE TRANSFORM", the video moves over the whole output and covers all of it. The
# fractional scales come with modes whose logical size is whole: sway leaves the last column of
# 1024 pixels at 1.5 bare, its own background included. Then the output is switched off and on:
# the video comes back.
sway_scales_checks() {
    start_sway "xwayland disable" "output HEADLESS-1 resolution 1920x1080 scale 1.5"
    session
    shoot() { grim "$1"; }
    start_helper
    local row mode scale turn w h
    for row in "1920x1080 1.5 normal" "1024x768 1 normal" "1920x1080 1.25 normal" "1024x768 2 normal" \
        "1024x768 1 90" "1024x768 1 180" "1024x768 1 270" "1920x1080 1.5 90"; do
        read -r mode scale turn <<<"$row"
        swaymsg output HEADLESS-1 resolution "$mode" scale "$scale" transform "$turn" >/dev/null
        w=${mode%x*} h=${mode#*x}
        [[ $turn == 90 || $turn == 270 ]] && read -r w h <<<"$h $w"
        wait_for "the output at $mode, scale $scale, turned $turn" 10 shot_size_is "$w" "$h" ||
            fail "sway: the output is not shot at ${w}x$h"
        expect_motion "sway-$scale-$turn" 40 "the video moves over the whole output" \
            "the video does not move over the whole output" "0 0 $w $h 90-100 the output"
        expect_covered "sway-$scale-$turn" "$work/sway-$scale-$turn-c.png" 97
    done
    swaymsg output HEADLESS-1 resolution ${width}x$height scale 1 transform normal >/dev/null
    swaymsg output HEADLESS-1 disable >/dev/null && swaymsg output HEADLESS-1 enable >/dev/null
    expect_video "sway-switched-on-again"
    check 0 "sway: the player still runs" "sway: the player is gone" kill -0 "$helper_pid"
}

# A still picture (colour bars, fine edges) on outputs of odd sizes, scales and turns: each shot
# of the output is what FFmpeg makes of the clip's frame filling it (scaled, the overflow cut).
# H.264 and the colour conversion leave some 2% of mean difference; a picture shifted by 1% of
# its width leaves 4%, a stretched one 29%.
sway_picture_checks() {
    start_sway "xwayland disable"
    session
    shoot() { grim "$1"; }
    start_helper
    local row mode scale turn w h
    for row in "1366x768 1 normal" "1023x767 1 normal" "1920x1080 1.5 normal" "1024x768 2 normal" \
        "2560x1440 1 normal" "1024x768 1 90"; do
        read -r mode scale turn <<<"$row"
        swaymsg output HEADLESS-1 resolution "$mode" scale "$scale" transform "$turn" >/dev/null
        w=${mode%x*} h=${mode#*x}
        [[ $turn == 90 ]] && read -r w h <<<"$h $w"
        ffmpeg -hide_banner -nostdin -loglevel error -y -i "$clip" -frames:v 1 \
            -vf "scale=$w:$h:force_original_aspect_ratio=increase:flags=bicubic,crop=$w:$h" "$work/reference.png"
        if wait_for "the picture on ${w}x$h at scale $scale" 20 like_reference "$work/reference.png" 3.5; then
            pass "sway-picture $mode $scale $turn: the output shows the frame filling it ($(cat "$work/error"))"
        else
            fail "sway-picture $mode $scale $turn: the output is not the frame filling it ($(cat "$work/error"))"
        fi
    done
    check 0 "sway: the player still runs" "sway: the player is gone" kill -0 "$helper_pid"
}
# like_reference PICTURE PERCENT: a shot of the output of PICTURE's size whose mean difference from
# it is below PERCENT of the full range.
like_reference() {
    shoot "$work/shot.png" || return 1
    [[ $(identify -format %wx%h "$work/shot.png") == $(identify -format %wx%h "$1") ]] || { echo "size" >"$work/error"; return 1; }
    compare -metric MAE "$work/shot.png" "$1" null: 2>&1 | sed -n 's/.*(\(.*\))/\1/p' >"$work/error"
    awk -v e="$(cat "$work/error")" -v p="$2" 'BEGIN { exit !(e != "" && e * 100 < p) }'
}

# expect_covered NAME PICTURE PERCENT: at least PERCENT of the picture's pixels are neither the
# desktop's background colour nor black (a surface drawn only in part is black elsewhere).
expect_covered() {
    local w h not_bg not_black covered
    read -r w h <<<"$(identify -format '%w %h' "$2")"
    not_bg=$(compare -metric AE -fuzz 6% "$2" \( -size "${w}x$h" xc:#336699 \) null: 2>&1 | awk '{print int($1)}')
    not_black=$(compare -metric AE -fuzz 6% "$2" \( -size "${w}x$h" xc:black \) null: 2>&1 | awk '{print int($1)}')
    covered=$(((not_bg + not_black - w * h) * 100 / (w * h)))
    if ((covered >= $3)); then pass "$1: the video covers $covered% of the output"
    else fail "$1: the video covers only $covered% of the output"; fi
}
output_listed() { swaymsg -t get_outputs | grep -q "\"$1\""; }
shot_size_is() { shoot "$work/size.png" && [[ $(identify -format %wx%h "$work/size.png") == "$1x$2" ]]; }

# The share (per cent) of the picture's pixels in even columns that differ from their right
# neighbour.
column_pairs_differing() {
    convert "$1" -define sample:offset=25 -sample 50%x100% "$work/even.png" &&
        convert "$1" -define sample:offset=75 -sample 50%x100% "$work/odd.png" || return 1
    local ae
    ae=$(compare -metric AE "$work/even.png" "$work/odd.png" null: 2>&1 >/dev/null | awk '{print int($1)}')
    echo $((ae * 200 / (width * height)))
}

# differing A XA YA B XB YB W H: how many pixels of the W x H rectangle at XA,YA of picture A
# differ from those of the one at XB,YB of picture B.
differing() {
    convert "$1" -crop "$7x$8+$2+$3" +repage "$work/part-a.png" &&
        convert "$4" -crop "$7x$8+$5+$6" +repage "$work/part-b.png" || return 1
    # compare's own status: 1 when they differ, 2 on an error.
    compare -metric AE -fuzz 6% "$work/part-a.png" "$work/part-b.png" null: 2>&1 >/dev/null | awk '{print int($1)}' ||
        (($? == 1))
}

# --- weston ------------------------------------------------------------------------------------

# weston has no layer shell, and places an X11 window through XWayland (started with --xwayland
# and DISPLAY set) where it likes, as an ordinary one: whatever window the player made would be
# over the user's work. The player says so, shows none and opens no video, through the wallpaper
# switched off and on; the desktop stays as it was. weston_checks [--xwayland]
weston_checks() {
    local name=weston${1:+-xwayland}
    mkdir -p "$XDG_CONFIG_HOME"
    printf '[core]\nidle-time=0\n[shell]\nbackground-color=0xff336699\npanel-position=none\n' \
        >"$XDG_CONFIG_HOME/weston.ini"
    # weston's XWayland listens there, and (unlike an X server) does not make the folder.
    [[ -z ${1:-} || -d /tmp/.X11-unix ]] || mkdir -m 1777 /tmp/.X11-unix
    run_bg weston --backend=headless-backend.so --use-pixman --socket=tavvel-weston --width=$width \
        --height=$height --debug "$@"
    export WAYLAND_DISPLAY=tavvel-weston
    wait_for "weston" 20 test -S "$XDG_RUNTIME_DIR/tavvel-weston" || stop "weston did not start: $(tail -5 "$work/weston.log")"
    if [[ -n ${1:-} ]]; then
        wait_for "XWayland's display" 20 grep -q "xserver listening on display" "$work/weston.log" ||
            stop "weston offers no X display: $(tail -5 "$work/weston.log")"
        DISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log" | head -1)
        export DISPLAY
    fi
    session
    # weston-screenshooter writes a file named by the time into the current folder.
    shoot() {
        rm -rf "$work/shots" && mkdir -p "$work/shots" && (cd "$work/shots" && weston-screenshooter) &&
            mv "$work"/shots/*.png "$1"
    }
    wait_for "weston's desktop" 20 shoot "$work/$name-alone.png" || stop "weston cannot be shot"
    start_helper
    local log
    log=$work/$(basename "$helper").log
    check 30 "$name: the player says this desktop cannot show a wallpaper" \
        "$name: the player does not say that this desktop cannot show a wallpaper" \
        grep -q "no wallpaper on this desktop" "$log"
    # The wallpaper's windows are shown before the playing video is written down.
    wait_for "the player to play" 30 grep -q "^CurrentVideoSign=." "$(settings_file)" || fail "$name: the player plays nothing"
    weston_told_checks "$name"
    # Each switch waits for the player to take it: two changes of the file at once may be read as none.
    wallpaper_open false
    wait_for "the wallpaper to be switched off" 30 grep -q "^wallpaper switched off" "$log" ||
        fail "$name: the wallpaper is not switched off"
    wallpaper_open true
    wait_for "the wallpaper to be switched on again" 30 grep -q "^wallpaper switched on" "$log" ||
        fail "$name: the wallpaper is not switched on again"
    weston_told_checks "$name-reopened"
}
# weston_told_checks NAME: the main window is told why, the player holds no video open and
# nothing of its is over the desktop.
weston_told_checks() {
    check 10 "$1: the main window is told why" "$1: nothing is left for the main window to show" \
        grep -q "^WallpaperProblem=.*cannot show a video wallpaper" "$XDG_CONFIG_HOME/com.zembo.TavvelHelper.ini"
    if [[ -n $(find "/proc/$helper_pid/fd" -lname "$clip" 2>/dev/null) ]]; then fail "$1: the player decodes the video"
    else pass "$1: the player holds no video open"; fi
    shoot "$work/$1-player.png"
    local ae
    ae=$(differing "$work/${1%-reopened}-alone.png" 0 0 "$work/$1-player.png" 0 0 "$width" "$height")
    if ((ae == 0)); then pass "$1: nothing of the player's is over the desktop"
    else fail "$1: $((ae * 100 / (width * height)))% of the desktop is covered by the player"; fi
    check 0 "$1: the player still runs" "$1: the player is gone" kill -0 "$helper_pid"
}
