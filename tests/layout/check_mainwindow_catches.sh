#!/usr/bin/env bash
# The composition check on copies of the tree: it passes the tree as it is and fails each
# planted fault.
# Usage: check_mainwindow_catches.sh check-script src-dir qt-include-dirs
set -uo pipefail
CHECK=$1 SRC=$2 QT=$3
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# name | file under MainWindow | line appended | expected exit status
cases=(
    "tree as it is|||0"
    "a shared instance in a controller|library/VideoLibraryViewController.cpp|static auto& p = Preferences::shared();|1"
    "the settings suite in start-up|startup/AppDelegate.cpp|auto& s = Preferences::sharedDefaults();|1"
    "a notification centre in a view|window/LeftMenuBar.cpp|auto& c = platform::NotificationCenter::defaultCenter();|1"
    "a widget in a view model|detailpane/VideoDetailModel.h|#include <QPushButton>|1"
    "a widget module path in a view model|library/LibraryViewModel.cpp|#include <QtWidgets/QLabel>|1"
    "our widget library in a view model|onlinelibrary/WebLibraryViewModel.h|#include \"views/SwitchButton.h\"|1"
    "a shared instance at the root|startup/MainParts.cpp|static auto& w = WebModel::shared();|0"
    "a widget in a view|detailpane/VideoDetailView.cpp|#include <QPushButton>|0"
)
failed=0
for c in "${cases[@]}"; do
    IFS='|' read -r name file line expected <<< "$c"
    rm -rf "$WORK/src" && mkdir -p "$WORK/src" && cp -r "$SRC/MainWindow" "$WORK/src/"
    [ -n "$file" ] && printf '%s\n' "$line" >> "$WORK/src/MainWindow/$file"
    bash "$CHECK" "$WORK/src" "$QT" > "$WORK/out" 2>&1
    status=$?
    if [ "$status" != "$expected" ]; then
        echo "FAIL: $name: exit $status, expected $expected"
        cat "$WORK/out"
        failed=1
    else
        echo "ok: $name"
    fi
done
exit $failed
