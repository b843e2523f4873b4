#!/usr/bin/env bash
# Runs every fuzz harness of a ZOP_FUZZ build (build-asan/ by default, as scripts/sanitize.sh
# makes it, or $ZOP_FUZZ_DIR) for $ZOP_FUZZ_SECONDS seconds each (20 by default), starting from
# its committed corpus in fuzz/corpus/. New inputs go to the build folder, never into the
# committed corpus; a crash leaves its input in BUILD/fuzz-artifacts/ and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${ZOP_FUZZ_DIR:-build-asan}
SECONDS_EACH=${ZOP_FUZZ_SECONDS:-20}
# Allocation stacks two frames deep: the fast unwinder reads on through Qt's frames, which keep
# no frame pointer, so deeper stacks hold stray words, every allocation's stack looks new, and
# the sanitizer's store of stacks grows until a long run dies at its memory limit. The stack of
# a fault itself is still unwound in full.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}:malloc_context_size=2
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
mkdir -p "$BUILD_DIR/fuzz-artifacts"
found=0
for corpus in fuzz/corpus/*/; do
  name=$(basename "$corpus")
  harness="$BUILD_DIR/bin/$name"
  [ -x "$harness" ] || { echo "fuzz: $harness is not built" >&2; exit 1; }
  found=$((found + 1))
  mkdir -p "$BUILD_DIR/fuzz-new/$name"
  echo "fuzz: $name for ${SECONDS_EACH}s"
  "$harness" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$BUILD_DIR/fuzz-artifacts/$name-" "$BUILD_DIR/fuzz-new/$name" "$corpus" \
    2> "$BUILD_DIR/fuzz-$name.log" || { tail -50 "$BUILD_DIR/fuzz-$name.log" >&2; exit 1; }
  grep -E "stat::number_of_executed_units|Done [0-9]+ runs" "$BUILD_DIR/fuzz-$name.log" | tail -1
done
[ "$found" -gt 0 ] || { echo "fuzz: no corpus folders" >&2; exit 1; }
