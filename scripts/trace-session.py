#!/usr/bin/env python3
"""Runs one scripted front-panel session per series against zop-sim and lists the commands the
emulator received, in order: start-up, every key of the panel with its menus and their
time-outs, the held keys, the knobs, CLEAR, START/STOP, a switch to the Command Panel and back.

    trace-session.py --bin BUILD/bin --series tlb [--out FILE]
    trace-session.py --bin BUILD/bin --check GOLDEN_DIR [--series tlb ...]

The panel runs offscreen with its remote control and the stepped clock, so the 5 s, 10 s and
60 s waits are crossed with "advance" instead of waited through. The list is normalised: the
trace's timestamps and the replies are dropped, the received bytes are cut into commands at
their line feeds, and the status polls ("<>STA"), whose number depends on how long the session
ran in real time, and the TCP/IP keep-alive (an empty line every few seconds) are left out. --check compares each series' list with GOLDEN_DIR/SERIES.txt
and ends with status 1 (and a diff) when one differs.
"""

import argparse
import difflib
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time

SERIES = ["tlb", "km", "tw", "gz"]
SYSTEM_TYPE = {"tlb": "TLB Series", "km": "KM Series", "tw": "TW Series", "gz": "GZ Series"}
WINDOW = {"tlb": "frmTLB", "km": "frmKM", "tw": "frmTW", "gz": "frmGZ"}
# Left out: the status polls and the TCP/IP keep-alive (a bare line feed), both sent by timers.
TIMED = {"<>STA", ""}
# Real time given to the panel after each step: longer than a poll tick and the 10 ms hold tick.
SETTLE_S = 0.35


class Remote:
    def __init__(self, path, wait_s=20):
        deadline = time.monotonic() + wait_s
        while True:
            try:
                self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                self.sock.connect(path)
                break
            except OSError:
                self.sock.close()
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.05)
        self.file = self.sock.makefile("rwb")

    def ask(self, command):
        self.file.write(command.encode() + b"\n")
        self.file.flush()
        reply = json.loads(self.file.readline())
        if "error" in reply:
            raise RuntimeError(f"{command}: {reply['error']}")
        return reply

    def do(self, command, settle=SETTLE_S):
        reply = self.ask(command)
        time.sleep(settle)
        return reply


def wait_for_panel(remote, window, wait_s=20):
    deadline = time.monotonic() + wait_s
    while time.monotonic() < deadline:
        state = remote.ask("state")
        if state["boxes"]:
            raise RuntimeError(f"message at start-up: {state['boxes']}")
        if state["panel"] == window:
            time.sleep(1.0)  # the first polls
            return
        time.sleep(0.1)
    raise RuntimeError(f"{window} did not open")


def held(r, key, advances, after_each=0.25, release_after=0.1):
    """Holds `key`, moves the clock on by each of `advances` (ms), then lets the key go. The
    clock stands still meanwhile but for the advances, so a slow machine repeats no more."""
    r.ask("freeze")
    r.ask(f"hold {key}")
    time.sleep(0.05)
    for ms in advances:
        r.ask(f"advance {ms}")
        time.sleep(after_each)
    time.sleep(release_after)
    r.do(f"release {key}")
    r.ask("thaw")


def enter_value(r, key, text, accept=True):
    """A setpoint key's Enter Value dialog: type `text`, then OK (or Cancel)."""
    r.do(f"press {key}")
    r.do(f"type txtValue {text}")
    r.do("press cmdOK" if accept else "press cmdCancel")
    r.do("advance 1100")  # the level the key showed returns


def session_tlb(r):
    # The setpoint menus: MENU, UP, DN, ENTER; ITEM with a typed value; CLEAR puts it back.
    for key in ["cmdMenu", "cmdUp", "cmdDn", "cmdEnter"]:
        r.do(f"press {key}")
    for key in ["cmdMenu", "cmdItem"]:
        r.do(f"press {key}")
    r.do("type txtInput 4.5")
    r.do("press cmdEnter")
    for key in ["cmdMenu", "cmdItem", "cmdItem", "cmdUp", "cmdClear"]:
        r.do(f"press {key}")
    # OCT and the period, then the idle time-out of a menu (10 s).
    for key in ["cmdMenu", "cmdItem", "cmdItem", "cmdItem", "cmdDn", "cmdEnter"]:
        r.do(f"press {key}")
    for key in ["cmdMenu", "cmdItem", "cmdItem", "cmdItem", "cmdItem", "cmdUp", "cmdEnter"]:
        r.do(f"press {key}")
    r.do("press cmdMenu")
    r.do("advance 10500", settle=0.8)
    # The configuration menu: choose an item, the next one, set it; then its time-out.
    for key in ["cmdMenu"] + ["cmdItem"] * 5 + ["cmdEnter", "cmdItem", "cmdEnter"]:
        r.do(f"press {key}")
    for key in ["cmdMenu"] + ["cmdItem"] * 5 + ["cmdEnter", "cmdItem"]:
        r.do(f"press {key}")
    r.do("advance 10500", settle=0.8)
    # Potentiometer calibration with its code; the 60 s time-out leaves it.
    for key in ["cmdMenu"] + ["cmdItem"] * 6:
        r.do(f"press {key}")
    r.do("type txtInput 3846")
    r.do("press cmdEnter")
    for key in ["cmdItem", "cmdUp", "cmdUp", "cmdEnter", "cmdItem", "cmdDn", "cmdClear"]:
        r.do(f"press {key}")
    r.do("advance 60500", settle=0.8)
    # Scale calibration, left with ITEM to its last item and ENTER.
    for key in ["cmdMenu"] + ["cmdItem"] * 6:
        r.do(f"press {key}")
    r.do("type txtInput 6043")
    r.do("press cmdEnter")
    for key in ["cmdItem"] * 6 + ["cmdUp", "cmdEnter"]:
        r.do(f"press {key}")
    # A wrong code leaves the menu.
    for key in ["cmdMenu"] + ["cmdItem"] * 6:
        r.do(f"press {key}")
    r.do("type txtInput 1111")
    r.do("press cmdEnter")
    # UP held in a menu: steps at 0, 250, 500, 750 and 1000 ms (the real time of the hold adds under 200 ms), then ENTER.
    r.do("press cmdMenu")
    held(r, "cmdUp", [1050], after_each=0.08, release_after=0)
    r.do("press cmdEnter")
    # CLEAR held 5 s and 10 s in a value menu: the two resets, the blinking, the release.
    r.do("press cmdMenu")
    held(r, "cmdClear", [5000, 5000, 6000], release_after=0.5)
    r.do("advance 500")
    # Direct adjustment at idle: UP, then ENTER; DN abandoned until its time-out.
    r.do("press cmdUp")
    r.do("press cmdEnter")
    r.do("press cmdDn")
    r.do("advance 10500", settle=0.8)
    # A typed value at idle.
    r.do("type txtInput 3")
    r.do("press cmdEnter")
    # DISPLAY held, released; the level returns 0.4 s later.
    held(r, "cmdDsply", [])
    r.do("advance 500")
    # MEM: a location with UP and its recall; then its time-out.
    for key in ["cmdMem", "cmdUp", "cmdEnter"]:
        r.do(f"press {key}")
    r.do("press cmdMem")
    r.do("advance 10500", settle=0.8)
    # ARM on and off; the knobs; START, CLEAR, STOP.
    r.do("press cmdArm")
    r.do("press cmdArm")
    r.do("turn knbVolt 3")
    r.do("turn knbCurr -2")
    r.do("press cmdStart")
    r.do("press cmdClear")
    r.do("press cmdStop")


def session_series(r, series):
    # The setpoint keys with their Enter Value dialog (the last one cancelled).
    enter_value(r, "cmdVolt", "7.5")
    enter_value(r, "cmdCurr", "20")
    enter_value(r, "cmdOVT", "14")
    enter_value(r, "cmdOCT", "90", accept=False)
    if series != "gz":
        # OVT: UP, ENTER; OCT: DN, CLEAR; then the idle time-out of a menu.
        for key in ["cmdMenu", "cmdUp", "cmdEnter"]:
            r.do(f"press {key}")
        for key in ["cmdMenu", "cmdItem", "cmdDn", "cmdClear"]:
            r.do(f"press {key}")
        r.do("press cmdMenu")
        r.do("advance 10500", settle=0.8)
        to_config = ["cmdMenu", "cmdItem", "cmdItem"]
    else:
        to_config = ["cmdMenu"]
    # The configuration menu: choose an item, the next one, set it; then its time-out.
    for key in to_config + ["cmdEnter", "cmdItem", "cmdEnter"]:
        r.do(f"press {key}")
    for key in to_config + ["cmdEnter", "cmdItem"]:
        r.do(f"press {key}")
    r.do("advance 10500", settle=0.8)
    # UP held in the OVT menu (steps at 0, 250, 500, 750 and 1000 ms).
    if series != "gz":
        r.do("press cmdMenu")
        held(r, "cmdUp", [1050], after_each=0.08, release_after=0)
        r.do("press cmdEnter")
    # The calibration level: the calibration key held 10 s, the pots, the 60 s time-out.
    for key in to_config + ["cmdItem"]:
        r.do(f"press {key}")
    held(r, "cmdCal", [10200])
    for key in ["cmdItem", "cmdUp", "cmdEnter", "cmdItem", "cmdDn", "cmdClear"]:
        r.do(f"press {key}")
    r.do("advance 60500", settle=0.8)
    # The calibration key let go too early, then CLEAR at the calibration level.
    for key in to_config + ["cmdItem"]:
        r.do(f"press {key}")
    held(r, "cmdCal", [3000])
    r.do("press cmdClear")
    r.do("advance 600")
    # The display keys held and released; the level returns 0.4 s later.
    for key in ["cmdVISet", "cmdTRIP"]:
        held(r, key, [])
        r.do("advance 500")
    # The knobs; START, CLEAR, STOP.
    r.do("turn knbVolt 3")
    r.do("turn knbCurr -2")
    if series == "gz":
        r.do("turn knbOVP 2")
        r.do("turn knbOCP -1")
    r.do("press cmdStart")
    r.do("press cmdClear")
    r.do("advance 600")
    r.do("press cmdStop")


def commands_from_trace(path):
    """The received bytes of the trace, cut into commands at their line feeds, polls left out."""
    received = bytearray()
    with open(path, encoding="latin-1") as trace:
        for line in trace:
            m = re.match(r"^\d+\.\d{3} RX (.*)$", line.rstrip("\n"))
            if not m:
                continue
            text = m.group(1)
            # Undo the trace's escapes.
            out = bytearray()
            i = 0
            while i < len(text):
                c = text[i]
                if c == "\\" and i + 1 < len(text):
                    n = text[i + 1]
                    if n == "x":
                        out.append(int(text[i + 2:i + 4], 16))
                        i += 4
                        continue
                    out += {"n": b"\n", "r": b"\r", "t": b"\t", "\\": b"\\"}[n]
                    i += 2
                    continue
                out += c.encode("latin-1")
                i += 1
            received += out
    commands = [c.rstrip(b"\r").decode("latin-1") for c in bytes(received).split(b"\n")]
    return [c for c in commands if c not in TIMED]


def write_config(folder, bindir, series, port):
    with open(os.path.join(bindir, "ZOP_Panel.ini"), encoding="latin-1") as f:
        text = f.read()
    settings = {("Communication", "Comm"): "TCP/IP", ("Communication", "Address"): "127.0.0.1",
                ("Communication", "Port"): str(port), ("System", "Type"): SYSTEM_TYPE[series],
                ("Application", "Start-Up"): "Virtual Control Panel"}
    section = None
    lines = []
    for line in text.splitlines():
        m = re.match(r"^\[(.*)\]", line)
        if m:
            section = m.group(1)
        k = line.split("=", 1)[0].strip()
        if (section, k) in settings:
            line = f"{k}={settings[(section, k)]}"
        lines.append(line)
    with open(os.path.join(folder, "ZOP_Panel.ini"), "w", encoding="latin-1", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


def run_series(bindir, series):
    folder = tempfile.mkdtemp(prefix=f"zop-trace-{series}-")
    sim = panel = None
    try:
        trace = os.path.join(folder, "trace.txt")
        sim = subprocess.Popen([os.path.join(bindir, "zop-sim"), "--port", "0", "--series", series,
                                "--trace", trace], stdout=subprocess.PIPE, text=True)
        m = re.search(r"listening on 127\.0\.0\.1:(\d+)", sim.stdout.readline())
        if not m:
            raise RuntimeError("zop-sim did not start")
        write_config(folder, bindir, series, int(m.group(1)))
        control = os.path.join(folder, "control")
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        panel = subprocess.Popen([os.path.join(bindir, "zop-panel"), "--dir", folder,
                                  "--remote-control", control, "--stepped-clock"],
                                 cwd=folder, env=env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        r = Remote(control)
        wait_for_panel(r, WINDOW[series])
        if series == "tlb":
            session_tlb(r)
        else:
            session_series(r, series)
        # A switch to the Command Panel and back.
        r.do("press mnuCommand", settle=1.0)
        r.do("press mnuVirtual", settle=1.0)
        state = r.ask("state")
        if state["panel"] != WINDOW[series] or state["boxes"]:
            raise RuntimeError(f"session ended on {state}")
        panel.terminate()
        panel.wait(10)
        sim.terminate()
        sim.wait(10)
        return commands_from_trace(trace)
    finally:
        for p in (panel, sim):
            if p and p.poll() is None:
                p.kill()
                p.wait()
        shutil.rmtree(folder, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", required=True, help="folder of zop-panel, zop-sim, ZOP_Panel.ini")
    parser.add_argument("--series", action="append", choices=SERIES)
    parser.add_argument("--out", help="file for the list (one series only)")
    parser.add_argument("--check", help="folder of the expected lists, SERIES.txt")
    args = parser.parse_args()
    args.bin = os.path.abspath(args.bin)
    chosen = args.series or SERIES
    failed = False
    for series in chosen:
        commands = run_series(args.bin, series)
        text = "".join(c + "\n" for c in commands)
        if args.check:
            with open(os.path.join(args.check, f"{series}.txt"), encoding="latin-1") as f:
                expected = f.read()
            if expected != text:
                failed = True
                sys.stdout.writelines(difflib.unified_diff(
                    expected.splitlines(True), text.splitlines(True), f"{series} expected",
                    f"{series} now"))
            else:
                print(f"{series}: {len(commands)} commands, as expected")
        elif args.out:
            with open(args.out, "w", encoding="latin-1") as f:
                f.write(text)
        else:
            sys.stdout.write(text)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
