#!/usr/bin/env bash
# Runs a command with its own temporary XDG folders and session bus, so nothing touches the
# user's files. Usage: bench/with_temp_xdg.sh COMMAND [ARGS...]
set -euo pipefail
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
for d in data config cache runtime; do mkdir -p "$TMP/$d"; done
chmod 700 "$TMP/runtime"
export XDG_DATA_HOME=$TMP/data XDG_CONFIG_HOME=$TMP/config XDG_CACHE_HOME=$TMP/cache XDG_RUNTIME_DIR=$TMP/runtime
dbus-run-session -- "$@"
