#!/usr/bin/env bash
# Sets up, builds and starts Tavvel (which starts TavvelHelper).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVVEL_BUILD_TESTS=OFF -DTAVVEL_BUILD_BENCH=OFF >/dev/null
cmake --build build-release -j"$(nproc)" --target Tavvel TavvelHelper
exec build-release/bin/Tavvel "$@"
