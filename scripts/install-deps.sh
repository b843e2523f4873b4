#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need. Safe to run again.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6serialport6-dev
  qt6-charts-dev libqt6opengl6-dev  # the trend view of the virtual panels (Charts needs OpenGL's CMake files)
  libgl-dev libxkbcommon-dev
  xvfb xauth imagemagick fonts-dejavu-core
  xdotool  # scripts/screenshot.sh presses the keys and buttons of the panel it shows
  dpkg-dev file
  lintian  # the package test checks the .deb with it
  ccache  # rebuilds of unchanged sources, also in another clone of the same tree
  libedit-dev  # zopctl shell: line editing, history and completion on a terminal (BSD licence)
  binutils faketime  # objcopy for the loader tests; faketime runs zopctl's waits fast in its tests
  srecord python3-intelhex  # srec_cat and intelhex write the loader tests' HEX files as users' tools do
  python3-markdown  # renders the user guide to the HTML page the package installs
  clang libclang-rt-14-dev valgrind  # sanitizer build, fuzz harnesses, valgrind run
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
