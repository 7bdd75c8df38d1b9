#!/usr/bin/env bash
# The longest wait of the main program's window thread at start while another process holds the
# library (the lock of its check at start and an exclusive transaction), against the same start
# with the library free.
set -euo pipefail
BUILD=${1:?usage: run.sh BUILD_DIR}
exec "$(dirname "$0")/../longest_wait.sh" "$BUILD/tests/startup/mainwindow_process_tests" \
  'StartUpProcess.ALibraryHeldElsewhere*' 'longest wait at start:' \
  'longest wait of the window at start with the library held'
