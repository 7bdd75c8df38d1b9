#!/usr/bin/env bash
# Builds Tavvel without tests or benchmarks and makes its Debian package from the install rules.
# Usage: scripts/package.sh [build-dir]   (default build-package); the .deb lands in that folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD=${1:-build-package}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVVEL_BUILD_TESTS=OFF -DTAVVEL_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
(cd "$BUILD" && cpack -G DEB)
ls -l "$BUILD"/*.deb
