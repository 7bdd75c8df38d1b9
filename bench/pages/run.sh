#!/usr/bin/env bash
# The wallpaper switch's delay behind a change made by the other program.
# Usage: bench/pages/run.sh BUILD_DIR
set -euo pipefail
BUILD=${1:?build dir}
QT_QPA_PLATFORM=offscreen dbus-run-session -- "$BUILD/bench/pages/pages_bench" 2>/dev/null
