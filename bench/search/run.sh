#!/usr/bin/env bash
# Runs the search benchmark of a build directory: bench/search/run.sh BUILD_DIR
set -euo pipefail
BUILD=${1:?build directory}
exec dbus-run-session -- "$BUILD/bench/search/search_bench"
