#!/usr/bin/env python3
"""StepperBench and CuteCom side by side, on this machine, in one run.

Both programs run under a private Xvfb display; each is given a pseudo-terminal
whose far end this script plays. Three figures, each as a ratio:

  start-up   process start until its window is mapped (polled every 5 ms);
  CPU/MiB    the program's CPU seconds while it receives MIB MiB;
  memory     resident memory after SECONDS of simulated controller traffic
             (a 9-byte position reply every 50 ms into both at once).

StepperBench opens its port with --open; CuteCom's "Open" button is clicked
with xdotool (it has no option for that). Needs: xvfb, x11-utils, xdotool,
cutecom. Usage: bench/compare_cutecom.py [--seconds 3600] [--mib 4] [--runs 10]
[--startup-only]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import termios
import time
import tty

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The program measured: build-bench's (scripts/bench), or the one $STEPPERBENCH names.
TOOL = os.environ.get("STEPPERBENCH",
                      os.path.join(ROOT, "build-bench", "src", "app", "stepperbench"))
TICK = os.sysconf("SC_CLK_TCK")
PAGE = os.sysconf("SC_PAGESIZE")


def crc16(data):
    crc = 0xFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return bytes([crc & 0xFF, crc >> 8])


def position_reply(value):
    payload = bytes([0x01, 0x37, 0x04]) + (value & 0xFFFFFFFF).to_bytes(4, "big")
    return payload + crc16(payload)


def open_pty():
    far, near = os.openpty()
    tty.setraw(far)
    tty.setraw(near)
    os.set_blocking(far, False)
    return far, near, os.ttyname(near)


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def resident_mib(pid):
    with open(f"/proc/{pid}/statm") as statm:
        return int(statm.read().split()[1]) * PAGE / 2**20


def window_id(display, name):
    out = subprocess.run(["xwininfo", "-root", "-tree", "-display", display],
                         capture_output=True, text=True).stdout
    for line in out.splitlines():
        if f'"{name}"' in line and "1x1+" not in line:
            return line.split()[0]
    return None


def wait_window(display, name, timeout=30):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        wid = window_id(display, name)
        if wid:
            return wid
        time.sleep(0.005)
    raise RuntimeError(f"no window {name}")


def holds(pid, path):
    fd_dir = f"/proc/{pid}/fd"
    for fd in os.listdir(fd_dir):
        try:
            if os.readlink(os.path.join(fd_dir, fd)) == path:
                return True
        except OSError:
            pass
    return False


def write_cutecom_config(device):
    conf = os.path.expanduser("~/.config/CuteCom")
    os.makedirs(conf, exist_ok=True)
    with open(os.path.join(conf, "CuteCom5.conf"), "w") as f:
        f.write("[sessions]\n1\\BaudRate=9600\n1\\DataBits=8\n"
                f"1\\Device={device}\n1\\FlowControl=0\n1\\OpenMode=3\n1\\Parity=0\n"
                "1\\StopBits=1\n1\\autoReconnect=false\n1\\name=Default\n"
                "1\\showCtrlCharacters=false\n1\\showTimestamp=false\nsize=1\n")


class Program:
    """One of the two programs, started on a pseudo-terminal and opened."""

    def __init__(self, kind, display, env):
        self.kind = kind
        self.far, self.near, self.path = open_pty()
        if kind == "stepperbench":
            cmd = [TOOL, "--port", f"COM1={self.path}", "--open"]
            self.title = "Form1"
        else:
            write_cutecom_config(self.path)
            cmd = ["cutecom"]
            self.title = "CuteCom - Default"
        self.proc = subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        self.wid = wait_window(display, self.title)
        if kind == "cutecom":
            time.sleep(0.5)
            subprocess.run(["xdotool", "mousemove", "--window", self.wid, "50", "43",
                            "click", "1"], env=env, check=True)
        deadline = time.monotonic() + 10
        while not holds(self.proc.pid, self.path):
            if time.monotonic() > deadline:
                raise RuntimeError(f"{kind} did not open {self.path}")
            time.sleep(0.05)
        time.sleep(0.5)

    def write(self, data):
        view = memoryview(data)
        while view:
            try:
                n = os.write(self.far, view)
                view = view[n:]
            except BlockingIOError:
                time.sleep(0.0005)

    def settle(self, quiet=1.0):
        """Waits until the program has used no CPU for `quiet` seconds."""
        last = cpu_seconds(self.proc.pid)
        while True:
            time.sleep(quiet)
            now = cpu_seconds(self.proc.pid)
            if now - last < 0.01:
                return now
            last = now

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
        os.close(self.far)
        os.close(self.near)


def start_once(kind, display, env):
    start = time.monotonic()
    cmd = [TOOL] if kind == "stepperbench" else ["cutecom"]
    proc = subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_window(display, "Form1" if kind == "stepperbench" else "CuteCom - Default")
    elapsed = (time.monotonic() - start) * 1000
    proc.terminate()
    proc.wait(5)
    return elapsed


def startup(display, env, runs):
    """Median start-up of each program, the two started in turn so that both see the same
    machine; the first round warms the caches and is not counted."""
    times = {"stepperbench": [], "cutecom": []}
    for _ in range(runs + 1):
        for kind in times:
            times[kind].append(start_once(kind, display, env))
    return {kind: statistics.median(values[1:]) for kind, values in times.items()}


def startup_line(results, runs):
    sb, cc = results[("stepperbench", "startup")], results[("cutecom", "startup")]
    return (f"start-up to a mapped window, median of {runs}: StepperBench {sb:.0f} ms,"
            f" CuteCom {cc:.0f} ms, ratio {sb / cc:.2f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=int, default=3600)
    parser.add_argument("--mib", type=int, default=4)
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("--startup-only", action="store_true",
                        help="measure the start-up alone, not the traffic and the memory")
    args = parser.parse_args()
    for needed in ("Xvfb", "xwininfo", "xdotool", "cutecom"):
        if not shutil.which(needed):
            sys.exit(f"needs {needed}: apt-get install xvfb x11-utils xdotool cutecom")
    if not os.path.exists(TOOL):
        sys.exit("build first: scripts/bench (it builds build-bench)")

    display = ":57"
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1600x1000x24"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1)
    env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb")
    env.pop("WAYLAND_DISPLAY", None)
    results = {}
    try:
        for kind, median in startup(display, env, args.runs).items():
            results[(kind, "startup")] = median
        if args.startup_only:
            print(startup_line(results, args.runs))
            return

        block = bytes(range(0x20, 0x7F)) * 40 + b"\r\n"
        payload = block * (args.mib * 2**20 // len(block))
        for kind in ("stepperbench", "cutecom"):
            program = Program(kind, display, env)
            before = program.settle(0.5)
            start = time.monotonic()
            program.write(payload)
            after = program.settle()
            results[(kind, "cpu")] = (after - before) / (len(payload) / 2**20)
            results[(kind, "wall")] = time.monotonic() - start
            program.stop()

        programs = [Program(kind, display, env) for kind in ("stepperbench", "cutecom")]
        start_mem = {p.kind: resident_mib(p.proc.pid) for p in programs}
        deadline = time.monotonic() + args.seconds
        value = 0
        next_report = time.monotonic() + 300
        while time.monotonic() < deadline:
            value += 37
            frame = position_reply(value)
            for p in programs:
                p.write(frame)
            time.sleep(0.05)
            if time.monotonic() > next_report:
                next_report += 300
                print("after %4d s: " % (args.seconds - (deadline - time.monotonic()))
                      + ", ".join("%s %.1f MiB" % (p.kind, resident_mib(p.proc.pid))
                                  for p in programs), flush=True)
        for p in programs:
            results[(p.kind, "mem0")] = start_mem[p.kind]
            results[(p.kind, "mem")] = resident_mib(p.proc.pid)
            p.stop()
    finally:
        xvfb.terminate()

    sb = lambda what: results[("stepperbench", what)]
    cc = lambda what: results[("cutecom", what)]
    print(startup_line(results, args.runs))
    print(f"CPU seconds per MiB received ({args.mib} MiB): StepperBench {sb('cpu'):.3f},"
          f" CuteCom {cc('cpu'):.3f}, ratio {sb('cpu') / cc('cpu'):.2f}"
          f" (wall {sb('wall'):.1f} s and {cc('wall'):.1f} s)")
    print(f"resident memory after {args.seconds} s of traffic: StepperBench"
          f" {sb('mem0'):.1f} -> {sb('mem'):.1f} MiB, CuteCom {cc('mem0'):.1f} -> {cc('mem'):.1f} MiB,"
          f" ratio {sb('mem') / cc('mem'):.2f}")
    print("reproduce: bench/compare_cutecom.py --seconds %d --mib %d" % (args.seconds, args.mib))


if __name__ == "__main__":
    main()
