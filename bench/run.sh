#!/usr/bin/env bash
# Runs every benchmark and prints one line per figure with its ratio to a baseline.
# Usage: bench/run.sh [build-dir]   (build it first, e.g. with scripts/test.sh)
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
run() { echo "== $1"; shift; "$@" || echo "(failed: $*)"; }
[[ -x $BUILD/bench/settings/settings_bench ]] && run settings dbus-run-session -- "$BUILD/bench/settings/settings_bench"
# Every other area: an executable script bench/<area>/run.sh BUILD_DIR.
for script in "$ROOT"/bench/*/run.sh; do
  [[ -x $script ]] || continue
  run "$(basename "$(dirname "$script")")" "$script" "$BUILD"
done
