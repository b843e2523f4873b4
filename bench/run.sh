#!/usr/bin/env bash
# Builds and runs the benchmarks against zop-sim on loopback.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
BIN=${ZOP_BUILD_DIR:-build}/bin
"$BIN/bench_link"
"$BIN/bench_panel"
"$BIN/bench_serial"
"$BIN/bench_zopctl"
"$BIN/bench_modulation"
"$BIN/bench_gpib"
"$BIN/bench_flood"
"$BIN/bench_loader"
"$BIN/bench_sequence"
