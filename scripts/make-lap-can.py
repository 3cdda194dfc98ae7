#!/usr/bin/env python3
"""Writes examples/lap-can.log: the lap of examples/lap.csv as the race car's ECU would put it on
its CAN bus, framed by examples/race-ecu.dbc and logged as `candump -l` does. The signals are
encoded here, by this script's own bit packing, so that the log also checks Pitwall's decoder
against an encoder written apart from it.

    scripts/make-lap-can.py [--out examples/lap-can.log]
"""
import argparse
import bisect
import csv
import os
import struct

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
START = 1733740000.0  # the log's first stamp, seconds since 1970


def put_intel(data, start, length, raw):
    for i in range(length):
        if raw >> i & 1:
            bit = start + i
            data[bit // 8] |= 1 << (bit % 8)


def put_motorola(data, start, length, raw):
    # The start bit is the most significant bit; the following bits go down within a byte and on
    # to the most significant bit of the next byte.
    bit = start
    for i in range(length - 1, -1, -1):
        if raw >> i & 1:
            data[bit // 8] |= 1 << (bit % 8)
        bit = bit + 15 if bit % 8 == 0 else bit - 1


def raw_of(value, factor, offset, length, signed):
    raw = int(round((value - offset) / factor))
    low, high = (-(1 << (length - 1)), (1 << (length - 1)) - 1) if signed else (0, (1 << length) - 1)
    raw = max(low, min(high, raw))
    return raw & ((1 << length) - 1)


def frame(ident, extended, data):
    return ("%08X" if extended else "%03X") % ident + "#" + "".join("%02X" % b for b in data)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(ROOT, "examples/lap-can.log"))
    args = parser.parse_args()
    with open(os.path.join(ROOT, "examples/lap.csv"), newline="") as f:
        rows = [{k: float(v) for k, v in row.items()} for row in csv.DictReader(f)]
    times = [r["t"] for r in rows]

    def at(t, column):
        i = min(max(bisect.bisect_right(times, t) - 1, 0), len(rows) - 2)
        a, b = rows[i], rows[i + 1]
        f = min(max((t - a["t"]) / (b["t"] - a["t"]), 0.0), 1.0)
        return a[column] + (b[column] - a[column]) * f

    end = times[-1]
    lines = []
    for ms in range(0, int(end * 1000) + 1, 20):
        t = ms / 1000
        stamp = "(%.6f) can0 " % (START + t)
        data = bytearray(8)  # ENGINE_1, every 20 ms
        rpm = at(t, "rpm")
        put_intel(data, 0, 16, raw_of(rpm, 1, 0, 16, False))
        put_intel(data, 16, 8, raw_of(at(t, "water"), 1, -40, 8, False))
        put_intel(data, 24, 8, raw_of(at(t, "oil"), 0.05, 0, 8, False))
        put_intel(data, 32, 10, raw_of(min(100.0, rpm / 90), 0.1, 0, 10, False))
        put_intel(data, 42, 3, 2)
        lines.append(stamp + frame(0x100, False, data))
        if ms % 40 == 0:  # VEHICLE_1
            speed = at(t, "speed")
            data = bytearray(8)
            put_motorola(data, 7, 16, raw_of(speed, 0.01, 0, 16, False))
            put_motorola(data, 19, 4, raw_of(min(7, 1 + int(speed // 45)), 1, 0, 4, True))
            put_motorola(data, 39, 12, raw_of(0.8 if 20 < t < 30 else -0.3, 0.01, 0, 12, True))
            lines.append(stamp + frame(0x200, False, data))
        if ms % 100 == 0:  # TIMING_1, extended identifier
            data = bytearray(8)
            put_intel(data, 0, 32, raw_of(t, 0.001, 0, 32, False))
            data[4:8] = struct.pack("<f", 42.0 - t * 0.06)
            lines.append(stamp + frame(0x18FF0010, True, data))
        if ms % 200 == 0:  # STATUS_1, its two pages in turn
            page = (ms // 200) % 2
            data = bytearray(4)
            put_intel(data, 0, 4, page)
            if page == 0:
                put_intel(data, 8, 8, raw_of(56.5, 0.5, 0, 8, False))
                put_intel(data, 16, 8, 12)
            else:
                put_intel(data, 8, 4, 4)
                put_intel(data, 16, 8, raw_of(13.8, 0.1, 0, 8, False))
            lines.append(stamp + frame(0x300, False, data))
    with open(args.out, "w") as f:
        f.write("\n".join(lines) + "\n")
    print(args.out, len(lines), "frames")


if __name__ == "__main__":
    main()
