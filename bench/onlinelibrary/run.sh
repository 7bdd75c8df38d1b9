#!/usr/bin/env bash
# Online list and download tab: the model's cost per catalogue page against decoding the same
# replies alone, and the main thread's CPU while two downloads report progress with the
# download tab shown against the same downloads with the tab hidden; and the window's longest
# stall with the library file held by another process against the file free.
set -euo pipefail
BUILD=${1:?usage: run.sh BUILD_DIR}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
dbus-run-session -- "$BUILD/bench/onlinelibrary/onlinelibrary_bench"
"$(dirname "$0")/held_database.sh" "$BUILD"
