#!/usr/bin/env bash
# Runs Tavvel on a virtual display with the accessibility bus of this session bus, drives it
# through accessibility_check.py and expects the menu's Quit to end it.
# Usage (on an X display and inside dbus-run-session): accessibility_check.sh TAVVEL_PROGRAM
set -euo pipefail
program=$1
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
/usr/libexec/at-spi-bus-launcher --launch-immediately &
launcher=$!
trap 'kill "$launcher" 2>/dev/null; rm -rf "$tmp"' EXIT
for d in data config cache runtime; do mkdir -p "$tmp/$d"; done
chmod 700 "$tmp/runtime"
export XDG_DATA_HOME=$tmp/data XDG_CONFIG_HOME=$tmp/config XDG_CACHE_HOME=$tmp/cache XDG_RUNTIME_DIR=$tmp/runtime
# The registry runs before the program starts, so the program registers with it.
/usr/bin/python3 -c 'import pyatspi; pyatspi.Registry.getDesktop(0).childCount'
# Nothing listens on port 9: every request fails at once.
# On the virtual display: the offscreen platform of the other tests shows nothing on the bus.
QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 TAVVEL_SERVICE_URL=http://127.0.0.1:9 "$program" >"$tmp/out.log" 2>&1 &
tavvel=$!
/usr/bin/python3 "$here/accessibility_check.py"
if ! timeout 10 tail --pid="$tavvel" -f /dev/null; then
  kill "$tavvel"
  echo "Quit over the accessibility bus did not end Tavvel" >&2
  exit 1
fi
status=0
wait "$tavvel" || status=$?
if ((status != 0)); then
  echo "Tavvel ended with status $status:" >&2
  cat "$tmp/out.log" >&2
  exit 1
fi
grep -q applicationWillTerminate "$tmp/out.log" || { cat "$tmp/out.log" >&2; exit 1; }
