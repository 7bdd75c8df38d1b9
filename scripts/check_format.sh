#!/usr/bin/env bash
# Fails when a C++ file is not laid out as the repository's .clang-format says: clang-format
# --dry-run -Werror over every tracked .h/.cpp (or the files named), printing each place it
# would change. `clang-format -i FILE` makes the change.
# Usage: scripts/check_format.sh [file...]
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null; then
    echo "check_format: clang-format is missing (bash scripts/setup.sh installs it)" >&2
    exit 2
fi
if (($#)); then
    files=("$@")
else
    mapfile -d '' files < <(git ls-files -z -- '*.h' '*.cpp')
fi
if ((${#files[@]} == 0)); then
    echo "check_format: no C++ file to check" >&2
    exit 2
fi
if clang-format --style=file --dry-run -Werror "${files[@]}"; then
    echo "check_format: ${#files[@]} files as .clang-format lays them out"
else
    echo "check_format: files above differ from .clang-format's layout (clang-format -i FILE mends one)" >&2
    exit 1
fi
