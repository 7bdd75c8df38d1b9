#!/usr/bin/env bash
# The kill loop with 200 kills (CI runs 20): a download killed with SIGKILL at random moments and
# started again until it is in the library; prints the bytes fetched per byte of finished file.
set -euo pipefail
BUILD=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
XDG=$(cd "$(dirname "$0")/.." && pwd)/with_temp_xdg.sh
export TAVVEL_KILL_ROUNDS=${TAVVEL_KILL_ROUNDS:-200}
out=$(cd "$BUILD" && "$XDG" "$BUILD/tests/reliability/reliability_tests" 2>&1) || { echo "$out" | tail -20; exit 1; }
line=$(grep -m1 'kill loop:' <<<"$out")
# "kill loop: K kills, D downloads finished, F bytes fetched for N bytes of files (ratio R)"
read -r kills downloads ratio < <(sed -E 's/.*: ([0-9]+) kills, ([0-9]+) downloads.*ratio ([0-9.]+).*/\1 \2 \3/' <<<"$line")
echo "kill_loop_bytes_fetched_per_file_byte: $ratio bytes ($kills kills, $downloads downloads whole and in the library once; ratio to fetching each byte once: $ratio)"
