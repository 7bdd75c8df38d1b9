#!/usr/bin/env bash
# Library list benchmark: a 10,000-video list and its first screen against a QStringListModel in
# the same list view; memory of 500 cached thumbnails against an empty model; a second pass over
# 500 thumbnails from the disk cache against the first over the network; memory after 30 scrolls
# of 2,004 local videos end to end and back against after the first (`--scroll N` runs that alone).
set -euo pipefail
BUILD=${1:?usage: run.sh BUILD_DIR}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
exec dbus-run-session -- "$BUILD/bench/library/library_bench"
