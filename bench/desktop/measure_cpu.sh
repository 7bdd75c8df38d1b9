#!/usr/bin/env bash
# The CPU the running player takes while it shows the clip, against decoding the same clip at its
# own speed with ffmpeg in the same run (the least any player of it must spend).
# Usage: measure_cpu.sh NAME PLAYER_PID CLIP [SECONDS]
set -uo pipefail
name=$1 pid=$2 clip=$3 seconds=${4:-20}
ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

before=$(cpu_ticks "$pid") || exit 1
start=$(date +%s.%N)
sleep "$seconds"
after=$(cpu_ticks "$pid") || exit 1
end=$(date +%s.%N)
player=$(awk -v a="$after" -v b="$before" -v t="$ticks" -v s="$start" -v e="$end" 'BEGIN {print (a - b) * 100 / t / (e - s)}')

TIMEFORMAT='%U %S %R'
decode=$( { time ffmpeg -hide_banner -nostdin -loglevel error -re -stream_loop -1 -i "$clip" -t "$seconds" \
    -f null - >/dev/null 2>&1; } 2>&1 | awk '{print ($1 + $2) * 100 / $3}')
awk -v n="$name" -v p="$player" -v s="$seconds" -v d="$decode" 'BEGIN {
    printf "%s player cpu: %.1f %% of one core over %s s (decoding alone %.1f %%, ratio %.1f)\n", n, p, s, d, p / (d + 0.001)
}'
