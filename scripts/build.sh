#!/usr/bin/env bash
# Configures and builds everything into build/ (or $ZOP_BUILD_DIR), or only the targets named
# as arguments (scripts/demo.sh: zop-panel zop-sim). Uses ccache when the machine has it, so
# rebuilds of unchanged sources are quick.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${ZOP_BUILD_DIR:-build}
LAUNCHER=()
if command -v ccache >/dev/null 2>&1; then
  LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$PWD")}
  # With debug info ccache keys every object on the build folder's path unless told not to,
  # and a clone in another folder would compile everything again.
  export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
fi
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} \
  "${LAUNCHER[@]}" >/dev/null
cmake --build "$BUILD_DIR" --parallel "$(nproc)" ${1:+--target "$@"}
