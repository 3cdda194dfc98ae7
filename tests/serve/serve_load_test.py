#!/usr/bin/env python3
"""`pitwall serve` under a bounded load on loopback: fifty clients for ten seconds, each reading
the state and the picture and making changes as the page does, over kept-alive connections. No
request may fail, and the server's memory must stay flat once it is warm.

    serve_load_test.py --tool build/bin/pitwall [--clients 50] [--seconds 10]
"""
import argparse
import http.client
import json
import sys
import threading
import time
import unittest

from workbench_server import Workbench

ARGS = None
# Growth allowed between the end of the warm-up and the end of the run: the allocator's own
# slack, far below what a leak of one frame or one body per request would add.
ALLOWED_GROWTH_KIB = 16 * 1024


class Load(unittest.TestCase):
    def test_fifty_clients_for_ten_seconds(self):
        bench = Workbench(ARGS.tool)
        deadline = time.monotonic() + ARGS.seconds
        warm = threading.Event()
        counts, failures, lock = [0], [], threading.Lock()

        def client(number):
            connection = http.client.HTTPConnection("127.0.0.1", bench.port, timeout=20)
            headers = {"Content-Type": "application/json", "X-Pitwall-Token": bench.token, "Origin": bench.origin}
            i = 0
            while time.monotonic() < deadline:
                i += 1
                if i % 3 == 0:
                    body = json.dumps({"control": "left" if number % 2 else "right", "attribute": "value",
                                       "value": (number * 7 + i) % 100})
                    request = ("POST", "/api/set", body, headers)
                else:
                    request = ("GET", "/frame.png" if i % 3 == 1 else "/api/state", None, {})
                try:
                    connection.request(*request)
                    reply = connection.getresponse()
                    reply.read()
                    ok = reply.status == 200
                except (OSError, http.client.HTTPException) as e:
                    ok = False
                    reply = e
                    connection.close()
                    connection = http.client.HTTPConnection("127.0.0.1", bench.port, timeout=20)
                with lock:
                    counts[0] += 1
                    if not ok:
                        failures.append("%s %s: %s" % (request[0], request[1], getattr(reply, "status", reply)))
            connection.close()

        threads = [threading.Thread(target=client, args=(n,)) for n in range(ARGS.clients)]
        for t in threads:
            t.start()
        time.sleep(min(2.0, ARGS.seconds / 4))
        warm_kib = bench.resident_kib()
        for t in threads:
            t.join()
        end_kib = bench.resident_kib()
        code, err = bench.stop()
        print("%d requests, %d failed; resident %d KiB after warm-up, %d KiB at the end"
              % (counts[0], len(failures), warm_kib, end_kib))
        self.assertEqual(failures[:5], [])
        self.assertGreater(counts[0], ARGS.clients)
        self.assertLess(end_kib - warm_kib, ALLOWED_GROWTH_KIB)
        self.assertEqual(code, 0, err)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--clients", type=int, default=50)
    parser.add_argument("--seconds", type=float, default=10)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
