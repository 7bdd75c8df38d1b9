#!/usr/bin/env bash
# Sets up, builds and runs every test headless: offscreen Qt, its own session bus, and
# temporary XDG folders, so nothing touches the user's files.
# Usage: scripts/test.sh [build-dir] [extra CMake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD=${1:-build}
shift || true
LAUNCHER=()
if command -v ccache >/dev/null; then
  LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  # Paths taken relative to the checkout, so a clone in another folder reuses the cache.
  export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
fi
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} "${LAUNCHER[@]}" "$@" >/dev/null
cmake --build "$BUILD" -j"$(nproc)"

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
for d in data config cache runtime; do mkdir -p "$TMP/$d"; done
chmod 700 "$TMP/runtime"
export XDG_DATA_HOME=$TMP/data XDG_CONFIG_HOME=$TMP/config XDG_CACHE_HOME=$TMP/cache XDG_RUNTIME_DIR=$TMP/runtime
export QT_QPA_PLATFORM=offscreen
# Read only by a sanitizer build: a stack object used after its function returned is an error,
# and leaks inside third-party libraries (the file names each) are not reported.
export ASAN_OPTIONS=detect_stack_use_after_return=1
export LSAN_OPTIONS=suppressions=$PWD/tests/support/lsan_third_party.supp
export UBSAN_OPTIONS=print_stacktrace=1
cd "$BUILD"
# A test that fails once fails the run: nothing is run again, so a crash that comes now and then
# cannot hide behind a second try.
dbus-run-session -- ctest --output-on-failure -j"$(nproc)" --timeout 300
