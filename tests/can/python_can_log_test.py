#!/usr/bin/env python3
"""The candump log format checked against python-can's own writer (CanutilsLogWriter, the format of
`candump -l`): frames of every kind written by python-can with signals packed by this test, then
`pitwall dbc DBC --decode LOG` must print each frame's signals with the values the test packed.

Exit code 77 (skipped) when python3-can is missing.

    python_can_log_test.py --tool build/default/bin/pitwall
"""
import argparse
import random
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

try:
    import can
except ImportError:
    print("skipped: python3-can is missing (scripts/deps.sh installs it)")
    sys.exit(77)

DBC = """VERSION ""
NS_ :
BS_:
BU_: ECU DASH

BO_ 2364540158 ENGINE_1: 8 ECU
 SG_ EngineSpeed : 24|16@1+ (0.125,0) [0|8031.875] "rpm" DASH
 SG_ Gear : 0|4@1- (1,0) [-1|8] "" DASH
 SG_ WaterTemp : 15|10@0+ (0.1,-40) [-40|62.3] "degC" DASH
 SG_ Torque : 47|13@0- (0.5,0) [-2048|2047.5] "Nm" DASH

BO_ 291 PAGES: 8 DASH
 SG_ Page M : 0|8@1+ (1,0) [0|255] "" ECU
 SG_ OilPressure m1 : 8|16@1+ (0.1,0) [0|1000] "kPa" ECU
 SG_ Lambda m2 : 8|32@1+ (1,0) [0|2] "" ECU
 SG_ Fuel : 63|8@0+ (0.4,0) [0|100] "%" ECU

BO_ 1024 WIDE: 64 ECU
 SG_ Odometer : 0|64@1+ (1,0) [0|0] "m" DASH
 SG_ Position : 71|64@0- (1e-07,0) [0|0] "deg" DASH
 SG_ Speed : 131|21@1- (0.01,0) [0|0] "m/s" DASH
 SG_ Accel : 263|64@0+ (1,0) [0|0] "g" DASH

SIG_VALTYPE_ 291 Lambda : 1;
SIG_VALTYPE_ 1024 Accel : 2;
VAL_ 2364540158 Gear -1 "R" 0 "N" 1 "1st" 2 "2nd" 3 "3rd" ;
"""

# The same signals as the test sees them: name, start, length, little-endian, signed, kind
# (int, float, double), factor, offset, unit, multiplexor value (None: always there).
SIGNALS = {
    (0x0CF004FE, True): ("ENGINE_1", 8, [
        ("EngineSpeed", 24, 16, True, False, "int", 0.125, 0, "rpm", None),
        ("Gear", 0, 4, True, True, "int", 1, 0, "", None),
        ("WaterTemp", 15, 10, False, False, "int", 0.1, -40, "degC", None),
        ("Torque", 47, 13, False, True, "int", 0.5, 0, "Nm", None),
    ]),
    (0x123, False): ("PAGES", 8, [
        ("Page", 0, 8, True, False, "int", 1, 0, "", "mux"),
        ("OilPressure", 8, 16, True, False, "int", 0.1, 0, "kPa", 1),
        ("Lambda", 8, 32, True, False, "float", 1, 0, "", 2),
        ("Fuel", 63, 8, False, False, "int", 0.4, 0, "%", None),
    ]),
    (0x400, False): ("WIDE", 64, [
        ("Odometer", 0, 64, True, False, "int", 1, 0, "m", None),
        ("Position", 71, 64, False, True, "int", 1e-07, 0, "deg", None),
        ("Speed", 131, 21, True, True, "int", 0.01, 0, "m/s", None),
        ("Accel", 263, 64, False, False, "double", 1, 0, "g", None),
    ]),
}
GEARS = {-1: "R", 0: "N", 1: "1st", 2: "2nd", 3: "3rd"}


def place(start, length, little, size):
    """The signal's least significant bit in the frame read as one integer (little-endian frame
    for Intel signals, big-endian for Motorola), and the bytes the signal needs."""
    if little:
        return start, (start + length - 1) // 8 + 1
    msb = start // 8 * 8 + 7 - start % 8  # counted from the first byte's top bit
    return 8 * size - (msb + length), (msb + length - 1) // 8 + 1


def pack(signals, raws, size):
    little, big = 0, 0
    for (name, start, length, is_little, *_), raw in zip(signals, raws):
        if raw is None:
            continue
        shift, _ = place(start, length, is_little, size)
        if is_little:
            little |= raw << shift
        else:
            big |= raw << shift
    a = little.to_bytes(size, "little")
    b = big.to_bytes(size, "big")
    return bytes(x | y for x, y in zip(a, b))


def physical(kind, length, signed, factor, offset, raw):
    if kind == "float":
        value = struct.unpack("<f", raw.to_bytes(4, "little"))[0]
    elif kind == "double":
        value = struct.unpack("<d", raw.to_bytes(8, "little"))[0]
    elif signed and raw >> (length - 1):
        value = raw - (1 << length)
    else:
        value = raw
    return float(value) * factor + offset


def random_raw(rnd, kind, length):
    if kind == "float":
        return struct.unpack("<I", struct.pack("<f", rnd.uniform(0, 2)))[0]
    if kind == "double":
        return struct.unpack("<Q", struct.pack("<d", rnd.uniform(-1e6, 1e6)))[0]
    return rnd.getrandbits(length)


def frames(rnd):
    """(python-can message, the line pitwall must print) pairs."""
    t = 1700000000.0
    keys = list(SIGNALS)
    for i in range(600):
        t += rnd.uniform(0.0001, 0.01)
        channel = "can0" if i % 3 else "can1"
        stamp = "%f %s " % (t, channel)  # python-can writes "(%f)"
        kind = rnd.random()
        if kind < 0.04:
            yield can.Message(timestamp=t, channel=channel, is_error_frame=True), stamp + "error frame, class 0x00000080"
            continue
        if kind < 0.08:
            ext = rnd.random() < 0.5
            ident = rnd.choice([0x7AB, 0x124]) if not ext else 0x01ABCDEF
            msg = can.Message(timestamp=t, channel=channel, arbitration_id=ident, is_extended_id=ext, data=b"\1\2")
            text = ("0x%08X extended" if ext else "0x%03X") % ident
            yield msg, stamp + text + ": unknown id"
            continue
        (ident, ext) = rnd.choice(keys)
        name, size, signals = SIGNALS[(ident, ext)]
        if kind < 0.12:
            msg = can.Message(timestamp=t, channel=channel, arbitration_id=ident, is_extended_id=ext,
                              is_remote_frame=True, dlc=min(size, 8))
            yield msg, stamp + name + " remote request"
            continue
        page = rnd.choice([1, 2, 3])
        raws = []
        for (_, _, length, _, _, sig_kind, _, _, _, mux) in signals:
            if mux == "mux":
                raws.append(page)
            elif mux is not None and mux != page:
                raws.append(None)
            else:
                raws.append(random_raw(rnd, sig_kind, length))
        data = pack(signals, raws, size)
        length = size if kind > 0.2 else rnd.randrange(0, size)  # some frames cut short
        line = stamp + name
        mux_there = True
        for (sig, start, bits, little, signed, sig_kind, factor, offset, unit, mux), raw in zip(signals, raws):
            needed = place(start, bits, little, size)[1]
            if mux == "mux":
                mux_there = needed <= length
            if raw is None or needed > length or (mux not in (None, "mux") and not mux_there):
                continue
            value = physical(sig_kind, bits, signed, factor, offset, raw)
            line += " %s=%.15g" % (sig, value)
            if unit:
                line += " " + unit
            if sig == "Gear":
                line += " (%s)" % GEARS[value] if value in GEARS else ""
        if length < size:
            line += " [%d of %d bytes]" % (length, size)
        fd = size > 8
        msg = can.Message(timestamp=t, channel=channel, arbitration_id=ident, is_extended_id=ext,
                          data=data[:length], is_fd=fd, bitrate_switch=fd and i % 2 == 0, is_rx=i % 2 == 0)
        yield msg, line


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    args = parser.parse_args()
    rnd = random.Random(20261209)
    with tempfile.TemporaryDirectory() as tmp:
        dbc = Path(tmp) / "car.dbc"
        dbc.write_text(DBC)
        log = Path(tmp) / "drive.log"
        expected = []
        writer = can.CanutilsLogWriter(str(log))
        for msg, line in frames(rnd):
            writer.on_message_received(msg)
            expected.append(line)
        writer.stop()
        run = subprocess.run([args.tool, "dbc", str(dbc), "--decode", str(log)], capture_output=True, text=True,
                             timeout=60)
        if run.returncode != 0:
            print("pitwall dbc exited with %d: %s" % (run.returncode, run.stderr))
            return 1
        got = run.stdout.splitlines()
        written = log.read_text().splitlines()
        failures = 0
        for i, (want, have) in enumerate(zip(expected, got)):
            if want != have:
                failures += 1
                if failures <= 10:
                    print("frame %d, logged as\n  %s\nexpected\n  %s\ngot\n  %s" % (i + 1, written[i], want, have))
        if len(got) != len(expected):
            print("%d lines printed for %d frames" % (len(got), len(expected)))
            failures += 1
        kinds = {"extended": any(" 0CF004FE#" in w for w in written), "fd": any("##1" in w for w in written),
                 "remote": any("#R" in w for w in written), "error": any("20000080#" in w for w in written)}
        if not all(kinds.values()):
            print("the log lacks a kind of frame: %s" % kinds)
            failures += 1
        if failures:
            return 1
        print("%d frames written by python-can %s decoded alike" % (len(expected), can.__version__))
        return 0


if __name__ == "__main__":
    sys.exit(main())
