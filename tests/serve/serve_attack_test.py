#!/usr/bin/env python3
"""`pitwall serve` under attack over loopback: requests another web page, a rebound name, a careless
script or a hostile client could send. None may change the scene or a file, each gets a JSON
answer that gives nothing of the server away, and the page's own requests still work.

    serve_attack_test.py --tool build/bin/pitwall
"""
import argparse
import json
import os
import signal
import socket
import sys
import tempfile
import threading
import time
import unittest

from workbench_server import Workbench

ARGS = None
SET_RED = json.dumps({"control": "left", "attribute": "color_bg", "value": "#ff0000"})
MOVE_LEFT = json.dumps({"control": "left", "x": 40})
SAVE_OVER_LOG = '{"name": "lap.csv\\u0000.json"}'


class HostileRequests(unittest.TestCase):
    def setUp(self):
        self.bench = Workbench(ARGS.tool)

    def tearDown(self):
        code, err = self.bench.stop()
        self.assertEqual(code, 0, err)

    def test_nothing_changes_but_for_the_pages_own_requests(self):
        b = self.bench
        json_type = {"Content-Type": "application/json"}
        token = {"X-Pitwall-Token": b.token}
        cases = [
            # (what, method, path, body, headers, status)
            ("another site's text/plain save", "POST", "/api/save", SAVE_OVER_LOG,
             {"Origin": "http://evil.example", "Content-Type": "text/plain"}, 403),
            ("another site's form", "POST", "/api/set", "control=left&attribute=color_bg&value=%23ff0000",
             {"Origin": "http://evil.example", "Content-Type": "application/x-www-form-urlencoded"}, 403),
            ("another port's page, token and all", "POST", "/api/set", SET_RED,
             {"Origin": "http://127.0.0.1:1", **json_type, **token}, 403),
            ("a sandboxed page", "POST", "/api/set", SET_RED, {"Origin": "null", **json_type, **token}, 403),
            ("a rebound name reading the page", "GET", "/", None, {"Host": "evil.example:%d" % b.port}, 403),
            ("a rebound name reading the state", "GET", "/api/state", None, {"Host": "evil.example:%d" % b.port}, 403),
            ("a rebound name reading the picture", "GET", "/frame.png", None, {"Host": "evil.example"}, 403),
            ("a rebound name changing", "POST", "/api/set", SET_RED,
             {"Host": "evil.example:%d" % b.port, **json_type, **token}, 403),
            ("no Host at all", "GET", "/api/state", None, {"Host": None}, 403),
            ("curl without the token", "POST", "/api/set", SET_RED, json_type, 403),
            ("a guessed token", "POST", "/api/save", "{}", {**json_type, "X-Pitwall-Token": "0" * 32}, 403),
            ("a play without the token", "POST", "/api/play", "{}", json_type, 403),
            ("a pause without the token", "POST", "/api/pause", "{}", json_type, 403),
            ("a step without the token", "POST", "/api/step", "{}", json_type, 403),
            ("another site's reload, dropping edits", "POST", "/api/reload", "{}",
             {"Origin": "http://evil.example", "Content-Type": "text/plain"}, 403),
            ("a reload without the token", "POST", "/api/reload", "{}", json_type, 403),
            ("the token, text/plain", "POST", "/api/set", SET_RED, {"Content-Type": "text/plain", **token}, 415),
            ("the token, a form", "POST", "/api/set", "a=b", {"Content-Type": "multipart/form-data; boundary=x", **token}, 415),
            ("a NUL in the save name", "POST", "/api/save", SAVE_OVER_LOG, {**json_type, **token}, 400),
            ("a save name of the wrong type", "POST", "/api/save", '{"name": 5}', {**json_type, **token}, 400),
            ("a number past a double", "POST", "/api/set",
             '{"control": "left", "attribute": "value", "value": 1e309}', {**json_type, **token}, 400),
            ("invalid UTF-8 in a name", "POST", "/api/set",
             b'{"control": "l\xff\xfe", "attribute": "color_bg", "value": "#ff0000"}', {**json_type, **token}, 400),
            ("a string past the limit", "POST", "/api/set",
             json.dumps({"control": "left", "attribute": "render_text", "value": "x" * 70000}), {**json_type, **token}, 400),
            ("a format without the token", "POST", "/api/set",
             json.dumps({"control": "left", "attribute": "render_text", "value": 83.4, "format": "m:ss.SSS"}), json_type, 403),
            ("a format that writes through %n", "POST", "/api/set",
             json.dumps({"control": "left", "attribute": "render_text", "value": 1, "format": "%n%f"}), {**json_type, **token}, 400),
            ("a format reading a string", "POST", "/api/set",
             json.dumps({"control": "left", "attribute": "render_text", "value": 1, "format": "%s"}), {**json_type, **token}, 400),
            ("a format past its limit", "POST", "/api/set",
             json.dumps({"control": "left", "attribute": "render_text", "value": 1, "format": "%.1f" + "x" * 300}), {**json_type, **token}, 400),
            ("a format on a number attribute", "POST", "/api/set",
             json.dumps({"control": "left", "attribute": "value", "value": 1, "format": "%.1f"}), {**json_type, **token}, 400),
            ("a body past the limit", "POST", "/api/set", "x" * (1024 * 1024 + 1), {**json_type, **token}, 413),
            # The layout editor's routes: the same guard, the same limit, and geometry checked.
            ("a move without the token", "POST", "/api/geometry", MOVE_LEFT, json_type, 403),
            ("another site's move", "POST", "/api/geometry", MOVE_LEFT,
             {"Origin": "http://evil.example", "Content-Type": "text/plain"}, 403),
            ("a rebound name moving", "POST", "/api/geometry", MOVE_LEFT,
             {"Host": "evil.example:%d" % b.port, **json_type, **token}, 403),
            ("an add without the token", "POST", "/api/layout", '{"op": "add", "widget": "Basic Box"}', json_type, 403),
            ("a delete from another site", "POST", "/api/layout", '{"op": "delete", "control": "left"}',
             {"Origin": "http://evil.example", **json_type, **token}, 403),
            ("an undo without the token", "POST", "/api/undo", "{}", json_type, 403),
            ("a redo without the token", "POST", "/api/redo", "{}", json_type, 403),
            ("a seek without the token", "POST", "/api/seek", '{"time": 1}', json_type, 403),
            ("a speed without the token", "POST", "/api/speed", '{"speed": 4}', json_type, 403),
            ("a rebound name reading the widgets", "GET", "/api/widgets", None, {"Host": "evil.example"}, 403),
            ("a rebound name reading a thumbnail", "GET", "/thumbnail.png?widget=Basic%20Box", None,
             {"Host": "evil.example"}, 403),
            ("a move past the limit", "POST", "/api/geometry", "x" * (1024 * 1024 + 1), {**json_type, **token}, 413),
            ("a layout edit past the limit", "POST", "/api/layout", "x" * (1024 * 1024 + 1), {**json_type, **token}, 413),
            ("a malformed move", "POST", "/api/geometry", '{"control": "left", "x": ', {**json_type, **token}, 400),
            ("a malformed layout edit", "POST", "/api/layout", '{"op": ', {**json_type, **token}, 400),
            ("a malformed seek", "POST", "/api/seek", '{"time": "soon"}', {**json_type, **token}, 400),
            ("a negative width", "POST", "/api/geometry", '{"control": "left", "width": -5}', {**json_type, **token}, 400),
            ("a 0 x 0 control", "POST", "/api/geometry", '{"control": "left", "width": 0, "height": 0}',
             {**json_type, **token}, 400),
            ("a control off the canvas", "POST", "/api/geometry", '{"control": "left", "x": 5000}', {**json_type, **token}, 400),
            ("a place past 16 bits", "POST", "/api/geometry", '{"control": "left", "x": 99999999999}',
             {**json_type, **token}, 400),
            ("a fractional place", "POST", "/api/geometry", '{"control": "left", "y": 1e300}', {**json_type, **token}, 400),
            ("a new control off the canvas", "POST", "/api/layout", '{"op": "add", "widget": "Basic Box", "x": -9999}',
             {**json_type, **token}, 400),
            ("a widget no plug-in registers", "POST", "/api/layout", '{"op": "add", "widget": "../../lib"}',
             {**json_type, **token}, 400),
            ("a layout edit of no kind", "POST", "/api/layout", '{"op": "rm -rf", "control": "left"}',
             {**json_type, **token}, 400),
            ("a speed past the limit", "POST", "/api/speed", '{"speed": 1e9}', {**json_type, **token}, 400),
            ("an undo with nothing to undo", "POST", "/api/undo", "{}", {**json_type, **token}, 409),
            ("a thumbnail of no widget", "GET", "/thumbnail.png?widget=..%2F..%2Fetc%2Fpasswd", None, {}, 404),
            ("PUT", "PUT", "/api/save", "{}", {**json_type, **token}, 405),
            ("a page that is not there", "GET", "/etc/passwd", None, {}, 404),
        ]
        before = b.state()
        for what, method, path, body, headers, status in cases:
            with self.subTest(what):
                got, reply_headers, reply = b.request(method, path, body, headers)
                self.assertEqual(got, status, reply)
                self.assertTrue(reply_headers.get("content-type", "").startswith("application/json"), reply_headers)
                message = json.loads(reply)["error"]
                self.assertTrue(message, reply)
                self.assertNotIn("exception_what", reply_headers)
                self.assertNotIn("what()", message)
        after = b.state()
        self.assertEqual(after["frame"], before["frame"], "something was drawn")
        self.assertEqual(after["revision"], before["revision"], "the scene was reloaded")
        self.assertFalse(after["unsaved"])
        self.assertEqual(b.file("lap.csv"), b"t,rpm\n0,1000\n")
        self.assertEqual(sorted(os.listdir(b.folder)), ["lap.csv", "scene.json"])

        # The page's own requests, exactly as it sends them, still work.
        status, _, reply = b.change("/api/set", json.loads(SET_RED))
        self.assertEqual(status, 200, reply)
        self.assertTrue(json.loads(reply)["unsaved"])
        status, _, reply = b.change("/api/save", {"name": "", "version": after["version"]})
        self.assertEqual(status, 200, reply)
        self.assertEqual(json.loads(b.file("scene.json"))["controls"][0]["attributes"]["color_bg"], "#ff0000")
        status, _, reply = b.change("/api/geometry", json.loads(MOVE_LEFT))
        self.assertEqual(status, 200, reply)
        status, _, reply = b.change("/api/undo", {})
        self.assertEqual(status, 200, reply)
        self.assertEqual(json.loads(reply)["controls"][0]["x"], 0)

    def test_a_huge_body_is_refused_from_its_length_before_it_is_read(self):
        b = self.bench
        resident = b.resident_kib()
        # 100 MB announced, 64 KiB sent: the answer comes without the rest.
        head = ("POST /api/set HTTP/1.1\r\nHost: %s\r\nContent-Type: application/json\r\nX-Pitwall-Token: %s\r\n"
                "Content-Length: %d\r\n\r\n" % (b.host, b.token, 100 * 1000 * 1000)).encode()
        status, headers, reply = b.raw(head + b"x" * 65536)
        self.assertEqual(status, 413, reply)
        self.assertEqual(headers.get("connection"), "close")
        # A body that gives no length is refused rather than read to the end.
        head = ("POST /api/set HTTP/1.1\r\nHost: %s\r\nContent-Type: application/json\r\nX-Pitwall-Token: %s\r\n"
                "Transfer-Encoding: chunked\r\n\r\n" % (b.host, b.token)).encode()
        status, _, reply = b.raw(head + b"10000\r\n" + b"x" * 65536 + b"\r\n")
        self.assertEqual(status, 411, reply)
        self.assertLess(b.resident_kib() - resident, 50 * 1024)
        self.assertEqual(b.state()["frame"], 1)

    def test_slow_clients_do_not_starve_the_page(self):
        b = self.bench
        stop = threading.Event()
        sockets = []

        def trickle():
            s = socket.create_connection(("127.0.0.1", b.port))
            sockets.append(s)
            for byte in b"GET /api/state HTTP/1.1\r\nHost: " + b.host.encode() + b"\r\nX-Long: " + b"a" * 4000:
                if stop.wait(0.5):
                    return
                try:
                    s.send(bytes([byte]))
                except OSError:
                    return

        threads = [threading.Thread(target=trickle) for _ in range(12)]
        for t in threads:
            t.start()
        try:
            time.sleep(1)
            for _ in range(5):
                status, _, _ = b.request("GET", "/api/state")
                self.assertEqual(status, 200)
        finally:
            stop.set()
            for t in threads:
                t.join()
            for s in sockets:
                s.close()


class ServerLife(unittest.TestCase):
    def test_a_non_loopback_host_is_warned_about(self):
        bench = Workbench(ARGS.tool, ["--host", "0.0.0.0"])
        # Reachable by others, the token is still needed.
        status, _, _ = bench.request("POST", "/api/set", SET_RED, {"Content-Type": "application/json"})
        code, err = bench.stop()
        self.assertEqual(status, 403)
        self.assertEqual(code, 0)
        self.assertIn("pitwall serve: warning: listening on 0.0.0.0: anyone who can reach this address can change "
                      "the scene and write files in its folder", err)

    def test_no_temporary_folder_is_needed_and_a_hangup_stops_it_cleanly(self):
        empty = tempfile.mkdtemp(prefix="serve-tmp-")
        for tmpdir in ("/nonexistent", empty):
            with self.subTest(tmpdir):
                bench = Workbench(ARGS.tool, env={**os.environ, "TMPDIR": tmpdir})
                cwd_before = os.listdir(".")
                status, headers, png = bench.request("GET", "/frame.png")
                self.assertEqual(status, 200)
                self.assertEqual(png[:8], b"\x89PNG\r\n\x1a\n")
                code, err = bench.stop(signal.SIGHUP)
                self.assertEqual(code, 0, err)
                self.assertEqual(os.listdir("."), cwd_before)
        self.assertEqual(os.listdir(empty), [])
        os.rmdir(empty)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
