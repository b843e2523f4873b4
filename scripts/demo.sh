#!/usr/bin/env bash
# Installs what is needed, builds the panel and the emulator (nothing else), starts the emulator
# on 127.0.0.1 at the port of demo/ZOP_Panel.ini (50505) and the panel against it. When another
# program already listens on that port, the emulator takes a free port and the panel runs with a
# copy of the demo settings pointed at it: the panel only ever talks to the emulator started
# here. Without a display the panel runs on a virtual one (Xvfb). Arguments go to the panel.
# ZOP_DEMO_PREBUILT=1 skips installing and building and uses the programs in $ZOP_BUILD_DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${ZOP_DEMO_PREBUILT:-}" ]; then
  bash scripts/install-deps.sh
  bash scripts/build.sh zop-panel zop-sim
fi
BIN=${ZOP_BUILD_DIR:-build}/bin
PORT=$(sed -n 's/^Port=//p' demo/ZOP_Panel.ini | tr -d '\r')
WORK=$(mktemp -d)
SIM=
cleanup() {
  [ -z "$SIM" ] || kill "$SIM" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

# Starts the emulator on port $1 (0: a free one) and waits until it says where it listens;
# LISTEN is then its port. Fails when it ended instead (the port is taken, say).
start_sim() {
  : >"$WORK/sim.out"
  "$BIN/zop-sim" --port "$1" --series tlb > >(tee -a "$WORK/sim.out") 2>&1 &
  SIM=$!
  for _ in $(seq 100); do
    LISTEN=$(sed -n 's/^zop-sim listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$WORK/sim.out" | head -n 1)
    [ -z "$LISTEN" ] || return 0
    if ! kill -0 "$SIM" 2>/dev/null; then
      SIM=
      return 1
    fi
    sleep 0.1
  done
  echo "zop-sim did not say where it listens within 10 s" >&2
  return 1
}

# The demo folder is the panel's program folder: it takes the pictures from the build.
DIR=demo
if ! start_sim "$PORT"; then
  start_sim 0 || exit 1
  # A copy of the demo settings that names the emulator's port; the pictures beside it.
  DIR="$WORK/demo"
  mkdir "$DIR"
  sed "s/^Port=[0-9]*/Port=$LISTEN/" demo/ZOP_Panel.ini >"$DIR/ZOP_Panel.ini"
  echo "Port $PORT is taken by another program: the emulator listens on 127.0.0.1:$LISTEN" \
       "instead, and the panel is pointed at it (settings: a copy of demo/ZOP_Panel.ini with" \
       "Port=$LISTEN, kept only while the demo runs)."
fi
cp "$BIN"/icon.ico "$BIN"/logo.gif "$BIN"/name.gif "$DIR"/

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
  "$BIN/zop-panel" --dir "$DIR" "$@"
else
  echo "No display found: running the panel on a virtual display (Xvfb) nobody sees."
  xvfb-run -a -s "-screen 0 1280x900x24" bash -c \
    'echo "The panel runs on display $DISPLAY (README: \"Without a display\")."; exec "$@"' \
    demo "$BIN/zop-panel" --dir "$DIR" "$@"
fi
