#!/usr/bin/env bash
# Fails when a file of src/ includes a header of a layer above its own. Layers, bottom up:
# platform, shared, service, views, then player and MainWindow side by side (neither of the
# two may include the other).
# Usage: check_layers.sh [src-dir]
set -euo pipefail
SRC=$(cd "${1:-$(dirname "$0")/../../src}" && pwd)

find "$SRC" -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z | xargs -0 awk -v src="$SRC/" '
BEGIN {
    rank["platform"] = 0; rank["shared"] = 1; rank["service"] = 2; rank["views"] = 3
    rank["player"] = 4; rank["MainWindow"] = 4
}
FNR == 1 {
    own = substr(FILENAME, length(src) + 1)
    sub(/\/.*/, "", own)
}
/^[ \t]*#[ \t]*include[ \t]*"/ {
    if (!(own in rank)) next
    header = $0
    sub(/^[^"]*"/, "", header)
    sub(/".*/, "", header)
    layer = header
    if (sub(/\/.*/, "", layer) == 0 || !(layer in rank)) next  # beside the file, or not ours
    if (rank[layer] > rank[own] || (rank[layer] == rank[own] && layer != own)) {
        printf "%s:%d: %s may not include %s\n", FILENAME, FNR, own, header
        faults++
    }
}
END {
    if (faults) { printf "layout: %d include(s) reach a layer above their own\n", faults; exit 1 }
    print "layout: every include stays within its layer or below"
}'
