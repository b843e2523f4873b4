#!/usr/bin/env bash
# Installs what is needed, builds, and runs the whole test suite (no display needed).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "${ZOP_BUILD_DIR:-build}" --output-on-failure --parallel "$(nproc)" --timeout 300
