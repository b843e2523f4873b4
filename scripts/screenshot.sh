#!/usr/bin/env bash
# Takes a screenshot of one panel running against zop-sim over TCP/IP, on a virtual display:
#   bash scripts/screenshot.sh [tlb|km|tw|gz|command|registers|calibration|modulation] [file.png] [--trend|--debug]
# A virtual panel shows the series' own panel (with --trend, its trend after some seconds of
# readings; with --debug, in debug mode with its transaction log after a few polls); "command"
# and "registers" show those panels of a TLB instrument after a few reads.
# The picture is of the panel's window only, in the look the environment asks for
# (ZOP_LOOK=dark or light; the virtual display's own palette is light).
set -euo pipefail
cd "$(dirname "$0")/.."
PANEL=${1:-tlb}
OUT=$(realpath -m "${2:-shot-$PANEL.png}")
OPTION=${3:-}
BIN=$(realpath "${ZOP_BUILD_DIR:-build}/bin")
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"; kill $SIM 2>/dev/null || true' EXIT

case $PANEL in
  command)   SERIES=tlb; START="Command Panel";   TITLE="Command Panel" ;;
  registers) SERIES=tlb; START="Register Panel";  TITLE="Register Panel" ;;
  calibration) SERIES=tlb; START="Calibration Panel"; TITLE="Calibration Panel" ;;
  modulation)  SERIES=tlb; START="Modulation Panel";  TITLE="Modulation Panel" ;;
  *)         SERIES=$PANEL; START="Virtual Control Panel"; TITLE="" ;;
esac

"$BIN/zop-sim" --port 0 --series "$SERIES" > "$DIR/sim.out" &
SIM=$!
for _ in $(seq 50); do grep -q listening "$DIR/sim.out" && break; sleep 0.1; done
PORT=$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\).*/\1/p' "$DIR/sim.out")
TYPE=$(echo "$SERIES" | tr a-z A-Z)
sed -e "s/^Port=.*/Port=$PORT/" -e "s/^Type=.*/Type=$TYPE Series/" \
    -e "s/^Start-Up=.*/Start-Up=$START/" demo/ZOP_Panel.ini > "$DIR/ZOP_Panel.ini"
cp "$BIN"/icon.ico "$BIN"/logo.gif "$BIN"/name.gif "$DIR"/
# Debug mode: the access code in QMX_Panel.ini beside the settings.
if [ "$OPTION" = --debug ]; then printf '[Debug]\r\nType=tan_whelk\r\n' > "$DIR/QMX_Panel.ini"; fi

# The service panels are shown after a few reads: clicks at the places of their Get buttons.
cat > "$DIR/run.sh" <<EOF
set -e
'$BIN/zop-panel' --dir '$DIR' &
PANELPID=\$!
sleep 3
WIN=\$(xdotool search --pid \$PANELPID --onlyvisible --name . | tail -1)
click() { while [ \$# -gt 1 ]; do
  xdotool mousemove --window \$WIN \$1 \$2 click 1; sleep 0.5; shift 2; done; }
case '$PANEL' in
  command)   click 52 87 52 113 588 193 588 427 ;;
  registers) click 107 67 200 67 380 67 560 67 ;;
esac
if [ '$OPTION' = --trend ]; then
  # The shortest span; output on, the current knob turned up, then the voltage knob in steps
  # while the trend records.
  xdotool windowfocus --sync \$WIN; xdotool key ctrl+t; sleep 1
  click 130 500; xdotool key Home Return
  click 650 129 257 265
  for n in 1 2 3 4; do xdotool key Page_Up; done
  click 103 265
  for n in 1 2 3 4 5 6 7 8; do xdotool key Page_Up; sleep 1; done
  sleep 2
fi
sleep 0.5
import -window \$WIN -strip -colors 256 PNG8:'$OUT'
kill \$PANELPID
EOF
cd "$DIR"
xvfb-run -a -s "-screen 0 1280x900x24" bash "$DIR/run.sh"
echo "$OUT"
