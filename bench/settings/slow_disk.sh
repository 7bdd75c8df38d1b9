#!/usr/bin/env bash
# The longest wait of the window's thread and of the player's drawing thread during a pause, a
# play, a choice and an import, with the data folder on a FUSE pass-through that waits
# SLOW_DISK_DELAY_MS (default 1000) on every call, against the same steps on the plain disk.
# Needs the right to mount FUSE (root, or fusermount) and python3-fusepy.
# Usage: slow_disk.sh BUILD_DIR
set -uo pipefail
BUILD=$(cd "${1:?usage: slow_disk.sh BUILD_DIR}" && pwd)
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
DELAY=${SLOW_DISK_DELAY_MS:-1000}
export QT_QPA_PLATFORM=offscreen
TMP=$(mktemp -d)
fs_pid=
cleanup() {
  [[ -n $fs_pid ]] && { umount -l "$TMP/slow/data" 2>/dev/null; kill "$fs_pid" 2>/dev/null; wait "$fs_pid" 2>/dev/null; }
  rm -rf "$TMP"
}
trap cleanup EXIT

round() {  # round NAME STEP_MS: one run of the bench in $TMP/NAME, prints its "step" lines
  local dir=$TMP/$1
  mkdir -p "$dir"/{data,config,cache,runtime,plain} && chmod 700 "$dir/runtime"
  XDG_DATA_HOME=$dir/data XDG_CONFIG_HOME=$dir/config XDG_CACHE_HOME=$dir/cache XDG_RUNTIME_DIR=$dir/runtime \
    TAVVEL_BENCH_PLAIN_DIR=$dir/plain TAVVEL_BENCH_STEP_MS=$2 \
    dbus-run-session -- "$BUILD/bench/settings/slow_disk_bench" 2>"$dir/stderr" | grep '^step ' || tail -5 "$dir/stderr" >&2
}

plain=$(round plain 3000)
mkdir -p "$TMP/slow/data" "$TMP/slow-backing"
/usr/bin/python3 "$ROOT/tests/support/slowfs.py" "$TMP/slow-backing" "$TMP/slow/data" "$DELAY" &
fs_pid=$!
for _ in $(seq 100); do mountpoint -q "$TMP/slow/data" && break; sleep 0.1; done
mountpoint -q "$TMP/slow/data" || { echo "slow disk: no FUSE mount here"; exit 0; }
slow=$(round slow $((DELAY * 40)))

for name in pause play choice import; do
  read -r _ _ pw pp pd pu < <(grep "^step $name " <<<"$plain")
  read -r _ _ sw sp sd su < <(grep "^step $name " <<<"$slow")
  for side in window player; do
    if [[ $side == window ]]; then s=$sw p=$pw; else s=$sp p=$pp; fi
    awk -v n="$name" -v side="$side" -v s="${s:-0}" -v p="${p:-0}" -v d="$DELAY" -v u="${su:-}" 'BEGIN {
      printf "slow_disk_%s_longest_wait_%s: %d ms at %d ms per call (%.1fx the %d ms on the plain disk)%s\n",
        side, n, s, d, (p > 0 ? s / p : 0), p, (u != "" ? " (step unfinished)" : "") }'
  done
  echo "slow_disk_${name}_done_after: ${sd:-0} ms (plain disk ${pd:-0} ms)"
done
