#!/usr/bin/env bash
# The README's and the AppStream file's pictures, taken under Xvfb with openbox on empty folders:
# docs/main-window.png (the main window alone) and docs/wallpaper.png (the whole screen: the
# main window over the wallpaper the player shows behind it).
# Usage: scripts/make_screenshots.sh [build-dir] [out-dir]   (defaults: build, docs)
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ ${1:-} == --on-display ]]; then
  BUILD=$2 OUT=$3
  # Waits up to $1 seconds for the command after it to succeed.
  wait_for() {
    local deadline=$((SECONDS + $1)); shift
    until "$@" >/dev/null 2>&1; do
      ((SECONDS < deadline)) || { echo "gave up waiting for: $*" >&2; return 1; }
      sleep 0.2
    done
  }
  owned() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner "string:$1" | grep -q 'boolean true'
  }
  playing() {  # the wallpaper window shows moving video: two looks at the screen differ
    import -window root "$TMPDIR/a.png" && sleep 0.5 && import -window root "$TMPDIR/b.png" &&
      [[ $(compare -metric AE "$TMPDIR/a.png" "$TMPDIR/b.png" null: 2>&1 || true) -gt 10000 ]]
  }
  openbox &
  wm=$!
  "$BUILD/bin/Tavvel" &
  tavvel=$!
  wait_for 120 owned com.zembo.TavvelHelper
  wait_for 30 xdotool search --name '^Tavvel wallpaper$'
  wait_for 30 xdotool search --name '^Tavvel$'
  main=$(xdotool search --name '^Tavvel$' | tail -1)
  xdotool windowmove "$main" 160 70
  wait_for 60 playing
  import -window "$main" "$OUT/main-window.png"
  import -window root "$OUT/wallpaper.png"
  # The player's quit ends Tavvel too.
  helper=$(dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.GetConnectionUnixProcessID string:com.zembo.TavvelHelper | awk '/uint32/ {print $2}')
  kill "$helper"
  wait "$tavvel" || true
  kill "$wm"
  exit 0
fi

bash scripts/setup.sh
BUILD=$(cd "${1:-build}" && pwd)
OUT=$(mkdir -p "${2:-docs}" && cd "${2:-docs}" && pwd)
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
for d in data config cache runtime; do mkdir -p "$TMP/$d"; done
chmod 700 "$TMP/runtime"
export XDG_DATA_HOME=$TMP/data XDG_CONFIG_HOME=$TMP/config XDG_CACHE_HOME=$TMP/cache XDG_RUNTIME_DIR=$TMP/runtime
export TMPDIR=$TMP HOME=$TMP
export TAVVEL_SERVICE_URL=http://127.0.0.1:9 QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1440x900x24" dbus-run-session -- bash "$0" --on-display "$BUILD" "$OUT"
# Small enough for the repository: at most 256 colours.
for f in main-window wallpaper; do
  convert "$OUT/$f.png" -colors 256 "PNG8:$OUT/$f.png"
  echo "$OUT/$f.png: $(identify -format '%wx%h' "$OUT/$f.png"), $(du -k "$OUT/$f.png" | cut -f1) KB"
done
