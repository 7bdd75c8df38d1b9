#!/usr/bin/env bash
# Screenshots of the main window with the left bar, the about page, the settings window and
# the guide under Xvfb, into DIR (default: the current folder).
# Usage: tests/pages/screenshots.sh BUILD_DIR [DIR]
set -euo pipefail
BUILD=$(cd "${1:?build dir}" && pwd)
OUT=${2:-.}
mkdir -p "$OUT"
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
for d in data config cache runtime; do mkdir -p "$TMP/$d"; done
chmod 700 "$TMP/runtime"
export XDG_DATA_HOME=$TMP/data XDG_CONFIG_HOME=$TMP/config XDG_CACHE_HOME=$TMP/cache XDG_RUNTIME_DIR=$TMP/runtime
export TAVVEL_SERVICE_URL=http://127.0.0.1:9 QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox
for stage in main about settings guide; do
  xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- bash -c \
    "'$BUILD/tests/pages/pages_showcase' $stage & sleep 8; import -window root '$OUT/$stage.png'; kill %1" 2>/dev/null || true
  echo "$OUT/$stage.png"
done
