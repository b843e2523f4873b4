#!/usr/bin/env bash
# Installs what is needed, builds, starts the instrument emulator on 127.0.0.1:50505 and the
# panel against it (settings in demo/ZOP_Panel.ini). Without a display the panel runs on a
# virtual one (Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
BIN=${ZOP_BUILD_DIR:-build}/bin
PORT=$(sed -n 's/^Port=//p' demo/ZOP_Panel.ini | tr -d '\r')
# The demo folder is the panel's program folder: it takes the pictures from the build.
cp "$BIN"/icon.ico "$BIN"/logo.gif "$BIN"/name.gif demo/

"$BIN/zop-sim" --port "$PORT" --series tlb &
SIM=$!
trap 'kill $SIM 2>/dev/null || true' EXIT
sleep 0.5

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$BIN/zop-panel" --dir demo "$@"
else
  echo "No display found: running the panel on a virtual display (Xvfb) nobody sees."
  xvfb-run -a -s "-screen 0 1280x900x24" bash -c \
    'echo "The panel runs on display $DISPLAY (README: \"Without a display\")."; exec "$@"' \
    demo "$BIN/zop-panel" --dir demo "$@"
fi
