#!/usr/bin/env bash
# Fails when the main program reaches a process-wide instance anywhere but its composition root
# (a `::shared()`, `::sharedDefaults()`, `::existing()` or `defaultCenter()` outside
# startup/MainParts.cpp), or when one of its view
# models (a file named *Model.h or *Model.cpp) includes a Qt Widgets header or our widget library.
# Usage: check_mainwindow.sh [src-dir] [Qt include dirs, separated by ';']
set -euo pipefail
SRC=$(cd "${1:-$(dirname "$0")/../../src}" && pwd)
MAIN=$SRC/MainWindow
ROOT=$MAIN/startup/MainParts.cpp

widgets=""
IFS=';' read -r -a dirs <<< "${2:-}"
for d in "${dirs[@]}" /usr/include/x86_64-linux-gnu/qt6/QtWidgets; do
    if [ -d "$d/QtWidgets" ]; then widgets=$d/QtWidgets; break; fi
    if [ "$(basename "$d")" = QtWidgets ] && [ -d "$d" ]; then widgets=$d; break; fi
done
[ -n "$widgets" ] || { echo "layout: no Qt Widgets headers found"; exit 2; }

faults=0
while IFS= read -r hit; do
    echo "$hit: only the composition root (startup/MainParts.cpp) reaches a shared instance"
    faults=$((faults + 1))
done < <(grep -rnE '::(shared|sharedDefaults|existing)\(\)|defaultCenter\(\)' --include='*.h' --include='*.cpp' "$MAIN" | grep -v "^$ROOT:" || true)

while IFS= read -r -d '' model; do
    while IFS= read -r line; do
        number=${line%%:*}
        # Matched in the shell: a process per include line made the check crawl on a busy machine.
        [[ ${line#*:} =~ [\<\"]([^\>\"]*)[\>\"] ]] || continue
        header=${BASH_REMATCH[1]}
        if [[ $header == views/* || $header == QtWidgets/* || -e $widgets/$header ]]; then
            echo "$model:$number: a view model may not include the widget header $header"
            faults=$((faults + 1))
        fi
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' "$model" || true)
done < <(find "$MAIN" -type f \( -name '*Model.h' -o -name '*Model.cpp' \) -print0 | sort -z)

if [ "$faults" -gt 0 ]; then
    echo "layout: $faults fault(s) in the main program's composition"
    exit 1
fi
echo "layout: one composition root, and view models free of widgets"
