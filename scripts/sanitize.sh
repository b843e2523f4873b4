#!/usr/bin/env bash
# Builds the test suite with clang, AddressSanitizer and UndefinedBehaviorSanitizer into its own
# folder (build-asan/, or $ZOP_ASAN_DIR) and runs it; any sanitizer report fails its test.
# Benchmarks are left out. The same build holds the fuzz harnesses (fuzz/), which
# scripts/fuzz.sh then runs briefly; --no-fuzz leaves them out.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${ZOP_ASAN_DIR:-build-asan}
FUZZ=ON
[ "${1:-}" = "--no-fuzz" ] && FUZZ=OFF
LAUNCHER=()
if command -v ccache >/dev/null 2>&1; then
  LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$PWD")}
  # With debug info ccache keys every object on the build folder's path unless told not to,
  # and a clone in another folder would compile everything again.
  export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
fi
# -O1 keeps the instrumented tests quick without hiding faults the optimiser would remove.
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DZOP_SANITIZE=ON -DZOP_BENCH=OFF -DZOP_FUZZ=$FUZZ \
  "${LAUNCHER[@]}" >/dev/null
cmake --build "$BUILD_DIR" --parallel "$(nproc)"

# LeakSanitizer is on: an allocation of ours left unreachable at a test's end fails the test.
# (What Qt keeps for the life of the process stays reachable through its globals and is not
# reported; the valgrind run of the window tests checks the same from outside.)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD_DIR" --output-on-failure --parallel "$(nproc)" --timeout 300

if [ "$FUZZ" = ON ]; then
  # The harnesses' short runs look for crashes, as they always did; leaks are the suite's job.
  ASAN_OPTIONS=${ASAN_OPTIONS/detect_leaks=1/detect_leaks=0} ZOP_FUZZ_DIR="$BUILD_DIR" bash scripts/fuzz.sh
fi
