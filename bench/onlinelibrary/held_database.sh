#!/usr/bin/env bash
# The window's longest stall while the library tabs are pressed with the library file held by
# another process's exclusive transaction, against the same presses with the file free.
set -euo pipefail
BUILD=${1:?usage: held_database.sh BUILD_DIR}
exec "$(dirname "$0")/../longest_wait.sh" "$BUILD/tests/onlinelibrary/onlinelibrary_tests" 'HeldDatabase.*' \
  'longest stall:' 'longest stall with the file held'
