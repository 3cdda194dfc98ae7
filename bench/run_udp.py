#!/usr/bin/env python3
"""The live dashboard under load: `pitwall run` on the racing dashboard, offscreen at 60 frames a
second, fed examples/lap.csv over UDP on loopback at 60 datagrams a second (one row a datagram, all
of its channels). Prints what `--stats` reported each second and a summary: the share of one core
the whole process used, the CPU time a frame took, frames skipped, and the latency from a value's
arrival to the present of the frame that shows it (the median of the per-second medians, the worst
per-second 99th percentile).

    bench/run_udp.py [--tool build/bench/bin/pitwall] [--seconds 20] [--rate 60] [--fps 60]
"""
import argparse
import csv
import os
import re
import socket
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
STATS = re.compile(r"(\d+) frames drawn, (\d+) skipped, ([\d.]+) ms CPU a frame, ([\d.]+)% of a core"
                   r"(?:, latency p50 ([\d.]+) ms p99 ([\d.]+) ms)?")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tool", default=os.path.join(ROOT, "build/bench/bin/pitwall"))
    parser.add_argument("--seconds", type=float, default=20)
    parser.add_argument("--rate", type=float, default=60, help="datagrams a second")
    parser.add_argument("--fps", type=float, default=60)
    args = parser.parse_args()

    with open(os.path.join(ROOT, "examples/lap.csv"), newline="") as f:
        rows = list(csv.DictReader(f))
    tool = subprocess.Popen([args.tool, "run", os.path.join(ROOT, "examples/racing-dashboard.json"),
                             "--display", "offscreen", "--feed", "udp:127.0.0.1:0", "--fps", str(args.fps),
                             "--stats"], stderr=subprocess.PIPE, text=True, env=dict(os.environ, SDL_AUDIODRIVER="dummy"))
    first = tool.stderr.readline()
    port = int(re.search(r"udp 127\.0\.0\.1:(\d+)", first).group(1))
    sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    start = time.monotonic()
    sent = 0
    while time.monotonic() - start < args.seconds:
        row = rows[sent % len(rows)]
        datagram = "lap_time={t},speed={speed},rpm={rpm},water={water},oil={oil}".format(**row)
        sender.sendto(datagram.encode(), ("127.0.0.1", port))
        sent += 1
        time.sleep(max(0.0, start + sent / args.rate - time.monotonic()))
    tool.terminate()
    _, rest = tool.communicate(timeout=30)

    seconds = [m for m in (STATS.search(line) for line in rest.splitlines()) if m]
    steady = [m for m in seconds[1:] if m.group(5)]  # the first second holds the start-up
    if not steady:
        sys.exit("no statistics came back:\n" + first + rest)
    share = sorted(float(m.group(4)) for m in steady)[len(steady) // 2]
    per_frame = sorted(float(m.group(3)) for m in steady)[len(steady) // 2]
    skipped = sum(int(m.group(2)) for m in steady)
    frames = sum(int(m.group(1)) for m in steady)
    p50 = sorted(float(m.group(5)) for m in steady)[len(steady) // 2]
    p99 = max(float(m.group(6)) for m in steady)
    print(f"{sent} datagrams at {args.rate:g} a second, {len(steady)} steady seconds at {args.fps:g} fps")
    print(f"CPU: {share:.1f}% of one core (median second), {per_frame:.2f} ms a frame")
    print(f"frames: {frames} drawn, {skipped} skipped")
    print(f"latency: p50 {p50:.1f} ms, p99 {p99:.1f} ms (worst second)")


if __name__ == "__main__":
    main()
