#!/usr/bin/env bash
# Runs the window tests of a normal build (build/, or $ZOP_BUILD_DIR) under valgrind on the
# offscreen platform. An invalid read or write, a use of uninitialised memory or a definite
# leak fails the run. What Qt, fontconfig and the platform plugin keep for the life of the
# process is still reachable at exit (pointed to by their globals), which counts as no error,
# so no leak is ignored wholesale; a definite leak inside Qt would need a suppression by name
# in scripts/valgrind.supp with a reason, as the one there has. AddressSanitizer cannot see
# faults inside Qt (a widget deleted in its own signal handler); valgrind can.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${ZOP_BUILD_DIR:-build}
TESTS=${ZOP_VALGRIND_TESTS:-"test_widgets test_panelframe test_aboutbox test_virtualpanel
  test_frontpanel test_commandpanel test_registerspanel test_calibrationpanel
  test_modulationpanel test_frmloader test_setupdialogs test_frmchange"}
export QT_QPA_PLATFORM=offscreen
# QRegularExpression (the emulator's command matching, the file dialog's name filters) runs
# PCRE2's JIT, whose generated machine code valgrind cannot follow (reports in unnamed code,
# "???"): the interpreter does the same matching where valgrind can see it.
export QT_ENABLE_REGEXP_JIT=0
mkdir -p "$BUILD_DIR/valgrind"
failed=()
for name in $TESTS; do
  log="$BUILD_DIR/valgrind/$name.log"
  echo "valgrind: $name"
  if ! valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
      --show-leak-kinds=definite --errors-for-leak-kinds=definite \
      --gen-suppressions=all --num-callers=30 --suppressions=scripts/valgrind.supp \
      --log-file="$log" "$BUILD_DIR/bin/$name" -silent >"$log.out" 2>"$log.stderr"; then
    failed+=("$name")
    grep -E "^==[0-9]+== (Invalid|Conditional|Use of|Mismatched|[0-9,]+ bytes in)" "$log" | head -20 >&2 || true
    # A test that failed (rather than a memory error) says which in its own output.
    grep -E -A4 "^FAIL!" "$log.out" | head -20 >&2 || true
    tail -5 "$log.stderr" >&2
  fi
done
# zopctl and zop-sim as processes: a short scripted session, the emulator under valgrind too,
# ended with SIGTERM as a service manager would end it.
VG=(valgrind --tool=memcheck --error-exitcode=99 --leak-check=full --show-leak-kinds=definite
    --errors-for-leak-kinds=definite --num-callers=30 --suppressions=scripts/valgrind.supp)
work=$(mktemp -d)
echo "valgrind: zop-sim and zopctl"
"${VG[@]}" --log-file="$BUILD_DIR/valgrind/zop-sim.log" "$BUILD_DIR/bin/zop-sim" --port 0 \
    --trace "$work/trace.txt" > "$work/sim.out" 2>&1 &
sim=$!
for _ in $(seq 300); do grep -q listening "$work/sim.out" && break; sleep 0.1; done
port=$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/sim.out")
zopctl() {
  if [ -z "$port" ] || ! "${VG[@]}" --log-file="$BUILD_DIR/valgrind/zopctl.%p.log" \
      "$BUILD_DIR/bin/zopctl" --link "tcp://127.0.0.1:$port" "$@" >/dev/null 2>>"$work/zopctl.err"; then
    failed+=("zopctl $1")
    tail -3 "$work/zopctl.err" >&2
  fi
}
zopctl query "*IDN?"
zopctl send "VOLT 5" "CURR 2" "OUTP:START"
zopctl status
zopctl state
zopctl registers
zopctl monitor --count 3 --interval 0.2
zopctl modtable save "$work/table.modTable"
zopctl send "OUTP:STOP"
kill -TERM "$sim" 2>/dev/null || true
if ! wait "$sim"; then
  failed+=("zop-sim")
  grep -E "^==[0-9]+== (Invalid|Conditional|Use of|[0-9,]+ bytes in)" "$BUILD_DIR/valgrind/zop-sim.log" | head -20 >&2 || true
fi
rm -rf "$work"

if [ ${#failed[@]} -gt 0 ]; then
  echo "valgrind: failed: ${failed[*]} (logs in $BUILD_DIR/valgrind/)" >&2
  exit 1
fi
