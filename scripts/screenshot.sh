#!/usr/bin/env bash
# Takes a screenshot of the virtual panel of a series running against zop-sim, on a virtual
# display: bash scripts/screenshot.sh [tlb|km|tw|gz] [file.png]
set -euo pipefail
cd "$(dirname "$0")/.."
SERIES=${1:-tlb}
OUT=$(realpath -m "${2:-shot-$SERIES.png}")
BIN=$(realpath "${ZOP_BUILD_DIR:-build}/bin")
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"; kill $SIM 2>/dev/null || true' EXIT

"$BIN/zop-sim" --port 0 --series "$SERIES" > "$DIR/sim.out" &
SIM=$!
for _ in $(seq 50); do grep -q listening "$DIR/sim.out" && break; sleep 0.1; done
PORT=$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\).*/\1/p' "$DIR/sim.out")
TYPE=$(echo "$SERIES" | tr a-z A-Z)
sed -e "s/^Port=.*/Port=$PORT/" -e "s/^Type=.*/Type=$TYPE Series/" demo/ZOP_Panel.ini > "$DIR/ZOP_Panel.ini"
cp "$BIN"/icon.ico "$BIN"/logo.gif "$BIN"/name.gif "$DIR"/
cd "$DIR"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c \
  "'$BIN/zop-panel' --dir '$DIR' & sleep 3; import -window root '$OUT'; kill %1"
echo "$OUT"
