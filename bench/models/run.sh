#!/usr/bin/env bash
# bench/models/run.sh BUILD_DIR: the cost of strict reading of a video-list page.
set -euo pipefail
exec "$1/bench/models/models_bench"
