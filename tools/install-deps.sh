#!/usr/bin/env bash
# install-deps.sh -- installs the Debian packages the build and the tests need, if any are missing
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libsdl2-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri libegl-mesa0
  googletest libgtest-dev libbenchmark-dev
  zlib1g-dev libpng-dev
  xvfb xfonts-base xdotool x11-utils libx11-dev
  clang libclang-rt-14-dev libfreetype-dev
  dpkg-dev lintian desktop-file-utils appstream groff icoutils
  ffmpeg
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
