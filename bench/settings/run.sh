#!/usr/bin/env bash
# The two programs changing random settings at once for 60 s (CI runs the same case for 4 s):
# prints how many final values were lost, which must be 0.
set -euo pipefail
BUILD=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
XDG=$(cd "$(dirname "$0")/.." && pwd)/with_temp_xdg.sh
export TAVVEL_SETTINGS_RUN_SECONDS=${TAVVEL_SETTINGS_RUN_SECONDS:-60}
out=$("$XDG" "$BUILD/tests/settings/settings_tests" \
  --gtest_filter=CrossProcess.TwoProgramsChangingAtOnceLoseNoFinalValue 2>&1) || true
line=$(grep -m1 'settings two programs' <<<"$out" || true)
[[ -n $line ]] || { echo "$out" | tail -20; exit 1; }
# "settings two programs 60 s: W writes, L of K final values lost"
read -r secs writes lost keys < <(sed -E 's/.* ([0-9]+) s: ([0-9]+) writes, ([0-9]+) of ([0-9]+) .*/\1 \2 \3 \4/' <<<"$line")
echo "settings_two_programs_lost_final_values: $lost values ($writes writes in $secs s over $keys keys; baseline 0 lost)"
"$(dirname "$0")/slow_disk.sh" "$BUILD"
