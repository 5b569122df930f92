#!/usr/bin/env bash
# install-deps.sh [run|test|web|--only PACKAGE...] -- installs the Debian packages of a set, if any are missing: `run` what
# building and running quorvex and quorvex-capture needs, `test` (the default) that and everything
# the test command uses, `web` the browser build and its checks
set -euo pipefail

# Building and running the programs.
run_packages=(
  cmake ninja-build g++
  libsdl2-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri libegl-mesa0
  libdeflate-dev libx11-dev libxrandr-dev
)

# The tests, benchmarks, fuzzing, the built-in images' generator and the cross checks, on top.
test_packages=(
  googletest libgtest-dev libbenchmark-dev
  libpng-dev zlib1g-dev
  xvfb xauth xfonts-base xdotool x11-utils libx11-dev
  xserver-xorg-core xserver-xorg-video-dummy openbox x11-xserver-utils
  clang libclang-rt-14-dev libfreetype-dev pkg-config
  g++-aarch64-linux-gnu g++-s390x-linux-gnu qemu-user
  dpkg-dev file lintian desktop-file-utils appstream groff icoutils debootstrap
  ffmpeg
  libegl-dev libgles-dev
)

# The browser build (emscripten, with Debian's acorn for its optimiser) and its checks in a
# real browser driven over its DevTools protocol. The native build needs none of these.
web_packages=(
  cmake ninja-build
  emscripten node-acorn
  chromium python3-websocket
  # The page opened from disk in Firefox too, driven over WebDriver BiDi, on Xvfb:
  # headless, Firefox gives no WebGL here.
  firefox-esr xvfb
)

case ${1:-test} in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  web) packages=("${web_packages[@]}") ;;
  # The named packages alone: the check scripts install what each check needs this way,
  # and skip the check when it fails.
  --only) shift; packages=("$@") ;;
  *) echo "usage: tools/install-deps.sh [run|test|web|--only PACKAGE...]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

# One install at a time: the test command's stages run side by side, and apt takes its lock
# without waiting.
exec {install_lock}>"${TMPDIR:-/tmp}/quorvex-install-deps.lock"
flock "$install_lock"
echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
