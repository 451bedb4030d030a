#!/usr/bin/env bash
# Installs the Debian packages the project needs (only those missing), then
# configures and builds the native module, host, tool and tests; with
# --packages-only it stops after the packages.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  g++ cmake make pkg-config python3 time
  googletest libgtest-dev libbenchmark-dev
  libpng-dev libspng-dev libopenexr-dev zlib1g-dev libisal-dev libdeflate-dev imagemagick
  g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  wine wine64
  clang libclang-rt-14-dev llvm
  zip unzip nsis
  frei0r-plugins-dev ffmpeg melt
  xvfb xauth xdotool dbus-daemon
  gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  python3-gi gir1.2-gstreamer-1.0 gir1.2-gst-plugins-base-1.0
  libmpfr-dev
  libegl-mesa0 libgl1-mesa-dri libegl-dev libgl-dev libopengl-dev
  emscripten chromium
  dpkg-dev lintian man-db
)
# The page's browser tests run with node and npm; a node that comes with its
# own npm needs no Debian npm.
if ! command -v npm >/dev/null; then
  packages+=(nodejs npm)
fi
missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
fi

# The editors the frei0r filter's panels are tested in, without the extras
# they recommend: their windows then have the layout the tests click in.
editors=()
for package in shotcut kdenlive pitivi; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    editors+=("$package")
  fi
done
if ((${#editors[@]})); then
  echo "setup: installing ${editors[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  ((${#missing[@]})) || $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${editors[@]}"
fi

if [ "${1:-}" = "--packages-only" ]; then
  exit 0
fi
cmake --preset native
cmake --build --preset native
