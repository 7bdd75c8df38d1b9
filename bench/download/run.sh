#!/usr/bin/env bash
# Download benchmark: 200 MB from the service stand-in through the download queue against curl
# fetching the same address, and the peak memory of each.
set -euo pipefail
BUILD=${1:?usage: run.sh BUILD_DIR}
exec dbus-run-session -- "$BUILD/bench/download/download_bench"
