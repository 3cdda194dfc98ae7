"""`pitwall serve` as a child process for the HTTP tests: started on a free port over a scene in a
fresh folder, with the page's token read the way the page gets it, and raw requests for what no
well-behaved client would send."""
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import tempfile

# Two Basic Boxes: nothing in them needs a font, so the build's plug-ins alone draw them.
SCENE = {
    "canvas": {"width": 210, "height": 100, "background": "#000000"},
    "controls": [
        {"widget": "Basic Box", "name": "left", "x": 0, "y": 0, "width": 100, "height": 100,
         "attributes": {"color_box": "#ffffff", "color_bg": "#00ff00", "value": 0}},
        {"widget": "Basic Box", "name": "right", "x": 110, "y": 0, "width": 100, "height": 100,
         "attributes": {"color_box": "#ffffff", "color_bg": "#00ff00", "value": 0}},
    ],
}


class Workbench:
    def __init__(self, tool, extra=(), env=None):
        self.folder = tempfile.mkdtemp(prefix="serve-test-")
        self.scene = os.path.join(self.folder, "scene.json")
        with open(self.scene, "w") as f:
            json.dump(SCENE, f, indent=2)
        with open(os.path.join(self.folder, "lap.csv"), "w") as f:
            f.write("t,rpm\n0,1000\n")
        self.process = subprocess.Popen([tool, "serve", self.scene, "--port", "0", *extra],
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
        line = self.process.stdout.readline()
        found = re.fullmatch(r"pitwall: serving .* at http://(.*):(\d+)/\n", line)
        if not found:
            self.stop()
            raise AssertionError("unexpected first line: %r" % line)
        self.port = int(found.group(2))
        self.host = "127.0.0.1:%d" % self.port
        self.origin = "http://" + self.host
        page = self.request("GET", "/")[2].decode()
        self.token = re.search(r'<meta name="pitwall-token" content="([0-9a-f]{32})">', page).group(1)

    def stop(self, sig=signal.SIGTERM):
        """Stops the server; its exit code and what it said on stderr."""
        if self.process.poll() is None:
            self.process.send_signal(sig)
        try:
            _, err = self.process.communicate(timeout=30)
        finally:
            shutil.rmtree(self.folder, ignore_errors=True)
        return self.process.returncode, err

    def raw(self, data, timeout=10):
        """Sends bytes as they are; the status, the headers (lower-case names) and the body."""
        with socket.create_connection(("127.0.0.1", self.port), timeout=timeout) as s:
            try:
                s.sendall(data)
            except (BrokenPipeError, ConnectionResetError):
                pass  # the server may answer and close before the body is all sent
            reply = b""
            while True:
                try:
                    chunk = s.recv(65536)
                except ConnectionResetError:
                    break
                if not chunk:
                    break
                reply += chunk
                head, _, body = reply.partition(b"\r\n\r\n")
                length = re.search(rb"(?i)\r\ncontent-length: *(\d+)", head)
                if length and len(body) >= int(length.group(1)):
                    break
        head, _, body = reply.partition(b"\r\n\r\n")
        lines = head.decode("latin-1").split("\r\n")
        status = int(lines[0].split()[1]) if lines and lines[0] else 0
        headers = {}
        for line in lines[1:]:
            name, _, value = line.partition(":")
            headers[name.strip().lower()] = value.strip()
        return status, headers, body

    def request(self, method, path, body=None, headers=None):
        """One request; Host is this server's unless `headers` says otherwise."""
        all_headers = {"Host": self.host, "Connection": "close"}
        all_headers.update(headers or {})
        data = body if isinstance(body, bytes) else (body or "").encode()
        if method != "GET" or data:
            all_headers.setdefault("Content-Length", str(len(data)))
        head = "%s %s HTTP/1.1\r\n" % (method, path)
        head += "".join("%s: %s\r\n" % (k, v) for k, v in all_headers.items() if v is not None)
        return self.raw(head.encode("latin-1") + b"\r\n" + data)

    def change(self, path, body):
        """A change as the page sends it."""
        return self.request("POST", path, json.dumps(body),
                            {"Content-Type": "application/json", "Origin": self.origin, "X-Pitwall-Token": self.token})

    def state(self):
        return json.loads(self.request("GET", "/api/state")[2])

    def resident_kib(self):
        with open("/proc/%d/status" % self.process.pid) as f:
            return int(re.search(r"VmRSS:\s*(\d+)", f.read()).group(1))

    def file(self, name):
        with open(os.path.join(self.folder, name), "rb") as f:
            return f.read()
