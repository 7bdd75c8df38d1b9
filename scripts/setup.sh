#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing and running Tavvel need.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6dbus6 libqt6opengl6-dev qt6-svg-dev
  libgl-dev libxkbcommon-dev
  libegl-dev libgl1-mesa-dri libglx-mesa0
  libmpv-dev libavformat-dev libavcodec-dev libswscale-dev libavutil-dev ffmpeg libyuv-dev
  libsqlite3-dev sqlite3 libssl-dev openssl
  libxcb1-dev libx11-xcb-dev
  libgtest-dev libgmock-dev googletest
  dbus dbus-x11 xvfb xauth x11-utils imagemagick curl
  desktop-file-utils appstream dpkg-dev file librsvg2-bin lintian libglib2.0-bin
  fonts-dejavu-core ccache
  qt6-webengine-dev python3-pyatspi at-spi2-core
  clang-format
  libxcb-shape0-dev libwayland-dev libwayland-bin wayland-protocols qt6-wayland
  openbox pcmanfm tint2 i3-wm bspwm feh xfwm4 xfdesktop4 sway swaybg xwayland grim wayland-utils weston xserver-xorg-video-dummy
  xdotool x11-xserver-utils wmctrl
  python3-fusepy
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
$SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
