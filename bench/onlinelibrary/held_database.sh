#!/usr/bin/env bash
# The window's longest stall while the library tabs are pressed with the library file held by
# another process's exclusive transaction, against the same presses with the file free.
set -euo pipefail
BUILD=${1:?usage: held_database.sh BUILD_DIR}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
line=$("$(dirname "$0")/../with_temp_xdg.sh" "$BUILD/tests/onlinelibrary/onlinelibrary_tests" \
  --gtest_filter='HeldDatabase.*' 2>/dev/null | grep '^longest stall:')
held=$(sed -E 's/.*: ([0-9]+) ms with.*/\1/' <<<"$line")
free=$(sed -E 's/.*held, ([0-9]+) ms without.*/\1/' <<<"$line")
awk -v h="$held" -v f="$free" 'BEGIN { printf "longest stall with the file held: %d ms (%.2fx the %d ms with it free)\n", h, (f > 0 ? h / f : 0), f }'
