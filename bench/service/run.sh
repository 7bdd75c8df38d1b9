#!/usr/bin/env bash
# Runs the service benchmark of a build directory: bench/service/run.sh BUILD_DIR
set -euo pipefail
BUILD=${1:?build directory}
exec "$BUILD/bench/service/service_bench"
