#!/usr/bin/env bash
# Installs the Debian packages the player, its tests and its tools need.
# Does nothing when every package is already present.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config make
  libsdl2-dev libepoxy-dev libglm-dev libassimp-dev libfreetype-dev
  libfontconfig-dev libharfbuzz-dev libstb-dev libsndfile1-dev libopenmpt-dev
  libkissfft-dev libtomlplusplus-dev libglu1-mesa-dev libegl-dev libasound2-dev
  libsoxr-dev nlohmann-json3-dev zlib1g-dev
  libavcodec-dev libavformat-dev libswscale-dev libswresample-dev libavutil-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libegl-mesa0 libgl1-mesa-dri
  xvfb xauth xdotool imagemagick
  fonts-liberation2 fonts-dejavu-core
)
if [ "${1:-}" = "--fuzz" ]; then
  PACKAGES+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  case "$status" in *"install ok installed"*) ;; *) missing+=("$p") ;; esac
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
