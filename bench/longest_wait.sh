#!/usr/bin/env bash
# Runs one test that prints "<PREFIX> <held> ms with ... held, <free> ms without" and prints the
# held figure against the free one. Usage: longest_wait.sh PROGRAM GTEST_FILTER PREFIX LABEL
set -euo pipefail
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
line=$("$(dirname "$0")/with_temp_xdg.sh" "$1" --gtest_filter="$2" 2>/dev/null | grep "^$3")
held=$(sed -E 's/.*: ([0-9]+) ms with.*/\1/' <<<"$line")
free=$(sed -E 's/.*held, ([0-9]+) ms without.*/\1/' <<<"$line")
awk -v h="$held" -v f="$free" -v label="$4" 'BEGIN { printf "%s: %d ms (%.2fx the %d ms with it free)\n", label, h, (f > 0 ? h / f : 0), f }'
