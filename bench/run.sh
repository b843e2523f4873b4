#!/usr/bin/env bash
# Builds and runs the benchmarks against zop-sim on loopback.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
"${ZOP_BUILD_DIR:-build}/bin/bench_link" "$@"
