#!/usr/bin/env bash
# Sets up, builds and starts Tavvel (which starts TavvelHelper) from this checkout.
# It runs on folders of its own, build-release/home/{data,config,cache}: trying a checkout leaves
# the library, settings and login items of the installed Tavvel alone, and "Start the wallpaper
# at login" (on by default) writes its login item there, where no session looks, instead of
# pointing the real one into a build folder that may be deleted. Deleting build-release takes it
# all away.
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
  echo "run.sh: no graphical session here (neither DISPLAY nor WAYLAND_DISPLAY is set);" \
    "run it from a terminal of the desktop" >&2
  exit 1
fi
bash scripts/setup.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVVEL_BUILD_TESTS=OFF -DTAVVEL_BUILD_BENCH=OFF >/dev/null
cmake --build build-release -j"$(nproc)" --target Tavvel TavvelHelper
HOME_DIR=$PWD/build-release/home
mkdir -p "$HOME_DIR/data" "$HOME_DIR/config" "$HOME_DIR/cache"
export XDG_DATA_HOME=$HOME_DIR/data XDG_CONFIG_HOME=$HOME_DIR/config XDG_CACHE_HOME=$HOME_DIR/cache
exec build-release/bin/Tavvel "$@"
