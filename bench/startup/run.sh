#!/usr/bin/env bash
# The longest wait of the main program's window thread at start while another process holds the
# library (the lock of its check at start and an exclusive transaction), against the same start
# with the library free.
set -euo pipefail
BUILD=${1:?usage: run.sh BUILD_DIR}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
line=$("$(dirname "$0")/../with_temp_xdg.sh" "$BUILD/tests/startup/mainwindow_process_tests" \
  --gtest_filter='StartUpProcess.ALibraryHeldElsewhere*' 2>/dev/null | grep '^longest wait at start:')
held=$(sed -E 's/.*: ([0-9]+) ms with.*/\1/' <<<"$line")
free=$(sed -E 's/.*held, ([0-9]+) ms without.*/\1/' <<<"$line")
awk -v h="$held" -v f="$free" 'BEGIN { printf "longest wait of the window at start with the library held: %d ms (%.2fx the %d ms with it free)\n", h, (f > 0 ? h / f : 0), f }'
