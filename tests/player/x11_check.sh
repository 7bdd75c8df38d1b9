#!/usr/bin/env bash
# Runs on an X display of its own (tests/support/xvfb_run.sh): shows CLIP as wallpaper with the
# child program, then records what the X server says about its window and what the root window shows.
# Usage: x11_check.sh CHILD CLIP OUTDIR
set -u
child=$1 clip=$2 out=$3
export QT_QPA_PLATFORM=xcb
mkfifo "$out/stdin"
"$child" "$clip" <"$out/stdin" >"$out/child.txt" 2>"$out/child.err" &
pid=$!
exec 3>"$out/stdin"   # keeps the child's stdin open until we are done
for _ in $(seq 1 200); do
    grep -q '^ready' "$out/child.txt" 2>/dev/null && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
wid=$(awk '/^ready/ {print $2}' "$out/child.txt")
if [[ -n "$wid" ]]; then
    xprop -id "$wid" _NET_WM_WINDOW_TYPE _NET_WM_STATE _NET_WM_DESKTOP >"$out/xprop.txt" 2>&1
    xwininfo -id "$wid" >"$out/xwininfo.txt" 2>&1
    import -window root "$out/root.png" 2>"$out/import.err"
fi
exec 3>&-
wait "$pid"
